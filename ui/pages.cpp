// The five settings pages: BASIC, ADVANCE1, ADVANCE2, PROG.MIX and SYSTEM.
//
// Each page is a list of group boxes; each group holds columns (a plain widget
// with a vertical layout) of captions or editors. The tables below are the one
// description of the pages: the build creates the widgets from them, the texts
// and the initial combo-box selections are applied from the same rows.

#include <QBrush>
#include <QPalette>
#include <QSizePolicy>
#include <algorithm>
#include <vector>

#include "model/choices.h"
#include "ui/mainwindowform.h"
#include "ui/styles.h"

namespace {

using F = MainWindowForm;
using Policy = QSizePolicy::Policy;
constexpr Policy kExpanding = QSizePolicy::Expanding;
constexpr Policy kPreferred = QSizePolicy::Preferred;
constexpr Policy kMinimum = QSizePolicy::Minimum;
constexpr int kDefaultSpacing = -1; // leave the style's spacing

// The member that holds a widget, and its objectName.
#define W(member) &MainWindowForm::member, #member

// One widget of a column: a read-only caption or an editor. Exactly one of
// the member pointers is set.
struct Cell {
    const char *name = nullptr;
    QLineEdit *F::*caption = nullptr;
    QSpinBox *F::*spin = nullptr;
    QDoubleSpinBox *F::*dspin = nullptr;
    QComboBox *F::*combo = nullptr;
    QString text;      // caption text
    QStringList items; // combo-box items
    int index = 0;     // initial combo-box index
    double min = 0, max = 0, value = 0, step = 1;
    int decimals = 0;
    int px = 20; // text size of the style sheet
    Policy horizontal = kExpanding;
    bool arialBold = false;
    QPalette (*palette)() = nullptr; // an own palette, set before the style sheet
};

struct Column {
    QWidget *F::*holder;
    const char *holderName;
    QVBoxLayout *F::*layout;
    const char *layoutName;
    QRect rect;
    int spacing;
    std::vector<Cell> cells; // top to bottom
    // How a screen reader names the editors of this column: by the caption of
    // their row (the group's caption column, or on BASIC the CHANNEL column),
    // counting from captionRow, followed by suffix.
    const char *suffix = "";
    int captionRow = 0;
};

struct Group {
    QGroupBox *F::*box;
    const char *name;
    const char *title;
    QRect rect;
    bool arialBold;
    std::vector<Column> columns; // in creation order
};

Cell caption(QLineEdit *F::*m, const char *name, const char *text, int px = 20, bool arialBold = false)
{
    Cell c;
    c.caption = m;
    c.name = name;
    c.text = text;
    c.px = px;
    c.arialBold = arialBold;
    return c;
}

Cell spin(QSpinBox *F::*m, const char *name, int min, int max, int value, int px = 20,
          Policy horizontal = kExpanding)
{
    Cell c;
    c.spin = m;
    c.name = name;
    c.min = min;
    c.max = max;
    c.value = value;
    c.px = px;
    c.horizontal = horizontal;
    return c;
}

Cell volts(QDoubleSpinBox *F::*m, const char *name, int px)
{
    Cell c;
    c.dspin = m;
    c.name = name;
    c.min = 0.0;
    c.max = 99.9;
    c.step = 0.1;
    c.decimals = 1;
    c.value = 11.0;
    c.px = px;
    return c;
}

Cell combo(QComboBox *F::*m, const char *name, const QStringList &items, int index = 0, int px = 20,
           Policy horizontal = kExpanding)
{
    Cell c;
    c.combo = m;
    c.name = name;
    c.items = items;
    c.index = index;
    c.px = px;
    c.horizontal = horizontal;
    return c;
}

Cell withPalette(Cell c, QPalette (*palette)())
{
    c.palette = palette;
    return c;
}

#define COLUMN(holder, layout) &MainWindowForm::holder, #holder, &MainWindowForm::layout, #layout

// comboBox_rev1 repeats the colours of its style sheet in its palette.
QPalette reversePalette()
{
    QBrush white(QColor(255, 255, 255, 255));
    white.setStyle(Qt::SolidPattern);
    QBrush blue(QColor(85, 170, 255, 255));
    blue.setStyle(Qt::SolidPattern);
    QBrush placeholder(QColor(255, 255, 255, 128));
    placeholder.setStyle(Qt::NoBrush);
    QPalette p;
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        p.setBrush(g, QPalette::WindowText, white);
        p.setBrush(g, QPalette::Button, blue);
        p.setBrush(g, QPalette::Text, white);
        p.setBrush(g, QPalette::ButtonText, white);
        p.setBrush(g, QPalette::Base, blue);
        p.setBrush(g, QPalette::Window, blue);
        p.setBrush(g, QPalette::PlaceholderText, placeholder);
    }
    return p;
}

