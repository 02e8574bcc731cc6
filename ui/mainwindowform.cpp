#include "ui/mainwindowform.h"

#include <QIcon>
#include <QMainWindow>
#include <QMetaObject>

#include "ui/styles.h"

namespace {

QToolButton *toolButton(QWidget *parent, const char *name, QRect r, const char *icon, int iconPx,
                        const QString &style)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(name);
    b->setGeometry(r);
    b->setStyleSheet(style);
    QIcon ic;
    ic.addFile(QString(":/myImage/images/") + icon, QSize(), QIcon::Normal, QIcon::Off);
    b->setIcon(ic);
    b->setIconSize(QSize(iconPx, iconPx));
    return b;
}

QLineEdit *statusBox(QWidget *parent, const char *name, QRect r, bool readOnly, const QString &style)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setGeometry(r);
    e->setStyleSheet(style);
    e->setAlignment(Qt::AlignCenter);
    e->setReadOnly(readOnly);
    return e;
}

QWidget *page(const char *name, const QString &style)
{
    auto *w = new QWidget();
    w->setObjectName(name);
    w->setStyleSheet(style);
    return w;
}

QFrame *pageFrame(QWidget *page, const char *name, QRect r, const QString &style)
{
    auto *f = new QFrame(page);
    f->setObjectName(name);
    f->setGeometry(r);
    f->setStyleSheet(style);
    f->setFrameShape(QFrame::StyledPanel);
    f->setFrameShadow(QFrame::Raised);
    return f;
}

QProgressBar *servoBar(QWidget *parent, int channel, int half, int x)
{
    auto *b = new QProgressBar(parent);
    b->setObjectName(QString("progressBar_%1%2").arg(channel).arg(half));
    b->setGeometry(QRect(x, half == 0 ? 105 : 285, 50, 180));
    b->setStyleSheet(half == 0 ? Styles::upperBar() : Styles::lowerBar());
    b->setMaximum(half == 0 ? 1010 : 1000);
    b->setValue(half == 0 ? 10 : 1000);
    b->setTextVisible(false);
    b->setOrientation(Qt::Vertical);
    b->setInvertedAppearance(false);
    b->setTextDirection(QProgressBar::BottomToTop);
    return b;
}

} // namespace

