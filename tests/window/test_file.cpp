#include <QAbstractButton>
#include <QApplication>
#include <QBuffer>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <functional>
#include <sys/fsuid.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "app/mainwindow.h"
#include "file/settingsfile.h"
#include "link/lines.h"
#include "model/bindings.h"
#include "model/txsettings.h"
#include "model/validation.h"
#include "sim/pty.h"
#include "support/stores.h"
#include "support/testutil.h"
#include "ui/mainwindowform.h"

namespace {

const char kFactoryS[] = "S0010000078787878787878787070707070707070707070707070707042421042424242421302352Y";
const char kFactoryG[] = "G41E2D3C4855680DCDCDCDCDC140A642A6A6674747474747474740074747474747474740135006D2Z";
const char kFactoryH[] = "H7474747474747474003747474015747474001020314253647407474747474747474110140380000X";

const char kFileError[] = "Cannot read the specified file!";
const char kPartNote[] = "Only part of the file could be loaded!";
const char kNoneNote[] = "No settings found in the file!";

// Settings that every editor of the window can show, so the periodic refresh
// echoes them unchanged into the store while a save pauses; the D/R mirrors
// agree with the arrays, as the editors keep them.
TxSettingsRecord randomEditorSettings(QRandomGenerator &g)
{
    TxSettingsRecord s = randomInRangeSettings(g);
    auto r = [&g](int lo, int hi) { return lo + int(g.bounded(hi - lo + 1)); };
    for (int &a : s.aux)
        a = r(0, 4);
    s.stkMode = r(1, 4);
    s.drCh = r(0, 3);
    s.attiM = r(0, 4);
    for (PrmMix &m : s.prm) {
        m.master = r(0, 7);
        m.slave = r(0, 7);
    }
    for (int i = 2; i < 4; ++i) {
        s.prm[i].data2 = r(0, 100);
        s.prm[i].data3 = r(0, 100);
    }
    s.drSw = 0;
    s.drPosi = r(0, 1);
    s.thcureMix = r(0, 1);
    drDataSelect(s);
    return s;
}

// A fixed store that differs from the factory values in every marker field
// checked below and uses hex digits A-F in many fields.
TxSettingsRecord markerSettings()
{
    TxSettingsRecord s = factorySettings();
    s.sub[0] = 100; // "DC"
    s.sub[7] = -77;
    s.stkMode = 3;
    s.txAlarmVolt = 12.5;
    s.txAlarmRaw = 125;
    s.atti[0] = 90;
    s.delay[7] = 31;
    s.prm[1].mix = 2;
    s.drUp[3] = 55;
    s.prm[3].data3 = 60;
    s.rxAlarmVolt = 6.6;
    s.rxAlarmRaw = 66;
    s.extAlarmVolt = 20.2;
    s.extAlarmRaw = 202;
    s.rssiAlarm = -42;
    return s;
}

QByteArray fileOf(const TxSettingsRecord &s)
{
    return buildLine(LineKind::S, s) + buildLine(LineKind::G, s) + buildLine(LineKind::H, s);
}

// The heads of a file in lower case; the line letters stay as they are.
QByteArray lowerHexDigits(QByteArray bytes)
{
    for (int i = 0; i < bytes.size(); ++i)
        if (i % kLineLength != 0 && i % kLineLength != kLineLength - 1)
            bytes[i] = QChar::fromLatin1(bytes[i]).toLower().toLatin1();
    return bytes;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray fileContent(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList blengthLines(const LogCatcher &log)
{
    QStringList out;
    for (const QString &m : log.messages())
        if (m.startsWith("Blength"))
            out << m;
    return out;
}

// Plays the user in front of the file dialogs and message boxes while a test
// clicks SAVE or LOAD: each file dialog gets the next prepared answer (a path
// to accept, or an empty string to cancel), the "already exists" question is
// answered Yes, and every other message box is recorded and closed. `onTick`
// runs on every poll, for tests that watch the store, the port or the disk
// while a command pauses.
class UserAtDialogs : public QObject
{
public:
    struct Dialog {
        QString title;
        QStringList filters;
        QString directory;
        QFileDialog::AcceptMode mode;
        QFileDialog::Options options;
    };
    struct Box {
        QString title, text;
        TxSettingsRecord store; // the store as it stood when the box appeared
    };

    QStringList answers;
    QList<Dialog> dialogs;
    QList<Box> boxes;
    std::function<void()> onTick;

    UserAtDialogs()
    {
        connect(&timer, &QTimer::timeout, this, &UserAtDialogs::poll);
        timer.start(10);
    }

    QStringList boxTexts() const
    {
        QStringList out;
        for (const Box &b : boxes)
            out << b.title + " / " + b.text;
        return out;
    }

private:
    void poll()
    {
        if (onTick)
            onTick();
        QWidget *w = QApplication::activeModalWidget();
        if (!w || !w->isVisible() || w->property("answered").toBool())
            return;
        if (auto *dlg = qobject_cast<QFileDialog *>(w)) {
            dlg->setProperty("answered", true);
            dialogs.append({dlg->windowTitle(), dlg->nameFilters(), dlg->directory().absolutePath(),
                            dlg->acceptMode(), dlg->options()});
            const QString answer = answers.isEmpty() ? QString() : answers.takeFirst();
            // Accepting may ask a question of its own in a nested loop: run it
            // from the dialog's loop, not from inside this poll.
            if (answer.isEmpty()) {
                QMetaObject::invokeMethod(dlg, "reject", Qt::QueuedConnection);
            } else {
                // Typed into the name field as a user would; selectFile()
                // leaves the field alone while it has the focus.
                QLineEdit *edit = dlg->findChild<QLineEdit *>("fileNameEdit");
                QVERIFY(edit);
                edit->setText(answer);
                QMetaObject::invokeMethod(dlg, "accept", Qt::QueuedConnection);
            }
        } else if (auto *box = qobject_cast<QMessageBox *>(w)) {
            box->setProperty("answered", true);
            if (box->text().contains("already exists") && box->button(QMessageBox::Yes)) {
                QMetaObject::invokeMethod(box->button(QMessageBox::Yes), "click", Qt::QueuedConnection);
                return;
            }
            boxes.append({box->windowTitle(), box->text(), TxSettings});
            QMetaObject::invokeMethod(box, "done", Qt::QueuedConnection, Q_ARG(int, QMessageBox::Ok));
        }
    }

    QTimer timer;
};

void click(MainWindow &w, const char *button)
{
    QAbstractButton *b = w.findChild<QAbstractButton *>(button);
    QVERIFY2(b, button);
    b->click();
}

void restoreDefaultLines()
{
    lineS = "S00100000787878787878787870707070707070707070707070707070424210424242424213027E2Y";
    lineG = "G41E2D3C4855680DCDCDCDCDC1409632A696674747474747474740074746474647464640135006D2Z";
    lineH = "H0000000000000000000000000000000000000000000000000000000000000000000000000000000X";
}

} // namespace

// Saving settings to a file and loading them back, through the real window,
// the real file dialogs and real files.
class TestFile : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        resetStore();
        restoreDefaultLines();
        setTestPorts({});
    }

