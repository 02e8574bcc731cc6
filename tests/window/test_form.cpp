#include <QtTest>

#include <QRegularExpression>

#include "app/mainwindow.h"
#include "model/txsettings.h"
#include "support/testutil.h"
#include "ui/curves.h"
#include "ui/mainwindowform.h"

// The widget tree of the main window: every widget that the slots, the
// display refresh and the plots rely on stands under its name, with its
// class, parent, rectangle, range, items, texts and styles.
class TestForm : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init() { resetStore(); }

    void window();
    void toolbar_data();
    void toolbar();
    void statusBoxes_data();
    void statusBoxes();
    void iconResources_data();
    void iconResources();
    void pages_data();
    void pages();
    void servoPage_data();
    void servoPage();
    void groups_data();
    void groups();
    void captions_data();
    void captions();
    void editors_data();
    void editors();
    void plotsAndResetButton();
    void progMixCreationOrder();

    void buildingIsQuietAndWritesNoSetting();
    void buildSelectsSystemConstructorShowsServo();
    void editorsStopAtTheirBounds_data();
    void editorsStopAtTheirBounds();

private:
    template <class T> T *find(const QString &name);
    MainWindow *shared = nullptr;
};

namespace {

// Whitespace carries no meaning in a style sheet.
QString squeezed(QString s)
{
    return s.remove(QRegularExpression("\\s+"));
}

QString lineEditStyle(const QString &bg, int px, const QString &color)
{
    return QString(
               "QLineEdit{ background-color: %1; border-style:outset; border-width:4px; border-radius:4px; "
               "border-color:rgba(0,0,0,0); font:bold %2px; color:%3; padding:0px; }")
        .arg(bg)
        .arg(px)
        .arg(color);
}

QString rowLabelStyle(int px)
{
    return lineEditStyle("rgb(70, 70, 70)", px, "rgba(255,255,255,255)");
}

QString editorStyle(const QString &cls, int px)
{
    return QString(
               "%1{ background-color: rgb(85, 170, 255); border-style:outset; border-width:4px; "
               "border-radius:4px; border-color:rgba(0,0,0,0); font:bold %2px; color:rgba(255,255,255,255); "
               "padding:0px; } %1:hover { background-color:rgba(100,255,100,100); "
               "border-color:rgba(255,255,255,255); color:rgba(255,255,255,255); }")
        .arg(cls)
        .arg(px);
}

QString toolbarStyle(const QString &pressedBg, const QString &pressedColor)
{
    return QString(
               "QToolButton{ background-color:rgba(70,70,70,70); border-style:outset; border-width:4px; "
               "border-radius:10px; border-color:rgba(0,0,0,0); font:bold 20px; color:rgba(255,255,255,255); "
               "padding:0px; } QToolButton:pressed{ background-color:%1; border-color:rgba(255,255,255,30); "
               "border-style:inset; color:%2; } QToolButton:hover { background-color:rgba(100,255,100,100); "
               "border-color:rgba(255,255,255,255); color:rgba(255,255,255,255); }")
        .arg(pressedBg, pressedColor);
}

QString pushButtonStyle(int px)
{
    return QString(
               "QPushButton{ background-color:rgba(100,100,100,100); border-style:outset; border-width:4px; "
               "border-radius:10px; border-color:rgba(0,0,0,0); font:bold %1px; color:rgba(255,255,255,255); "
               "padding:0px; } QPushButton:pressed{ background-color:rgba(100,255,100,200); "
               "border-color:rgba(255,255,255,30); border-style:inset; color:rgba(0,0,0,100); } "
               "QPushButton:hover { background-color:rgba(100,255,100,100); "
               "border-color:rgba(255,255,255,255); color:rgba(255,255,255,255); }")
        .arg(px);
}

const char *kGroupTitle = "QGroupBox{ font:bold 16px; color:rgb(255,170,0); }";
const char *kRedGradient = "background-color: qlineargradient(spread:pad, x1:0, y1:0, x2:0, y2:1, stop:0 "
                           "rgba(255, 0, 0, 255), stop:1 rgba(255, 255, 255, 255));";
const char *kRedGradientVariant = "background-color: qlineargradient(spread:pad, x1:0, y1:0, x2:0.006, y2:1, "
                                  "stop:0 rgba(255, 19, 19, 255), stop:1 rgba(255, 255, 255, 255));";

bool isArialBold(const QFont &f)
{
    return f.family() == "Arial" && f.bold() && f.weight() == 75 && !f.italic();
}

const QStringList kOffOn = {"OFF", "ON"};
const QStringList kCh1to4 = {"CH1", "CH2", "CH3", "CH4"};
const QStringList kCh1to8 = {"CH1", "CH2", "CH3", "CH4", "CH5", "CH6", "CH7", "CH8"};

// Rows of the captions and editors tables.
void captionRow(const QString &name, const char *group, QRect column, int row, const char *text, int px = 20,
                bool readOnly = true, bool arialBold = false)
{
    QTest::newRow(qPrintable(name)) << name << group << column << row << QString(text) << px << readOnly
                                    << arialBold;
}

void editorRow(const QString &name, const char *cls, const char *group, QRect column, int row, double min,
               double max, double step, int decimals, double value, const QStringList &items, int index,
               int px, QSizePolicy::Policy horizontal)
{
    QTest::newRow(qPrintable(name)) << name << QString(cls) << group << column << row << min << max << step
                                    << decimals << value << items << index << px << int(horizontal);
}

void spinRow(const QString &name, const char *group, QRect column, int row, int min, int max, int value,
             int px = 20, QSizePolicy::Policy h = QSizePolicy::Expanding)
{
    editorRow(name, "QSpinBox", group, column, row, min, max, 1, 0, value, {}, -1, px, h);
}

void comboRow(const QString &name, const char *group, QRect column, int row, const QStringList &items,
              int index = 0, int px = 20, QSizePolicy::Policy h = QSizePolicy::Expanding)
{
    editorRow(name, "QComboBox", group, column, row, 0, 0, 0, 0, 0, items, index, px, h);
}

void voltsRow(const QString &name, const char *group, QRect column, int row)
{
    editorRow(name, "QDoubleSpinBox", group, column, row, 0.0, 99.9, 0.1, 1, 11.0, {}, -1, 22,
              QSizePolicy::Expanding);
}

// Checks that a widget stands at `row` of a column holder at `column`
// inside the group box `group`, with margins 0 and growing vertically.
void checkColumn(QWidget *w, const QString &group, QRect column, int row)
{
    QWidget *holder = w->parentWidget();
    QVERIFY(holder);
    QVERIFY(holder->parentWidget());
    QCOMPARE(holder->parentWidget()->objectName(), group);
    QCOMPARE(QString(holder->parentWidget()->metaObject()->className()), QString("QGroupBox"));
    QCOMPARE(holder->geometry(), column);
    auto *layout = qobject_cast<QVBoxLayout *>(holder->layout());
    QVERIFY(layout);
    QCOMPARE(layout->contentsMargins(), QMargins(0, 0, 0, 0));
    QCOMPARE(layout->indexOf(w), row);
    QCOMPARE(w->sizePolicy().verticalPolicy(), QSizePolicy::Expanding);
}

// The columns of the window, with their spacing where it is not the style's.
struct ColumnSpacing {
    const char *group;
    QRect rect;
    int spacing;
};
const ColumnSpacing kExplicitSpacing[] = {
    {"groupBox", {10, 30, 91, 431}, 5},      {"groupBox_2", {15, 30, 91, 431}, 5},
    {"groupBox_3", {15, 30, 91, 431}, 5},    {"groupBox_4", {15, 30, 91, 431}, 5},
    {"groupBox_4", {110, 30, 91, 431}, 5},   {"groupBox_14", {15, 30, 91, 431}, 5},
    {"groupBox_5", {15, 30, 91, 431}, 5},    {"groupBox_6", {15, 30, 91, 431}, 5},
    {"groupBox_8", {10, 30, 111, 321}, 0},   {"groupBox_8", {120, 30, 91, 311}, 0},
    {"groupBox_10", {10, 26, 131, 321}, 0},  {"groupBox_10", {140, 25, 101, 321}, 0},
    {"groupBox_10", {240, 90, 91, 131}, 0},  {"groupBox_13", {10, 30, 121, 321}, 0},
    {"groupBox_13", {130, 30, 101, 321}, 0}, {"groupBox_11", {10, 30, 111, 441}, 0},
    {"groupBox_11", {120, 30, 101, 441}, 0}, {"groupBox_12", {10, 30, 121, 441}, 0},
    {"groupBox_12", {130, 30, 101, 441}, 0},
};

} // namespace

