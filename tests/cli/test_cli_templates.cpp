#include <QTemporaryDir>
#include <QtTest>

#include "file/linerange.h"
#include "model/bindings.h"
#include "model/catalogue.h"
#include "model/merge.h"
#include "model/validation.h"
#include "sim/virtualtransmitter.h"
#include "support/programs.h"
#include "support/stores.h"
#include "support/waiting.h"

// Part of a set from another: the groups of the catalogue merged (the core
// function over every group, and txctl merge on real files), and txctl write
// --only/--keep/--dry-run against the virtual transmitter.

namespace {

ProgramRun txctl(const QString &home, const QStringList &args)
{
    RunOptions options;
    options.dataHome = home;
    return runProgram(TXCTL_PATH, args, options);
}

// A store as LOAD leaves it: in range, the D/R mirrors derived.
TxSettingsRecord loaded(TxSettingsRecord s)
{
    drDataSelect(s);
    validateSettings(s);
    return s;
}

// `b` changed so that every setting (and the D/R edit copy) differs from
// `a`'s, each still inside what a settings line carries.
TxSettingsRecord differentEverywhere(const TxSettingsRecord &a, TxSettingsRecord b)
{
    std::vector<SettingInfo> rows = settingsCatalogue();
    rows.insert(rows.end(), drEditCopyRows().begin(), drEditCopyRows().end());
    for (const SettingInfo &info : rows) {
        int lo = 0, hi = 0;
        settingLineRange(info, &lo, &hi);
        const int v = settingValue(info, a);
        if (settingValue(info, b) == v)
            setSettingValue(info, b, v < hi ? v + 1 : lo);
    }
    return b;
}

// The value of every catalogue row, and of the D/R edit copy.
QVector<int> values(const TxSettingsRecord &s)
{
    QVector<int> out;
    for (const SettingInfo &info : settingsCatalogue())
        out << settingValue(info, s);
    for (const SettingInfo &info : drEditCopyRows())
        out << settingValue(info, s);
    return out;
}

QByteArray lastLines(const VirtualTransmitter &tx)
{
    return tx.lastLine(LineKind::S) + tx.lastLine(LineKind::G) + tx.lastLine(LineKind::H);
}

// What a transmitter was told, without the "WWW" answers to its frames.
QStringList saidTo(const VirtualTransmitter &tx)
{
    QStringList out;
    // A READ may ask again when the line stalls on a busy machine (the
    // answer then lost bytes to the quiet line): one "RR" stands for them.
    for (const QString &t : tx.received())
        if (t != "WWW" && !(t == "RR" && !out.isEmpty() && out.last() == "RR"))
            out << t;
    return out;
}

} // namespace

class TestCliTemplates : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QLoggingCategory::setFilterRules("txsim.info=false"); }
    void aGroupIsTakenWhole_data();
    void aGroupIsTakenWhole();
    void mergeWritesTheMergedFile();
    void writeWithGroups_data();
    void writeWithGroups();
};

// For every group G of the catalogue, in both modes and by a name written
// another way: --only G from B into A differs from A exactly in G's settings,
// --keep G differs from B exactly there; the result is as LOAD leaves a set.
void TestCliTemplates::aGroupIsTakenWhole_data()
{
    QTest::addColumn<int>("group");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("mode");
    int i = 0;
    for (const SettingGroup &g : settingGroups()) {
        const QString dashed = g.name.toLower().replace(' ', '-'), bare = QString(g.name).remove(' ');
        QTest::addRow("--only %s", qPrintable(g.name)) << i << dashed << int(MergeMode::Only);
        QTest::addRow("--keep %s", qPrintable(g.name)) << i << bare << int(MergeMode::Keep);
        ++i;
    }
}