    // Plain functions.
    void loadText_data();
    void loadText();
    void loadTextRoundTrip();
    void prefixIsOneCharacterPerByte();
    void prefixIsBounded();

    // The window.
    void saveFactoryDefaults();
    void saveLoadRoundTrip_data();
    void saveLoadRoundTrip();
    void loadFiles_data();
    void loadFiles();
    void loadRederivesDrMirrors();
    void loadReadsABoundedPrefix_data();
    void loadReadsABoundedPrefix();
    void specialFiles_data();
    void specialFiles();
    void cancelledLoadStillValidates();
    void cancelledSaveDoesNothing();
    void unreadableFile();
    void unwritablePath_data();
    void unwritablePath();
    void saveKeepsOldFileUntilComplete();
    void saveInFolderWithoutWriteAccess();
    void failedWriteKeepsOldFile();
    void saveWritesAfterTheLines_data();
    void saveWritesAfterTheLines();
};

// --- plain functions -------------------------------------------------------

void TestFile::loadText_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("s");
    QTest::addColumn<bool>("g");
    QTest::addColumn<bool>("h");
    QTest::addColumn<QStringList>("log");

    const QByteArray S = buildLine(LineKind::S, markerSettings());
    const QByteArray G = buildLine(LineKind::G, markerSettings());
    const QByteArray H = buildLine(LineKind::H, markerSettings());
    const QByteArray all = S + G + H;
    auto logOf = [](int n, bool s, bool g, bool h) {
        QStringList l{QString("Blength00:%1").arg(n)};
        if (s)
            l << QString("Blength01:%1").arg(n);
        if (g)
            l << QString("Blength02:%1").arg(n);
        if (h)
            l << QString("Blength03:%1").arg(n);
        return l;
    };
    auto row = [&](const char *name, const QByteArray &text, bool s, bool g, bool h) {
        QTest::newRow(name) << text << s << g << h << logOf(text.size(), s, g, h);
    };
    auto replaced = [](QByteArray b, int pos, char c) {
        b[pos] = c;
        return b;
    };

    row("complete", all, true, true, true);
    row("bytes after the H line are ignored", all + "GARBAGE\r\n" + S, true, true, true);
    row("empty", QByteArray(), false, false, false);
    row("S line alone", S, false, false, false);
    row("161 characters", all.left(161), false, false, false);
    row("162 characters", all.left(162), true, true, false);
    row("242 characters", all.left(242), true, true, false);
    row("line breaks after each line", S + "\n" + G + "\n" + H + "\n", true, false, false);
    row("CR LF after each line", S + "\r\n" + G + "\r\n" + H + "\r\n", true, false, false);
    row("S line ends in Z", replaced(all, 80, 'Z'), false, true, true);
    row("S line letter lower case", replaced(all, 0, 's'), false, true, true);
    row("G line letter missing", replaced(all, 81, '0'), true, false, true);
    row("G line ends in Y", replaced(all, 161, 'Y'), true, false, true);
    row("H line letter wrong", replaced(all, 162, 'G'), true, true, false);
    row("H line ends in Y", replaced(all, 242, 'Y'), true, true, false);
    row("lines in the wrong order", G + S + H, false, false, true);
    row("no letters at all", QByteArray(243, '7'), false, false, false);
    row("lower-case hex digits", lowerHexDigits(all), true, true, true);
    // An editor's UTF-8 byte-order mark in front: positions count after it.
    const QByteArray bom("\xEF\xBB\xBF");
    QTest::newRow("byte-order mark in front")
        << bom + all << true << true << true << logOf(243, true, true, true);
    QTest::newRow("byte-order mark after the S line")
        << S + bom + G + H << true << false << false << logOf(246, true, false, false);
}