void MainWindowForm::build(QMainWindow *window)
{
    prepareAccessibility();
    if (window->objectName().isEmpty())
        window->setObjectName("MainWindow");
    window->resize(1100, 680);
    window->setMinimumSize(QSize(0, 0));
    window->setMaximumSize(QSize(11100, 8000));

    centralwidget = new QWidget(window);
    centralwidget->setObjectName("centralwidget");
    centralwidget->setStyleSheet("background-color: rgb(40, 40, 40);");

    frame = new QFrame(centralwidget);
    frame->setObjectName("frame");
    frame->setGeometry(QRect(0, 0, 1200, 110));
    frame->setStyleSheet(QString());
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setFrameShadow(QFrame::Raised);

    openButton = new QPushButton(frame);
    openButton->setObjectName("openButton");
    openButton->setGeometry(QRect(630, 5, 100, 90));
    openButton->setStyleSheet(Styles::pushButton(22));

    portNameBox = new PortNameBox(frame);
    portNameBox->setObjectName("portNameBox");
    portNameBox->setGeometry(QRect(740, 30, 120, 40));
    portNameBox->setStyleSheet(Styles::portBox());

    toolButton_led =
        toolButton(frame, "toolButton_led", QRect(870, 30, 40, 40), "red.png", 40, Styles::lamp());
    toolButton_Reset = toolButton(frame, "toolButton_Reset", QRect(500, 5, 110, 90), "Reset.png", 60,
                                  Styles::toolbarButtonWarning());
    toolButton_Read = toolButton(frame, "toolButton_Read", QRect(20, 5, 110, 90), "Receive.png", 60,
                                 Styles::toolbarButton());
    toolButton_Load =
        toolButton(frame, "toolButton_Load", QRect(140, 5, 110, 90), "open.png", 60, Styles::toolbarButton());
    toolButton_Save =
        toolButton(frame, "toolButton_Save", QRect(380, 5, 110, 91), "save.png", 60, Styles::toolbarButton());
    toolButton_Send =
        toolButton(frame, "toolButton_Send", QRect(260, 5, 110, 90), "Send.png", 60, Styles::toolbarButton());
    for (QToolButton *b :
         {toolButton_Reset, toolButton_Read, toolButton_Load, toolButton_Save, toolButton_Send})
        b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);

    lineEdit_27 = statusBox(frame, "lineEdit_27", QRect(920, 30, 85, 25), true, Styles::statusLabel());
    lineEdit_TX = statusBox(frame, "lineEdit_TX", QRect(1010, 4, 85, 25), false, Styles::statusValue());
    lineEdit_RSSI = statusBox(frame, "lineEdit_RSSI", QRect(1010, 56, 85, 25), false, Styles::statusValue());
    lineEdit_37 = statusBox(frame, "lineEdit_37", QRect(920, 82, 85, 25), true, Styles::statusLabel());
    lineEdit_26 = statusBox(frame, "lineEdit_26", QRect(920, 4, 85, 25), true, Styles::statusLabel());
    lineEdit_RX = statusBox(frame, "lineEdit_RX", QRect(1010, 82, 85, 25), false, Styles::statusValue());
    lineEdit_30 = statusBox(frame, "lineEdit_30", QRect(920, 56, 85, 25), true, Styles::statusLabel());
    lineEdit_EXT = statusBox(frame, "lineEdit_EXT", QRect(1010, 30, 85, 25), false, Styles::statusValue());

    tabWidget = new QTabWidget(centralwidget);
    tabWidget->setObjectName("tabWidget");
    tabWidget->setGeometry(QRect(10, 110, 1080, 560));
    tabWidget->setFont(Styles::arialBold());
    tabWidget->setFocusPolicy(Qt::NoFocus);
    tabWidget->setContextMenuPolicy(Qt::NoContextMenu);
    tabWidget->setAcceptDrops(false);
    tabWidget->setAutoFillBackground(false);
    tabWidget->setStyleSheet(Styles::tabWidget());
    tabWidget->setTabPosition(QTabWidget::North);
    tabWidget->setTabShape(QTabWidget::Rounded);
    tabWidget->setIconSize(QSize(100, 100));
    tabWidget->setElideMode(Qt::ElideMiddle);
    tabWidget->setDocumentMode(true);
    tabWidget->setTabsClosable(false);
    tabWidget->setMovable(true);
    tabWidget->setTabBarAutoHide(false);

    // Each page joins the tab widget before its frame and contents are made.
    // Handing over a finished page would make Qt re-style and polish every
    // widget on it, because the page moves under a parent with a style sheet;
    // that work is thrown away when the window is shown, and it was half of
    // the start-up time. The tree that results is the same.

    // SERVO: eight columns of value box, channel label and the two bars.
    tab = page("tab", Styles::redGradient());
    tabWidget->addTab(tab, "SERVO");
    frame_3 = pageFrame(tab, "frame_3", QRect(10, 10, 1060, 490), "background-color: rgb(50,50, 50);");
    QLineEdit **values[8] = {&lineEdit,   &lineEdit_2, &lineEdit_3, &lineEdit_4,
                             &lineEdit_5, &lineEdit_6, &lineEdit_7, &lineEdit_8};
    QLineEdit **labels[8] = {&lineEdit_9,  &lineEdit_19, &lineEdit_20, &lineEdit_21,
                             &lineEdit_22, &lineEdit_23, &lineEdit_24, &lineEdit_25};
    QProgressBar **upper[8] = {&progressBar_10, &progressBar_20, &progressBar_30, &progressBar_40,
                               &progressBar_50, &progressBar_60, &progressBar_70, &progressBar_80};
    QProgressBar **lower[8] = {&progressBar_11, &progressBar_21, &progressBar_31, &progressBar_41,
                               &progressBar_51, &progressBar_61, &progressBar_71, &progressBar_81};
    for (int n = 1; n <= 8; ++n) {
        const int c = 135 * (n - 1);
        QString valueName = n == 1 ? QString("lineEdit") : QString("lineEdit_%1").arg(n);
        QString labelName = n == 1 ? QString("lineEdit_9") : QString("lineEdit_%1").arg(17 + n);
        *values[n - 1] = statusBox(frame_3, "", QRect(20 + c, 10, 80, 50), false, Styles::servoValue());
        (*values[n - 1])->setObjectName(valueName);
        (*values[n - 1])->setText("0");
        *labels[n - 1] = statusBox(frame_3, "", QRect(30 + c, 60, 60, 31), true, Styles::servoLabel());
        (*labels[n - 1])->setObjectName(labelName);
        (*labels[n - 1])->setText(QString("CH%1").arg(n));
        *upper[n - 1] = servoBar(frame_3, n, 0, 35 + c);
        *lower[n - 1] = servoBar(frame_3, n, 1, 35 + c);
    }

    tab_2 = page("tab_2", Styles::redGradientVariant());
    tabWidget->addTab(tab_2, QString());
    frame_2 = pageFrame(tab_2, "frame_2", QRect(10, 10, 1060, 490), Styles::pageFrame());
    buildBasicPage();

    tab_3 = page("tab_3", Styles::redGradient());
    tabWidget->addTab(tab_3, QString());
    frame_4 = pageFrame(tab_3, "frame_4", QRect(10, 5, 1060, 490), Styles::pageFrame());
    QFont tenPoint;
    tenPoint.setPointSize(10);
    tenPoint.setBold(false);
    tenPoint.setWeight(50);
    frame_4->setFont(tenPoint);
    buildAdvance1Page();

    tab_4 = page("tab_4", Styles::redGradient());
    tabWidget->addTab(tab_4, QString());
    frame_5 = pageFrame(tab_4, "frame_5", QRect(10, 10, 1060, 490), Styles::pageFrame());
    buildAdvance2Page();

    tab_7 = page("tab_7", Styles::redGradient());
    tabWidget->addTab(tab_7, QString());
    frame_8 = pageFrame(tab_7, "frame_8", QRect(10, 10, 1060, 490), Styles::pageFrame());
    buildProgMixPage();

    tab_6 = page("tab_6", Styles::redGradientVariant());
    tabWidget->addTab(tab_6, QString());
    frame_7 = pageFrame(tab_6, "frame_7", QRect(10, 10, 1060, 490), Styles::pageFrame());
    buildSystemPage();

    window->setCentralWidget(centralwidget);

    applyTexts(window);
    applyAccessibility();

    portNameBox->setCurrentIndex(-1);
    tabWidget->setCurrentIndex(5);
    setPageSelections();

    QMetaObject::connectSlotsByName(window);
}