template <class T> T *TestForm::find(const QString &name)
{
    const QList<T *> all = shared->findChildren<T *>(name);
    if (all.size() != 1)
        return nullptr; // missing, or the name is taken twice
    return all.first();
}

void TestForm::initTestCase()
{
    setTestPorts({});
    shared = new MainWindow;
    // Freeze the window as built: no refresh tick and no plot repaint may
    // change a widget while its build values are checked.
    for (QTimer *t : shared->findChildren<QTimer *>())
        t->stop();
}

void TestForm::cleanupTestCase()
{
    delete shared;
}

void TestForm::window()
{
    QCOMPARE(shared->objectName(), QString("MainWindow"));
    QCOMPARE(shared->windowTitle(), QString("Kesra&Vantor-V4.6.2"));
    QCOMPARE(shared->size(), QSize(1100, 680));
    QCOMPARE(shared->minimumSize(), QSize(0, 0));
    QCOMPARE(shared->maximumSize(), QSize(11100, 8000));
    QVERIFY(shared->windowIcon().isNull());
    QCOMPARE(shared->centralWidget(), shared->form()->centralwidget);
    QCOMPARE(shared->centralWidget()->objectName(), QString("centralwidget"));
    QCOMPARE(squeezed(shared->centralWidget()->styleSheet()), squeezed("background-color: rgb(40, 40, 40);"));
    QTabWidget *tabs = shared->form()->tabWidget;
    QCOMPARE(tabs->parentWidget(), shared->centralWidget());
    QCOMPARE(tabs->geometry(), QRect(10, 110, 1080, 560));
    QVERIFY(isArialBold(tabs->font()));
    QVERIFY(tabs->isMovable());
    QVERIFY(tabs->documentMode());
    QCOMPARE(tabs->iconSize(), QSize(100, 100));
    QCOMPARE(tabs->elideMode(), Qt::ElideMiddle);
    QCOMPARE(tabs->focusPolicy(), Qt::NoFocus);
}

void TestForm::toolbar_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("rect");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("icon");
    QTest::addColumn<int>("iconPx");
    QTest::addColumn<QString>("style");
    const QString normal = toolbarStyle("rgba(100,255,100,200)", "rgba(0,0,0,100)");
    const QString lamp =
        "QToolButton{ background-color:rgba(70,70,70,70); border-style:outset; border-width:0px; "
        "border-radius:0px; border-color:rgba(0,0,0,0); font:bold 16px; "
        "color:rgba(255,255,255,255); padding:0px; }";
    QTest::newRow("READ") << "toolButton_Read" << QRect(20, 5, 110, 90) << "READ"
                          << "Receive.png" << 60 << normal;
    QTest::newRow("LOAD") << "toolButton_Load" << QRect(140, 5, 110, 90) << "LOAD"
                          << "open.png" << 60 << normal;
    QTest::newRow("WRITE") << "toolButton_Send" << QRect(260, 5, 110, 90) << "WRITE"
                           << "Send.png" << 60 << normal;
    QTest::newRow("SAVE") << "toolButton_Save" << QRect(380, 5, 110, 91) << "SAVE"
                          << "save.png" << 60 << normal;
    QTest::newRow("RESET") << "toolButton_Reset" << QRect(500, 5, 110, 90) << "RESET"
                           << "Reset.png" << 60 << toolbarStyle("rgba(255,255,0,255)", "rgba(255,0,0,100)");
    QTest::newRow("lamp") << "toolButton_led" << QRect(870, 30, 40, 40) << ""
                          << "red.png" << 40 << lamp;
}