// Which lines a text loads, what they change, and what the log says.
void TestFile::loadText()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, s);
    QFETCH(bool, g);
    QFETCH(bool, h);
    QFETCH(QStringList, log);

    const TxSettingsRecord before = factorySettings();
    const TxSettingsRecord m = markerSettings();
    TxSettingsRecord st = before;
    LogCatcher catcher;
    const LoadReport r = loadSettingsText(QString::fromLatin1(text), st);

    QCOMPARE(r.length, int(text.size()) - (text.startsWith("\xEF\xBB\xBF") ? 3 : 0));
    QCOMPARE(r.s, s);
    QCOMPARE(r.g, g);
    QCOMPARE(r.h, h);
    QCOMPARE(blengthLines(catcher), log);

    // One or two fields of each line that differ between the two stores.
    const TxSettingsRecord &fromS = s ? m : before;
    QCOMPARE(st.sub[0], fromS.sub[0]);
    QCOMPARE(st.sub[7], fromS.sub[7]);
    QCOMPARE(st.stkMode, fromS.stkMode);
    QCOMPARE(st.txAlarmRaw, fromS.txAlarmRaw);
    QCOMPARE(st.txAlarmVolt, fromS.txAlarmVolt);
    const TxSettingsRecord &fromG = g ? m : before;
    QCOMPARE(st.atti[0], fromG.atti[0]);
    QCOMPARE(st.delay[7], fromG.delay[7]);
    QCOMPARE(st.prm[1].mix, fromG.prm[1].mix);
    const TxSettingsRecord &fromH = h ? m : before;
    QCOMPARE(st.drUp[3], fromH.drUp[3]);
    QCOMPARE(st.prm[3].data3, fromH.prm[3].data3);
    QCOMPARE(st.rxAlarmRaw, fromH.rxAlarmRaw);
    QCOMPARE(st.rxAlarmVolt, fromH.rxAlarmVolt);
    QCOMPARE(st.extAlarmRaw, fromH.extAlarmRaw);
    QCOMPARE(st.extAlarmVolt, fromH.extAlarmVolt);
    QCOMPARE(st.rssiAlarm, fromH.rssiAlarm);
    if (s && g && h)
        QVERIFY(st == m);
    if (!s && !g && !h)
        QVERIFY(st == before);

    const QString note = loadNote(r);
    if (s && g && h)
        QCOMPARE(note, QString());
    else if (s || g || h)
        QCOMPARE(note, QString(kPartNote));
    else
        QCOMPARE(note, QString(kNoneNote));
}

// Every in-range store survives the file form: lines built, bytes of the file,
// Latin-1 text, loaded into another store.
void TestFile::loadTextRoundTrip()
{
    QRandomGenerator gen(20240611);
    LogCatcher quiet;
    for (int i = 0; i < 2000; ++i) {
        const TxSettingsRecord saved = randomInRangeSettings(gen);
        const QByteArray bytes = settingsFileBytes(QString::fromLatin1(buildLine(LineKind::S, saved)),
                                                   QString::fromLatin1(buildLine(LineKind::G, saved)),
                                                   QString::fromLatin1(buildLine(LineKind::H, saved)));
        QCOMPARE(bytes.size(), kSettingsFileLength);
        TxSettingsRecord st = factorySettings();
        const LoadReport r = loadSettingsText(QString::fromLatin1(bytes), st);
        QVERIFY(r.s && r.g && r.h);
        // The file does not carry the rate and exponential mirrors.
        TxSettingsRecord expected = saved;
        expected.drRateEdit = st.drRateEdit;
        expected.drExpEdit = st.drExpEdit;
        if (!(st == expected))
            QFAIL(qPrintable(QString("store %1 differs after loading:\n%2").arg(i).arg(QString(bytes))));
    }
}

void TestFile::prefixIsOneCharacterPerByte()
{
    // A UTF-8 "é" inside the S line and bytes that are no UTF-8 at all.
    QByteArray bytes = fileOf(markerSettings());
    bytes[9] = char(0xC3);
    bytes[10] = char(0xA9);
    bytes[100] = char(0xFF);
    bytes.append('\0').append(char(0x80));
    QBuffer buf(&bytes);
    QVERIFY(buf.open(QIODevice::ReadOnly));
    const QString text = readSettingsFilePrefix(buf);
    QCOMPARE(text.size(), bytes.size());
    for (int i = 0; i < bytes.size(); ++i)
        QCOMPARE(text.at(i).unicode(), ushort(uchar(bytes[i])));
    QCOMPARE(text.at(81), QChar('G'));
    QCOMPARE(text.at(162), QChar('H'));
}