const QStringList &kOffOn = offOnNames();
const QStringList &kNorRev = norRevNames();
const QStringList kNc = {"NC"};
const QStringList &kAuxSources = auxSourceNames();
const QStringList &kCh1to4 = ch1to4Names();
const QStringList &kCh1to8 = ch1to8Names();
const QStringList &kSwa = swaNames();
const QStringList &kUpDown = upDownNames();
const QStringList &kAttiSources = attiSourceNames();
const QStringList &kMixStates = mixStateNames();
const QStringList kPcVersion = {"V4.6"};

// BASIC: seven groups of one row per channel, CH1 at the top.
const QRect kBasicColumn(15, 30, 91, 431);

const std::vector<Group> kBasicPage = {
    {W(groupBox),
     "CHANNEL",
     QRect(10, 10, 110, 470),
     true,
     {{COLUMN(channelColumn, channelLayout),
       QRect(10, 30, 91, 431),
       5,
       {caption(W(lineEdit_28), "CH1:"), caption(W(lineEdit_29), "CH2:"), caption(W(lineEdit_31), "CH3:"),
        caption(W(lineEdit_32), "CH4:"), caption(W(lineEdit_33), "CH5:"), caption(W(lineEdit_34), "CH6:"),
        caption(W(lineEdit_35), "CH7:"), caption(W(lineEdit_36), "CH8:", 22)}}}},
    {W(groupBox_2),
     "REVERSE",
     QRect(130, 10, 120, 470),
     true,
     {{COLUMN(reverseColumn, reverseLayout),
       kBasicColumn,
       5,
       {withPalette(combo(W(comboBox_rev1), kNorRev, 0, 20, kPreferred), reversePalette),
        combo(W(comboBox_rev2), kNorRev, 0, 20, kPreferred),
        combo(W(comboBox_rev3), kNorRev, 1, 20, kPreferred),
        combo(W(comboBox_rev4), kNorRev, 0, 20, kPreferred),
        combo(W(comboBox_rev5), kNorRev, 0, 20, kPreferred),
        combo(W(comboBox_rev6), kNorRev, 0, 20, kPreferred),
        combo(W(comboBox_rev7), kNorRev, 0, 20, kPreferred),
        combo(W(comboBox_rev8), kNorRev, 0, 22, kPreferred)}}}},
    {W(groupBox_3),
     "SUB-TRIM",
     QRect(265, 10, 120, 470),
     true,
     {{COLUMN(subTrimColumn, subTrimLayout),
       kBasicColumn,
       5,
       {spin(W(spinBox_sub1), -100, 100, 0, 20, kMinimum), spin(W(spinBox_sub2), -100, 100, 0, 20, kMinimum),
        spin(W(spinBox_sub3), -100, 100, 0, 20, kMinimum), spin(W(spinBox_sub4), -100, 100, 0, 20, kMinimum),
        spin(W(spinBox_sub5), -100, 100, 0, 20, kMinimum), spin(W(spinBox_sub6), -100, 100, 0, 20, kMinimum),
        spin(W(spinBox_sub7), -100, 100, 0, 20, kMinimum),
        spin(W(spinBox_sub8), -100, 100, 0, 22, kMinimum)}}}},
    {W(groupBox_4),
     "END POINT--L---R---",
     QRect(405, 10, 215, 470),
     true,
     {{COLUMN(lepaColumn, lepaLayout),
       kBasicColumn,
       5,
       {spin(W(spinBox_Lepa1), 0, 120, 96, 20, kMinimum), spin(W(spinBox_Lepa2), 0, 120, 96, 22, kMinimum),
        spin(W(spinBox_Lepa3), 0, 120, 96, 20, kMinimum), spin(W(spinBox_Lepa4), 0, 120, 96, 20, kMinimum),
        spin(W(spinBox_Lepa5), 0, 120, 96, 20, kMinimum), spin(W(spinBox_Lepa6), 0, 120, 96, 20, kMinimum),
        spin(W(spinBox_Lepa7), 0, 120, 96, 20, kMinimum), spin(W(spinBox_Lepa8), 0, 120, 96, 22, kMinimum)},
       " L"},
      {COLUMN(repaColumn, repaLayout),
       QRect(110, 30, 91, 431),
       5,
       {spin(W(spinBox_Repa1), 0, 120, 96, 20, kMinimum), spin(W(spinBox_Repa2), 0, 120, 96, 20, kMinimum),
        spin(W(spinBox_Repa3), 0, 120, 96, 20, kMinimum), spin(W(spinBox_Repa4), 0, 120, 96, 20, kMinimum),
        spin(W(spinBox_Repa5), 0, 120, 96, 20, kMinimum), spin(W(spinBox_Repa6), 0, 120, 96, 20, kMinimum),
        spin(W(spinBox_Repa7), 0, 120, 96, 20, kMinimum), spin(W(spinBox_Repa8), 0, 120, 96, 22, kMinimum)},
       " R"}}},
    {W(groupBox_14),
     "FAIL SAFE",
     QRect(640, 10, 120, 470),
     true,
     {{COLUMN(failSafeColumn, failSafeLayout),
       kBasicColumn,
       5,
       {spin(W(spinBox_FS1), 0, 100, 50, 20, kMinimum), spin(W(spinBox_FS2), 0, 100, 50, 20, kMinimum),
        spin(W(spinBox_FS3), 0, 100, 0, 20, kMinimum), spin(W(spinBox_FS4), 0, 100, 50, 20, kMinimum),
        spin(W(spinBox_FS5), 0, 100, 50, 20, kMinimum), spin(W(spinBox_FS6), 0, 100, 50, 20, kMinimum),
        spin(W(spinBox_FS7), 0, 100, 50, 20, kMinimum), spin(W(spinBox_FS8), 0, 100, 50, 22, kMinimum)}}}},
    {W(groupBox_5),
     "DELAY",
     QRect(780, 10, 120, 470),
     true,
     {{COLUMN(delayColumn, delayLayout),
       kBasicColumn,
       5,
       {spin(W(spinBox_delay1), 0, 100, 100, 20, kMinimum),
        spin(W(spinBox_delay2), 0, 100, 100, 20, kMinimum),
        spin(W(spinBox_delay3), 0, 100, 100, 20, kMinimum),
        spin(W(spinBox_delay4), 0, 100, 100, 20, kMinimum),
        spin(W(spinBox_delay5), 0, 100, 100, 20, kMinimum),
        spin(W(spinBox_delay6), 0, 100, 100, 20, kMinimum),
        spin(W(spinBox_delay7), 0, 100, 100, 20, kMinimum),
        spin(W(spinBox_delay8), 0, 100, 100, 22, kMinimum)}}}},
    {W(groupBox_6),
     "AUX-CH",
     QRect(915, 10, 120, 470),
     true,
     {{COLUMN(auxColumn, auxLayout),
       kBasicColumn,
       5,
       {combo(W(comboBox_AUX1), kNc, 0, 20, kPreferred), combo(W(comboBox_AUX2), kNc, 0, 20, kPreferred),
        combo(W(comboBox_AUX3), kNc, 0, 20, kPreferred), combo(W(comboBox_AUX4), kNc, 0, 20, kPreferred),
        combo(W(comboBox_AUX5), kAuxSources, 1, 20, kPreferred),
        combo(W(comboBox_AUX6), kAuxSources, 3, 20, kPreferred),
        combo(W(comboBox_AUX7), kAuxSources, 0, 20, kPreferred),
        combo(W(comboBox_AUX8), kAuxSources, 2, 22, kPreferred)}}}},
};

