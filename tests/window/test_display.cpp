#include <QtTest>
#include <memory>

#include "app/mainwindow.h"
#include "model/telemetry.h"
#include "model/txsettings.h"
#include "sim/pty.h"
#include "support/editors.h"
#include "support/testutil.h"
#include "ui/display.h"
#include "ui/mainwindowform.h"

// The refresh: the store into the editors, the live values into the meters and
// telemetry boxes, and the hover styling of the combo boxes.
class TestDisplay : public QObject
{
    Q_OBJECT
private slots:
    void init() { resetStore(); }
    void storeReachesEveryEditor();
    void fixedChoiceBoxesReturnToTheirItem();
    void valuesOutsideAnEditorsRangeStayStored_data();
    void valuesOutsideAnEditorsRangeStayStored();
    void servoMeter_data();
    void servoMeter();
    void servoChannelsInOrder();
    void closingCentresTheMeters();
    void telemetryTexts_data();
    void telemetryTexts();
    void telemetryInTheWindow();
    void typedTextIsReplaced();
    void unchangedTextIsLeftAlone();
    void hoverCountersCoverTheBoxes();
    void hoverSequence_data();
    void hoverSequence();
    void hoverCountersAreIndependent();
};

namespace {

void tick(MainWindow &w)
{
    QVERIFY(QMetaObject::invokeMethod(&w, "ui_Display", Qt::DirectConnection));
}

// Stops the window's own 100 ms refresh so that a test decides every tick.
void stopRefreshTimer(MainWindow &w)
{
    for (QTimer *t : w.findChildren<QTimer *>(QString(), Qt::FindDirectChildrenOnly))
        t->stop();
}

QLineEdit *servoText(MainWindowForm *ui, int n)
{
    QLineEdit *boxes[8] = {ui->lineEdit,   ui->lineEdit_2, ui->lineEdit_3, ui->lineEdit_4,
                           ui->lineEdit_5, ui->lineEdit_6, ui->lineEdit_7, ui->lineEdit_8};
    return boxes[n];
}
QProgressBar *upperBar(MainWindowForm *ui, int n)
{
    QProgressBar *bars[8] = {ui->progressBar_10, ui->progressBar_20, ui->progressBar_30, ui->progressBar_40,
                             ui->progressBar_50, ui->progressBar_60, ui->progressBar_70, ui->progressBar_80};
    return bars[n];
}
QProgressBar *lowerBar(MainWindowForm *ui, int n)
{
    QProgressBar *bars[8] = {ui->progressBar_11, ui->progressBar_21, ui->progressBar_31, ui->progressBar_41,
                             ui->progressBar_51, ui->progressBar_61, ui->progressBar_71, ui->progressBar_81};
    return bars[n];
}

QString resourceText(const char *path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromLatin1(f.readAll());
}

} // namespace

void TestDisplay::storeReachesEveryEditor()
{
    MainWindow w;
    stopRefreshTimer(w);
    tick(w);
    setDistinctValues(w, 1);
    const TxSettingsRecord store = TxSettings;
    const TxLiveDataRecord live = TxLiveData;
    tick(w);
    for (const EditorField &e : editorFields()) {
        QWidget *widget = editorWidget(w, e.name);
        switch (e.kind) {
        case EditorField::Spin:
            QCOMPARE(static_cast<QSpinBox *>(widget)->value(), *e.value);
            break;
        case EditorField::DoubleSpin:
            QCOMPARE(static_cast<QDoubleSpinBox *>(widget)->value(), *e.doubleValue);
            break;
        case EditorField::Combo:
            QCOMPARE(static_cast<QComboBox *>(widget)->currentIndex(), *e.value);
            break;
        }
    }
    // Every editor changed, and the echo of every change left the store alone.
    QVERIFY(TxSettings == store);
    QVERIFY(TxLiveData == live);
    TxSettingsRecord start = startSettings();
    for (const EditorField &e : editorFields())
        if (e.kind != EditorField::DoubleSpin && e.value != &TxLiveData.txVersion &&
            e.value != &TxSettings.drSw) {
            // The same field of the start record.
            const auto offset =
                reinterpret_cast<const char *>(e.value) - reinterpret_cast<const char *>(&TxSettings);
            QVERIFY2(*e.value !=
                         *reinterpret_cast<const int *>(reinterpret_cast<const char *>(&start) + offset),
                     e.name);
        }

    // And back: the start store reaches every editor again.
    resetStore();
    tick(w);
    QVERIFY(TxSettings == startSettings());
    QCOMPARE(w.form()->spinBox_sub1->value(), 0);
    QCOMPARE(w.form()->comboBox_rev3->currentIndex(), 1);
    QCOMPARE(w.form()->doubleSpinBox_Volt->value(), 11.0);
}