void TestFile::prefixIsBounded()
{
    QByteArray bytes = fileOf(markerSettings());
    bytes += QByteArray(3 * kSettingsReadLimit, 'x');
    QBuffer buf(&bytes);
    QVERIFY(buf.open(QIODevice::ReadOnly));
    const QString text = readSettingsFilePrefix(buf);
    QCOMPARE(text.size(), int(kSettingsReadLimit));
    QCOMPARE(text.left(kSettingsFileLength).toLatin1(), fileOf(markerSettings()));
    QCOMPARE(buf.pos(), kSettingsReadLimit); // nothing read beyond the bound

    QByteArray small("SHORT");
    QBuffer smallBuf(&small);
    QVERIFY(smallBuf.open(QIODevice::ReadOnly));
    QCOMPARE(readSettingsFilePrefix(smallBuf), QString("SHORT"));
}

// --- the window ------------------------------------------------------------

// The factory settings go into the file as exactly the three factory lines;
// the dialog is the SAVE dialog in the working directory and the chosen name
// is logged.
void TestFile::saveFactoryDefaults()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("factory.txt");
    MainWindow w;
    QMetaObject::invokeMethod(&w, "RestData", Qt::DirectConnection);
    QMetaObject::invokeMethod(&w, "RestData2", Qt::DirectConnection);
    UserAtDialogs user;
    user.answers << path;
    bool lockedBeforeDialog = false, enabledAtDialog = false;
    user.onTick = [&] {
        const bool enabled = w.form()->toolButton_Save->isEnabled();
        if (QApplication::activeModalWidget())
            enabledAtDialog = enabled;
        else if (user.dialogs.isEmpty() && !enabled)
            lockedBeforeDialog = true;
    };
    LogCatcher log;
    click(w, "toolButton_Save");

    const QByteArray content = fileContent(path);
    QCOMPARE(content, QByteArray(kFactoryS) + kFactoryG + kFactoryH);
    QCOMPARE(content.size(), 243);
    QVERIFY(!content.contains('\n') && !content.contains('\r'));
    QCOMPARE(user.boxTexts(), QStringList());
    QCOMPARE(user.dialogs.size(), 1);
    QCOMPARE(user.dialogs[0].title, QString("SAVE"));
    QCOMPARE(user.dialogs[0].filters, QStringList({"file (*.txt *.dat)", "allfile (*.*)"}));
    QCOMPARE(user.dialogs[0].directory, QDir::currentPath());
    QCOMPARE(user.dialogs[0].mode, QFileDialog::AcceptSave);
    QCOMPARE(int(user.dialogs[0].options), 0);
    QVERIFY(lockedBeforeDialog);
    QVERIFY(enabledAtDialog);
    QVERIFY(log.contains(path));
    QCOMPARE(lineS, QString(kFactoryS));
    QCOMPARE(lineG, QString(kFactoryG));
    QCOMPARE(lineH, QString(kFactoryH));
}

void TestFile::saveLoadRoundTrip_data()
{
    QTest::addColumn<quint32>("seed");
    for (quint32 seed : {1u, 2u, 3u, 4u, 5u, 6u})
        QTest::addRow("seed %u", seed) << seed;
}

// Random settings saved, reset to factory, loaded back: every field the lines
// carry returns, and the D/R mirrors are those of the selected channel.
void TestFile::saveLoadRoundTrip()
{
    QFETCH(quint32, seed);
    QRandomGenerator gen(seed);
    QTemporaryDir dir;
    const QString path = dir.filePath("model.dat");
    MainWindow w;
    TxSettings = randomEditorSettings(gen);
    const TxSettingsRecord saved = TxSettings;

    UserAtDialogs user;
    user.answers << path << path;
    click(w, "toolButton_Save");
    QCOMPARE(fileContent(path), fileOf(saved));
    QVERIFY(TxSettings == saved);

    QMetaObject::invokeMethod(&w, "RestData", Qt::DirectConnection);
    QMetaObject::invokeMethod(&w, "RestData2", Qt::DirectConnection);
    QVERIFY(TxSettings != saved);
    click(w, "toolButton_Load");

    QCOMPARE(user.boxTexts(), QStringList());
    QCOMPARE(user.dialogs.size(), 2);
    QCOMPARE(user.dialogs[1].title, QString("Open file"));
    QCOMPARE(user.dialogs[1].filters, QStringList({"All file (*.*)", "file (*.txt *.dat)"}));
    QCOMPARE(user.dialogs[1].directory, QDir::currentPath());
    QCOMPARE(user.dialogs[1].mode, QFileDialog::AcceptOpen);
    QCOMPARE(int(user.dialogs[1].options), 0);
    TxSettingsRecord expected = saved;
    const int ch = saved.drCh;
    expected.drUpEdit = saved.drUp[ch];
    expected.drDownEdit = saved.drDown[ch];
    expected.drRateEdit = saved.drPosi == 0 ? saved.drUp[ch] : saved.drDown[ch];
    expected.drExpEdit = saved.drPosi == 0 ? saved.drExpUp[ch] : saved.drExpDown[ch];
    QVERIFY(TxSettings == expected);
    // Load sends nothing and leaves the current lines alone.
    QCOMPARE(lineS.toLatin1(), buildLine(LineKind::S, saved));
}

