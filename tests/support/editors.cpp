#include "support/editors.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QSpinBox>
#include <QString>
#include <deque>
#include <set>

#include "app/mainwindow.h"
#include "model/txsettings.h"

namespace {

using K = EditorField;
TxSettingsRecord &S = TxSettings;

EditorField spin(const char *name, int &field, bool dualRate = false)
{
    return {name, K::Spin, &field, nullptr, dualRate};
}
EditorField dspin(const char *name, double &field)
{
    return {name, K::DoubleSpin, nullptr, &field, false};
}
EditorField combo(const char *name, int &field, bool dualRate = false)
{
    return {name, K::Combo, &field, nullptr, dualRate};
}

// Generated names live as long as the table.
const char *keep(const QByteArray &name)
{
    static std::deque<QByteArray> names;
    names.push_back(name);
    return names.back().constData();
}

std::vector<EditorField> buildEditors()
{
    std::vector<EditorField> e = {
        dspin("doubleSpinBox_Volt", S.txAlarmVolt),
        dspin("doubleSpinBox_rxVolt", S.rxAlarmVolt),
        dspin("doubleSpinBox_extVolt", S.extAlarmVolt),
        spin("spinBox_Rssi", S.rssiAlarm),
        spin("spinBox_Mode", S.stkMode),
        spin("spinBox_Vertion", TxLiveData.txVersion),
        combo("comboBox_AttiM", S.attiM),
        combo("comboBox_EleMix", S.eleMix),
        combo("comboBox_RuMix", S.ruMix),
        combo("comboBox_THCURE_MIX", S.thcureMix),
        combo("comboBox_DR_MIX1", S.drMix),
        combo("comboBox_DR_MIX2", S.drMix),
        combo("comboBox_DR_CH2", S.drCh),
        combo("comboBox_DR_SW2", S.drSw),
        combo("comboBox_DR_CH1", S.drCh, true),
        combo("comboBox_DR_POSI", S.drPosi, true),
        spin("spinBox_DR_UP1", S.drUpEdit, true),
        spin("spinBox_DR_DOWN1", S.drDownEdit, true),
        spin("spinBox_DR_RATE", S.drRateEdit, true),
        spin("spinBox_DR_EXP", S.drExpEdit, true),
    };
    // Numbered editors: prefix + number -> element k of an array field.
    auto numbered = [&e](const char *prefix, int first, int count, bool twoDigits, EditorField::Kind kind,
                         int *field) {
        for (int k = 0; k < count; ++k) {
            const QByteArray n = QByteArray::number(first + k);
            e.push_back(
                {keep(prefix + (twoDigits ? n.rightJustified(2, '0') : n)), kind, field + k, nullptr, false});
        }
    };
    numbered("spinBox_sub", 1, 8, false, K::Spin, S.sub);
    numbered("spinBox_Lepa", 1, 8, false, K::Spin, S.lepa);
    numbered("spinBox_Repa", 1, 8, false, K::Spin, S.repa);
    numbered("spinBox_FS", 1, 8, false, K::Spin, S.fs);
    numbered("spinBox_delay", 1, 8, false, K::Spin, S.delay);
    numbered("comboBox_rev", 1, 8, false, K::Combo, S.rev);
    numbered("comboBox_AUX", 5, 4, false, K::Combo, S.aux);
    numbered("spinBox_Atti", 1, 6, false, K::Spin, S.atti);
    numbered("spinBox_Elev", 1, 6, true, K::Spin, S.elev);
    numbered("spinBox_Ru", 1, 4, false, K::Spin, S.ru);
    numbered("spinBox_THCURE_Data", 1, 7, true, K::Spin, S.thcure);
    for (int m = 0; m < 4; ++m) {
        const QByteArray p = "PRM0" + QByteArray::number(m + 1);
        e.push_back({keep("comboBox_" + p + "_Mix"), K::Combo, &S.prm[m].mix, nullptr, false});
        e.push_back({keep("comboBox_" + p + "_Master"), K::Combo, &S.prm[m].master, nullptr, false});
        e.push_back({keep("comboBox_" + p + "_Slave"), K::Combo, &S.prm[m].slave, nullptr, false});
        e.push_back({keep("spinBox_" + p + "_Data1"), K::Spin, &S.prm[m].data1, nullptr, false});
        e.push_back({keep("spinBox_" + p + "_Data2"), K::Spin, &S.prm[m].data2, nullptr, false});
        e.push_back({keep("spinBox_" + p + "_Data3"), K::Spin, &S.prm[m].data3, nullptr, false});
    }
    return e;
}

// A value in [lo, hi] picked by position and seed, moved off `avoid`.
int pick(int lo, int hi, int position, int seed, int avoid)
{
    const int span = hi - lo + 1;
    if (span <= 1)
        return lo;
    int v = lo + (position * 7 + seed * 13) % span;
    if (v == avoid)
        v = lo + (v - lo + 1) % span;
    return v;
}

} // namespace