void TestDisplay::fixedChoiceBoxesReturnToTheirItem()
{
    MainWindow w;
    stopRefreshTimer(w);
    MainWindowForm *ui = w.form();
    QComboBox *nc[4] = {ui->comboBox_AUX1, ui->comboBox_AUX2, ui->comboBox_AUX3, ui->comboBox_AUX4};
    for (QComboBox *b : nc)
        b->setCurrentIndex(-1);
    ui->comboBox_DR_SW1->setCurrentIndex(-1);
    tick(w);
    for (QComboBox *b : nc)
        QCOMPARE(b->currentIndex(), 0);
    QCOMPARE(ui->comboBox_DR_SW1->currentIndex(), 0); // shows drSw
    QVERIFY(TxSettings == startSettings());
}

void TestDisplay::valuesOutsideAnEditorsRangeStayStored_data()
{
    // Values validation lets through but the editor cannot show: the box shows
    // its bound, the store keeps what the transmitter sent.
    QTest::addColumn<int>("which");
    QTest::addColumn<double>("shown");
    QTest::newRow("stick mode 0") << 0 << 1.0;
    QTest::newRow("rx alarm 100.0 V") << 1 << 99.9;
    QTest::newRow("ext alarm 100.0 V") << 2 << 99.9;
    QTest::newRow("mix 3 up rate -50") << 3 << 0.0;
    QTest::newRow("mix 4 down rate -100") << 4 << 0.0;
}

void TestDisplay::valuesOutsideAnEditorsRangeStayStored()
{
    QFETCH(int, which);
    QFETCH(double, shown);
    MainWindow w;
    stopRefreshTimer(w);
    MainWindowForm *ui = w.form();
    double box = 0;
    switch (which) {
    case 0:
        TxSettings.stkMode = 0;
        break;
    case 1:
        TxSettings.rxAlarmVolt = 100.0;
        break;
    case 2:
        TxSettings.extAlarmVolt = 100.0;
        break;
    case 3:
        TxSettings.prm[2].data2 = -50;
        break;
    case 4:
        TxSettings.prm[3].data3 = -100;
        break;
    }
    const TxSettingsRecord before = TxSettings;
    tick(w);
    tick(w);
    switch (which) {
    case 0:
        box = ui->spinBox_Mode->value();
        break;
    case 1:
        box = ui->doubleSpinBox_rxVolt->value();
        break;
    case 2:
        box = ui->doubleSpinBox_extVolt->value();
        break;
    case 3:
        box = ui->spinBox_PRM03_Data2->value();
        break;
    case 4:
        box = ui->spinBox_PRM04_Data3->value();
        break;
    }
    QCOMPARE(box, shown);
    QVERIFY(TxSettings == before);
    // An edit by the user still reaches the store.
    if (which == 0) {
        ui->spinBox_Mode->setValue(3);
        QCOMPARE(TxSettings.stkMode, 3);
    }
}

void TestDisplay::servoMeter_data()
{
    QTest::addColumn<int>("previous");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("upper");
    QTest::addColumn<int>("lower");
    QTest::newRow("0") << 1000 << 0 << "0" << 1010 << 1000;
    QTest::newRow("999") << 1000 << 999 << "999" << 11 << 1000;
    QTest::newRow("1000") << 0 << 1000 << "1000" << 10 << 1000;
    QTest::newRow("1001") << 1000 << 1001 << "1001" << 10 << 999;
    QTest::newRow("1500") << 1000 << 1500 << "1500" << 10 << 500;
    QTest::newRow("2000") << 1000 << 2000 << "2000" << 10 << 0;
    // Above 2000 the lower bar ignores the value and keeps its last one.
    QTest::newRow("2001 after 1500") << 1500 << 2001 << "2001" << 10 << 500;
    QTest::newRow("65535 after 1999") << 1999 << 65535 << "65535" << 10 << 1;
}

void TestDisplay::servoMeter()
{
    QFETCH(int, previous);
    QFETCH(int, value);
    QFETCH(QString, text);
    QFETCH(int, upper);
    QFETCH(int, lower);
    QCOMPARE(upperBarValue(value), upper);
    if (value <= 2000)
        QCOMPARE(lowerBarValue(value), lower);

    MainWindow w;
    stopRefreshTimer(w);
    MainWindowForm *ui = w.form();
    for (int &v : TxLiveData.servo)
        v = previous;
    tick(w);
    for (int &v : TxLiveData.servo)
        v = value;
    tick(w);
    for (int n = 0; n < 8; ++n) {
        QCOMPARE(servoText(ui, n)->text(), text);
        QCOMPARE(upperBar(ui, n)->value(), upper);
        QCOMPARE(lowerBar(ui, n)->value(), lower);
    }
}