void TestFile::loadFiles_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("s");
    QTest::addColumn<bool>("g");
    QTest::addColumn<bool>("h");
    QTest::addColumn<QString>("note");
    QTest::addColumn<int>("sub0"); // sub-trim of CH1 after the load

    const TxSettingsRecord m = markerSettings();
    const QByteArray S = buildLine(LineKind::S, m);
    const QByteArray G = buildLine(LineKind::G, m);
    const QByteArray H = buildLine(LineKind::H, m);
    const QByteArray all = S + G + H;
    QByteArray zz = all;
    zz.replace(9, 2, "ZZ");
    QByteArray utf8 = all;
    utf8.replace(9, 2, "\xC3\xA9"); // "é" in UTF-8: two bytes, two characters

    QTest::newRow("complete") << all << true << true << true << QString() << m.sub[0];
    QTest::newRow("lower-case hex") << lowerHexDigits(all) << true << true << true << QString() << m.sub[0];
    QTest::newRow("161 characters") << all.left(161) << false << false << false << QString(kNoneNote) << 0;
    QTest::newRow("200 characters") << all.left(200) << true << true << false << QString(kPartNote)
                                    << m.sub[0];
    QTest::newRow("line breaks") << S + "\n" + G + "\n" + H + "\n"
                                 << true << false << false << QString(kPartNote) << m.sub[0];
    QTest::newRow("bad S end letter")
        << all.left(80) + "X" + all.mid(81) << false << true << true << QString(kPartNote) << 0;
    QTest::newRow("empty file") << QByteArray() << false << false << false << QString(kNoneNote) << 0;
    QTest::newRow("text of another kind")
        << QByteArray("hello\nworld\n").repeated(30) << false << false << false << QString(kNoneNote) << 0;
    // Read as 0 - 120, then put back to its fallback by validation.
    QTest::newRow("ZZ sub-trim") << zz << true << true << true << QString() << 0;
    QTest::newRow("ZZ sub-trim, short file")
        << zz.left(170) << true << true << false << QString(kPartNote) << 0;
    // One character per byte: the later lines stay in place.
    QTest::newRow("UTF-8 bytes in a field") << utf8 << true << true << true << QString() << 0;
}

// Files of every shape through LOAD: what is loaded, what is validated, what
// the user is told.
void TestFile::loadFiles()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, s);
    QFETCH(bool, g);
    QFETCH(bool, h);
    QFETCH(QString, note);
    QFETCH(int, sub0);

    QTemporaryDir dir;
    const QString path = dir.filePath("in.txt");
    QVERIFY(writeFile(path, content));
    MainWindow w;
    QMetaObject::invokeMethod(&w, "RestData", Qt::DirectConnection);
    QMetaObject::invokeMethod(&w, "RestData2", Qt::DirectConnection);
    const TxSettingsRecord before = TxSettings;
    UserAtDialogs user;
    user.answers << path;
    LogCatcher log;
    click(w, "toolButton_Load");

    // What the store should hold: the lines that pass their tests read into
    // it, then the D/R mirrors and the range checks.
    TxSettingsRecord expected = before;
    const QString text = QString::fromLatin1(content);
    if (s)
        readLine(LineKind::S, text.mid(0, kLineLength), expected);
    if (g)
        readLine(LineKind::G, text.mid(81, kLineLength), expected);
    if (h)
        readLine(LineKind::H, text.mid(162, kLineLength), expected);
    drDataSelect(expected);
    validateSettings(expected);
    QVERIFY(TxSettings == expected);
    QCOMPARE(TxSettings.sub[0], sub0);
    QCOMPARE(TxSettings.stkMode, s ? 3 : 2);
    QCOMPARE(TxSettings.atti[0], g ? 90 : 14);
    QCOMPARE(TxSettings.rssiAlarm, h ? -42 : -100);
    QCOMPARE(log.contains(QString("Blength00:%1").arg(content.size())), true);

    if (note.isEmpty()) {
        QCOMPARE(user.boxTexts(), QStringList());
    } else {
        QCOMPARE(user.boxTexts(), QStringList("Note / " + note));
        // The store was settled before the user was told.
        QVERIFY(user.boxes[0].store == TxSettings);
    }
}

void TestFile::loadRederivesDrMirrors()
{
    TxSettingsRecord f = factorySettings();
    f.drCh = 2;
    f.drPosi = 1;
    f.drUp[2] = 70;
    f.drDown[2] = 40;
    f.drExpUp[2] = 25;
    f.drExpDown[2] = -30;
    f.drUpEdit = 11; // what the G line carries
    f.drDownEdit = 22;
    QTemporaryDir dir;
    const QString path = dir.filePath("dr.txt");
    QVERIFY(writeFile(path, fileOf(f)));

    MainWindow w;
    UserAtDialogs user;
    user.answers << path;
    click(w, "toolButton_Load");
    QCOMPARE(TxSettings.drCh, 2);
    QCOMPARE(TxSettings.drPosi, 1);
    QCOMPARE(TxSettings.drUpEdit, 70);
    QCOMPARE(TxSettings.drDownEdit, 40);
    QCOMPARE(TxSettings.drRateEdit, 40);
    QCOMPARE(TxSettings.drExpEdit, -30);
    QCOMPARE(user.boxTexts(), QStringList());
}