const std::vector<Group> kAdvance1Page = {
    {W(groupBox_8),
     "D/R",
     QRect(5, 10, 220, 351),
     true,
     {{COLUMN(drCaptionColumn, drCaptionLayout),
       QRect(10, 30, 111, 321),
       0,
       {caption(W(lineEdit_53), "MIX:"), caption(W(lineEdit_54), "CH:"), caption(W(lineEdit_55), "SW:"),
        caption(W(lineEdit_56), "UP:"), caption(W(lineEdit_57), "DOWN:")}},
      {COLUMN(drEditorColumn, drEditorLayout),
       QRect(120, 30, 91, 311),
       0,
       {combo(W(comboBox_DR_MIX1), kOffOn), combo(W(comboBox_DR_CH1), kCh1to4),
        combo(W(comboBox_DR_SW1), kSwa), spin(W(spinBox_DR_UP1), 0, 100, 100),
        spin(W(spinBox_DR_DOWN1), 0, 100, 100)}}}},
    {W(groupBox_7),
     "ATTITUDE",
     QRect(240, 10, 221, 470),
     false,
     {{COLUMN(attiCaptionColumn, attiCaptionLayout),
       QRect(11, 31, 111, 431),
       kDefaultSpacing,
       {caption(W(lineEdit_45), "CH:"), caption(W(lineEdit_46), "ATTI1:", 22),
        caption(W(lineEdit_47), "ATTI2:"), caption(W(lineEdit_48), "ATTI3:"),
        caption(W(lineEdit_49), "ATTI4:"), caption(W(lineEdit_50), "ATTI5:"),
        caption(W(lineEdit_51), "ATTI6:", 22)}},
      {COLUMN(attiEditorColumn, attiEditorLayout),
       QRect(120, 30, 91, 431),
       kDefaultSpacing,
       {combo(W(comboBox_AttiM), kAttiSources, 0, 22), spin(W(spinBox_Atti1), 0, 100, 14, 22),
        spin(W(spinBox_Atti2), 0, 100, 29, 22), spin(W(spinBox_Atti3), 0, 100, 44, 22),
        spin(W(spinBox_Atti4), 0, 100, 56, 22), spin(W(spinBox_Atti5), 0, 100, 69, 22),
        spin(W(spinBox_Atti6), 0, 100, 88, 22)}}}},
    {W(groupBox_10),
     "ELEVON",
     QRect(470, 10, 330, 350),
     false,
     {{COLUMN(elevonCaptionColumn, elevonCaptionLayout),
       QRect(10, 26, 131, 321),
       0,
       {caption(W(lineEdit_73), " MIX:"), caption(W(lineEdit_74), "AILE1:"),
        caption(W(lineEdit_75), "AILE2:"), caption(W(lineEdit_76), "ELEV2:"),
        caption(W(lineEdit_77), "ELEV1:")}},
      {COLUMN(elevonEditorColumn, elevonEditorLayout),
       QRect(140, 25, 101, 321),
       0,
       {combo(W(comboBox_EleMix), kOffOn, 0, 22), spin(W(spinBox_Elev01), -100, 100, 100, 22),
        spin(W(spinBox_Elev02), -100, 100, 100, 22), spin(W(spinBox_Elev03), -100, 100, 100, 22),
        spin(W(spinBox_Elev04), -100, 100, -100, 22)}},
      {COLUMN(elevonExtraColumn, elevonExtraLayout),
       QRect(240, 90, 91, 131),
       0,
       {spin(W(spinBox_Elev05), -100, 100, 100, 22), spin(W(spinBox_Elev06), -100, 100, 100, 22)},
       " (right)", // beside AILE1 and AILE2
       1}}},
    {W(groupBox_13),
     "V-TAIL",
     QRect(810, 10, 240, 350),
     false,
     {{COLUMN(vtailCaptionColumn, vtailCaptionLayout),
       QRect(10, 30, 121, 321),
       0,
       {caption(W(lineEdit_78), "MIX:"), caption(W(lineEdit_95), "ELEV1:"), caption(W(lineEdit_96), "ELEV2:"),
        caption(W(lineEdit_97), "RUDD2:"), caption(W(lineEdit_98), "RUDD1:")}},
      {COLUMN(vtailEditorColumn, vtailEditorLayout),
       QRect(130, 30, 101, 321),
       0,
       {combo(W(comboBox_RuMix), kOffOn), spin(W(spinBox_Ru1), -100, 100, 50),
        spin(W(spinBox_Ru2), -100, 100, -50), spin(W(spinBox_Ru3), -100, 100, 50),
        spin(W(spinBox_Ru4), -100, 100, 50, 20, kMinimum)}}}},
};