void TestDisplay::servoChannelsInOrder()
{
    MainWindow w;
    stopRefreshTimer(w);
    MainWindowForm *ui = w.form();
    for (int n = 0; n < 8; ++n)
        TxLiveData.servo[n] = n < 4 ? 100 + 10 * n : 1500 + 10 * n;
    tick(w);
    for (int n = 0; n < 8; ++n) {
        const int v = TxLiveData.servo[n];
        QCOMPARE(servoText(ui, n)->text(), QString::number(v));
        QCOMPARE(upperBar(ui, n)->value(), n < 4 ? 1010 - v : 10);
        QCOMPARE(lowerBar(ui, n)->value(), n < 4 ? 1000 : 2000 - v);
    }
}

void TestDisplay::closingCentresTheMeters()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    setTestPorts({pty.slavePath()});
    MainWindow w;
    stopRefreshTimer(w);
    MainWindowForm *ui = w.form();
    clickOpen(w);
    QCOMPARE(ui->openButton->text(), QString("CLOSE"));
    for (int n = 0; n < 8; ++n)
        TxLiveData.servo[n] = 300 + 200 * n;
    TxLiveData.txVolt = 1234;
    TxLiveData.rxRssi = 30;
    tick(w);
    clickOpen(w); // no tick between closing and the checks
    for (int n = 0; n < 8; ++n) {
        QCOMPARE(servoText(ui, n)->text(), QString("1000"));
        QCOMPARE(upperBar(ui, n)->value(), 10);
        QCOMPARE(lowerBar(ui, n)->value(), 1000);
    }
    // The telemetry keeps the last values received.
    QCOMPARE(ui->lineEdit_TX->text(), QString("12.3 V"));
    QCOMPARE(ui->lineEdit_RSSI->text(), QString("-70dBm"));
}

void TestDisplay::telemetryTexts_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("text");
    auto tx = [](int v, const char *t) {
        QTest::newRow(qPrintable(QString("tx %1").arg(v))) << "tx" << v << t;
    };
    tx(0, " 0.0V");
    tx(5, " 0.0V");
    tx(987, " 9.8V");
    tx(999, " 9.9V");
    tx(1000, "10.0 V");
    tx(1234, "12.3 V");
    tx(12345, "23.4 V");
    tx(65535, "55.3 V");
    auto tenths = [](int v, const char *t) {
        QTest::newRow(qPrintable(QString("tenths %1").arg(v))) << "tenths" << v << t;
    };
    tenths(0, " 0.0V");
    tenths(55, " 5.5V");
    tenths(99, " 9.9V");
    tenths(100, "10.0 V");
    tenths(126, "12.6 V");
    tenths(1234, "23.4 V");
    tenths(65535, "53.5 V");
    auto rssi = [](int v, const char *t) {
        QTest::newRow(qPrintable(QString("rssi %1").arg(v))) << "rssi" << v << t;
    };
    rssi(0, "null");
    rssi(1, "-99dBm");
    rssi(30, "-70dBm");
    rssi(95, "-05dBm");
    rssi(99, "-01dBm");
    rssi(100, "-00dBm");
    // No strength above 0 dBm: a byte above 100 is no reading.
    rssi(101, "null");
    rssi(255, "null");
    rssi(-1, "null");
}

void TestDisplay::telemetryTexts()
{
    QFETCH(QString, kind);
    QFETCH(int, value);
    QFETCH(QString, text);
    const QString got = kind == "tx"       ? txVoltText(value)
                        : kind == "tenths" ? tenthsVoltText(value)
                                           : rssiText(value);
    QCOMPARE(got, text);
}