void TestForm::toolbar()
{
    QFETCH(QString, name);
    QFETCH(QRect, rect);
    QFETCH(QString, text);
    QFETCH(QString, icon);
    QFETCH(int, iconPx);
    QFETCH(QString, style);
    auto *b = find<QToolButton>(name);
    QVERIFY(b);
    QCOMPARE(b->parentWidget()->objectName(), QString("frame"));
    QCOMPARE(b->geometry(), rect);
    QCOMPARE(b->text(), text);
    QCOMPARE(b->iconSize(), QSize(iconPx, iconPx));
    QCOMPARE(b->toolButtonStyle(),
             name == "toolButton_led" ? Qt::ToolButtonIconOnly : Qt::ToolButtonTextUnderIcon);
    QCOMPARE(squeezed(b->styleSheet()), squeezed(style));
    // The button shows exactly the picture of its resource.
    const QImage shown = b->icon().pixmap(iconPx, iconPx).toImage();
    const QImage file = QIcon(":/myImage/images/" + icon).pixmap(iconPx, iconPx).toImage();
    QVERIFY(!shown.isNull());
    QCOMPARE(shown, file);
}

void TestForm::statusBoxes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("rect");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("readOnly");
    QTest::newRow("TX caption") << "lineEdit_26" << QRect(920, 4, 85, 25) << "TX:" << true;
    QTest::newRow("EXT caption") << "lineEdit_27" << QRect(920, 30, 85, 25) << "EXT:" << true;
    QTest::newRow("RSSI caption") << "lineEdit_30" << QRect(920, 56, 85, 25) << "RSSI:" << true;
    QTest::newRow("RX caption") << "lineEdit_37" << QRect(920, 82, 85, 25) << "RX:" << true;
    QTest::newRow("TX value") << "lineEdit_TX" << QRect(1010, 4, 85, 25) << " 0.0V" << false;
    QTest::newRow("EXT value") << "lineEdit_EXT" << QRect(1010, 30, 85, 25) << " 0.0V" << false;
    QTest::newRow("RSSI value") << "lineEdit_RSSI" << QRect(1010, 56, 85, 25) << "null" << false;
    QTest::newRow("RX value") << "lineEdit_RX" << QRect(1010, 82, 85, 25) << " 0.0V" << false;
}

void TestForm::statusBoxes()
{
    QFETCH(QString, name);
    QFETCH(QRect, rect);
    QFETCH(QString, text);
    QFETCH(bool, readOnly);
    auto *e = find<QLineEdit>(name);
    QVERIFY(e);
    QCOMPARE(e->parentWidget()->objectName(), QString("frame"));
    QCOMPARE(e->geometry(), rect);
    QCOMPARE(e->text(), text);
    QCOMPARE(e->isReadOnly(), readOnly);
    QCOMPARE(e->alignment(), Qt::AlignCenter);
    const QString style =
        lineEditStyle("rgb(70, 70, 70)", 14, readOnly ? "rgba(255,255,255,255)" : "rgba(255,255,0,255)");
    QCOMPARE(squeezed(e->styleSheet()), squeezed(style));
}

void TestForm::iconResources_data()
{
    QTest::addColumn<QString>("path");
    for (const char *name : {"Receive", "open", "Send", "save", "Reset", "red", "green"})
        QTest::newRow(name) << QString(":/myImage/images/%1.png").arg(name);
}

void TestForm::iconResources()
{
    QFETCH(QString, path);
    const QImage img(path);
    QVERIFY2(!img.isNull(), qPrintable(path));
    QVERIFY(img.width() >= 60 && img.height() >= 60); // sharp at the 60 x 60 of the toolbar
    QVERIFY(img.hasAlphaChannel());
    QCOMPARE(qAlpha(img.pixel(0, 0)), 0); // transparent background around the picture
    QVERIFY(!QPixmap(path).isNull());
}

void TestForm::pages_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("pageStyle");
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QRect>("frameRect");
    QTest::addColumn<QString>("frameStyle");
    const QString dark = "background-color: rgb(50, 50, 50);";
    QTest::newRow("SERVO") << 0 << "tab"
                           << "SERVO" << kRedGradient << "frame_3" << QRect(10, 10, 1060, 490) << dark;
    QTest::newRow("BASIC") << 1 << "tab_2"
                           << "BASIC" << kRedGradientVariant << "frame_2" << QRect(10, 10, 1060, 490) << dark;
    QTest::newRow("ADVANCE1") << 2 << "tab_3"
                              << "ADVANCE1" << kRedGradient << "frame_4" << QRect(10, 5, 1060, 490) << dark;
    QTest::newRow("ADVANCE2") << 3 << "tab_4"
                              << "ADVANCE2" << kRedGradient << "frame_5" << QRect(10, 10, 1060, 490) << dark;
    QTest::newRow("PROG.MIX") << 4 << "tab_7"
                              << "PROG.MIX" << kRedGradient << "frame_8" << QRect(10, 10, 1060, 490) << dark;
    QTest::newRow("SYSTEM") << 5 << "tab_6"
                            << "SYSTEM" << kRedGradientVariant << "frame_7" << QRect(10, 10, 1060, 490)
                            << dark;
}

