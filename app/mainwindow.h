#pragma once

#include <QByteArray>
#include <QHash>
#include <QMainWindow>
#include <QSerialPort>
#include <QStringList>

#include "link/frames.h"
#include "link/lines.h"
#include "link/receive.h"
#include "link/sequences.h"
#include "link/waitms.h"

class MainWindowForm;
class QAbstractButton;
class QCloseEvent;
class QTimer;

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // The port list shown in portNameBox. txconfig lists exactly the serial
    // ports of the system; the demo and the tests put a pseudo-terminal in
    // front of them through this hook.
    using PortLister = QStringList (*)();
    static void setPortLister(PortLister lister);
    static QStringList systemPorts();

    MainWindowForm *form() const { return ui; }
    QSerialPort &port() { return serialPort; }

private slots:
    // Link and buttons.
    void on_openButton_clicked();
    void serialPort_readyRead();
    int byteArrayToInt(QByteArray b, int a);
    void on_toolButton_Read_clicked();
    void on_toolButton_Send_clicked();
    void on_toolButton_Reset_clicked();
    void on_pushButton_Reset2_clicked();
    void on_toolButton_Save_clicked();
    void on_toolButton_Load_clicked();

    // Settings model.
    void RestData();
    void RestData2();
    void FalseSaveData();
    void Dr_DataSelet();
    void SendData1();
    void SendData2();
    void SendData3();

    // Display refresh.
    void ui_Display();
    void Servo_Display();
    void Recieve_Display();
    void Rev_Display();
    void EPA_Display();
    void SubTrim_Display();
    void FS_Display();
    void Delay_Display();
    void Aux_Display();
    void DR_Display();
    void Parameter_Display();
    void Atti_Display();
    void Elev_Display();
    void Vtype_Display();
    void Prm_Display();
    void DRCure_Display();
    void THcure_Display();

    // Editor slots: one per editing widget, connected by name.
    void on_spinBox_sub1_valueChanged(int arg1);
    void on_spinBox_sub2_valueChanged(int arg1);
    void on_spinBox_sub3_valueChanged(int arg1);
    void on_spinBox_sub4_valueChanged(int arg1);
    void on_spinBox_sub5_valueChanged(int arg1);
    void on_spinBox_sub6_valueChanged(int arg1);
    void on_spinBox_sub7_valueChanged(int arg1);
    void on_spinBox_sub8_valueChanged(int arg1);
    void on_spinBox_Lepa1_valueChanged(int arg1);
    void on_spinBox_Lepa2_valueChanged(int arg1);
    void on_spinBox_Lepa3_valueChanged(int arg1);
    void on_spinBox_Lepa4_valueChanged(int arg1);
    void on_spinBox_Lepa5_valueChanged(int arg1);
    void on_spinBox_Lepa6_valueChanged(int arg1);
    void on_spinBox_Lepa7_valueChanged(int arg1);
    void on_spinBox_Lepa8_valueChanged(int arg1);
    void on_spinBox_Repa1_valueChanged(int arg1);
    void on_spinBox_Repa2_valueChanged(int arg1);
    void on_spinBox_Repa3_valueChanged(int arg1);
    void on_spinBox_Repa4_valueChanged(int arg1);
    void on_spinBox_Repa5_valueChanged(int arg1);
    void on_spinBox_Repa6_valueChanged(int arg1);
    void on_spinBox_Repa7_valueChanged(int arg1);
    void on_spinBox_Repa8_valueChanged(int arg1);
    void on_spinBox_FS1_valueChanged(int arg1);
    void on_spinBox_FS2_valueChanged(int arg1);
    void on_spinBox_FS3_valueChanged(int arg1);
    void on_spinBox_FS4_valueChanged(int arg1);
    void on_spinBox_FS5_valueChanged(int arg1);
    void on_spinBox_FS6_valueChanged(int arg1);
    void on_spinBox_FS7_valueChanged(int arg1);
    void on_spinBox_FS8_valueChanged(int arg1);
    void on_spinBox_delay1_valueChanged(int arg1);
    void on_spinBox_delay2_valueChanged(int arg1);
    void on_spinBox_delay3_valueChanged(int arg1);
    void on_spinBox_delay4_valueChanged(int arg1);
    void on_spinBox_delay5_valueChanged(int arg1);
    void on_spinBox_delay6_valueChanged(int arg1);
    void on_spinBox_delay7_valueChanged(int arg1);
    void on_spinBox_delay8_valueChanged(int arg1);
    void on_spinBox_Rssi_valueChanged(int arg1);
    void on_spinBox_Mode_valueChanged(int arg1);
    void on_spinBox_Vertion_valueChanged(int arg1);
    void on_spinBox_Atti1_valueChanged(int arg1);
    void on_spinBox_Atti2_valueChanged(int arg1);
    void on_spinBox_Atti3_valueChanged(int arg1);
    void on_spinBox_Atti4_valueChanged(int arg1);
    void on_spinBox_Atti5_valueChanged(int arg1);
    void on_spinBox_Atti6_valueChanged(int arg1);
    void on_spinBox_Elev01_valueChanged(int arg1);
    void on_spinBox_Elev02_valueChanged(int arg1);
    void on_spinBox_Elev03_valueChanged(int arg1);
    void on_spinBox_Elev04_valueChanged(int arg1);
    void on_spinBox_Elev05_valueChanged(int arg1);
    void on_spinBox_Elev06_valueChanged(int arg1);
    void on_spinBox_Ru1_valueChanged(int arg1);
    void on_spinBox_Ru2_valueChanged(int arg1);
    void on_spinBox_Ru3_valueChanged(int arg1);
    void on_spinBox_Ru4_valueChanged(int arg1);
    void on_spinBox_PRM01_Data1_valueChanged(int arg1);
    void on_spinBox_PRM01_Data2_valueChanged(int arg1);
    void on_spinBox_PRM01_Data3_valueChanged(int arg1);
    void on_spinBox_PRM02_Data1_valueChanged(int arg1);
    void on_spinBox_PRM02_Data2_valueChanged(int arg1);
    void on_spinBox_PRM02_Data3_valueChanged(int arg1);
    void on_spinBox_PRM03_Data1_valueChanged(int arg1);
    void on_spinBox_PRM03_Data2_valueChanged(int arg1);
    void on_spinBox_PRM03_Data3_valueChanged(int arg1);
    void on_spinBox_PRM04_Data1_valueChanged(int arg1);
    void on_spinBox_PRM04_Data2_valueChanged(int arg1);
    void on_spinBox_PRM04_Data3_valueChanged(int arg1);
    void on_spinBox_THCURE_Data01_valueChanged(int arg1);
    void on_spinBox_THCURE_Data02_valueChanged(int arg1);
    void on_spinBox_THCURE_Data03_valueChanged(int arg1);
    void on_spinBox_THCURE_Data04_valueChanged(int arg1);
    void on_spinBox_THCURE_Data05_valueChanged(int arg1);
    void on_spinBox_THCURE_Data06_valueChanged(int arg1);
    void on_spinBox_THCURE_Data07_valueChanged(int arg1);
    void on_spinBox_DR_UP1_valueChanged(int arg1);
    void on_spinBox_DR_DOWN1_valueChanged(int arg1);
    void on_spinBox_DR_RATE_valueChanged(int arg1);
    void on_spinBox_DR_EXP_valueChanged(int arg1);
    void on_doubleSpinBox_Volt_valueChanged(double arg1);
    void on_doubleSpinBox_rxVolt_valueChanged(double arg1);
    void on_doubleSpinBox_extVolt_valueChanged(double arg1);
    void on_comboBox_rev1_currentIndexChanged(int index);
    void on_comboBox_rev2_currentIndexChanged(int index);
    void on_comboBox_rev3_currentIndexChanged(int index);
    void on_comboBox_rev4_currentIndexChanged(int index);
    void on_comboBox_rev5_currentIndexChanged(int index);
    void on_comboBox_rev6_currentIndexChanged(int index);
    void on_comboBox_rev7_currentIndexChanged(int index);
    void on_comboBox_rev8_currentIndexChanged(int index);
    void on_comboBox_AUX5_currentIndexChanged(int index);
    void on_comboBox_AUX6_currentIndexChanged(int index);
    void on_comboBox_AUX7_currentIndexChanged(int index);
    void on_comboBox_AUX8_currentIndexChanged(int index);
    void on_comboBox_AttiM_currentIndexChanged(int index);
    void on_comboBox_EleMix_currentIndexChanged(int index);
    void on_comboBox_RuMix_currentIndexChanged(int index);
    void on_comboBox_PRM01_Mix_currentIndexChanged(int index);
    void on_comboBox_PRM01_Master_currentIndexChanged(int index);
    void on_comboBox_PRM01_Slave_currentIndexChanged(int index);
    void on_comboBox_PRM02_Mix_currentIndexChanged(int index);
    void on_comboBox_PRM02_Master_currentIndexChanged(int index);
    void on_comboBox_PRM02_Slave_currentIndexChanged(int index);
    void on_comboBox_PRM03_Mix_currentIndexChanged(int index);
    void on_comboBox_PRM03_Master_currentIndexChanged(int index);
    void on_comboBox_PRM03_Slave_currentIndexChanged(int index);
    void on_comboBox_PRM04_Mix_currentIndexChanged(int index);
    void on_comboBox_PRM04_Master_currentIndexChanged(int index);
    void on_comboBox_PRM04_Slave_currentIndexChanged(int index);
    void on_comboBox_THCURE_MIX_currentIndexChanged(int index);
    void on_comboBox_DR_MIX1_currentIndexChanged(int index);
    void on_comboBox_DR_MIX2_currentIndexChanged(int index);
    void on_comboBox_DR_CH2_currentIndexChanged(int index);
    void on_comboBox_DR_SW2_currentIndexChanged(int index);
    void on_comboBox_DR_CH1_currentIndexChanged(int index);
    void on_comboBox_DR_POSI_currentIndexChanged(int index);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    // The port guard of the link commands: true when the port is closed
    // (after telling the user so).
    bool portClosedNotice();
    // Back to the closed state: servos 1000 and shown, caption, lamp, port box.
    void enterClosedState();
    void fillPortList(const QStringList &names);
    // Lists the ports again as the port list opens, keeping the selected port
    // when it is still there; not while the port is open.
    void refreshPortList();
    // Sends the S, G and H lines of one state of the store, 800 ms apart,
    // then "WWW" when withAck (WRITE, RESET, DATA RESET; SAVE sends the lines
    // only). Returns the lines, which are also the new lineS, lineG, lineH.
    // *run (when given) receives the sequence's number: a later one has a
    // larger number.
    SettingsLines sendSettings(bool withAck, quint64 *run = nullptr);
    // Sends the line of the given kind of the settings as they are now, then
    // pauses (the encoders SendData1..3).
    void sendLineNow(LineKind kind);
    // The start of every link command: locks the button for a moment, then
    // tells whether the command may go on (the window is still open and so
    // is the port; the notice is shown when the port is closed).
    bool commandMayRun(QAbstractButton *button);
    // RESET and DATA RESET: the factory settings into the store, then sent
    // as WRITE sends them; `button` is the one clicked.
    void resetFrom(QAbstractButton *button);
    void onPortError(QSerialPort::SerialPortError error);
    // Tells the user that READ got no whole set, and which frames were missing.
    void readNotWholeNotice(const QString &why);
    // Hands bytes to the port in one write and on to the device at once. A
    // closed port (closed during a pause, or never opened when Save builds
    // the lines) takes nothing.
    void sendBytes(const QByteArray &bytes);
    // How often a later ask of READ looks whether the set has come.
    static constexpr int kReadPollMs = 10;

    MainWindowForm *ui;
    QSerialPort serialPort;
    QTimer *timer;
    // The one receive path: the bytes not judged yet, the answer to "RR" being
    // staged, and READ itself.
    LinkReceiver receiver{TxSettings, TxLiveData};
    // Counts the links opened and closed: a command sends only on the link
    // it started on.
    quint64 linkCount = 0;
    // Counts the write sequences started: one that a newer one overtook in
    // its pause sends nothing more, so the transmitter ends with the newest
    // complete set.
    quint64 writeCount = 0;
    // A WRITE, RESET or DATA RESET started whose closing "WWW" has not gone
    // out yet: the sequence that ends last sends it.
    bool ackOwed = false;
    // The newest SAVE sequence that wrote each file (by absolute path): an
    // older SAVE that ends later does not put its older settings over it.
    QHash<QString, quint64> newestSave;
    // Set once the user has closed the window: no new command starts, the
    // running ones finish first.
    bool windowClosed = false;
};