void TestDisplay::telemetryInTheWindow()
{
    MainWindow w;
    stopRefreshTimer(w);
    MainWindowForm *ui = w.form();
    tick(w);
    QCOMPARE(ui->lineEdit_TX->text(), QString(" 0.0V"));
    QCOMPARE(ui->lineEdit_RSSI->text(), QString("null"));
    QCOMPARE(ui->lineEdit_EXT->text(), QString(" 0.0V"));
    QCOMPARE(ui->lineEdit_RX->text(), QString(" 0.0V"));
    TxLiveData.txVolt = 1234;
    TxLiveData.rxRssi = 1;
    TxLiveData.extVolt = 55;
    TxLiveData.rxVolt = 126;
    tick(w);
    QCOMPARE(ui->lineEdit_TX->text(), QString("12.3 V"));
    QCOMPARE(ui->lineEdit_RSSI->text(), QString("-99dBm"));
    QCOMPARE(ui->lineEdit_EXT->text(), QString(" 5.5V"));
    QCOMPARE(ui->lineEdit_RX->text(), QString("12.6 V"));
}

void TestDisplay::typedTextIsReplaced()
{
    MainWindow w;
    stopRefreshTimer(w);
    MainWindowForm *ui = w.form();
    tick(w);
    QLineEdit *boxes[] = {ui->lineEdit,      ui->lineEdit_8,   ui->lineEdit_TX,
                          ui->lineEdit_RSSI, ui->lineEdit_EXT, ui->lineEdit_RX};
    QStringList before;
    for (QLineEdit *b : boxes) {
        before << b->text();
        b->setText("typed");
    }
    tick(w);
    for (int i = 0; i < int(std::size(boxes)); ++i)
        QCOMPARE(boxes[i]->text(), before[i]);
}

void TestDisplay::unchangedTextIsLeftAlone()
{
    // A tick that has nothing new to show does not disturb a box (a selection
    // the user made in it stays).
    MainWindow w;
    stopRefreshTimer(w);
    MainWindowForm *ui = w.form();
    TxLiveData.txVolt = 1234;
    tick(w);
    ui->lineEdit_TX->setSelection(0, 4);
    ui->lineEdit->setSelection(1, 2);
    tick(w);
    QCOMPARE(ui->lineEdit_TX->selectedText(), QString("12.3"));
    QCOMPARE(ui->lineEdit->selectedText(), QString("00"));
}

namespace {
const char *const kHoverBoxes[] = {
    "comboBox_rev1",         "comboBox_rev2",         "comboBox_rev3",         "comboBox_rev4",
    "comboBox_rev5",         "comboBox_rev6",         "comboBox_rev7",         "comboBox_rev8",
    "comboBox_AUX1",         "comboBox_AUX2",         "comboBox_AUX3",         "comboBox_AUX4",
    "comboBox_AUX5",         "comboBox_AUX6",         "comboBox_AUX7",         "comboBox_AUX8",
    "comboBox_DR_MIX1",      "comboBox_DR_CH1",       "comboBox_DR_SW1",       "comboBox_AttiM",
    "comboBox_EleMix",       "comboBox_RuMix",        "comboBox_PRM01_Mix",    "comboBox_PRM01_Master",
    "comboBox_PRM01_Slave",  "comboBox_PRM02_Mix",    "comboBox_PRM02_Master", "comboBox_PRM02_Slave",
    "comboBox_PRM03_Mix",    "comboBox_PRM03_Master", "comboBox_PRM03_Slave",  "comboBox_PRM04_Mix",
    "comboBox_PRM04_Master", "comboBox_PRM04_Slave",  "comboBox_DR_MIX2",      "comboBox_DR_CH2",
    "comboBox_DR_SW2",       "comboBox_DR_POSI",      "comboBox_THCURE_MIX",
};

// Shows the page that holds the box and moves the real pointer onto it or
// off it (onto the window's toolbar frame).
void pointAt(MainWindow &w, QComboBox *box, bool over)
{
    QTabWidget *tabs = w.form()->tabWidget;
    for (int i = 0; i < tabs->count(); ++i)
        if (tabs->widget(i)->isAncestorOf(box))
            tabs->setCurrentIndex(i);
    if (over)
        QTest::mouseMove(box, box->rect().center());
    else
        QTest::mouseMove(&w, QPoint(2, 2));
}
} // namespace

void TestDisplay::hoverCountersCoverTheBoxes()
{
    MainWindow w;
    QSet<int> counters;
    for (const char *name : kHoverBoxes) {
        QVERIFY2(w.findChild<QComboBox *>(name), name);
        const int c = hoverCounterIndex(name);
        QVERIFY2(c >= 0 && c < kHoverBoxCount, name);
        counters.insert(c);
    }
    QCOMPARE(counters.size(), kHoverBoxCount);
    QCOMPARE(hoverCounterIndex("comboBox_PRM02_Master_2"), -1);
    QCOMPARE(hoverCounterIndex("portNameBox"), -1);
}

