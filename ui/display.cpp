// The refresh: every tick copies the store into every widget of the window.
// Each routine's table lists its widgets in the order they are set, with the
// field each one shows.

#include "ui/display.h"

#include <QFile>
#include <QSignalBlocker>
#include <cstring>
#include <iterator>

#include "model/telemetry.h"
#include "model/txsettings.h"
#include "ui/mainwindowform.h"

int hoverTicks[kHoverBoxCount] = {};

// The resource collection is compiled into the core library; a static library
// links it into a program only when something refers to it, so the styles
// refer to it here. (At file scope: the macro declares the collection's
// init function in the enclosing namespace.)
static void initResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace {

using F = MainWindowForm;
const TxSettingsRecord &S = TxSettings;

// One editor and the field it shows.
struct Put {
    enum Kind { Spin, DoubleSpin, Combo } kind;
    QSpinBox *F::*spin;
    QDoubleSpinBox *F::*doubleSpin;
    QComboBox *F::*combo;
    const int *value;
    const double *doubleValue;
};

constexpr Put spin(QSpinBox *F::*w, const int &field)
{
    return {Put::Spin, w, nullptr, nullptr, &field, nullptr};
}
constexpr Put dspin(QDoubleSpinBox *F::*w, const double &field)
{
    return {Put::DoubleSpin, nullptr, w, nullptr, nullptr, &field};
}
constexpr Put combo(QComboBox *F::*w, const int &field)
{
    return {Put::Combo, nullptr, nullptr, w, &field, nullptr};
}

// The only item of the "NC" boxes of CH1..CH4.
const int kOnlyItem = 0;

// A stored value outside the editor's range (stick mode 0, an alarm of
// 100.0 V, a negative up rate of mix 3) is shown clamped, but the clamped value
// must not echo back into the store: that would silently change what the
// transmitter sent. In-range values go through the box's signal as usual.
template <typename Box, typename V> void setClampedQuietly(Box *box, V value)
{
    if (value < box->minimum() || value > box->maximum()) {
        QSignalBlocker quiet(box);
        box->setValue(value);
        return;
    }
    box->setValue(value);
}

// Sets one editor. A setter given the value the widget already has does
// nothing visible; skipping the call also spares the spin boxes a repaint
// request per tick.
void put(F *ui, const Put &p)
{
    switch (p.kind) {
    case Put::Spin: {
        QSpinBox *box = ui->*p.spin;
        if (box->value() != *p.value)
            setClampedQuietly(box, *p.value);
        break;
    }
    case Put::DoubleSpin: {
        QDoubleSpinBox *box = ui->*p.doubleSpin;
        if (box->value() != *p.doubleValue)
            setClampedQuietly(box, *p.doubleValue);
        break;
    }
    case Put::Combo: {
        QComboBox *box = ui->*p.combo;
        if (box->currentIndex() != *p.value)
            box->setCurrentIndex(*p.value);
        break;
    }
    }
}

const Put kRev[] = {
    combo(&F::comboBox_rev1, S.rev[0]), combo(&F::comboBox_rev2, S.rev[1]),
    combo(&F::comboBox_rev3, S.rev[2]), combo(&F::comboBox_rev4, S.rev[3]),
    combo(&F::comboBox_rev5, S.rev[4]), combo(&F::comboBox_rev6, S.rev[5]),
    combo(&F::comboBox_rev7, S.rev[6]), combo(&F::comboBox_rev8, S.rev[7]),
};

const Put kEpa[] = {
    spin(&F::spinBox_Lepa1, S.lepa[0]), spin(&F::spinBox_Lepa2, S.lepa[1]),
    spin(&F::spinBox_Lepa3, S.lepa[2]), spin(&F::spinBox_Lepa4, S.lepa[3]),
    spin(&F::spinBox_Lepa5, S.lepa[4]), spin(&F::spinBox_Lepa6, S.lepa[5]),
    spin(&F::spinBox_Lepa7, S.lepa[6]), spin(&F::spinBox_Lepa8, S.lepa[7]),
    spin(&F::spinBox_Repa1, S.repa[0]), spin(&F::spinBox_Repa2, S.repa[1]),
    spin(&F::spinBox_Repa3, S.repa[2]), spin(&F::spinBox_Repa4, S.repa[3]),
    spin(&F::spinBox_Repa5, S.repa[4]), spin(&F::spinBox_Repa6, S.repa[5]),
    spin(&F::spinBox_Repa7, S.repa[6]), spin(&F::spinBox_Repa8, S.repa[7]),
};

const Put kSubTrim[] = {
    spin(&F::spinBox_sub1, S.sub[0]), spin(&F::spinBox_sub2, S.sub[1]), spin(&F::spinBox_sub3, S.sub[2]),
    spin(&F::spinBox_sub4, S.sub[3]), spin(&F::spinBox_sub5, S.sub[4]), spin(&F::spinBox_sub6, S.sub[5]),
    spin(&F::spinBox_sub7, S.sub[6]), spin(&F::spinBox_sub8, S.sub[7]),
};

const Put kFs[] = {
    spin(&F::spinBox_FS1, S.fs[0]), spin(&F::spinBox_FS2, S.fs[1]), spin(&F::spinBox_FS3, S.fs[2]),
    spin(&F::spinBox_FS4, S.fs[3]), spin(&F::spinBox_FS5, S.fs[4]), spin(&F::spinBox_FS6, S.fs[5]),
    spin(&F::spinBox_FS7, S.fs[6]), spin(&F::spinBox_FS8, S.fs[7]),
};

const Put kDelay[] = {
    spin(&F::spinBox_delay1, S.delay[0]), spin(&F::spinBox_delay2, S.delay[1]),
    spin(&F::spinBox_delay3, S.delay[2]), spin(&F::spinBox_delay4, S.delay[3]),
    spin(&F::spinBox_delay5, S.delay[4]), spin(&F::spinBox_delay6, S.delay[5]),
    spin(&F::spinBox_delay7, S.delay[6]), spin(&F::spinBox_delay8, S.delay[7]),
};

const Put kAux[] = {
    combo(&F::comboBox_AUX1, kOnlyItem), combo(&F::comboBox_AUX2, kOnlyItem),
    combo(&F::comboBox_AUX3, kOnlyItem), combo(&F::comboBox_AUX4, kOnlyItem),
    combo(&F::comboBox_AUX5, S.aux[0]),  combo(&F::comboBox_AUX6, S.aux[1]),
    combo(&F::comboBox_AUX7, S.aux[2]),  combo(&F::comboBox_AUX8, S.aux[3]),
};

const Put kDr[] = {
    combo(&F::comboBox_DR_MIX1, S.drMix),     combo(&F::comboBox_DR_CH1, S.drCh),
    combo(&F::comboBox_DR_SW1, S.drSw),       spin(&F::spinBox_DR_UP1, S.drUpEdit),
    spin(&F::spinBox_DR_DOWN1, S.drDownEdit),
};

const Put kParameter[] = {
    dspin(&F::doubleSpinBox_Volt, S.txAlarmVolt),     spin(&F::spinBox_Mode, S.stkMode),
    spin(&F::spinBox_Vertion, TxLiveData.txVersion),  dspin(&F::doubleSpinBox_rxVolt, S.rxAlarmVolt),
    dspin(&F::doubleSpinBox_extVolt, S.extAlarmVolt), spin(&F::spinBox_Rssi, S.rssiAlarm),
};

const Put kAtti[] = {
    combo(&F::comboBox_AttiM, S.attiM), spin(&F::spinBox_Atti1, S.atti[0]),
    spin(&F::spinBox_Atti2, S.atti[1]), spin(&F::spinBox_Atti3, S.atti[2]),
    spin(&F::spinBox_Atti4, S.atti[3]), spin(&F::spinBox_Atti5, S.atti[4]),
    spin(&F::spinBox_Atti6, S.atti[5]),
};

const Put kElev[] = {
    combo(&F::comboBox_EleMix, S.eleMix), spin(&F::spinBox_Elev01, S.elev[0]),
    spin(&F::spinBox_Elev02, S.elev[1]),  spin(&F::spinBox_Elev03, S.elev[2]),
    spin(&F::spinBox_Elev04, S.elev[3]),  spin(&F::spinBox_Elev05, S.elev[4]),
    spin(&F::spinBox_Elev06, S.elev[5]),
};

const Put kVtype[] = {
    combo(&F::comboBox_RuMix, S.ruMix), spin(&F::spinBox_Ru1, S.ru[0]), spin(&F::spinBox_Ru2, S.ru[1]),
    spin(&F::spinBox_Ru3, S.ru[2]),     spin(&F::spinBox_Ru4, S.ru[3]),
};

#define PRM_ROWS(nn, m)                                                                                      \
    combo(&F::comboBox_PRM##nn##_Mix, S.prm[m].mix), combo(&F::comboBox_PRM##nn##_Master, S.prm[m].master),  \
        combo(&F::comboBox_PRM##nn##_Slave, S.prm[m].slave),                                                 \
        spin(&F::spinBox_PRM##nn##_Data1, S.prm[m].data1),                                                   \
        spin(&F::spinBox_PRM##nn##_Data2, S.prm[m].data2), spin(&F::spinBox_PRM##nn##_Data3, S.prm[m].data3)

const Put kPrm[] = {PRM_ROWS(01, 0), PRM_ROWS(02, 1), PRM_ROWS(03, 2), PRM_ROWS(04, 3)};

#undef PRM_ROWS

const Put kDrCure[] = {
    combo(&F::comboBox_DR_MIX2, S.drMix),    combo(&F::comboBox_DR_CH2, S.drCh),
    combo(&F::comboBox_DR_SW2, S.drSw),      combo(&F::comboBox_DR_POSI, S.drPosi),
    spin(&F::spinBox_DR_RATE, S.drRateEdit), spin(&F::spinBox_DR_EXP, S.drExpEdit),
};

const Put kThCure[] = {
    combo(&F::comboBox_THCURE_MIX, S.thcureMix),  spin(&F::spinBox_THCURE_Data01, S.thcure[0]),
    spin(&F::spinBox_THCURE_Data02, S.thcure[1]), spin(&F::spinBox_THCURE_Data03, S.thcure[2]),
    spin(&F::spinBox_THCURE_Data04, S.thcure[3]), spin(&F::spinBox_THCURE_Data05, S.thcure[4]),
    spin(&F::spinBox_THCURE_Data06, S.thcure[5]), spin(&F::spinBox_THCURE_Data07, S.thcure[6]),
};

// --- Hover styling -------------------------------------------------------

// A combo box whose highlight follows the pointer, and its counter.
struct Hover {
    QComboBox *F::*box;
    const char *name;
    int counter; // index into hoverTicks
};

#define HOVER(member, counter)                                                                               \
    {                                                                                                        \
        &F::member, #member, counter                                                                         \
    }

const Hover kRevHover[] = {
    HOVER(comboBox_rev1, 0), HOVER(comboBox_rev2, 1), HOVER(comboBox_rev3, 2), HOVER(comboBox_rev4, 3),
    HOVER(comboBox_rev5, 4), HOVER(comboBox_rev6, 5), HOVER(comboBox_rev7, 6), HOVER(comboBox_rev8, 7),
};
const Hover kAuxHover[] = {
    HOVER(comboBox_AUX1, 8),  HOVER(comboBox_AUX2, 9),  HOVER(comboBox_AUX3, 10), HOVER(comboBox_AUX4, 11),
    HOVER(comboBox_AUX5, 12), HOVER(comboBox_AUX6, 13), HOVER(comboBox_AUX7, 14), HOVER(comboBox_AUX8, 15),
};
const Hover kDrHover[] = {HOVER(comboBox_DR_MIX1, 16), HOVER(comboBox_DR_CH1, 17),
                          HOVER(comboBox_DR_SW1, 18)};
const Hover kAttiHover[] = {HOVER(comboBox_AttiM, 19)};
const Hover kElevHover[] = {HOVER(comboBox_EleMix, 20)};
const Hover kVtypeHover[] = {HOVER(comboBox_RuMix, 21)};
const Hover kPrmHover[] = {
    HOVER(comboBox_PRM01_Mix, 22), HOVER(comboBox_PRM01_Master, 23), HOVER(comboBox_PRM01_Slave, 24),
    HOVER(comboBox_PRM02_Mix, 25), HOVER(comboBox_PRM02_Master, 26), HOVER(comboBox_PRM02_Slave, 27),
    HOVER(comboBox_PRM03_Mix, 28), HOVER(comboBox_PRM03_Master, 29), HOVER(comboBox_PRM03_Slave, 30),
    HOVER(comboBox_PRM04_Mix, 31), HOVER(comboBox_PRM04_Master, 32), HOVER(comboBox_PRM04_Slave, 33),
};
const Hover kDrCureHover[] = {
    HOVER(comboBox_DR_MIX2, 34),
    HOVER(comboBox_DR_CH2, 35),
    HOVER(comboBox_DR_SW2, 36),
    HOVER(comboBox_DR_POSI, 37),
};
const Hover kThCureHover[] = {HOVER(comboBox_THCURE_MIX, 38)};

#undef HOVER

// A style sheet compiled into the program. Its text is read on first use; a
// resource that cannot be opened gives no text (and is tried again next time).
class StyleResource
{
public:
    explicit StyleResource(const char *path) : path(path) {}
    const QString *text()
    {
        if (!loaded) {
            static const bool registered = (initResources(), true);
            Q_UNUSED(registered);
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly))
                return nullptr;
            // Bytes up to the first zero byte, one character per byte.
            cached = QString::fromLatin1(file.readAll().constData());
            loaded = true;
        }
        return &cached;
    }

private:
    const char *path;
    bool loaded = false;
    QString cached;
};

StyleResource normalStyle(":/comboBox.qss");
StyleResource hoverOffStyle(":/comboBox_REV.qss");

void applyStyle(QComboBox *box, StyleResource &style)
{
    if (const QString *text = style.text())
        box->setStyleSheet(*text);
}

// Counts the ticks the pointer rests on the box; on the tick that would count
// past 19 the highlight goes off (and stays off while the pointer stays), on
// the first tick without the pointer the normal style comes back.
void hoverStep(QComboBox *box, int &c)
{
    if (box->underMouse()) {
        if (c + 1 < kHoverOffTicks) {
            ++c;
            return;
        }
        c = kHoverOffTicks;
        applyStyle(box, hoverOffStyle);
    } else {
        if (c < kHoverOffTicks)
            return;
        c = 0;
        applyStyle(box, normalStyle);
    }
}

// --- Live values -----------------------------------------------------------

struct ServoRow {
    QLineEdit *F::*value;
    QProgressBar *F::*upper;
    QProgressBar *F::*lower;
};

const ServoRow kServo[8] = {
    {&F::lineEdit, &F::progressBar_10, &F::progressBar_11},
    {&F::lineEdit_2, &F::progressBar_20, &F::progressBar_21},
    {&F::lineEdit_3, &F::progressBar_30, &F::progressBar_31},
    {&F::lineEdit_4, &F::progressBar_40, &F::progressBar_41},
    {&F::lineEdit_5, &F::progressBar_50, &F::progressBar_51},
    {&F::lineEdit_6, &F::progressBar_60, &F::progressBar_61},
    {&F::lineEdit_7, &F::progressBar_70, &F::progressBar_71},
    {&F::lineEdit_8, &F::progressBar_80, &F::progressBar_81},
};

// QLineEdit::setText redraws and resets the cursor even for the same text.
void showText(QLineEdit *box, const QString &text)
{
    if (box->text() != text)
        box->setText(text);
}

} // namespace

int hoverCounterIndex(const char *objectName)
{
    static const Hover *const tables[] = {kRevHover,   kAuxHover, kDrHover,     kAttiHover,  kElevHover,
                                          kVtypeHover, kPrmHover, kDrCureHover, kThCureHover};
    static const size_t sizes[] = {std::size(kRevHover),  std::size(kAuxHover),    std::size(kDrHover),
                                   std::size(kAttiHover), std::size(kElevHover),   std::size(kVtypeHover),
                                   std::size(kPrmHover),  std::size(kDrCureHover), std::size(kThCureHover)};
    for (size_t t = 0; t < std::size(tables); ++t)
        for (size_t i = 0; i < sizes[t]; ++i)
            if (std::strcmp(tables[t][i].name, objectName) == 0)
                return tables[t][i].counter;
    return -1;
}

void showServos(MainWindowForm *ui)
{
    for (int n = 0; n < 8; ++n) {
        const int v = TxLiveData.servo[n];
        showText(ui->*kServo[n].value, QString::number(v));
        (ui->*kServo[n].upper)->setValue(upperBarValue(v));
        (ui->*kServo[n].lower)->setValue(lowerBarValue(v));
    }
    showText(ui->lineEdit_TX, txVoltText(TxLiveData.txVolt));
}

void showReceiver(MainWindowForm *ui)
{
    showText(ui->lineEdit_RSSI, rssiText(TxLiveData.rxRssi));
    showText(ui->lineEdit_EXT, tenthsVoltText(TxLiveData.extVolt));
    showText(ui->lineEdit_RX, tenthsVoltText(TxLiveData.rxVolt));
}

namespace {

// The tables of one group: its editors and the combo boxes whose hover
// highlight it steps.
struct GroupTables {
    const Put *puts;
    size_t putCount;
    const Hover *hovers;
    size_t hoverCount;
};
template <size_t N> constexpr GroupTables group(const Put (&p)[N])
{
    return {p, N, nullptr, 0};
}
template <size_t N, size_t M> constexpr GroupTables group(const Put (&p)[N], const Hover (&h)[M])
{
    return {p, N, h, M};
}

// In the order of DisplayGroup.
const GroupTables kGroups[] = {
    group(kRev, kRevHover),
    group(kEpa),
    group(kSubTrim),
    group(kFs),
    group(kDelay),
    group(kAux, kAuxHover),
    group(kDr, kDrHover),
    group(kParameter),
    group(kAtti, kAttiHover),
    group(kElev, kElevHover),
    group(kVtype, kVtypeHover),
    group(kPrm, kPrmHover),
    group(kDrCure, kDrCureHover),
    group(kThCure, kThCureHover),
};
static_assert(std::size(kGroups) == size_t(DisplayGroup::ThCure) + 1, "one table per group");

} // namespace

void showGroup(MainWindowForm *ui, DisplayGroup g)
{
    const GroupTables &t = kGroups[size_t(g)];
    for (size_t k = 0; k < t.putCount; ++k)
        put(ui, t.puts[k]);
    for (size_t k = 0; k < t.hoverCount; ++k)
        hoverStep(ui->*t.hovers[k].box, hoverTicks[t.hovers[k].counter]);
}