void TestCliTemplates::aGroupIsTakenWhole()
{
    QFETCH(int, group);
    QFETCH(QString, name);
    QFETCH(int, mode);
    const SettingGroup &g = settingGroups()[size_t(group)];
    std::vector<const SettingGroup *> named;
    QString error;
    QVERIFY2(parseSettingGroups({name}, named, &error) && named == std::vector<const SettingGroup *>{&g},
             qPrintable(error));
    // Seeds where the D/R channel is one of the four on both sides, on one,
    // and on neither (the edit copy data of its own).
    for (quint32 seed = 1; seed <= 12; ++seed) {
        QRandomGenerator random(seed);
        TxSettingsRecord a = randomInRangeSettings(random), b = randomInRangeSettings(random);
        a.drCh = int(seed % 5);
        b.drCh = int(seed / 3 % 5);
        a = loaded(a);
        b = loaded(differentEverywhere(a, b));
        const TxSettingsRecord merged = mergeSettings(a, b, named, MergeMode(mode));
        const TxSettingsRecord &from = mode == int(MergeMode::Only) ? b : a;
        const TxSettingsRecord &rest = mode == int(MergeMode::Only) ? a : b;
        const QVector<int> got = values(merged), fromValues = values(from), restValues = values(rest);
        const int rows = int(settingsCatalogue().size());
        for (int r = 0; r < got.size(); ++r) {
            const bool inGroup =
                r < rows ? std::count(g.rows.begin(), g.rows.end(), r) > 0 : g.holdsDrEditCopy;
            // A derived edit copy follows the rates of the channel taken.
            if (r >= rows && drChannelSelected(merged))
                continue;
            QVERIFY2(got[r] == (inGroup ? fromValues[r] : restValues[r]),
                     qPrintable(QString("seed %1, row %2").arg(seed).arg(r)));
        }
        QVERIFY(merged == loaded(merged));
    }
}

// txctl merge on real files, one group option with two names: the file is
// what SAVE writes for the merged set.
void TestCliTemplates::mergeWritesTheMergedFile()
{
    QTemporaryDir dir;
    QRandomGenerator random(3);
    const TxSettingsRecord a = loaded(randomInRangeSettings(random));
    const TxSettingsRecord b = loaded(differentEverywhere(a, randomInRangeSettings(random)));
    const QString fileA = dir.filePath("a.txt"), fileB = dir.filePath("b.txt"), out = dir.filePath("m.txt");
    QVERIFY(writeFile(fileA, settingsFileOf(a)) && writeFile(fileB, settingsFileOf(b)));
    const ProgramRun r =
        txctl(dir.path(), {"merge", "-q", fileA, fileB, "--keep", "Fail_Safe,sub-trim", "-o", out});
    QCOMPARE(r.status, 0);
    std::vector<const SettingGroup *> kept{findSettingGroup("FAIL SAFE"), findSettingGroup("SUB-TRIM")};
    QCOMPARE(readFile(out), settingsFileOf(mergeSettings(a, b, kept, MergeMode::Keep)));
}

// write with a group option against the virtual transmitter, and a write
// undone by @2. A is the file of what it holds (as read), B another model, M
// the merge of A and B by the row's group option (txctl merge, checked
// above). PORT is its port.
void TestCliTemplates::writeWithGroups_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("said");     // in standard error (status 2) or output: a regular expression
    QTest::addColumn<QStringList>("wire"); // what the transmitter was told, not its answers
    QTest::addColumn<QString>("holds");    // its lines at the end: "M", or "" for none received
    const QStringList none, read{"OK", "RR", "DIS"}, written{"OK", "RR", "S", "G", "H", "DIS"};
    const QString keep = "fail-safe,SUB_TRIM", only = "prog.mix1,d/r";
    QStringList groups;
    for (const SettingGroup &g : settingGroups())
        groups << g.name;
    QTest::newRow("--keep") << QStringList{"write", "PORT", "B", "--keep", keep} << 0 << "^$" << written
                            << "M";
    QTest::newRow("--only, --verify") << QStringList{"write", "PORT", "B", "--only", only, "--verify"} << 0
                                      << "^$" << QStringList{"OK", "RR", "S", "G", "H", "RR", "DIS"} << "M";
    QTest::newRow("--keep --dry-run")
        << QStringList{"write", "PORT", "B", "--keep", keep, "--dry-run"} << 1 << "^DIFF$" << read << "";
    QTest::newRow("--dry-run, nothing to change")
        << QStringList{"write", "PORT", "A", "--dry-run"} << 0 << "^$" << read << "";
    QTest::newRow("unknown group") << QStringList{"write", "PORT", "B", "--only", "reverse,failsave"} << 2
                                   << "^txctl: write: failsave: no such group \\(the groups: " +
                                          QRegularExpression::escape(groups.join(", ")) + "\\)\n$"
                                   << none << "";
    QTest::newRow("--only with --keep")
        << QStringList{"write", "PORT", "B", "--only", "reverse", "--keep", "delay"} << 2
        << "^txctl: write: --only and --keep cannot go together \\(txctl write --help\\)\n$" << none << "";
    QTest::newRow("--only without the backup")
        << QStringList{"write", "PORT", "B", "--only", "reverse", "--no-backup"} << 2
        << "^txctl: write: --only and --keep take the rest from the settings the transmitter holds; they "
           "cannot go with --no-backup\n$"
        << none << "";
    QTest::newRow("merge, unknown group")
        << QStringList{"merge", "A", "B", "--keep", "alarms", "-o", "M2"} << 2
        << "^txctl: merge: alarms: no such group \\(the groups: " << none << "";
}