void MainWindowForm::applyTexts(QMainWindow *window)
{
    window->setWindowTitle("Kesra&Vantor-V4.6.2");
    toolButton_Read->setText("READ");
    toolButton_Load->setText("LOAD");
    toolButton_Send->setText("WRITE");
    toolButton_Save->setText("SAVE");
    toolButton_Reset->setText("RESET");
    openButton->setText("OPEN");
    toolButton_led->setText(QString());
    lineEdit_26->setText("TX:");
    lineEdit_27->setText("EXT:");
    lineEdit_30->setText("RSSI:");
    lineEdit_37->setText("RX:");
    lineEdit_TX->setText(" 0.0V");
    lineEdit_EXT->setText(" 0.0V");
    lineEdit_RSSI->setText("null");
    lineEdit_RX->setText(" 0.0V");
    tabWidget->setTabText(tabWidget->indexOf(tab_2), "BASIC");
    tabWidget->setTabText(tabWidget->indexOf(tab_3), "ADVANCE1");
    tabWidget->setTabText(tabWidget->indexOf(tab_4), "ADVANCE2");
    tabWidget->setTabText(tabWidget->indexOf(tab_7), "PROG.MIX");
    tabWidget->setTabText(tabWidget->indexOf(tab_6), "SYSTEM");
    applyPageTexts();
}