const std::vector<Group> kAdvance2Page = {
    {W(groupBox_19),
     "D/R CURE",
     QRect(10, 10, 510, 470),
     false,
     {{COLUMN(drCureCaptionColumn, drCureCaptionLayout),
       QRect(10, 30, 101, 441),
       kDefaultSpacing,
       {caption(W(lineEdit_146), "MIX:"), caption(W(lineEdit_142), " CH:"), caption(W(lineEdit_141), "SW:"),
        caption(W(lineEdit_143), " POSI:"), caption(W(lineEdit_144), "RATE:"),
        caption(W(lineEdit_145), "EXP:")}},
      {COLUMN(drCureEditorColumn, drCureEditorLayout),
       QRect(110, 30, 101, 441),
       kDefaultSpacing,
       {combo(W(comboBox_DR_MIX2), kOffOn), combo(W(comboBox_DR_CH2), kCh1to4),
        combo(W(comboBox_DR_SW2), kSwa), combo(W(comboBox_DR_POSI), kUpDown),
        spin(W(spinBox_DR_RATE), 0, 100, 100), spin(W(spinBox_DR_EXP), -100, 100, 100)}}}},
    {W(groupBox_18),
     "TH CURE",
     QRect(530, 10, 521, 470),
     false,
     {{COLUMN(thCureCaptionColumn, thCureCaptionLayout),
       QRect(10, 29, 101, 441),
       kDefaultSpacing,
       {caption(W(lineEdit_130), "MIX:"), caption(W(lineEdit_126), "POINT1:"),
        caption(W(lineEdit_125), "POINT2:"), caption(W(lineEdit_127), "POINT3:"),
        caption(W(lineEdit_128), "POINT4:"), caption(W(lineEdit_129), "POINT5:"),
        caption(W(lineEdit_131), "POINT6:"), caption(W(lineEdit_132), "POINT7:")}},
      {COLUMN(thCureEditorColumn, thCureEditorLayout),
       QRect(110, 30, 91, 441),
       kDefaultSpacing,
       {combo(W(comboBox_THCURE_MIX), kOffOn), spin(W(spinBox_THCURE_Data01), 0, 100, 0),
        spin(W(spinBox_THCURE_Data02), 0, 100, 16), spin(W(spinBox_THCURE_Data03), 0, 100, 33),
        spin(W(spinBox_THCURE_Data04), 0, 100, 50), spin(W(spinBox_THCURE_Data05), 0, 100, 67),
        spin(W(spinBox_THCURE_Data06), 0, 100, 84), spin(W(spinBox_THCURE_Data07), 0, 100, 100)}}}},
};

