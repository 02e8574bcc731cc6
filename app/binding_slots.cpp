// The editor slots: each copies its widget's new value into the store.

#include "app/mainwindow.h"
#include "model/bindings.h"

void MainWindow::Dr_DataSelet()
{
    drDataSelect(TxSettings);
}

// Plain bindings: the slot of a spin box stores its value, the slot of a combo
// box its index (never -1, see storeIndex).
#define SPIN(widget, field)                                                                                  \
    void MainWindow::on_##widget##_valueChanged(int value)                                                   \
    {                                                                                                        \
        field = value;                                                                                       \
    }
#define DSPIN(widget, field)                                                                                 \
    void MainWindow::on_##widget##_valueChanged(double value)                                                \
    {                                                                                                        \
        field = value;                                                                                       \
    }
#define COMBO(widget, field)                                                                                 \
    void MainWindow::on_##widget##_currentIndexChanged(int index)                                            \
    {                                                                                                        \
        storeIndex(field, index);                                                                            \
    }

// BASIC page
SPIN(spinBox_sub1, TxSettings.sub[0])
SPIN(spinBox_sub2, TxSettings.sub[1])
SPIN(spinBox_sub3, TxSettings.sub[2])
SPIN(spinBox_sub4, TxSettings.sub[3])
SPIN(spinBox_sub5, TxSettings.sub[4])
SPIN(spinBox_sub6, TxSettings.sub[5])
SPIN(spinBox_sub7, TxSettings.sub[6])
SPIN(spinBox_sub8, TxSettings.sub[7])
SPIN(spinBox_Lepa1, TxSettings.lepa[0])
SPIN(spinBox_Lepa2, TxSettings.lepa[1])
SPIN(spinBox_Lepa3, TxSettings.lepa[2])
SPIN(spinBox_Lepa4, TxSettings.lepa[3])
SPIN(spinBox_Lepa5, TxSettings.lepa[4])
SPIN(spinBox_Lepa6, TxSettings.lepa[5])
SPIN(spinBox_Lepa7, TxSettings.lepa[6])
SPIN(spinBox_Lepa8, TxSettings.lepa[7])
SPIN(spinBox_Repa1, TxSettings.repa[0])
SPIN(spinBox_Repa2, TxSettings.repa[1])
SPIN(spinBox_Repa3, TxSettings.repa[2])
SPIN(spinBox_Repa4, TxSettings.repa[3])
SPIN(spinBox_Repa5, TxSettings.repa[4])
SPIN(spinBox_Repa6, TxSettings.repa[5])
SPIN(spinBox_Repa7, TxSettings.repa[6])
SPIN(spinBox_Repa8, TxSettings.repa[7])
SPIN(spinBox_FS1, TxSettings.fs[0])
SPIN(spinBox_FS2, TxSettings.fs[1])
SPIN(spinBox_FS3, TxSettings.fs[2])
SPIN(spinBox_FS4, TxSettings.fs[3])
SPIN(spinBox_FS5, TxSettings.fs[4])
SPIN(spinBox_FS6, TxSettings.fs[5])
SPIN(spinBox_FS7, TxSettings.fs[6])
SPIN(spinBox_FS8, TxSettings.fs[7])
SPIN(spinBox_delay1, TxSettings.delay[0])
SPIN(spinBox_delay2, TxSettings.delay[1])
SPIN(spinBox_delay3, TxSettings.delay[2])
SPIN(spinBox_delay4, TxSettings.delay[3])
SPIN(spinBox_delay5, TxSettings.delay[4])
SPIN(spinBox_delay6, TxSettings.delay[5])
SPIN(spinBox_delay7, TxSettings.delay[6])
SPIN(spinBox_delay8, TxSettings.delay[7])
COMBO(comboBox_rev1, TxSettings.rev[0])
COMBO(comboBox_rev2, TxSettings.rev[1])
COMBO(comboBox_rev3, TxSettings.rev[2])
COMBO(comboBox_rev4, TxSettings.rev[3])
COMBO(comboBox_rev5, TxSettings.rev[4])
COMBO(comboBox_rev6, TxSettings.rev[5])
COMBO(comboBox_rev7, TxSettings.rev[6])
COMBO(comboBox_rev8, TxSettings.rev[7])
COMBO(comboBox_AUX5, TxSettings.aux[0])
COMBO(comboBox_AUX6, TxSettings.aux[1])
COMBO(comboBox_AUX7, TxSettings.aux[2])
COMBO(comboBox_AUX8, TxSettings.aux[3])

// SYSTEM page
DSPIN(doubleSpinBox_Volt, TxSettings.txAlarmVolt)
DSPIN(doubleSpinBox_rxVolt, TxSettings.rxAlarmVolt)
DSPIN(doubleSpinBox_extVolt, TxSettings.extAlarmVolt)
SPIN(spinBox_Rssi, TxSettings.rssiAlarm)
SPIN(spinBox_Mode, TxSettings.stkMode)
SPIN(spinBox_Vertion, TxLiveData.txVersion)

// ADVANCE1 page: attitude, elevon, V-tail
COMBO(comboBox_AttiM, TxSettings.attiM)
SPIN(spinBox_Atti1, TxSettings.atti[0])
SPIN(spinBox_Atti2, TxSettings.atti[1])
SPIN(spinBox_Atti3, TxSettings.atti[2])
SPIN(spinBox_Atti4, TxSettings.atti[3])
SPIN(spinBox_Atti5, TxSettings.atti[4])
SPIN(spinBox_Atti6, TxSettings.atti[5])
COMBO(comboBox_EleMix, TxSettings.eleMix)
SPIN(spinBox_Elev01, TxSettings.elev[0])
SPIN(spinBox_Elev02, TxSettings.elev[1])
SPIN(spinBox_Elev03, TxSettings.elev[2])
SPIN(spinBox_Elev04, TxSettings.elev[3])
SPIN(spinBox_Elev05, TxSettings.elev[4])
SPIN(spinBox_Elev06, TxSettings.elev[5])
COMBO(comboBox_RuMix, TxSettings.ruMix)
SPIN(spinBox_Ru1, TxSettings.ru[0])
SPIN(spinBox_Ru2, TxSettings.ru[1])
SPIN(spinBox_Ru3, TxSettings.ru[2])
SPIN(spinBox_Ru4, TxSettings.ru[3])