void TestCliTemplates::writeWithGroups()
{
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, said);
    QFETCH(QStringList, wire);
    QFETCH(QString, holds);
    VirtualTransmitter tx;
    QRandomGenerator random(11);
    tx.setSettings(loaded(randomInRangeSettings(random)));
    QTemporaryDir home, dir;
    const QString a = dir.filePath("a.txt"), b = dir.filePath("b.txt"), m = dir.filePath("m.txt");
    QVERIFY(tx.isValid() && writeFile(b, settingsFileOf(loaded(randomInRangeSettings(random)))));
    QCOMPARE(txctl(dir.path(), {"read", "-q", tx.slavePath(), "-o", a}).status, 0);
    const int option = std::max(args.indexOf("--only"), args.indexOf("--keep"));
    if (option > 0 && status != 2)
        QCOMPARE(txctl(dir.path(), {"merge", "-q", a, b, args[option], args[option + 1], "-o", m}).status, 0);
    else
        QVERIFY(writeFile(m, readFile(args.contains("A") ? a : b)));
    // What diff of the port and M prints is what the dry run must print.
    int closed = 1; // the read's "DIS", which may still be on its way
    if (said.contains("DIFF")) {
        const ProgramRun diff = txctl(dir.path(), {"diff", "-q", tx.slavePath(), m});
        QVERIFY(diff.status == 1);
        said.replace("DIFF", QRegularExpression::escape(QString::fromUtf8(diff.out)));
        ++closed;
    }
    QVERIFY(waitFor([&] { return tx.receivedCount("DIS") == closed; }, 5000));
    tx.clearReceived();

    args.replaceInStrings(QRegularExpression("^PORT$"), tx.slavePath())
        .replaceInStrings(QRegularExpression("^A$"), a)
        .replaceInStrings(QRegularExpression("^B$"), b)
        .replaceInStrings(QRegularExpression("^M2$"), dir.filePath("m2.txt"));
    args.insert(1, "-q");
    const ProgramRun r = txctl(home.path(), args);
    QCOMPARE(r.status, status);
    const QByteArray shown = status == 2 ? r.err : r.out;
    QVERIFY2(QRegularExpression(said).match(QString::fromUtf8(shown)).hasMatch(), shown.constData());
    if (!wire.isEmpty())
        QVERIFY(waitFor([&] { return tx.receivedCount("DIS") > 0; }, 5000));
    QCOMPARE(saidTo(tx), wire);
    QCOMPARE(lastLines(tx), holds.isEmpty() ? QByteArray() : readFile(m));
    QVERIFY(!QFile::exists(dir.filePath("m2.txt")));
    if (holds.isEmpty())
        return;
    QVERIFY(readFile(m) != readFile(a));
    // Undone as any write: @2 puts back what the transmitter held.
    QCOMPARE(txctl(home.path(), {"write", "-q", tx.slavePath(), "@2"}).status, 0);
    QVERIFY(waitFor([&] { return tx.receivedCount("DIS") == 2; }, 5000));
    QCOMPARE(lastLines(tx), readFile(a));
}

QTEST_GUILESS_MAIN(TestCliTemplates)
#include "test_cli_templates.moc"