// PROG.MIX: the groups are created in the order 4, 3, 1, 2 and stand left to
// right as 1, 2, 3, 4. Mixes 1 and 2 allow negative UP and DOWN rates.
const std::vector<Group> kProgMixPage = {
    {W(groupBox_16),
     "PROG.MIX4",
     QRect(820, 5, 250, 481),
     false,
     {{COLUMN(prm4CaptionColumn, prm4CaptionLayout),
       QRect(10, 30, 101, 441),
       kDefaultSpacing,
       {caption(W(lineEdit_112), "MIX:"), caption(W(lineEdit_108), "MAS:"), caption(W(lineEdit_107), "SLA:"),
        caption(W(lineEdit_109), "OFFSET:", 16), caption(W(lineEdit_110), "UP:"),
        caption(W(lineEdit_111), "DOWN:")}},
      {COLUMN(prm4EditorColumn, prm4EditorLayout),
       QRect(110, 30, 101, 441),
       kDefaultSpacing,
       {combo(W(comboBox_PRM04_Mix), kMixStates), combo(W(comboBox_PRM04_Master), kCh1to8, 1),
        combo(W(comboBox_PRM04_Slave), kCh1to8, 5), spin(W(spinBox_PRM04_Data1), -100, 100, 100),
        spin(W(spinBox_PRM04_Data2), 0, 100, 100), spin(W(spinBox_PRM04_Data3), 0, 100, 100)}}}},
    {W(groupBox_15),
     "PROG.MIX3",
     QRect(570, 5, 250, 481),
     false,
     {{COLUMN(prm3CaptionColumn, prm3CaptionLayout),
       QRect(10, 30, 111, 441),
       kDefaultSpacing,
       {caption(W(lineEdit_106), "MIX:"), caption(W(lineEdit_102), "MAS:"), caption(W(lineEdit_101), "SLA:"),
        caption(W(lineEdit_103), "OFFSET:", 16), caption(W(lineEdit_104), "UP:"),
        caption(W(lineEdit_105), "DOWN:")}},
      {COLUMN(prm3EditorColumn, prm3EditorLayout),
       QRect(120, 30, 101, 441),
       kDefaultSpacing,
       {combo(W(comboBox_PRM03_Mix), kMixStates), combo(W(comboBox_PRM03_Master), kCh1to8, 0),
        combo(W(comboBox_PRM03_Slave), kCh1to8, 3), spin(W(spinBox_PRM03_Data1), -100, 100, 100),
        spin(W(spinBox_PRM03_Data2), 0, 100, 100), spin(W(spinBox_PRM03_Data3), 0, 100, 100)}}}},
    {W(groupBox_11),
     "PROG.MIX1",
     QRect(10, 5, 250, 480),
     false,
     {{COLUMN(prm1CaptionColumn, prm1CaptionLayout),
       QRect(10, 30, 111, 441),
       0,
       {caption(W(lineEdit_80), "MIX:"), caption(W(lineEdit_83), "MAS:"), caption(W(lineEdit_79), "SLA:"),
        caption(W(lineEdit_84), "OFFSET:", 16), caption(W(lineEdit_85), "UP:"),
        caption(W(lineEdit_86), "DOWN:", 16)}},
      {COLUMN(prm1EditorColumn, prm1EditorLayout),
       QRect(120, 30, 101, 441),
       0,
       {combo(W(comboBox_PRM01_Mix), kMixStates), combo(W(comboBox_PRM01_Master), kCh1to8, 0),
        combo(W(comboBox_PRM01_Slave), kCh1to8, 3), spin(W(spinBox_PRM01_Data1), -100, 100, 100),
        spin(W(spinBox_PRM01_Data2), -100, 100, 100), spin(W(spinBox_PRM01_Data3), -100, 100, 100)}}}},
    {W(groupBox_12),
     "PROG.MIX2",
     QRect(300, 5, 250, 480),
     false,
     {{COLUMN(prm2CaptionColumn, prm2CaptionLayout),
       QRect(10, 30, 121, 441),
       0,
       {caption(W(lineEdit_94), "MIX:"), caption(W(lineEdit_90), "MAS:"), caption(W(lineEdit_89), "SLA:"),
        caption(W(lineEdit_91), "OFFSET:", 16), caption(W(lineEdit_92), "UP:"),
        caption(W(lineEdit_93), "DOWN:", 16)}},
      {COLUMN(prm2EditorColumn, prm2EditorLayout),
       QRect(130, 30, 101, 441),
       0,
       {combo(W(comboBox_PRM02_Mix), kMixStates), combo(W(comboBox_PRM02_Master), kCh1to8, 1, 22),
        combo(W(comboBox_PRM02_Slave), kCh1to8, 5, 22), spin(W(spinBox_PRM02_Data1), -100, 100, 100, 22),
        spin(W(spinBox_PRM02_Data2), -100, 100, 100, 22),
        spin(W(spinBox_PRM02_Data3), -100, 100, 100, 22)}}}},
};