void TestFile::loadReadsABoundedPrefix_data()
{
    QTest::addColumn<bool>("deviceNode");
    QTest::newRow("8 MiB file") << false;
    QTest::newRow("/dev/zero") << true;
}

// A huge or endless file is read only as far as the bound: the settings at its
// start still load, the window comes back.
void TestFile::loadReadsABoundedPrefix()
{
    QFETCH(bool, deviceNode);
    QTemporaryDir dir;
    QString path = "/dev/zero";
    const TxSettingsRecord m = markerSettings();
    if (deviceNode) {
        QFile zero(path);
        if (!zero.open(QIODevice::ReadOnly))
            QSKIP("/dev/zero cannot be opened here");
    } else {
        path = dir.filePath("huge.txt");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QVERIFY(f.write(fileOf(m)) == kSettingsFileLength);
        const QByteArray block(1 << 20, '7');
        for (int i = 0; i < 8; ++i)
            QVERIFY(f.write(block) == block.size());
    }

    MainWindow w;
    QMetaObject::invokeMethod(&w, "RestData", Qt::DirectConnection);
    QMetaObject::invokeMethod(&w, "RestData2", Qt::DirectConnection);
    const TxSettingsRecord before = TxSettings;
    UserAtDialogs user;
    user.answers << path;
    LogCatcher log;
    click(w, "toolButton_Load");

    QVERIFY(log.contains(QString("Blength00:%1").arg(kSettingsReadLimit)));
    if (deviceNode) {
        QCOMPARE(user.boxTexts(), QStringList(QString("Note / ") + kNoneNote));
        QVERIFY(TxSettings == before);
    } else {
        QCOMPARE(user.boxTexts(), QStringList());
        QCOMPARE(TxSettings.sub[0], m.sub[0]);
        QCOMPARE(TxSettings.rssiAlarm, m.rssiAlarm);
    }
}

void TestFile::specialFiles_data()
{
    QTest::addColumn<bool>("fifo"); // else a terminal (a pty's slave) that says nothing
    QTest::addColumn<bool>("save");
    QTest::newRow("load from a pipe nobody writes to") << true << false;
    QTest::newRow("load from a silent terminal") << false << false;
    QTest::newRow("save onto a pipe") << true << true;
    QTest::newRow("save onto a terminal") << false << true;
}

// A pipe or a device picked in the dialog: LOAD takes what is there at once
// (nothing) instead of hanging the window, SAVE refuses it with the error box
// before anything is sent, and the node stays what it was.
void TestFile::specialFiles()
{
    QFETCH(bool, fifo);
    QFETCH(bool, save);
    QTemporaryDir dir;
    PtyPair node, port;
    QString path = node.slavePath();
    if (fifo) {
        path = dir.filePath("pipe");
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    }
    setTestPorts({port.slavePath()});
    MainWindow w;
    clickOpen(w);
    QCOMPARE(readWhile(port, 5000, [](const QByteArray &b) { return b.size() >= 2; }), QByteArray("OK"));
    QMetaObject::invokeMethod(&w, "RestData", Qt::DirectConnection);
    QMetaObject::invokeMethod(&w, "RestData2", Qt::DirectConnection);
    const TxSettingsRecord before = TxSettings;
    const QString oldS = lineS;
    UserAtDialogs user;
    user.answers << path;
    LogCatcher log;
    click(w, save ? "toolButton_Save" : "toolButton_Load");

    QCOMPARE(user.boxTexts(),
             QStringList(save ? QString("ERROR / ") + kFileError : QString("Note / ") + kNoneNote));
    if (!save)
        QVERIFY(log.contains("Blength00:0"));
    QVERIFY(TxSettings == before);
    QCOMPARE(lineS, oldS);
    QCOMPARE(port.read(50), QByteArray()); // nothing sent
    QCOMPARE(node.read(50), QByteArray()); // nothing written into the terminal either
    const QFileInfo after(path);
    QVERIFY(after.exists() && !after.isFile());
}

// A cancelled LOAD reads nothing but still derives the mirrors and puts
// out-of-range values back.
void TestFile::cancelledLoadStillValidates()
{
    MainWindow w;
    QMetaObject::invokeMethod(&w, "RestData", Qt::DirectConnection);
    QMetaObject::invokeMethod(&w, "RestData2", Qt::DirectConnection);
    TxSettings.sub[3] = 500;
    TxSettings.lepa[0] = 121;
    TxSettings.rssiAlarm = 1;
    TxSettings.drUp[0] = 77; // drCh 0, drPosi 0; the mirrors still say 100
    TxSettings.drDown[0] = 33;
    UserAtDialogs user;
    user.answers << QString();
    bool lockedBeforeDialog = false, enabledAtDialog = false;
    user.onTick = [&] {
        const bool enabled = w.form()->toolButton_Load->isEnabled();
        if (QApplication::activeModalWidget())
            enabledAtDialog = enabled;
        else if (user.dialogs.isEmpty() && !enabled)
            lockedBeforeDialog = true;
    };
    click(w, "toolButton_Load");
    QVERIFY(lockedBeforeDialog);
    QVERIFY(enabledAtDialog);
    QCOMPARE(user.dialogs.size(), 1);
    QCOMPARE(user.boxTexts(), QStringList());
    QCOMPARE(TxSettings.sub[3], 0);
    QCOMPARE(TxSettings.lepa[0], 96);
    QCOMPARE(TxSettings.rssiAlarm, -100);
    QCOMPARE(TxSettings.drUpEdit, 77);
    QCOMPARE(TxSettings.drDownEdit, 33);
    QCOMPARE(TxSettings.drRateEdit, 77);
}

