// What a screen reader hears and where Tab goes.
//
// Every widget a user can reach or read has an accessible name that says
// where it stands: "BASIC, SUB-TRIM, CH3", "SERVO, CH1 output",
// "Telemetry, RX". Buttons with a caption are named by it ("READ", and OPEN
// or CLOSE as the port is). A widget's hover help, where it has one, is its
// accessible description (Qt reads it from the tool tip). Nothing here
// changes what the window shows.
//
// Combo boxes say their name too (on Linux Qt would name them after their
// current item).
//
// Tab goes through the toolbar from left to right, then the live values, and
// on each page column by column from the left, each column from the top.
// Captions are left out of the Tab order (a click still selects their text);
// so is the port lamp, which does nothing when pressed: it is a status
// indicator named "port open" or "port closed". The tab bar takes no
// focus (as the window has always been); Ctrl+Tab and Ctrl+Shift+Tab from
// any editor turn the pages.

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QIcon>
#include <QMainWindow>
#include <QToolButton>

#include "ui/mainwindowform.h"

namespace {

// On Linux Qt names a combo box after its current item ("NOR") and leaves
// what the box is for to a label beside it; the window's captions are not
// labels. This interface gives the box's accessible name as its name and
// the current item as its value; the rest is as Qt's own: the list as its
// child, and opening the list as its action.
class NamedComboBox : public QAccessibleWidget
{
public:
    explicit NamedComboBox(QComboBox *box) : QAccessibleWidget(box, QAccessible::ComboBox) {}

    QComboBox *box() const { return static_cast<QComboBox *>(widget()); }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value || (t == QAccessible::Name && box()->accessibleName().isEmpty()))
            return box()->currentText();
        return QAccessibleWidget::text(t);
    }
    int childCount() const override { return 1; }
    QAccessibleInterface *child(int index) const override
    {
        return index == 0 ? QAccessible::queryAccessibleInterface(box()->view()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        return child && child->object() == box()->view() ? 0 : -1;
    }
    QStringList actionNames() const override { return QStringList(showMenuAction()) << pressAction(); }
    void doAction(const QString &action) override
    {
        if (action != showMenuAction() && action != pressAction())
            return;
        if (box()->view()->isVisible())
            box()->hidePopup();
        else
            box()->showPopup();
    }
};

QAccessibleInterface *namedComboBoxes(const QString &className, QObject *object)
{
    auto *box = qobject_cast<QComboBox *>(object);
    if (className != "QComboBox" || !box || box->isEditable() || !qobject_cast<QMainWindow *>(box->window()))
        return nullptr;
    return new NamedComboBox(box);
}

// The port lamp is drawn as a tool button but does nothing when pressed: it
// is a status indicator, named after what it shows ("port open", "port
// closed"), with no action.
class PortLamp : public QAccessibleWidget
{
public:
    explicit PortLamp(QWidget *lamp) : QAccessibleWidget(lamp, QAccessible::Indicator) {}
    QStringList actionNames() const override { return {}; }
};

QAccessibleInterface *portLamp(const QString &, QObject *object)
{
    auto *lamp = qobject_cast<QToolButton *>(object);
    if (!lamp || object->objectName() != "toolButton_led")
        return nullptr;
    return new PortLamp(lamp);
}

} // namespace

void MainWindowForm::prepareAccessibility()
{
    // Before any box exists, so that a screen reader already running never
    // meets one of ours under Qt's own interface.
    QAccessible::installFactory(namedComboBoxes);
    QAccessible::installFactory(portLamp);
}

QString MainWindowForm::spoken(QString caption)
{
    return caption.remove(':').simplified();
}

void MainWindowForm::setPortLamp(bool open)
{
    toolButton_led->setIcon(QIcon(open ? ":/myImage/images/green.png" : ":/myImage/images/red.png"));
    toolButton_led->setAccessibleName(open ? "port open" : "port closed");
}

void MainWindowForm::applyAccessibility()
{
    portNameBox->setAccessibleName("Serial port");
    setPortLamp(false);
    toolButton_led->setFocusPolicy(Qt::NoFocus);

    QLineEdit *telemetryLabels[] = {lineEdit_26, lineEdit_27, lineEdit_30, lineEdit_37};
    QLineEdit *telemetryValues[] = {lineEdit_TX, lineEdit_EXT, lineEdit_RSSI, lineEdit_RX};
    for (int i = 0; i < 4; ++i) {
        telemetryValues[i]->setAccessibleName("Telemetry, " + spoken(telemetryLabels[i]->text()));
        telemetryLabels[i]->setFocusPolicy(Qt::ClickFocus);
    }

    const QString servo = tabWidget->tabText(tabWidget->indexOf(tab)) + ", ";
    QLineEdit *values[] = {lineEdit,   lineEdit_2, lineEdit_3, lineEdit_4,
                           lineEdit_5, lineEdit_6, lineEdit_7, lineEdit_8};
    QLineEdit *labels[] = {lineEdit_9,  lineEdit_19, lineEdit_20, lineEdit_21,
                           lineEdit_22, lineEdit_23, lineEdit_24, lineEdit_25};
    QProgressBar *upper[] = {progressBar_10, progressBar_20, progressBar_30, progressBar_40,
                             progressBar_50, progressBar_60, progressBar_70, progressBar_80};
    QProgressBar *lower[] = {progressBar_11, progressBar_21, progressBar_31, progressBar_41,
                             progressBar_51, progressBar_61, progressBar_71, progressBar_81};
    for (int n = 0; n < 8; ++n) {
        const QString channel = servo + labels[n]->text();
        values[n]->setAccessibleName(channel + " output");
        upper[n]->setAccessibleName(channel + " upper bar");
        lower[n]->setAccessibleName(channel + " lower bar");
        labels[n]->setFocusPolicy(Qt::ClickFocus);
    }

    widget_3->setAccessibleName(tabWidget->tabText(tabWidget->indexOf(tab_4)) + ", " + groupBox_19->title() +
                                ", curve");
    widget_4->setAccessibleName(tabWidget->tabText(tabWidget->indexOf(tab_4)) + ", " + groupBox_18->title() +
                                ", curve");
    pushButton_Reset2->setAccessibleName(tabWidget->tabText(tabWidget->indexOf(tab_6)) + ", " +
                                         pushButton_Reset2->text());

    std::vector<QWidget *> chain = {toolButton_Read,  toolButton_Load, toolButton_Send, toolButton_Save,
                                    toolButton_Reset, openButton,      portNameBox,     lineEdit_TX,
                                    lineEdit_EXT,     lineEdit_RSSI,   lineEdit_RX};
    chain.insert(chain.end(), std::begin(values), std::end(values));
    nameSettingsPages(chain);
    for (size_t i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
    // The window starts with the focus on OPEN, as it did before the order
    // above was set.
    openButton->setFocus();
}