const std::vector<Group> kSystemPage = {
    {W(groupBox_17),
     "ALARM",
     QRect(20, 10, 350, 470),
     false,
     {{COLUMN(alarmCaptionColumn, alarmCaptionLayout),
       QRect(10, 30, 201, 251),
       kDefaultSpacing,
       {caption(W(lineEdit_68), "TX-Alarm:", 20, true), caption(W(lineEdit_81), "RX-Alarm:", 20, true),
        caption(W(lineEdit_71), "EXT-Alarm:", 20, true), caption(W(lineEdit_72), "Rssi-Alarm:")}},
      {COLUMN(alarmEditorColumn, alarmEditorLayout),
       QRect(210, 30, 131, 251),
       kDefaultSpacing,
       {volts(W(doubleSpinBox_Volt), 22), volts(W(doubleSpinBox_rxVolt), 22),
        volts(W(doubleSpinBox_extVolt), 22), spin(W(spinBox_Rssi), -100, 0, -100, 22)}}}},
    {W(groupBox_23),
     "VERSION / MODE",
     QRect(380, 10, 350, 470),
     false,
     {{COLUMN(versionCaptionColumn, versionCaptionLayout),
       QRect(10, 30, 201, 191),
       kDefaultSpacing,
       {caption(W(lineEdit_64), "STK-MODE:"), caption(W(lineEdit_65), "TX Version:"),
        caption(W(lineEdit_69), "PC Version:")}},
      {COLUMN(versionEditorColumn, versionEditorLayout),
       QRect(210, 30, 131, 191),
       kDefaultSpacing,
       {spin(W(spinBox_Mode), 1, 4, 2, 22), spin(W(spinBox_Vertion), 0, 1000, 0, 22),
        combo(W(comboBox_PRM02_Master_2), kPcVersion, 0, 22)}}}},
    {W(groupBox_20), "DATA RESET", QRect(740, 10, 300, 470), false, {}},
};