void TestForm::pages()
{
    QFETCH(int, index);
    QFETCH(QString, page);
    QFETCH(QString, title);
    QFETCH(QString, pageStyle);
    QFETCH(QString, frame);
    QFETCH(QRect, frameRect);
    QFETCH(QString, frameStyle);
    QTabWidget *tabs = shared->form()->tabWidget;
    QCOMPARE(tabs->count(), 6);
    QWidget *w = tabs->widget(index);
    QCOMPARE(w->objectName(), page);
    QCOMPARE(tabs->tabText(index), title);
    QCOMPARE(squeezed(w->styleSheet()), squeezed(pageStyle));
    const QList<QFrame *> frames = w->findChildren<QFrame *>(QString(), Qt::FindDirectChildrenOnly);
    QCOMPARE(frames.size(), 1);
    QCOMPARE(frames.first()->objectName(), frame);
    QCOMPARE(frames.first()->geometry(), frameRect);
    QCOMPARE(squeezed(frames.first()->styleSheet()), squeezed(frameStyle));
    QCOMPARE(frames.first()->frameShape(), QFrame::StyledPanel);
    QCOMPARE(frames.first()->frameShadow(), QFrame::Raised);
    if (frame == "frame_4") {
        QCOMPARE(frames.first()->font().pointSize(), 10);
        QVERIFY(!frames.first()->font().bold());
    }
}

void TestForm::servoPage_data()
{
    QTest::addColumn<int>("channel");
    for (int n = 1; n <= 8; ++n)
        QTest::newRow(qPrintable(QString("CH%1").arg(n))) << n;
}

void TestForm::servoPage()
{
    QFETCH(int, channel);
    const int c = 135 * (channel - 1);
    auto *value = find<QLineEdit>(channel == 1 ? QString("lineEdit") : QString("lineEdit_%1").arg(channel));
    auto *label =
        find<QLineEdit>(channel == 1 ? QString("lineEdit_9") : QString("lineEdit_%1").arg(17 + channel));
    auto *upper = find<QProgressBar>(QString("progressBar_%1").arg(channel) + "0");
    auto *lower = find<QProgressBar>(QString("progressBar_%1").arg(channel) + "1");
    QVERIFY(value && label && upper && lower);
    for (QWidget *w : {(QWidget *)value, (QWidget *)label, (QWidget *)upper, (QWidget *)lower})
        QCOMPARE(w->parentWidget()->objectName(), QString("frame_3"));
    QCOMPARE(value->geometry(), QRect(20 + c, 10, 80, 50));
    QCOMPARE(value->text(), QString("0"));
    QVERIFY(!value->isReadOnly());
    QCOMPARE(label->geometry(), QRect(30 + c, 60, 60, 31));
    QCOMPARE(label->text(), QString("CH%1").arg(channel));
    QVERIFY(label->isReadOnly());
    QCOMPARE(upper->geometry(), QRect(35 + c, 105, 50, 180));
    QCOMPARE(lower->geometry(), QRect(35 + c, 285, 50, 180));
    QCOMPARE(upper->orientation(), Qt::Vertical);
    QCOMPARE(lower->orientation(), Qt::Vertical);
    QCOMPARE(upper->maximum(), 1010);
    QCOMPARE(upper->value(), 10);
    QCOMPARE(lower->maximum(), 1000);
    QCOMPARE(lower->value(), 1000);
    QVERIFY(!upper->isTextVisible() && !lower->isTextVisible());
}

void TestForm::groups_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QRect>("rect");
    QTest::addColumn<bool>("arialBold");
    auto row = [](const char *name, const char *frame, const char *title, QRect r, bool arial) {
        QTest::newRow(name) << name << frame << title << r << arial;
    };
    row("groupBox", "frame_2", "CHANNEL", {10, 10, 110, 470}, true);
    row("groupBox_2", "frame_2", "REVERSE", {130, 10, 120, 470}, true);
    row("groupBox_3", "frame_2", "SUB-TRIM", {265, 10, 120, 470}, true);
    row("groupBox_4", "frame_2", "END POINT--L---R---", {405, 10, 215, 470}, true);
    row("groupBox_14", "frame_2", "FAIL SAFE", {640, 10, 120, 470}, true);
    row("groupBox_5", "frame_2", "DELAY", {780, 10, 120, 470}, true);
    row("groupBox_6", "frame_2", "AUX-CH", {915, 10, 120, 470}, true);
    row("groupBox_8", "frame_4", "D/R", {5, 10, 220, 351}, true);
    row("groupBox_7", "frame_4", "ATTITUDE", {240, 10, 221, 470}, false);
    row("groupBox_10", "frame_4", "ELEVON", {470, 10, 330, 350}, false);
    row("groupBox_13", "frame_4", "V-TAIL", {810, 10, 240, 350}, false);
    row("groupBox_19", "frame_5", "D/R CURE", {10, 10, 510, 470}, false);
    row("groupBox_18", "frame_5", "TH CURE", {530, 10, 521, 470}, false);
    row("groupBox_11", "frame_8", "PROG.MIX1", {10, 5, 250, 480}, false);
    row("groupBox_12", "frame_8", "PROG.MIX2", {300, 5, 250, 480}, false);
    row("groupBox_15", "frame_8", "PROG.MIX3", {570, 5, 250, 481}, false);
    row("groupBox_16", "frame_8", "PROG.MIX4", {820, 5, 250, 481}, false);
    row("groupBox_17", "frame_7", "ALARM", {20, 10, 350, 470}, false);
    row("groupBox_23", "frame_7", "VERSION / MODE", {380, 10, 350, 470}, false);
    row("groupBox_20", "frame_7", "DATA RESET", {740, 10, 300, 470}, false);
}

void TestForm::groups()
{
    QFETCH(QString, name);
    QFETCH(QString, frame);
    QFETCH(QString, title);
    QFETCH(QRect, rect);
    QFETCH(bool, arialBold);
    auto *g = find<QGroupBox>(name);
    QVERIFY(g);
    QCOMPARE(g->parentWidget()->objectName(), frame);
    QCOMPARE(g->title(), title);
    QCOMPARE(g->geometry(), rect);
    QCOMPARE(squeezed(g->styleSheet()), squeezed(kGroupTitle));
    if (arialBold)
        QVERIFY(isArialBold(g->font()));
    else
        QVERIFY(!g->testAttribute(Qt::WA_SetFont));
    // Columns are the only layouts: the group itself has none.
    QVERIFY(!g->layout());
}

