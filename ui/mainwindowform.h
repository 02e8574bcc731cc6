#pragma once

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFrame>
#include <QGroupBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWidget>
#include <vector>

#include "ui/curves.h"
#include "ui/portnamebox.h"

class QMainWindow;

// Holds every widget of the main window under its objectName.
class MainWindowForm
{
public:
    // Creates the whole widget tree for the window, applies the texts, sets the
    // initial selections and, last, connects the window's slots by name.
    void build(QMainWindow *window);
    void applyTexts(QMainWindow *window);
    // The port lamp: green and "port open", or red and "port closed" (its
    // name for screen readers, which hear it as a status indicator).
    void setPortLamp(bool open);

    QWidget *centralwidget, *tab, *tab_2, *tab_3, *tab_4, *tab_7;
    QWidget *tab_6;
    QFrame *frame, *frame_3, *frame_2, *frame_4, *frame_5, *frame_8;
    QFrame *frame_7;
    QTabWidget *tabWidget;
    QToolButton *toolButton_Read, *toolButton_Load, *toolButton_Send, *toolButton_Save, *toolButton_Reset,
        *toolButton_led;
    QPushButton *openButton, *pushButton_Reset2;
    PortNameBox *portNameBox;
    QComboBox *comboBox_rev1, *comboBox_rev2, *comboBox_rev3, *comboBox_rev4, *comboBox_rev5;
    QComboBox *comboBox_rev6, *comboBox_rev7, *comboBox_rev8, *comboBox_AUX1, *comboBox_AUX2, *comboBox_AUX3;
    QComboBox *comboBox_AUX4, *comboBox_AUX5, *comboBox_AUX6, *comboBox_AUX7, *comboBox_AUX8,
        *comboBox_DR_MIX1;
    QComboBox *comboBox_DR_CH1, *comboBox_DR_SW1, *comboBox_AttiM, *comboBox_EleMix, *comboBox_RuMix,
        *comboBox_DR_MIX2;
    QComboBox *comboBox_DR_CH2, *comboBox_DR_SW2, *comboBox_DR_POSI, *comboBox_THCURE_MIX,
        *comboBox_PRM01_Mix, *comboBox_PRM01_Master;
    QComboBox *comboBox_PRM01_Slave, *comboBox_PRM02_Mix, *comboBox_PRM02_Master, *comboBox_PRM02_Slave,
        *comboBox_PRM03_Mix, *comboBox_PRM03_Master;
    QComboBox *comboBox_PRM03_Slave, *comboBox_PRM04_Mix, *comboBox_PRM04_Master, *comboBox_PRM04_Slave,
        *comboBox_PRM02_Master_2;
    QProgressBar *progressBar_10, *progressBar_20, *progressBar_30, *progressBar_40, *progressBar_50,
        *progressBar_60;
    QProgressBar *progressBar_70, *progressBar_80, *progressBar_11, *progressBar_21, *progressBar_31,
        *progressBar_41;
    QProgressBar *progressBar_51, *progressBar_61, *progressBar_71, *progressBar_81;
    QGroupBox *groupBox, *groupBox_2, *groupBox_3, *groupBox_4, *groupBox_14, *groupBox_5;
    QGroupBox *groupBox_6, *groupBox_8, *groupBox_7, *groupBox_10, *groupBox_13, *groupBox_19;
    QGroupBox *groupBox_18, *groupBox_11, *groupBox_12, *groupBox_15, *groupBox_16, *groupBox_17;
    QGroupBox *groupBox_23, *groupBox_20;
    QLineEdit *lineEdit_26, *lineEdit_27, *lineEdit_30, *lineEdit_37, *lineEdit_TX, *lineEdit_EXT;
    QLineEdit *lineEdit_RSSI, *lineEdit_RX, *lineEdit, *lineEdit_2, *lineEdit_3, *lineEdit_4;
    QLineEdit *lineEdit_5, *lineEdit_6, *lineEdit_7, *lineEdit_8, *lineEdit_9, *lineEdit_19;
    QLineEdit *lineEdit_20, *lineEdit_21, *lineEdit_22, *lineEdit_23, *lineEdit_24, *lineEdit_25;
    QLineEdit *lineEdit_28, *lineEdit_29, *lineEdit_31, *lineEdit_32, *lineEdit_33, *lineEdit_34;
    QLineEdit *lineEdit_35, *lineEdit_36, *lineEdit_53, *lineEdit_54, *lineEdit_55, *lineEdit_56;
    QLineEdit *lineEdit_57, *lineEdit_45, *lineEdit_46, *lineEdit_47, *lineEdit_48, *lineEdit_49;
    QLineEdit *lineEdit_50, *lineEdit_51, *lineEdit_73, *lineEdit_74, *lineEdit_75, *lineEdit_76;
    QLineEdit *lineEdit_77, *lineEdit_78, *lineEdit_95, *lineEdit_96, *lineEdit_97, *lineEdit_98;
    QLineEdit *lineEdit_146, *lineEdit_142, *lineEdit_141, *lineEdit_143, *lineEdit_144, *lineEdit_145;
    QLineEdit *lineEdit_130, *lineEdit_126, *lineEdit_125, *lineEdit_127, *lineEdit_128, *lineEdit_129;
    QLineEdit *lineEdit_131, *lineEdit_132, *lineEdit_80, *lineEdit_83, *lineEdit_79, *lineEdit_84;
    QLineEdit *lineEdit_85, *lineEdit_86, *lineEdit_94, *lineEdit_90, *lineEdit_89, *lineEdit_91;
    QLineEdit *lineEdit_92, *lineEdit_93, *lineEdit_106, *lineEdit_102, *lineEdit_101, *lineEdit_103;
    QLineEdit *lineEdit_104, *lineEdit_105, *lineEdit_112, *lineEdit_108, *lineEdit_107, *lineEdit_109;
    QLineEdit *lineEdit_110, *lineEdit_111, *lineEdit_68, *lineEdit_81, *lineEdit_71, *lineEdit_72;
    QLineEdit *lineEdit_64, *lineEdit_65, *lineEdit_69;
    QSpinBox *spinBox_sub1, *spinBox_sub2, *spinBox_sub3, *spinBox_sub4, *spinBox_sub5, *spinBox_sub6;
    QSpinBox *spinBox_sub7, *spinBox_sub8, *spinBox_Lepa1, *spinBox_Lepa2, *spinBox_Lepa3, *spinBox_Lepa4;
    QSpinBox *spinBox_Lepa5, *spinBox_Lepa6, *spinBox_Lepa7, *spinBox_Lepa8, *spinBox_Repa1, *spinBox_Repa2;
    QSpinBox *spinBox_Repa3, *spinBox_Repa4, *spinBox_Repa5, *spinBox_Repa6, *spinBox_Repa7, *spinBox_Repa8;
    QSpinBox *spinBox_FS1, *spinBox_FS2, *spinBox_FS3, *spinBox_FS4, *spinBox_FS5, *spinBox_FS6;
    QSpinBox *spinBox_FS7, *spinBox_FS8, *spinBox_delay1, *spinBox_delay2, *spinBox_delay3, *spinBox_delay4;
    QSpinBox *spinBox_delay5, *spinBox_delay6, *spinBox_delay7, *spinBox_delay8, *spinBox_DR_UP1,
        *spinBox_DR_DOWN1;
    QSpinBox *spinBox_Atti1, *spinBox_Atti2, *spinBox_Atti3, *spinBox_Atti4, *spinBox_Atti5, *spinBox_Atti6;
    QSpinBox *spinBox_Elev01, *spinBox_Elev02, *spinBox_Elev03, *spinBox_Elev04, *spinBox_Elev05,
        *spinBox_Elev06;
    QSpinBox *spinBox_Ru1, *spinBox_Ru2, *spinBox_Ru3, *spinBox_Ru4, *spinBox_DR_RATE, *spinBox_DR_EXP;
    QSpinBox *spinBox_THCURE_Data01, *spinBox_THCURE_Data02, *spinBox_THCURE_Data03, *spinBox_THCURE_Data04,
        *spinBox_THCURE_Data05, *spinBox_THCURE_Data06;
    QSpinBox *spinBox_THCURE_Data07, *spinBox_PRM01_Data1, *spinBox_PRM01_Data2, *spinBox_PRM01_Data3,
        *spinBox_PRM02_Data1, *spinBox_PRM02_Data2;
    QSpinBox *spinBox_PRM02_Data3, *spinBox_PRM03_Data1, *spinBox_PRM03_Data2, *spinBox_PRM03_Data3,
        *spinBox_PRM04_Data1, *spinBox_PRM04_Data2;
    QSpinBox *spinBox_PRM04_Data3, *spinBox_Rssi, *spinBox_Mode, *spinBox_Vertion;
    QDoubleSpinBox *doubleSpinBox_Volt, *doubleSpinBox_rxVolt, *doubleSpinBox_extVolt;
    mWidget *widget_3;
    cureWidget *widget_4;