#undef W
#undef COLUMN

const std::vector<const std::vector<Group> *> kAllPages = {&kBasicPage, &kAdvance1Page, &kAdvance2Page,
                                                           &kProgMixPage, &kSystemPage};

QWidget *makeCell(F *form, QWidget *holder, const Cell &c)
{
    QWidget *w = nullptr;
    QString style;
    if (c.caption) {
        auto *e = new QLineEdit(holder);
        form->*c.caption = e;
        w = e;
        style = Styles::rowLabel(c.px);
    } else if (c.spin) {
        auto *s = new QSpinBox(holder);
        form->*c.spin = s;
        w = s;
        style = Styles::editor("QSpinBox", c.px);
    } else if (c.dspin) {
        auto *d = new QDoubleSpinBox(holder);
        form->*c.dspin = d;
        w = d;
        style = Styles::editor("QDoubleSpinBox", c.px);
    } else {
        auto *b = new QComboBox(holder);
        form->*c.combo = b;
        w = b;
        style = Styles::editor("QComboBox", c.px);
    }
    w->setObjectName(c.name);
    w->setSizePolicy(QSizePolicy(c.horizontal, QSizePolicy::Expanding));
    if (c.palette)
        w->setPalette(c.palette());
    if (c.arialBold)
        w->setFont(Styles::arialBold());
    w->setStyleSheet(style);

    if (c.caption) {
        (form->*c.caption)->setAlignment(Qt::AlignCenter);
        (form->*c.caption)->setReadOnly(true);
    } else if (c.spin) {
        QSpinBox *s = form->*c.spin;
        s->setMinimum(int(c.min));
        s->setMaximum(int(c.max));
        s->setSingleStep(int(c.step));
        s->setValue(int(c.value));
    } else if (c.dspin) {
        QDoubleSpinBox *d = form->*c.dspin;
        d->setDecimals(c.decimals);
        d->setMinimum(c.min);
        d->setMaximum(c.max);
        d->setSingleStep(c.step);
        d->setValue(c.value);
    } else {
        for (int i = 0; i < c.items.size(); ++i)
            (form->*c.combo)->addItem(QString()); // the texts come with applyPageTexts
    }
    return w;
}

void buildGroups(F *form, QWidget *frame, const std::vector<Group> &groups)
{
    for (const Group &g : groups) {
        auto *box = new QGroupBox(frame);
        box->setObjectName(g.name);
        box->setGeometry(g.rect);
        if (g.arialBold)
            box->setFont(Styles::arialBold());
        box->setStyleSheet(Styles::groupTitle());
        form->*g.box = box;
        for (const Column &col : g.columns) {
            auto *holder = new QWidget(box);
            holder->setObjectName(col.holderName);
            holder->setGeometry(col.rect);
            auto *layout = new QVBoxLayout(holder);
            layout->setObjectName(col.layoutName);
            if (col.spacing != kDefaultSpacing)
                layout->setSpacing(col.spacing);
            layout->setContentsMargins(0, 0, 0, 0);
            form->*col.holder = holder;
            form->*col.layout = layout;
            for (const Cell &cell : col.cells)
                layout->addWidget(makeCell(form, holder, cell));
        }
    }
}