void TestForm::captions_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("group");
    QTest::addColumn<QRect>("column");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("px");
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<bool>("arialBold");

    const char *channelCaptions[8] = {"lineEdit_28", "lineEdit_29", "lineEdit_31", "lineEdit_32",
                                      "lineEdit_33", "lineEdit_34", "lineEdit_35", "lineEdit_36"};
    for (int n = 1; n <= 8; ++n)
        captionRow(channelCaptions[n - 1], "groupBox", {10, 30, 91, 431}, n - 1,
                   qPrintable(QString("CH%1:").arg(n)), n == 8 ? 22 : 20, n != 8);

    const QRect drCap(10, 30, 111, 321);
    captionRow("lineEdit_53", "groupBox_8", drCap, 0, "MIX:");
    captionRow("lineEdit_54", "groupBox_8", drCap, 1, "CH:");
    captionRow("lineEdit_55", "groupBox_8", drCap, 2, "SW:");
    captionRow("lineEdit_56", "groupBox_8", drCap, 3, "UP:");
    captionRow("lineEdit_57", "groupBox_8", drCap, 4, "DOWN:");

    const QRect attiCap(11, 31, 111, 431);
    captionRow("lineEdit_45", "groupBox_7", attiCap, 0, "CH:");
    captionRow("lineEdit_46", "groupBox_7", attiCap, 1, "ATTI1:", 22);
    captionRow("lineEdit_47", "groupBox_7", attiCap, 2, "ATTI2:");
    captionRow("lineEdit_48", "groupBox_7", attiCap, 3, "ATTI3:");
    captionRow("lineEdit_49", "groupBox_7", attiCap, 4, "ATTI4:");
    captionRow("lineEdit_50", "groupBox_7", attiCap, 5, "ATTI5:");
    captionRow("lineEdit_51", "groupBox_7", attiCap, 6, "ATTI6:", 22);

    const QRect elevCap(10, 26, 131, 321);
    captionRow("lineEdit_73", "groupBox_10", elevCap, 0, " MIX:");
    captionRow("lineEdit_74", "groupBox_10", elevCap, 1, "AILE1:");
    captionRow("lineEdit_75", "groupBox_10", elevCap, 2, "AILE2:");
    captionRow("lineEdit_76", "groupBox_10", elevCap, 3, "ELEV2:");
    captionRow("lineEdit_77", "groupBox_10", elevCap, 4, "ELEV1:");

    const QRect vtailCap(10, 30, 121, 321);
    captionRow("lineEdit_78", "groupBox_13", vtailCap, 0, "MIX:");
    captionRow("lineEdit_95", "groupBox_13", vtailCap, 1, "ELEV1:");
    captionRow("lineEdit_96", "groupBox_13", vtailCap, 2, "ELEV2:");
    captionRow("lineEdit_97", "groupBox_13", vtailCap, 3, "RUDD2:");
    captionRow("lineEdit_98", "groupBox_13", vtailCap, 4, "RUDD1:");

    const QRect drCureCap(10, 30, 101, 441);
    captionRow("lineEdit_146", "groupBox_19", drCureCap, 0, "MIX:");
    captionRow("lineEdit_142", "groupBox_19", drCureCap, 1, " CH:");
    captionRow("lineEdit_141", "groupBox_19", drCureCap, 2, "SW:");
    captionRow("lineEdit_143", "groupBox_19", drCureCap, 3, " POSI:");
    captionRow("lineEdit_144", "groupBox_19", drCureCap, 4, "RATE:");
    captionRow("lineEdit_145", "groupBox_19", drCureCap, 5, "EXP:");

    const QRect thCap(10, 29, 101, 441);
    const char *thCaptions[8] = {"lineEdit_130", "lineEdit_126", "lineEdit_125", "lineEdit_127",
                                 "lineEdit_128", "lineEdit_129", "lineEdit_131", "lineEdit_132"};
    captionRow(thCaptions[0], "groupBox_18", thCap, 0, "MIX:");
    for (int p = 1; p <= 7; ++p)
        captionRow(thCaptions[p], "groupBox_18", thCap, p, qPrintable(QString("POINT%1:").arg(p)));

    // PROG.MIX: OFFSET is 16 px in every mix, DOWN only in mixes 1 and 2.
    struct Mix {
        const char *group;
        QRect caps;
        const char *names[6];
    } mixes[4] = {
        {"groupBox_11",
         {10, 30, 111, 441},
         {"lineEdit_80", "lineEdit_83", "lineEdit_79", "lineEdit_84", "lineEdit_85", "lineEdit_86"}},
        {"groupBox_12",
         {10, 30, 121, 441},
         {"lineEdit_94", "lineEdit_90", "lineEdit_89", "lineEdit_91", "lineEdit_92", "lineEdit_93"}},
        {"groupBox_15",
         {10, 30, 111, 441},
         {"lineEdit_106", "lineEdit_102", "lineEdit_101", "lineEdit_103", "lineEdit_104", "lineEdit_105"}},
        {"groupBox_16",
         {10, 30, 101, 441},
         {"lineEdit_112", "lineEdit_108", "lineEdit_107", "lineEdit_109", "lineEdit_110", "lineEdit_111"}},
    };
    const char *mixTexts[6] = {"MIX:", "MAS:", "SLA:", "OFFSET:", "UP:", "DOWN:"};
    for (int m = 0; m < 4; ++m)
        for (int r = 0; r < 6; ++r) {
            const bool small = r == 3 || (r == 5 && m < 2);
            captionRow(mixes[m].names[r], mixes[m].group, mixes[m].caps, r, mixTexts[r], small ? 16 : 20);
        }

    const QRect alarmCap(10, 30, 201, 251);
    captionRow("lineEdit_68", "groupBox_17", alarmCap, 0, "TX-Alarm:", 20, true, true);
    captionRow("lineEdit_81", "groupBox_17", alarmCap, 1, "RX-Alarm:", 20, true, true);
    captionRow("lineEdit_71", "groupBox_17", alarmCap, 2, "EXT-Alarm:", 20, true, true);
    captionRow("lineEdit_72", "groupBox_17", alarmCap, 3, "Rssi-Alarm:");

    const QRect versionCap(10, 30, 201, 191);
    captionRow("lineEdit_64", "groupBox_23", versionCap, 0, "STK-MODE:");
    captionRow("lineEdit_65", "groupBox_23", versionCap, 1, "TX Version:");
    captionRow("lineEdit_69", "groupBox_23", versionCap, 2, "PC Version:");
}

