#include <QtTest>

#include <QImage>
#include <QJsonDocument>
#include <QProcess>
#include <QStandardPaths>
#include <QSvgRenderer>
#include <QTemporaryDir>

#include "cli/draw/plot.h"
#include "support/programs.h"
#include "support/stores.h"

// txctl plot on a generated recording with known values: 0.1 s rows, a 2 s
// gap after 199.9 s, RX volts 3.5 below its 4.0 V alarm for exactly 60 s,
// EXT empty for 10 s (the link lost), RSSI -80 below a -70 dBm alarm for 5 s.
class TestCliPlot : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void summary();
    void pixelsOfTheDrop();
    void everyFormatOpens();
    void badInput_data();
    void badInput();
    void fewRows();

private:
    ProgramRun txctl(const QStringList &args) { return runProgram(TXCTL_PATH, args); }
    QString path(const QString &name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    QString log, model;
};

void TestCliPlot::initTestCase()
{
    QVERIFY(dir.isValid());
    QByteArray csv = "time_s,CH1,CH2,CH3,CH4,CH5,CH6,CH7,CH8,TX_V,RX_V,EXT_V,RSSI_dBm\n";
    for (int i = 0; i < 3000; ++i) {
        const int tenths = i < 2000 ? i : i + 19;
        csv += QString("%1.%2,1000,1000,%3,1000,1000,1000,1000,1000,%4,%5,%6,%7\n")
                   .arg(tenths / 10)
                   .arg(tenths % 10)
                   .arg(1000 + i % 500)
                   .arg(i % 2 ? "7.60" : "7.40")
                   .arg(i >= 1000 && i < 1600 ? "3.5" : "5.0")
                   .arg(i >= 500 && i < 600 ? "" : "11.5")
                   .arg(i >= 2500 && i < 2550 ? -80 : -60)
                   .toLatin1();
    }
    log = path("flight.csv");
    TxSettingsRecord s = factorySettings(); // RX alarm 4.0 V
    s.rssiAlarm = -70;
    model = path("model.txt");
    QVERIFY(writeFile(log, csv) && writeFile(model, settingsFileOf(s)));
}

void TestCliPlot::summary()
{
    const ProgramRun r = txctl({"plot", log, "--settings", model, "--json"});
    QCOMPARE(r.status, 0);
    const QJsonObject expected = QJsonDocument::fromJson(R"({"rows": 3000, "duration_s": 301.8,
        "gaps": [{"start_s": 199.9, "length_s": 2}], "series": {
        "TX_V": {"min": 7.4, "mean": 7.5, "max": 7.6, "alarm": 3.7, "below_alarm_s": 0},
        "RX_V": {"min": 3.5, "mean": 4.7, "max": 5, "alarm": 4, "below_alarm_s": 60},
        "EXT_V": {"min": 11.5, "mean": 11.5, "max": 11.5, "alarm": 11, "below_alarm_s": 0},
        "RSSI_dBm": {"min": -80, "mean": -60.333, "max": -60, "alarm": -70, "below_alarm_s": 5}}})")
                                     .object();
    QCOMPARE(QJsonDocument::fromJson(r.out).object(), expected);
}