    // Column holders and their layouts inside the group boxes.
    // BASIC: one column per group, two in END POINT.
    QWidget *channelColumn, *reverseColumn, *subTrimColumn, *lepaColumn, *repaColumn, *failSafeColumn,
        *delayColumn, *auxColumn;
    QVBoxLayout *channelLayout, *reverseLayout, *subTrimLayout, *lepaLayout, *repaLayout, *failSafeLayout,
        *delayLayout, *auxLayout;
    // ADVANCE1.
    QWidget *drCaptionColumn, *drEditorColumn, *attiCaptionColumn, *attiEditorColumn, *elevonCaptionColumn,
        *elevonEditorColumn, *elevonExtraColumn, *vtailCaptionColumn, *vtailEditorColumn;
    QVBoxLayout *drCaptionLayout, *drEditorLayout, *attiCaptionLayout, *attiEditorLayout,
        *elevonCaptionLayout, *elevonEditorLayout, *elevonExtraLayout, *vtailCaptionLayout,
        *vtailEditorLayout;
    // ADVANCE2.
    QWidget *drCureCaptionColumn, *drCureEditorColumn, *thCureCaptionColumn, *thCureEditorColumn;
    QVBoxLayout *drCureCaptionLayout, *drCureEditorLayout, *thCureCaptionLayout, *thCureEditorLayout;
    // PROG.MIX, mixes 1 to 4.
    QWidget *prm1CaptionColumn, *prm1EditorColumn, *prm2CaptionColumn, *prm2EditorColumn, *prm3CaptionColumn,
        *prm3EditorColumn, *prm4CaptionColumn, *prm4EditorColumn;
    QVBoxLayout *prm1CaptionLayout, *prm1EditorLayout, *prm2CaptionLayout, *prm2EditorLayout,
        *prm3CaptionLayout, *prm3EditorLayout, *prm4CaptionLayout, *prm4EditorLayout;
    // SYSTEM.
    QWidget *alarmCaptionColumn, *alarmEditorColumn, *versionCaptionColumn, *versionEditorColumn;
    QVBoxLayout *alarmCaptionLayout, *alarmEditorLayout, *versionCaptionLayout, *versionEditorLayout;

private:
    // The five settings pages (BASIC ... SYSTEM): their groups, captions and
    // editors, their texts, and their initial combo-box selections.
    void buildBasicPage();
    void buildAdvance1Page();
    void buildAdvance2Page();
    void buildProgMixPage();
    void buildSystemPage();
    void applyPageTexts();
    void setPageSelections();
    // For screen readers and the keyboard (ui/accessibility.cpp):
    // prepareAccessibility runs before any widget exists; applyAccessibility
    // names every widget a screen reader stops at and sets the Tab order,
    // with nameSettingsPages doing the settings pages (it appends each page's
    // editors to tabChain in their Tab order).
    static void prepareAccessibility();
    void applyAccessibility();
    void nameSettingsPages(std::vector<QWidget *> &tabChain);
    // A caption as a screen reader says it: "CH3:" -> "CH3", " MIX:" -> "MIX".
    static QString spoken(QString caption);
};