void TestForm::captions()
{
    QFETCH(QString, name);
    QFETCH(QString, group);
    QFETCH(QRect, column);
    QFETCH(int, row);
    QFETCH(QString, text);
    QFETCH(int, px);
    QFETCH(bool, readOnly);
    QFETCH(bool, arialBold);
    auto *e = find<QLineEdit>(name);
    QVERIFY(e);
    checkColumn(e, group, column, row);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(e->text(), text);
    QCOMPARE(e->isReadOnly(), readOnly);
    QCOMPARE(e->alignment(), Qt::AlignCenter);
    QCOMPARE(squeezed(e->styleSheet()), squeezed(rowLabelStyle(px)));
    QCOMPARE(e->sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
    if (arialBold)
        QVERIFY(isArialBold(e->font()));
}

void TestForm::editors_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("cls");
    QTest::addColumn<QString>("group");
    QTest::addColumn<QRect>("column");
    QTest::addColumn<int>("row");
    QTest::addColumn<double>("min");
    QTest::addColumn<double>("max");
    QTest::addColumn<double>("step");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<double>("value");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("px");
    QTest::addColumn<int>("horizontal");

    // BASIC: row n - 1 belongs to channel n; the CH8 row is 22 px throughout.
    const QRect basic(15, 30, 91, 431);
    const auto pref = QSizePolicy::Preferred, minimum = QSizePolicy::Minimum;
    const int auxIndex[8] = {0, 0, 0, 0, 1, 3, 0, 2};
    for (int n = 1; n <= 8; ++n) {
        const int r = n - 1, px = n == 8 ? 22 : 20;
        comboRow(QString("comboBox_rev%1").arg(n), "groupBox_2", basic, r, {"NOR", "REV"}, n == 3 ? 1 : 0, px,
                 pref);
        spinRow(QString("spinBox_sub%1").arg(n), "groupBox_3", basic, r, -100, 100, 0, px, minimum);
        spinRow(QString("spinBox_Lepa%1").arg(n), "groupBox_4", basic, r, 0, 120, 96, n == 2 ? 22 : px,
                minimum);
        spinRow(QString("spinBox_Repa%1").arg(n), "groupBox_4", {110, 30, 91, 431}, r, 0, 120, 96, px,
                minimum);
        spinRow(QString("spinBox_FS%1").arg(n), "groupBox_14", basic, r, 0, 100, n == 3 ? 0 : 50, px,
                minimum);
        spinRow(QString("spinBox_delay%1").arg(n), "groupBox_5", basic, r, 0, 100, 100, px, minimum);
        comboRow(QString("comboBox_AUX%1").arg(n), "groupBox_6", basic, r,
                 n <= 4 ? QStringList{"NC"} : QStringList{"SwA", "SwB", "VrA", "VrB", "NULL"}, auxIndex[r],
                 px, pref);
    }

    const QRect drEd(120, 30, 91, 311);
    comboRow("comboBox_DR_MIX1", "groupBox_8", drEd, 0, kOffOn);
    comboRow("comboBox_DR_CH1", "groupBox_8", drEd, 1, kCh1to4);
    comboRow("comboBox_DR_SW1", "groupBox_8", drEd, 2, {"SWA"});
    spinRow("spinBox_DR_UP1", "groupBox_8", drEd, 3, 0, 100, 100);
    spinRow("spinBox_DR_DOWN1", "groupBox_8", drEd, 4, 0, 100, 100);

    const QRect attiEd(120, 30, 91, 431);
    comboRow("comboBox_AttiM", "groupBox_7", attiEd, 0, {"CH5", "CH6", "CH7", "CH8", "OFF"}, 0, 22);
    const int atti[6] = {14, 29, 44, 56, 69, 88};
    for (int i = 1; i <= 6; ++i)
        spinRow(QString("spinBox_Atti%1").arg(i), "groupBox_7", attiEd, i, 0, 100, atti[i - 1], 22);

    const QRect elevEd(140, 25, 101, 321), elevExtra(240, 90, 91, 131);
    comboRow("comboBox_EleMix", "groupBox_10", elevEd, 0, kOffOn, 0, 22);
    spinRow("spinBox_Elev01", "groupBox_10", elevEd, 1, -100, 100, 100, 22);
    spinRow("spinBox_Elev02", "groupBox_10", elevEd, 2, -100, 100, 100, 22);
    spinRow("spinBox_Elev03", "groupBox_10", elevEd, 3, -100, 100, 100, 22);
    spinRow("spinBox_Elev04", "groupBox_10", elevEd, 4, -100, 100, -100, 22);
    spinRow("spinBox_Elev05", "groupBox_10", elevExtra, 0, -100, 100, 100, 22);
    spinRow("spinBox_Elev06", "groupBox_10", elevExtra, 1, -100, 100, 100, 22);

    const QRect vtailEd(130, 30, 101, 321);
    comboRow("comboBox_RuMix", "groupBox_13", vtailEd, 0, kOffOn);
    spinRow("spinBox_Ru1", "groupBox_13", vtailEd, 1, -100, 100, 50);
    spinRow("spinBox_Ru2", "groupBox_13", vtailEd, 2, -100, 100, -50);
    spinRow("spinBox_Ru3", "groupBox_13", vtailEd, 3, -100, 100, 50);
    spinRow("spinBox_Ru4", "groupBox_13", vtailEd, 4, -100, 100, 50, 20, minimum);

    const QRect drCureEd(110, 30, 101, 441);
    comboRow("comboBox_DR_MIX2", "groupBox_19", drCureEd, 0, kOffOn);
    comboRow("comboBox_DR_CH2", "groupBox_19", drCureEd, 1, kCh1to4);
    comboRow("comboBox_DR_SW2", "groupBox_19", drCureEd, 2, {"SWA"});
    comboRow("comboBox_DR_POSI", "groupBox_19", drCureEd, 3, {"UP", "DOWN"});
    spinRow("spinBox_DR_RATE", "groupBox_19", drCureEd, 4, 0, 100, 100);
    spinRow("spinBox_DR_EXP", "groupBox_19", drCureEd, 5, -100, 100, 100);

    const QRect thEd(110, 30, 91, 441);
    comboRow("comboBox_THCURE_MIX", "groupBox_18", thEd, 0, kOffOn);
    const int points[7] = {0, 16, 33, 50, 67, 84, 100};
    for (int p = 1; p <= 7; ++p)
        spinRow(QString("spinBox_THCURE_Data%1").arg(p, 2, 10, QChar('0')), "groupBox_18", thEd, p, 0, 100,
                points[p - 1]);

    // PROG.MIX: UP and DOWN reach -100 in mixes 1 and 2 only; mix 2 has its
    // master, slave and spin boxes at 22 px.
    struct Mix {
        const char *group;
        QRect editors;
        int master, slave, upDownMin, px;
    } mixes[4] = {{"groupBox_11", {120, 30, 101, 441}, 0, 3, -100, 20},
                  {"groupBox_12", {130, 30, 101, 441}, 1, 5, -100, 22},
                  {"groupBox_15", {120, 30, 101, 441}, 0, 3, 0, 20},
                  {"groupBox_16", {110, 30, 101, 441}, 1, 5, 0, 20}};
    for (int m = 0; m < 4; ++m) {
        const Mix &x = mixes[m];
        const QString p = QString("PRM%1").arg(m + 1, 2, 10, QChar('0'));
        comboRow("comboBox_" + p + "_Mix", x.group, x.editors, 0, {"INH", "OFF", "ON"});
        comboRow("comboBox_" + p + "_Master", x.group, x.editors, 1, kCh1to8, x.master, x.px);
        comboRow("comboBox_" + p + "_Slave", x.group, x.editors, 2, kCh1to8, x.slave, x.px);
        spinRow("spinBox_" + p + "_Data1", x.group, x.editors, 3, -100, 100, 100, x.px);
        spinRow("spinBox_" + p + "_Data2", x.group, x.editors, 4, x.upDownMin, 100, 100, x.px);
        spinRow("spinBox_" + p + "_Data3", x.group, x.editors, 5, x.upDownMin, 100, 100, x.px);
    }

    const QRect alarmEd(210, 30, 131, 251);
    voltsRow("doubleSpinBox_Volt", "groupBox_17", alarmEd, 0);
    voltsRow("doubleSpinBox_rxVolt", "groupBox_17", alarmEd, 1);
    voltsRow("doubleSpinBox_extVolt", "groupBox_17", alarmEd, 2);
    spinRow("spinBox_Rssi", "groupBox_17", alarmEd, 3, -100, 0, -100, 22);

    const QRect versionEd(210, 30, 131, 191);
    spinRow("spinBox_Mode", "groupBox_23", versionEd, 0, 1, 4, 2, 22);
    spinRow("spinBox_Vertion", "groupBox_23", versionEd, 1, 0, 1000, 0, 22);
    comboRow("comboBox_PRM02_Master_2", "groupBox_23", versionEd, 2, {"V4.6"}, 0, 22);
}