QWidget *widgetOf(F *form, const Cell &c)
{
    if (c.caption)
        return form->*c.caption;
    if (c.spin)
        return form->*c.spin;
    if (c.dspin)
        return form->*c.dspin;
    return form->*c.combo;
}

} // namespace

void MainWindowForm::nameSettingsPages(std::vector<QWidget *> &tabChain)
{
    const Column &channels = kBasicPage.front().columns.front();
    for (const std::vector<Group> *page : kAllPages) {
        // The page's editors with the x of their column on the page, each
        // column top to bottom.
        std::vector<std::pair<int, QWidget *>> editors;
        for (const Group &g : *page) {
            QGroupBox *box = this->*g.box;
            const QString title = tabWidget->tabText(tabWidget->indexOf(box->parentWidget()->parentWidget()));
            const QString prefix = title + ", " + g.title + ", ";
            const Column *captions = &channels;
            for (const Column &col : g.columns)
                if (col.cells.front().caption)
                    captions = &col;
            for (const Column &col : g.columns) {
                for (size_t row = 0; row < col.cells.size(); ++row) {
                    QWidget *w = widgetOf(this, col.cells[row]);
                    if (col.cells[row].caption) {
                        // Its text is in its editor's name; Tab passes it by.
                        w->setFocusPolicy(Qt::ClickFocus);
                        continue;
                    }
                    w->setAccessibleName(prefix + spoken(captions->cells[row + col.captionRow].text) +
                                         col.suffix);
                    editors.emplace_back(g.rect.x() + col.rect.x(), w);
                }
            }
        }
        if (page == &kSystemPage)
            editors.emplace_back(groupBox_20->x() + pushButton_Reset2->x(), pushButton_Reset2);
        // Column by column from the left, each from the top.
        std::stable_sort(editors.begin(), editors.end(),
                         [](const auto &a, const auto &b) { return a.first < b.first; });
        for (const auto &e : editors)
            tabChain.push_back(e.second);
    }
}

void MainWindowForm::buildBasicPage()
{
    buildGroups(this, frame_2, kBasicPage);
    lineEdit_36->setReadOnly(false);
}

void MainWindowForm::buildAdvance1Page()
{
    buildGroups(this, frame_4, kAdvance1Page);
}

void MainWindowForm::buildAdvance2Page()
{
    buildGroups(this, frame_5, kAdvance2Page);
    widget_3 = new mWidget(groupBox_19);
    widget_3->setObjectName("widget_3");
    widget_3->setGeometry(QRect(220, 90, 280, 280));
    widget_3->setStyleSheet(Styles::plotBackground());
    widget_4 = new cureWidget(groupBox_18);
    widget_4->setObjectName("widget_4");
    widget_4->setGeometry(QRect(210, 80, 300, 300));
    widget_4->setStyleSheet(Styles::plotBackground());
}

void MainWindowForm::buildProgMixPage()
{
    buildGroups(this, frame_8, kProgMixPage);
}

void MainWindowForm::buildSystemPage()
{
    buildGroups(this, frame_7, kSystemPage);
    pushButton_Reset2 = new QPushButton(groupBox_20);
    pushButton_Reset2->setObjectName("pushButton_Reset2");
    pushButton_Reset2->setGeometry(QRect(10, 130, 281, 61));
    pushButton_Reset2->setStyleSheet(Styles::pushButton(16));
}

void MainWindowForm::applyPageTexts()
{
    for (const std::vector<Group> *page : kAllPages) {
        for (const Group &g : *page) {
            (this->*g.box)->setTitle(g.title);
            for (const Column &col : g.columns) {
                for (const Cell &cell : col.cells) {
                    if (cell.caption)
                        (this->*cell.caption)->setText(cell.text);
                    if (cell.combo)
                        for (int i = 0; i < cell.items.size(); ++i)
                            (this->*cell.combo)->setItemText(i, cell.items[i]);
                }
            }
        }
    }
    comboBox_PRM02_Master_2->setCurrentText("V4.6");
    pushButton_Reset2->setText("DATA RESET");
}

void MainWindowForm::setPageSelections()
{
    for (const std::vector<Group> *page : kAllPages)
        for (const Group &g : *page)
            for (const Column &col : g.columns)
                for (const Cell &cell : col.cells)
                    if (cell.combo)
                        (this->*cell.combo)->setCurrentIndex(cell.index);
}
