#include "model/bindings.h"

void drDataSelect(TxSettingsRecord &s)
{
    if (!drChannelSelected(s))
        return;
    const int ch = s.drCh;
    s.drUpEdit = s.drUp[ch];
    s.drDownEdit = s.drDown[ch];
    if (s.drPosi == 0) {
        s.drRateEdit = s.drUp[ch];
        s.drExpEdit = s.drExpUp[ch];
    } else {
        s.drRateEdit = s.drDown[ch];
        s.drExpEdit = s.drExpDown[ch];
    }
}