// PROG.MIX page
COMBO(comboBox_PRM01_Mix, TxSettings.prm[0].mix)
COMBO(comboBox_PRM01_Master, TxSettings.prm[0].master)
COMBO(comboBox_PRM01_Slave, TxSettings.prm[0].slave)
SPIN(spinBox_PRM01_Data1, TxSettings.prm[0].data1)
SPIN(spinBox_PRM01_Data2, TxSettings.prm[0].data2)
SPIN(spinBox_PRM01_Data3, TxSettings.prm[0].data3)
COMBO(comboBox_PRM02_Mix, TxSettings.prm[1].mix)
COMBO(comboBox_PRM02_Master, TxSettings.prm[1].master)
COMBO(comboBox_PRM02_Slave, TxSettings.prm[1].slave)
SPIN(spinBox_PRM02_Data1, TxSettings.prm[1].data1)
SPIN(spinBox_PRM02_Data2, TxSettings.prm[1].data2)
SPIN(spinBox_PRM02_Data3, TxSettings.prm[1].data3)
COMBO(comboBox_PRM03_Mix, TxSettings.prm[2].mix)
COMBO(comboBox_PRM03_Master, TxSettings.prm[2].master)
COMBO(comboBox_PRM03_Slave, TxSettings.prm[2].slave)
SPIN(spinBox_PRM03_Data1, TxSettings.prm[2].data1)
SPIN(spinBox_PRM03_Data2, TxSettings.prm[2].data2)
SPIN(spinBox_PRM03_Data3, TxSettings.prm[2].data3)
COMBO(comboBox_PRM04_Mix, TxSettings.prm[3].mix)
COMBO(comboBox_PRM04_Master, TxSettings.prm[3].master)
COMBO(comboBox_PRM04_Slave, TxSettings.prm[3].slave)
SPIN(spinBox_PRM04_Data1, TxSettings.prm[3].data1)
SPIN(spinBox_PRM04_Data2, TxSettings.prm[3].data2)
SPIN(spinBox_PRM04_Data3, TxSettings.prm[3].data3)

// ADVANCE2 page: throttle curve
COMBO(comboBox_THCURE_MIX, TxSettings.thcureMix)
SPIN(spinBox_THCURE_Data01, TxSettings.thcure[0])
SPIN(spinBox_THCURE_Data02, TxSettings.thcure[1])
SPIN(spinBox_THCURE_Data03, TxSettings.thcure[2])
SPIN(spinBox_THCURE_Data04, TxSettings.thcure[3])
SPIN(spinBox_THCURE_Data05, TxSettings.thcure[4])
SPIN(spinBox_THCURE_Data06, TxSettings.thcure[5])
SPIN(spinBox_THCURE_Data07, TxSettings.thcure[6])

// D/R editors that store one field only. comboBox_DR_CH2 changes the channel
// without re-deriving the mirrors.
COMBO(comboBox_DR_MIX1, TxSettings.drMix)
COMBO(comboBox_DR_MIX2, TxSettings.drMix)
COMBO(comboBox_DR_CH2, TxSettings.drCh)
COMBO(comboBox_DR_SW2, TxSettings.drSw)

#undef SPIN
#undef DSPIN
#undef COMBO

// D/R editors that select or edit an element of the per-channel arrays; each
// re-derives the mirrors afterwards. A combo box reporting -1 changed nothing,
// so it neither stores nor re-derives.

void MainWindow::on_comboBox_DR_CH1_currentIndexChanged(int index)
{
    if (storeIndex(TxSettings.drCh, index))
        Dr_DataSelet();
}

void MainWindow::on_comboBox_DR_POSI_currentIndexChanged(int index)
{
    if (storeIndex(TxSettings.drPosi, index))
        Dr_DataSelet();
}

void MainWindow::on_spinBox_DR_UP1_valueChanged(int value)
{
    TxSettings.drUpEdit = value;
    if (drChannelSelected(TxSettings))
        TxSettings.drUp[TxSettings.drCh] = value;
    Dr_DataSelet();
}

void MainWindow::on_spinBox_DR_DOWN1_valueChanged(int value)
{
    TxSettings.drDownEdit = value;
    if (drChannelSelected(TxSettings))
        TxSettings.drDown[TxSettings.drCh] = value;
    Dr_DataSelet();
}

void MainWindow::on_spinBox_DR_RATE_valueChanged(int value)
{
    TxSettings.drRateEdit = value;
    if (drChannelSelected(TxSettings)) {
        if (TxSettings.drPosi == 0)
            TxSettings.drUp[TxSettings.drCh] = value;
        else
            TxSettings.drDown[TxSettings.drCh] = value;
    }
    Dr_DataSelet();
}

void MainWindow::on_spinBox_DR_EXP_valueChanged(int value)
{
    TxSettings.drExpEdit = value;
    if (drChannelSelected(TxSettings)) {
        if (TxSettings.drPosi == 0)
            TxSettings.drExpUp[TxSettings.drCh] = value;
        else
            TxSettings.drExpDown[TxSettings.drCh] = value;
    }
    Dr_DataSelet();
}
