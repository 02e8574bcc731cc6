#include <QtTest>

#include "file/settingsfile.h"
#include "file/settingsjson.h"
#include "link/sequences.h"
#include "model/bindings.h"
#include "model/catalogue.h"
#include "model/validation.h"
#include "support/stores.h"

// Settings as JSON documents: what export writes comes back whole, a
// settings file survives the trip through a document byte for byte, and every
// kind of bad document is refused with the key and the allowed values.
class TestJson : public QObject
{
    Q_OBJECT
private slots:
    void documentShape();
    void randomModelsComeBack();
    void filesComeBackByteForByte();
    void badDocumentsAreRefused_data();
    void badDocumentsAreRefused();
    void valuesAFileCannotHold_data();
    void valuesAFileCannotHold();
    void everyKeyIsDocumented();
};

namespace {

TxSettingsRecord loadFile(const QByteArray &bytes)
{
    TxSettingsRecord s = startSettings();
    QuietDebugLog quiet;
    const LoadReport r = loadSettingsText(QString::fromLatin1(bytes), s);
    drDataSelect(s);
    validateSettings(s);
    return r.s && r.g && r.h ? s : startSettings();
}

} // namespace

void TestJson::documentShape()
{
    const QByteArray json = settingsToJson(factorySettings());
    QVERIFY(
        json.startsWith("{\n  \"format\": \"txconfig-settings\",\n  \"version\": 1,\n  \"settings\": {\n"));
    QVERIFY(json.endsWith("\n  }\n}\n"));
    for (const char *line : {"    \"basic.reverse.ch3\": \"REV\",\n", "    \"basic.auxCh.ch6\": \"VrB\",\n",
                             "    \"basic.subTrim.ch3\": 0,\n", "    \"system.alarm.tx\": 3.7,\n",
                             "    \"system.alarm.ext\": 11.0,\n", "    \"system.alarm.rssi\": -100,\n",
                             "    \"advance1.dr.ch\": \"CH1\",\n", "    \"system.versionMode.stkMode\": 2\n"})
        QVERIFY2(json.contains(line), line);
    QCOMPARE(json.count("\n    \""), int(settingsCatalogue().size()));
    // Values beyond a choice list are numbers.
    TxSettingsRecord s = factorySettings();
    s.drCh = 4;
    s.aux[3] = 5;
    const QByteArray other = settingsToJson(s);
    QVERIFY(other.contains("\"advance1.dr.ch\": 4,"));
    QVERIFY(other.contains("\"basic.auxCh.ch8\": 5,"));
    TxSettingsRecord back;
    QString error;
    QVERIFY2(settingsFromJson(other, back, &error), qPrintable(error));
    QCOMPARE(back.drCh, 4);
    QCOMPARE(back.aux[3], 5);
}

void TestJson::randomModelsComeBack()
{
    QRandomGenerator g(1234);
    for (int run = 0; run < 200; ++run) {
        const TxSettingsRecord s = randomInRangeSettings(g);
        const QByteArray json = settingsToJson(s);
        TxSettingsRecord back;
        QString error;
        QVERIFY2(settingsFromJson(json, back, &error), qPrintable(error));
        QCOMPARE(settingDifferences(s, back), QStringList());
        QCOMPARE(settingsToJson(back), json);
        // The rest of the store is what the loader would derive.
        QCOMPARE(back, catalogueValuesOnly(s));
        QCOMPARE(settingsFileProblem(back), QString());
    }
}

void TestJson::filesComeBackByteForByte()
{
    QRandomGenerator g(99);
    for (int run = 0; run < 200; ++run) {
        const QByteArray file = run == 0 ? settingsFileOf(factorySettings())
                                         : settingsFileOf(catalogueValuesOnly(randomInRangeSettings(g)));
        QCOMPARE(file.size(), kSettingsFileLength);
        TxSettingsRecord fromJson;
        QString error;
        QVERIFY2(settingsFromJson(settingsToJson(loadFile(file)), fromJson, &error), qPrintable(error));
        QCOMPARE(settingsFileOf(fromJson), file);
    }
}