const std::vector<EditorField> &editorFields()
{
    static const std::vector<EditorField> editors = buildEditors();
    return editors;
}

const std::vector<const char *> &fixedChoiceBoxes()
{
    static const std::vector<const char *> boxes = {"comboBox_AUX1",   "comboBox_AUX2",
                                                    "comboBox_AUX3",   "comboBox_AUX4",
                                                    "comboBox_DR_SW1", "comboBox_PRM02_Master_2"};
    return boxes;
}

QWidget *editorWidget(MainWindow &w, const char *name)
{
    return w.findChild<QWidget *>(QString::fromLatin1(name));
}

void setDistinctValues(MainWindow &w, int seed)
{
    // Start from the start values and move every field off them; a field with
    // two editors is set once.
    TxSettings = startSettings();
    TxLiveData = startLiveData();
    std::set<const void *> done;
    int position = 0;
    for (const EditorField &e : editorFields()) {
        ++position;
        const void *field = e.kind == K::DoubleSpin ? static_cast<const void *>(e.doubleValue) : e.value;
        if (!done.insert(field).second)
            continue;
        QWidget *widget = editorWidget(w, e.name);
        switch (e.kind) {
        case K::Spin: {
            auto *box = static_cast<QSpinBox *>(widget);
            *e.value = pick(box->minimum(), box->maximum(), position, seed, *e.value);
            break;
        }
        case K::Combo: {
            auto *box = static_cast<QComboBox *>(widget);
            *e.value = pick(0, box->count() - 1, position, seed, *e.value);
            break;
        }
        case K::DoubleSpin: {
            auto *box = static_cast<QDoubleSpinBox *>(widget);
            const int lo = qRound(box->minimum() * 10), hi = qRound(box->maximum() * 10);
            *e.doubleValue = pick(lo, hi, position, seed, qRound(*e.doubleValue * 10)) / 10.0;
            break;
        }
        }
    }
    // The D/R arrays, then the mirrors of the selected channel and position.
    for (int ch = 0; ch < 4; ++ch) {
        TxSettings.drUp[ch] = 10 + ch + seed;
        TxSettings.drDown[ch] = 30 + ch + seed;
        TxSettings.drExpUp[ch] = -50 + ch + seed;
        TxSettings.drExpDown[ch] = 60 + ch + seed;
    }
    TxSettings.drCh = 1 + seed % 3;
    TxSettings.drPosi = seed % 2;
    const int ch = TxSettings.drCh;
    TxSettings.drUpEdit = TxSettings.drUp[ch];
    TxSettings.drDownEdit = TxSettings.drDown[ch];
    TxSettings.drRateEdit = TxSettings.drPosi == 0 ? TxSettings.drUp[ch] : TxSettings.drDown[ch];
    TxSettings.drExpEdit = TxSettings.drPosi == 0 ? TxSettings.drExpUp[ch] : TxSettings.drExpDown[ch];

    for (int n = 0; n < 8; ++n)
        TxLiveData.servo[n] = 100 * n + 37 * seed;
    TxLiveData.txVolt = 1100 + seed;
    TxLiveData.rxRssi = 40 + seed;
    TxLiveData.rxVolt = 50 + seed;
    TxLiveData.extVolt = 120 + seed;
}

QStringList editorsOffStore(MainWindow &w)
{
    QStringList out;
    for (const EditorField &e : editorFields()) {
        QWidget *widget = editorWidget(w, e.name);
        double shown = 0, stored = 0;
        switch (e.kind) {
        case EditorField::Spin:
            shown = static_cast<QSpinBox *>(widget)->value();
            stored = *e.value;
            break;
        case EditorField::Combo:
            shown = static_cast<QComboBox *>(widget)->currentIndex();
            stored = *e.value;
            break;
        case EditorField::DoubleSpin:
            shown = qRound(static_cast<QDoubleSpinBox *>(widget)->value() * 10);
            stored = qRound(*e.doubleValue * 10);
            break;
        }
        if (shown != stored)
            out << QString("%1 shows %2, store %3").arg(e.name).arg(shown).arg(stored);
    }
    return out;
}