// A cancelled SAVE sends nothing, writes nothing and builds no line.
void TestFile::cancelledSaveDoesNothing()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    setTestPorts({pty.slavePath()});
    QTemporaryDir dir;
    const QString oldCurrent = QDir::currentPath();
    QDir::setCurrent(dir.path()); // where the dialog starts
    MainWindow w;
    clickOpen(w);
    QCOMPARE(readWhile(pty, 5000, [](const QByteArray &b) { return b.size() >= 2; }), QByteArray("OK"));
    QMetaObject::invokeMethod(&w, "RestData", Qt::DirectConnection);
    const QString oldS = lineS;
    UserAtDialogs user;
    user.answers << QString();
    click(w, "toolButton_Save");
    QCOMPARE(user.dialogs.size(), 1);
    QCOMPARE(user.boxTexts(), QStringList());
    QCOMPARE(lineS, oldS);
    QCOMPARE(pty.read(50), QByteArray());
    QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
    QDir::setCurrent(oldCurrent);
}

// A file that exists but cannot be opened for reading: the error box, and the
// store is not touched (no validation either).
void TestFile::unreadableFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("socket");
    // A socket node: the dialog lists it as a file, open() refuses it (even
    // for root, who may open any plain file).
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    QVERIFY(fd >= 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const QByteArray native = QFile::encodeName(path);
    QVERIFY(size_t(native.size()) < sizeof addr.sun_path);
    qstrcpy(addr.sun_path, native.constData());
    const int bound = ::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr);
    const auto closeSocket = qScopeGuard([fd] { ::close(fd); });
    QVERIFY(bound == 0);
    QVERIFY(QFileInfo::exists(path));

    MainWindow w;
    TxSettings.sub[3] = 500; // would be put back by validation
    const TxSettingsRecord before = TxSettings;
    UserAtDialogs user;
    user.answers << path;
    click(w, "toolButton_Load");
    QCOMPARE(user.boxTexts(), QStringList(QString("ERROR / ") + kFileError));
    QVERIFY(TxSettings == before);
}

void TestFile::unwritablePath_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("missing directory") << QString("missing/dir/model.txt");
    // An existing file in a directory where nothing can be created.
    QTest::newRow("file in a read-only file system") << QString("/proc/version");
}

// SAVE to a place where the file cannot be written: the error box, nothing
// sent, no line built, an existing file untouched.
void TestFile::unwritablePath()
{
    QFETCH(QString, path);
    QTemporaryDir dir;
    if (QDir::isRelativePath(path))
        path = dir.filePath(path);
    else if (!QFileInfo::exists(path))
        QSKIP("no such file here");
    const QByteArray old = fileContent(path);
    PtyPair pty;
    QVERIFY(pty.isValid());
    setTestPorts({pty.slavePath()});
    MainWindow w;
    clickOpen(w);
    QCOMPARE(readWhile(pty, 5000, [](const QByteArray &b) { return b.size() >= 2; }), QByteArray("OK"));
    QMetaObject::invokeMethod(&w, "RestData", Qt::DirectConnection);
    const QString oldS = lineS;

    UserAtDialogs user;
    user.answers << path;
    click(w, "toolButton_Save");
    QCOMPARE(user.dialogs.size(), 1);
    QCOMPARE(user.boxTexts(), QStringList(QString("ERROR / ") + kFileError));
    QCOMPARE(pty.read(50), QByteArray());
    QCOMPARE(lineS, oldS);
    QCOMPARE(fileContent(path), old);
    QCOMPARE(QFileInfo::exists(path), !old.isEmpty());
}

// Saving over an existing file keeps its old content, whole, until the new
// content is complete; no temporary file is left behind.
void TestFile::saveKeepsOldFileUntilComplete()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("model.txt");
    const QByteArray old = fileOf(markerSettings());
    QVERIFY(writeFile(path, old));
    MainWindow w;
    QMetaObject::invokeMethod(&w, "RestData", Qt::DirectConnection);
    QMetaObject::invokeMethod(&w, "RestData2", Qt::DirectConnection);

    UserAtDialogs user;
    user.answers << path;
    int seenDuringPauses = 0, seenOther = 0;
    user.onTick = [&] {
        if (user.dialogs.isEmpty() || QApplication::activeModalWidget())
            return; // before the name is chosen
        if (fileContent(path) == old)
            ++seenDuringPauses;
        else
            ++seenOther;
    };
    click(w, "toolButton_Save");
    QCOMPARE(user.boxTexts(), QStringList());
    QVERIFY(seenDuringPauses > 0);
    QCOMPARE(seenOther, 0);
    QCOMPARE(fileContent(path), QByteArray(kFactoryS) + kFactoryG + kFactoryH);
    QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList("model.txt"));
}