void TestDisplay::hoverSequence_data()
{
    // Steps: "Ni" = N ticks with the pointer over the box, "No" = N ticks
    // with it elsewhere. Style: "form" (as built), "normal", "off".
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("steps");
    QTest::addColumn<int>("counter");
    QTest::addColumn<QString>("style");
    QTest::newRow("19 ticks keep the highlight") << "comboBox_rev3"
                                                 << "19i" << 19 << "form";
    QTest::newRow("the 20th tick switches it off") << "comboBox_rev3"
                                                   << "20i" << 20 << "off";
    QTest::newRow("resting on stays off") << "comboBox_rev3"
                                          << "25i" << 20 << "off";
    QTest::newRow("leaving restores the normal style") << "comboBox_rev3"
                                                       << "20i 1o" << 0 << "normal";
    QTest::newRow("leaving and staying away") << "comboBox_rev3"
                                              << "20i 5o" << 0 << "normal";
    QTest::newRow("10, leave, 10 more") << "comboBox_rev3"
                                        << "10i 3o 10i" << 20 << "off";
    QTest::newRow("10, leave, 9 more") << "comboBox_rev3"
                                       << "10i 3o 9i" << 19 << "form";
    QTest::newRow("a short rest only counts") << "comboBox_rev3"
                                              << "5i 1o" << 5 << "form";
    QTest::newRow("counting again after leaving") << "comboBox_rev3"
                                                  << "20i 1o 19i" << 19 << "normal";
    QTest::newRow("off again after leaving") << "comboBox_rev3"
                                             << "20i 1o 20i" << 20 << "off";
    QTest::newRow("a box on PROG.MIX") << "comboBox_PRM04_Slave"
                                       << "20i" << 20 << "off";
    QTest::newRow("a box on ADVANCE2") << "comboBox_THCURE_MIX"
                                       << "20i 1o" << 0 << "normal";
    QTest::newRow("an NC box") << "comboBox_AUX2"
                               << "20i" << 20 << "off";
}

void TestDisplay::hoverSequence()
{
    QFETCH(QString, box);
    QFETCH(QString, steps);
    QFETCH(int, counter);
    QFETCH(QString, style);
    MainWindow w;
    stopRefreshTimer(w);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    auto *combo = w.findChild<QComboBox *>(box);
    QVERIFY(combo);
    const int c = hoverCounterIndex(qPrintable(box));
    hoverTicks[c] = 0;
    const QString formStyle = combo->styleSheet();
    const QString normal = resourceText(":/comboBox.qss");
    const QString off = resourceText(":/comboBox_REV.qss");
    QVERIFY(!normal.isEmpty() && !off.isEmpty() && normal != off && formStyle != normal);

    for (const QString &step : steps.split(' ')) {
        const bool over = step.endsWith('i');
        pointAt(w, combo, over);
        QCOMPARE(combo->underMouse(), over);
        const int n = step.chopped(1).toInt();
        for (int k = 0; k < n; ++k)
            tick(w);
    }
    QCOMPARE(hoverTicks[c], counter);
    const QString expected = style == "form" ? formStyle : style == "normal" ? normal : off;
    QCOMPARE(combo->styleSheet(), expected);
    pointAt(w, combo, false);
    tick(w);
    hoverTicks[c] = 0;
}

void TestDisplay::hoverCountersAreIndependent()
{
    // comboBox_DR_MIX1 and comboBox_DR_MIX2 show one field but count apart.
    MainWindow w;
    stopRefreshTimer(w);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    MainWindowForm *ui = w.form();
    const int one = hoverCounterIndex("comboBox_DR_MIX1"), two = hoverCounterIndex("comboBox_DR_MIX2");
    hoverTicks[one] = 0;
    hoverTicks[two] = 7;
    const QString twoStyle = ui->comboBox_DR_MIX2->styleSheet();
    pointAt(w, ui->comboBox_DR_MIX1, true);
    for (int k = 0; k < 20; ++k)
        tick(w);
    QCOMPARE(hoverTicks[one], 20);
    QCOMPARE(ui->comboBox_DR_MIX1->styleSheet(), resourceText(":/comboBox_REV.qss"));
    QCOMPARE(hoverTicks[two], 7);
    QCOMPARE(ui->comboBox_DR_MIX2->styleSheet(), twoStyle);
    pointAt(w, ui->comboBox_DR_MIX1, false);
    tick(w);
    QCOMPARE(hoverTicks[one], 0);
    hoverTicks[two] = 0;
}

QTEST_MAIN(TestDisplay)
#include "test_display.moc"