void TestForm::editors()
{
    QFETCH(QString, name);
    QFETCH(QString, cls);
    QFETCH(QString, group);
    QFETCH(QRect, column);
    QFETCH(int, row);
    QFETCH(double, min);
    QFETCH(double, max);
    QFETCH(double, step);
    QFETCH(int, decimals);
    QFETCH(double, value);
    QFETCH(QStringList, items);
    QFETCH(int, index);
    QFETCH(int, px);
    QFETCH(int, horizontal);

    auto *w = find<QWidget>(name);
    QVERIFY2(w, qPrintable(name + " missing or not unique"));
    QCOMPARE(QString(w->metaObject()->className()), cls);
    checkColumn(w, group, column, row);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(squeezed(w->styleSheet()), squeezed(editorStyle(cls, px)));
    QCOMPARE(int(w->sizePolicy().horizontalPolicy()), horizontal);

    if (auto *s = qobject_cast<QSpinBox *>(w)) {
        QCOMPARE(s->minimum(), int(min));
        QCOMPARE(s->maximum(), int(max));
        QCOMPARE(s->singleStep(), int(step));
        QCOMPARE(s->value(), int(value));
    } else if (auto *d = qobject_cast<QDoubleSpinBox *>(w)) {
        QCOMPARE(d->decimals(), decimals);
        QCOMPARE(d->minimum(), min);
        QCOMPARE(d->maximum(), max);
        QCOMPARE(d->singleStep(), step);
        QCOMPARE(d->value(), value);
    } else {
        auto *b = qobject_cast<QComboBox *>(w);
        QVERIFY(b);
        QStringList texts;
        for (int i = 0; i < b->count(); ++i)
            texts << b->itemText(i);
        QCOMPARE(texts, items);
        QCOMPARE(b->currentIndex(), index);
        QVERIFY(!b->isEditable());
    }
}