// A writable file in a folder where no temporary file can be made is written
// in place rather than refused.
void TestFile::saveInFolderWithoutWriteAccess()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath("locked");
    QVERIFY(QDir().mkpath(folder));
    const QString path = folder + "/model.txt";
    QVERIFY(writeFile(path, fileOf(markerSettings())));
    // The folder may be read but not written, the file written by anyone.
    // Root passes every such check, so the test then acts as "nobody" for
    // file access (setfsuid) while it saves.
    const QFile::Permissions readOnly = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup |
                                        QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
    QVERIFY(QFile::setPermissions(dir.path(), readOnly | QFile::WriteOwner));
    QVERIFY(QFile::setPermissions(folder, readOnly));
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                            QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther));
    const bool root = ::geteuid() == 0;
    if (root)
        ::setfsuid(65534);
    const bool createRefused = !QFile(folder + "/probe").open(QIODevice::WriteOnly);
    MainWindow w;
    QMetaObject::invokeMethod(&w, "RestData", Qt::DirectConnection);
    QMetaObject::invokeMethod(&w, "RestData2", Qt::DirectConnection);
    UserAtDialogs user;
    user.answers << path;
    click(w, "toolButton_Save");
    const QByteArray saved = fileContent(path);
    if (root)
        ::setfsuid(0);
    const QStringList entries = QDir(folder).entryList(QDir::NoDotAndDotDot | QDir::AllEntries);
    QVERIFY(QFile::setPermissions(folder, readOnly | QFile::WriteOwner));
    QVERIFY(createRefused);
    QCOMPARE(user.boxTexts(), QStringList());
    QCOMPARE(saved, QByteArray(kFactoryS) + kFactoryG + kFactoryH);
    QCOMPARE(entries, QStringList("model.txt"));
}

// A disk that fills up while the file is written: the user is told, and the
// previous file is still there, whole; no temporary file is left behind.
void TestFile::failedWriteKeepsOldFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("model.txt");
    const QByteArray old = fileOf(markerSettings());
    QVERIFY(writeFile(path, old));
    MainWindow w;
    QMetaObject::invokeMethod(&w, "RestData", Qt::DirectConnection);

    // A file size limit makes every write past 64 bytes fail as on a full
    // disk; it is set once the dialog has closed and lifted afterwards.
    rlimit saved{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    UserAtDialogs user;
    user.answers << path;
    bool limited = false;
    user.onTick = [&] {
        if (limited || user.dialogs.isEmpty() || QApplication::activeModalWidget())
            return;
        rlimit small = saved;
        small.rlim_cur = 64;
        limited = setrlimit(RLIMIT_FSIZE, &small) == 0;
    };
    click(w, "toolButton_Save");
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    QVERIFY(limited);
    QCOMPARE(user.boxTexts(), QStringList(QString("ERROR / ") + kFileError));
    QCOMPARE(fileContent(path), old);
    QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList("model.txt"));
}

void TestFile::saveWritesAfterTheLines_data()
{
    QTest::addColumn<bool>("portOpen");
    QTest::newRow("port open") << true;
    QTest::newRow("port closed") << false;
}

// The file is written after the three lines are built and sent (port open) or
// built (port closed), after the pauses of the encoders.
void TestFile::saveWritesAfterTheLines()
{
    QFETCH(bool, portOpen);
    PtyPair pty;
    QVERIFY(pty.isValid());
    setTestPorts({pty.slavePath()});
    QTemporaryDir dir;
    const QString path = dir.filePath("model.txt");
    MainWindow w;
    if (portOpen) {
        clickOpen(w);
        QCOMPARE(readWhile(pty, 5000, [](const QByteArray &b) { return b.size() >= 2; }), QByteArray("OK"));
    }
    QRandomGenerator gen(77);
    TxSettings = randomEditorSettings(gen);
    const QByteArray expected = fileOf(TxSettings);

    UserAtDialogs user;
    user.answers << path;
    QByteArray sent;
    bool linesDoneFileAbsent = false, fileBeforeLines = false;
    user.onTick = [&] {
        sent += pty.read(0);
        const bool linesDone =
            portOpen ? sent.size() >= expected.size() : lineH.toLatin1() == expected.mid(162);
        const bool file = QFileInfo::exists(path);
        if (linesDone && !file)
            linesDoneFileAbsent = true;
        if (file && !linesDone)
            fileBeforeLines = true;
    };
    click(w, "toolButton_Save");
    sent += pty.read(50);

    QCOMPARE(user.boxTexts(), QStringList());
    QCOMPARE(fileContent(path), expected);
    QCOMPARE(sent, portOpen ? expected : QByteArray());
    QVERIFY(linesDoneFileAbsent);
    QVERIFY(!fileBeforeLines);
}

QTEST_MAIN(TestFile)
#include "test_file.moc"