void TestJson::badDocumentsAreRefused_data()
{
    QTest::addColumn<QByteArray>("from");
    QTest::addColumn<QByteArray>("to");
    QTest::addColumn<QString>("message");
    auto row = [](const char *name, const char *from, const char *to, const char *message) {
        QTest::newRow(name) << QByteArray(from) << QByteArray(to) << QString(message);
    };
    row("not json", "{", "[[", "not valid JSON");
    row("not an object", "*", "[1]", "not a settings document: the top level is not an object");
    row("settings not an object", "*", "{\"format\": \"txconfig-settings\", \"version\": 1, \"settings\": 5}",
        "\"settings\": expected an object, got 5");
    row("cut short", "\n}\n", "", "not valid JSON");
    row("wrong format", "txconfig-settings", "other",
        "\"format\": expected \"txconfig-settings\", got \"other\"");
    row("wrong version", "\"version\": 1", "\"version\": 2", "\"version\": expected 1, got 2");
    row("unknown top key", "\"version\": 1,", "\"version\": 1, \"extra\": 0,",
        "unknown key \"extra\" at the top level");
    row("missing key", "    \"basic.delay.ch2\": 100,\n", "", "\"basic.delay.ch2\" is missing (0..100)");
    row("unknown key", "\"basic.delay.ch2\"", "\"basic.delay.ch9\"", "unknown key \"basic.delay.ch9\"");
    row("above range", "\"basic.subTrim.ch3\": 0", "\"basic.subTrim.ch3\": 101",
        "\"basic.subTrim.ch3\": 101 is outside -100..100");
    row("below range", "\"basic.endPoint.ch1Left\": 96", "\"basic.endPoint.ch1Left\": -1",
        "\"basic.endPoint.ch1Left\": -1 is outside 0..120 %");
    row("fraction", "\"basic.delay.ch1\": 100", "\"basic.delay.ch1\": 99.5",
        "\"basic.delay.ch1\": expected a whole number 0..100, got 99.5");
    row("string for number", "\"basic.delay.ch1\": 100", "\"basic.delay.ch1\": \"100\"",
        "\"basic.delay.ch1\": expected a whole number 0..100, got \"100\"");
    row("null", "\"system.alarm.rssi\": -100", "\"system.alarm.rssi\": null",
        "\"system.alarm.rssi\": expected a whole number -100..0 dBm, got null");
    row("bool", "\"advance1.dr.mix\": \"OFF\"", "\"advance1.dr.mix\": true",
        "\"advance1.dr.mix\": expected one of OFF, ON, got true");
    row("unknown choice", "\"basic.reverse.ch3\": \"REV\"", "\"basic.reverse.ch3\": \"rev\"",
        "\"basic.reverse.ch3\": \"rev\" is not one of NOR, REV");
    row("choice number out of range", "\"basic.auxCh.ch5\": \"SwB\"", "\"basic.auxCh.ch5\": 6",
        "\"basic.auxCh.ch5\": 6 is outside SwA, SwB, VrA, VrB, NULL or a number 0..5");
    row("list", "\"advance2.thCure.point4\": 50", "\"advance2.thCure.point4\": [50]",
        "\"advance2.thCure.point4\": expected a whole number 0..100 %, got a list");
    row("volts two decimals", "\"system.alarm.tx\": 3.7", "\"system.alarm.tx\": 3.75",
        "\"system.alarm.tx\": expected volts 0.0..50.0 V with one decimal, got 3.75");
    row("volts above", "\"system.alarm.tx\": 3.7", "\"system.alarm.tx\": 50.1",
        "\"system.alarm.tx\": 50.1 is outside 0.0..50.0 V");
    row("volts negative", "\"system.alarm.ext\": 11.0", "\"system.alarm.ext\": -0.1",
        "\"system.alarm.ext\": -0.1 is outside 0.0..100.0 V");
    row("volts as text", "\"system.alarm.rx\": 4.0", "\"system.alarm.rx\": \"4.0 V\"",
        "\"system.alarm.rx\": expected volts 0.0..100.0 V with one decimal, got \"4.0 V\"");
    row("huge", "\"basic.delay.ch1\": 100", "\"basic.delay.ch1\": 1e300",
        "\"basic.delay.ch1\": 1e+300 is outside 0..100");
}

void TestJson::badDocumentsAreRefused()
{
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, to);
    QFETCH(QString, message);
    QByteArray json = settingsToJson(factorySettings());
    if (from == "*") {
        json = to;
    } else {
        QVERIFY(json.contains(from));
        json.replace(json.indexOf(from), from.size(), to);
    }
    TxSettingsRecord out = startSettings();
    out.sub[0] = 55; // untouched on failure
    const TxSettingsRecord before = out;
    QString error;
    QVERIFY(!settingsFromJson(json, out, &error));
    QVERIFY2(error.contains(message), qPrintable(error));
    QVERIFY(!error.contains('\n'));
    QCOMPARE(out, before);
}

void TestJson::valuesAFileCannotHold_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("message");
    QTest::newRow("tx alarm") << "system.alarm.tx" << 240 << "cannot hold 24.0 V; it holds 0.0..23.9 V";
    QTest::newRow("rx alarm") << "system.alarm.rx" << 300 << "cannot hold 30.0 V; it holds 0.0..23.9 V";
    QTest::newRow("ext alarm") << "system.alarm.ext" << 1000 << "cannot hold 100.0 V; it holds 0.0..99.9 V";
    QTest::newRow("master") << "progMix.mix3.master" << 10 << "cannot hold 10; it holds CH1..9";
    QTest::newRow("in reach") << "system.alarm.tx" << 239 << "";
}

void TestJson::valuesAFileCannotHold()
{
    QFETCH(QString, key);
    QFETCH(int, value);
    QFETCH(QString, message);
    TxSettingsRecord s = factorySettings();
    setSettingValue(*findSetting(key), s, value);
    const QString problem = settingsFileProblem(s);
    if (message.isEmpty())
        QCOMPARE(problem, QString());
    else
        QVERIFY2(problem.contains("\"" + key + "\"") && problem.contains(message), qPrintable(problem));
}

void TestJson::everyKeyIsDocumented()
{
    QFile doc(QFINDTESTDATA("../../docs/settings-json.md"));
    QVERIFY(doc.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(doc.readAll());
    QCOMPARE(text.count("\n| `"), int(settingsCatalogue().size()));
    for (const SettingInfo &info : settingsCatalogue())
        QVERIFY2(text.contains("\n| `" + info.key + "` | " + info.path() + " | "), qPrintable(info.key));
}

QTEST_MAIN(TestJson)
#include "test_json.moc"