void TestCliPlot::pixelsOfTheDrop()
{
    const QString png = path("drop.png");
    QCOMPARE(txctl({"plot", "-q", log, "--settings", model, "-o", png}).status, 0);
    const QImage image(png);
    const PlotLayout layout = layoutPlot(PlotFormat::Png, plotPanels(false));
    QCOMPARE(image.size(), layout.canvas);
    const QRect box = layout.panels[1].toRect().adjusted(2, 2, -2, -2); // RX volts
    auto curve = [](QRgb c) { return qBlue(c) - qRed(c) > 40; };
    auto columnHas = [&](int x, QRgb colour) {
        for (int y = box.top(); y <= box.bottom(); ++y)
            if (image.pixel(x, y) == (colour | 0xff000000))
                return true;
        return false;
    };
    // The alarm line: the row with the most of its colour.
    int alarmY = -1, most = 0;
    for (int y = box.top(); y <= box.bottom(); ++y) {
        int n = 0;
        for (int x = box.left(); x <= box.right(); ++x)
            n += image.pixel(x, y) == (kPlotAlarmRgb | 0xff000000);
        if (n > most) {
            most = n;
            alarmY = y;
        }
    }
    QVERIFY(most > box.width() / 3);
    // Shaded columns: as wide as 60 s of the 301.8, and the curve below the
    // line there only (two columns off the edges, where it steps).
    std::vector<bool> below; // a grid line may cover one column
    for (int x = box.left(); x <= box.right(); ++x)
        below.push_back(columnHas(x, kPlotBelowRgb) ||
                        (columnHas(x - 1, kPlotBelowRgb) && columnHas(x + 1, kPlotBelowRgb)));
    const int shaded = int(std::count(below.begin(), below.end(), true));
    for (int i = 2; i + 2 < int(below.size()); ++i) {
        if (below[size_t(i - 2)] != below[size_t(i + 2)])
            continue;
        for (int y = box.top(); y <= box.bottom(); ++y)
            if (curve(image.pixel(box.left() + i, y)) && std::abs(y - alarmY) > 2)
                QVERIFY2((y > alarmY) == below[size_t(i)],
                         qPrintable(QString("column %1, row %2").arg(i).arg(y)));
    }
    QVERIFY(std::abs(shaded - 60 / 301.8 * layout.panels[1].width()) <= 2);
    // No line across the gap, in any panel.
    const double x0 = box.left() + 200.3 / 301.8 * layout.panels[1].width();
    for (const QRectF &panel : layout.panels)
        for (int y = int(panel.top()) + 2; y < panel.bottom() - 2; ++y)
            for (int x = int(x0); x < int(x0) + 4; ++x)
                QVERIFY2(!curve(image.pixel(x, y)), qPrintable(QString("pixel %1,%2").arg(x).arg(y)));
}

void TestCliPlot::everyFormatOpens()
{
    for (const QString kind : {"pdf", "png", "svg"}) {
        const QString out = path("chart." + kind);
        const ProgramRun r = txctl({"plot", "-q", log, "--channels", "-o", out});
        QCOMPARE(r.status, 0);
        QVERIFY(r.out.startsWith(log.toUtf8() + ": 3000 rows over 5:01.8 (301.8 s), 1 gap\n"));
        const QByteArray bytes = readFile(out);
        if (kind == "png")
            QVERIFY(!QImage::fromData(bytes, "PNG").isNull());
        if (kind == "svg")
            QVERIFY(QSvgRenderer(bytes).isValid());
        const QString pdftoppm = QStandardPaths::findExecutable("pdftoppm");
        if (kind == "pdf" && !pdftoppm.isEmpty()) {
            QProcess p;
            p.start(pdftoppm, {"-png", "-r", "40", "-singlefile", out, path("pdfpage")});
            QVERIFY(p.waitForFinished(60000) && p.exitCode() == 0);
            QVERIFY(!QImage(path("pdfpage.png")).isNull());
        }
    }
}

void TestCliPlot::badInput_data()
{
    QTest::addColumn<QByteArray>("csv");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("message");
    const QByteArray header = "time_s,CH1,CH2,CH3,CH4,CH5,CH6,CH7,CH8,TX_V,RX_V,EXT_V,RSSI_dBm\n";
    const QByteArray row = "0.1,1,2,3,4,5,6,7,8,7.4,5.0,11.5,-60\n";
    QTest::newRow("empty") << QByteArray() << "a.png"
                           << "x.csv: empty, not a recording of txctl monitor";
    QTest::newRow("only the header") << header << "a.png"
                                     << "x.csv: no rows, only the header";
    QTest::newRow("other columns") << QByteArray("time,TX\n0,7.4\n") << "a.png"
                                   << "x.csv: not a recording of txctl monitor";
    QTest::newRow("ragged") << header + row + "0.2,1,2,3\n"
                            << "a.pdf"
                            << "x.csv: line 3: 4 field(s) where the header has 13";
    QTest::newRow("not a number") << header + row + row + "0.3,1,2,3,4,5,6,7,8,7.4,x,11.5,-60\n"
                                  << "a.svg"
                                  << "x.csv: line 4: \"x\" in column RX_V is not a number";
    QTest::newRow("nan") << header + "nan,1,2,3,4,5,6,7,8,7.4,5.0,11.5,-60\n"
                         << "a.png"
                         << "x.csv: line 2: \"nan\" in column time_s is not a number";
    QTest::newRow("no time") << header + row + ",1,2,3,4,5,6,7,8,7.4,5.0,11.5,-60\n"
                             << "a.png"
                             << "x.csv: line 3: no time in column time_s";
    QTest::newRow("backwards") << header + row + "0.0,1,2,3,4,5,6,7,8,7.4,5.0,11.5,-60\n"
                               << "a.png"
                               << "x.csv: line 3: its time 0 s is earlier than the line before's (0.1 s)";
    // Beyond what a recording holds: the span of the chart would overflow
    // (a hang, clock labels of nonsense), a mean would be infinite.
    QTest::newRow("time 1e308") << header + "-1e308,1,2,3,4,5,6,7,8,7.4,5.0,11.5,-60\n" + row << "a.png"
                                << "x.csv: line 2: \"-1e308\" in column time_s is outside what a recording "
                                   "holds (-31622460..31622460)";
    QTest::newRow("time 1e300")
        << header + "0,1,2,3,4,5,6,7,8,7.4,5.0,11.5,-60\n1e300,1,2,3,4,5,6,7,8,7.4,5.0,11.5,-60\n"
        << "a.png"
        << "x.csv: line 3: \"1e300\" in column time_s is outside what a recording holds";
    QTest::newRow("value 1e308")
        << header + row + "0.2,1,2,3,4,5,6,7,8,1e308,5.0,11.5,-60\n"
        << "a.png"
        << "x.csv: line 3: \"1e308\" in column TX_V is outside what a recording holds "
           "(-65535..65535)";
    QTest::newRow("unknown picture") << header + row << "a.jpg"
                                     << "plot: a.jpg: unknown kind of picture";
}

