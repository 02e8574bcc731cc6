#pragma once

#include "model/txsettings.h"

// The dual-rate editors work on one element of the per-channel arrays, chosen
// by drCh (0..3 = CH1..CH4) and drPosi (0 = UP, anything else = DOWN).

// True when drCh names one of the four D/R channels.
inline bool drChannelSelected(const TxSettingsRecord &s)
{
    return s.drCh >= 0 && s.drCh <= 3;
}

// Re-derives the four edit mirrors from the arrays for the selected channel
// and position; does nothing when no channel is selected.
void drDataSelect(TxSettingsRecord &s);

// Stores a combo-box index into a field. A box that was given an index it does
// not have reports -1; that is no choice of the user, so the field keeps its
// value. Returns whether it stored.
inline bool storeIndex(int &field, int index)
{
    if (index < 0)
        return false;
    field = index;
    return true;
}