void TestForm::plotsAndResetButton()
{
    MainWindowForm *ui = shared->form();
    QCOMPARE(find<mWidget>("widget_3"), ui->widget_3);
    QVERIFY(ui->widget_3);
    QCOMPARE(ui->widget_3->parentWidget(), ui->groupBox_19);
    QCOMPARE(ui->widget_3->geometry(), QRect(220, 90, 280, 280));
    QCOMPARE(squeezed(ui->widget_3->styleSheet()), squeezed("background-color: rgb(255, 255, 255);"));
    QCOMPARE(find<cureWidget>("widget_4"), ui->widget_4);
    QVERIFY(ui->widget_4);
    QCOMPARE(ui->widget_4->parentWidget(), ui->groupBox_18);
    QCOMPARE(ui->widget_4->geometry(), QRect(210, 80, 300, 300));
    QCOMPARE(squeezed(ui->widget_4->styleSheet()), squeezed("background-color: rgb(255, 255, 255);"));

    QCOMPARE(find<QPushButton>("pushButton_Reset2"), ui->pushButton_Reset2);
    QCOMPARE(ui->pushButton_Reset2->parentWidget(), ui->groupBox_20);
    QCOMPARE(ui->pushButton_Reset2->geometry(), QRect(10, 130, 281, 61));
    QCOMPARE(ui->pushButton_Reset2->text(), QString("DATA RESET"));
    QCOMPARE(squeezed(ui->pushButton_Reset2->styleSheet()), squeezed(pushButtonStyle(16)));
    QCOMPARE(squeezed(ui->openButton->styleSheet()), squeezed(pushButtonStyle(22)));
    QCOMPARE(ui->comboBox_PRM02_Master_2->currentText(), QString("V4.6"));

    // The explicit spacings of the columns (the others keep the style's).
    for (const ColumnSpacing &c : kExplicitSpacing) {
        auto *g = find<QGroupBox>(c.group);
        QVERIFY(g);
        QWidget *holder = nullptr;
        for (QWidget *w : g->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
            if (w->geometry() == c.rect && w->layout())
                holder = w;
        QVERIFY2(holder, c.group);
        QCOMPARE(holder->layout()->spacing(), c.spacing);
    }
}

void TestForm::progMixCreationOrder()
{
    // Created 4, 3, 1, 2 (which is also their keyboard focus order), shown
    // left to right 1, 2, 3, 4.
    QStringList order;
    for (QObject *o : shared->form()->frame_8->children())
        if (qobject_cast<QGroupBox *>(o))
            order << o->objectName();
    QCOMPARE(order, QStringList({"groupBox_16", "groupBox_15", "groupBox_11", "groupBox_12"}));
    MainWindowForm *ui = shared->form();
    QVERIFY(ui->groupBox_11->x() < ui->groupBox_12->x());
    QVERIFY(ui->groupBox_12->x() < ui->groupBox_15->x());
    QVERIFY(ui->groupBox_15->x() < ui->groupBox_16->x());
}

void TestForm::buildingIsQuietAndWritesNoSetting()
{
    LogCatcher log;
    {
        MainWindow w;
        QCOMPARE(w.form()->tabWidget->currentIndex(), 0);
        // Every page drawn once: their style sheets are read then, and each
        // declaration in them is one Qt takes.
        for (int page = 0; page < w.form()->tabWidget->count(); ++page) {
            w.form()->tabWidget->setCurrentIndex(page);
            QVERIFY(!w.grab().isNull());
        }
    }
    for (const QString &m : log.messages())
        QVERIFY2(!m.contains("connectSlotsByName") && !m.contains("No matching signal") &&
                     !m.contains("QCssParser"),
                 qPrintable(m));
    QVERIFY(TxSettings == startSettings());
    QVERIFY(TxLiveData == startLiveData());
}

void TestForm::buildSelectsSystemConstructorShowsServo()
{
    MainWindow w;
    QCOMPARE(w.form()->tabWidget->currentIndex(), 0);
    QCOMPARE(w.form()->tabWidget->currentWidget()->objectName(), QString("tab"));
    // A second tree built on its own, without the constructor's last steps,
    // is left on SYSTEM.
    MainWindowForm bare;
    bare.build(&w);
    QCOMPARE(bare.tabWidget->currentIndex(), 5);
    QCOMPARE(bare.tabWidget->currentWidget()->objectName(), QString("tab_6"));
    QCOMPARE(bare.portNameBox->currentIndex(), -1);
    QVERIFY(TxSettings == startSettings());
}

void TestForm::editorsStopAtTheirBounds_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<double>("bound");
    QTest::addColumn<int>("steps");
    QTest::newRow("end point up") << "spinBox_Lepa1" << 120.0 << 1;
    QTest::newRow("end point down") << "spinBox_Repa8" << 0.0 << -1;
    QTest::newRow("rssi up") << "spinBox_Rssi" << 0.0 << 1;
    QTest::newRow("rssi down") << "spinBox_Rssi" << -100.0 << -1;
    QTest::newRow("tx alarm up") << "doubleSpinBox_Volt" << 99.9 << 1;
    QTest::newRow("tx alarm down") << "doubleSpinBox_Volt" << 0.0 << -1;
    QTest::newRow("stick mode up") << "spinBox_Mode" << 4.0 << 1;
    QTest::newRow("stick mode down") << "spinBox_Mode" << 1.0 << -1;
    QTest::newRow("mix1 DOWN below zero") << "spinBox_PRM01_Data3" << -100.0 << -1;
    QTest::newRow("mix2 UP below zero") << "spinBox_PRM02_Data2" << -100.0 << -1;
    QTest::newRow("mix3 UP stops at zero") << "spinBox_PRM03_Data2" << 0.0 << -1;
    QTest::newRow("mix4 DOWN stops at zero") << "spinBox_PRM04_Data3" << 0.0 << -1;
    QTest::newRow("sub-trim") << "spinBox_sub4" << -100.0 << -1;
}

void TestForm::editorsStopAtTheirBounds()
{
    QFETCH(QString, name);
    QFETCH(double, bound);
    QFETCH(int, steps);
    MainWindow w;
    auto *box = w.findChild<QAbstractSpinBox *>(name);
    QVERIFY(box);
    auto value = [box]() {
        if (auto *d = qobject_cast<QDoubleSpinBox *>(box))
            return d->value();
        return double(qobject_cast<QSpinBox *>(box)->value());
    };
    // Typed past the bound, then stepped further out.
    if (auto *d = qobject_cast<QDoubleSpinBox *>(box))
        d->setValue(bound + steps * 500);
    else
        qobject_cast<QSpinBox *>(box)->setValue(int(bound) + steps * 500);
    QCOMPARE(value(), bound);
    box->stepBy(steps * 3);
    QCOMPARE(value(), bound);
}

QTEST_MAIN(TestForm)
#include "test_form.moc"