void TestCliPlot::badInput()
{
    QFETCH(QByteArray, csv);
    QFETCH(QString, out);
    QFETCH(QString, message);
    QVERIFY(writeFile(path("x.csv"), csv));
    RunOptions inDir;
    inDir.workingDirectory = dir.path();
    const ProgramRun r = runProgram(TXCTL_PATH, {"plot", "x.csv", "-o", out}, inDir);
    QCOMPARE(r.status, 2);
    QCOMPARE(r.out, QByteArray());
    QVERIFY2(r.err.startsWith("txctl: " + message.toUtf8()) && r.err.count('\n') == 1, r.err.constData());
    QVERIFY(!QFile::exists(path(out)));
}

// A recording of fewer rows than the chart has columns: the time below the
// alarm is one band from the first row below to the last, not a comb of
// stripes with the columns between rows left out; one row is "1 row".
void TestCliPlot::fewRows()
{
    QByteArray csv = "time_s,CH1,CH2,CH3,CH4,CH5,CH6,CH7,CH8,TX_V,RX_V,EXT_V,RSSI_dBm\n";
    for (int i = 0; i < 20; ++i)
        csv += QString("%1,1,2,3,4,5,6,7,8,7.4,%2,11.5,-60\n")
                   .arg(0.1 * (i + 1), 0, 'f', 1)
                   .arg(i >= 5 && i < 15 ? "3.5" : "5.0")
                   .toLatin1();
    QVERIFY(writeFile(path("few.csv"), csv));
    const QString png = path("few.png");
    QCOMPARE(txctl({"plot", "-q", path("few.csv"), "--settings", model, "-o", png}).status, 0);
    const QImage image(png);
    const PlotLayout layout = layoutPlot(PlotFormat::Png, plotPanels(false));
    const QRect box = layout.panels[1].toRect().adjusted(2, 2, -2, -2); // RX volts
    const int y = box.top() + 3;                                        // above the curve
    auto isShaded = [&](int x) { return image.pixel(x, y) == (kPlotBelowRgb | 0xff000000); };
    std::vector<int> shaded; // a grid line may cover one column
    for (int x = box.left(); x <= box.right(); ++x)
        if (isShaded(x) || (isShaded(x - 1) && isShaded(x + 1)))
            shaded.push_back(x);
    QVERIFY(shaded.size() > 10);
    QCOMPARE(int(shaded.size()), shaded.back() - shaded.front() + 1); // no column left out
    // Rows 6 to 15 of 20: from the first row below to the last (a column's slack).
    const double perSecond = layout.panels[1].width() / 1.9;
    QVERIFY(std::abs(shaded.back() - shaded.front() - 1.0 * perSecond) <= 0.1 * perSecond + 2);

    QVERIFY(writeFile(path("one.csv"), csv.left(csv.indexOf('\n', csv.indexOf('\n') + 1) + 1)));
    const ProgramRun one = txctl({"plot", path("one.csv"), "-o", path("one.png")});
    QCOMPARE(one.status, 0);
    QVERIFY2(one.err.endsWith("one.png: 1 row drawn\n"), one.err.constData());
}

QTEST_MAIN(TestCliPlot)
#include "test_cli_plot.moc"
