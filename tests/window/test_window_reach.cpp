#include <QAccessible>
#include <QtTest>

#include "app/mainwindow.h"
#include "model/catalogue.h"
#include "ui/highdpi.h"
#include "ui/mainwindowform.h"

// The real window as a screen reader, a keyboard and a high-DPI screen meet it.
class TestWindowReach : public QObject
{
    Q_OBJECT
private slots:
    void heardAndTabbedInVisualOrder();
    void proportionalAtScale();
};

const bool layoutChild = qEnvironmentVariableIsSet("TX_LAYOUT_DUMP") && (enableHighDpiScaling(), true);

// Tab stops at it (the window's own widgets, not a combo box's list).
bool reachable(QWidget *x)
{
    return (x->focusPolicy() & Qt::TabFocus) && x->objectName() != "qt_spinbox_lineedit" &&
           qobject_cast<MainWindow *>(x->window());
}

void TestWindowReach::heardAndTabbedInVisualOrder()
{
    MainWindow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QMultiHash<QString, QWidget *> named; // what a screen reader hears of every Tab stop and bar
    std::function<void(QAccessibleInterface *)> walk = [&](QAccessibleInterface *a) {
        auto *x = qobject_cast<QWidget *>(a->object());
        if (x && qobject_cast<MainWindow *>(x->window()) && (reachable(x) || qobject_cast<QProgressBar *>(x)))
            named.insert(a->text(QAccessible::Name), x);
        for (int i = 0; i < a->childCount(); ++i)
            walk(a->child(i));
    };
    walk(QAccessible::queryAccessibleInterface(&w));
    for (const QString &name : named.uniqueKeys())
        QVERIFY2(!name.isEmpty() && named.count(name) == 1, qPrintable(name));
    for (const SettingInfo &s : settingsCatalogue()) // "PAGE, GROUP, CAPTION", where it has an editor
        QVERIFY2(
            named.contains(s.page + ", " + s.group + ", " + QString(s.caption).remove(':').simplified()) ||
                s.key.contains(QRegularExpression(R"(ch\d(Up|Down)|option)")),
            qPrintable(s.key));

    QCOMPARE(QApplication::focusWidget(), w.form()->openButton); // as the window always started
    const auto inOrder = [](QWidget *area) { // column by column from the left, top to bottom
        QList<QWidget *> list;
        for (QWidget *x : area->findChildren<QWidget *>())
            if (reachable(x))
                list << x;
        std::sort(list.begin(), list.end(), [area](QWidget *a, QWidget *b) {
            return std::make_pair(a->mapTo(area, {}).x(), a->mapTo(area, {}).y()) <
                   std::make_pair(b->mapTo(area, {}).x(), b->mapTo(area, {}).y());
        });
        for (QWidget *&x : list)
            x = x->focusProxy() ? x->focusProxy() : x; // a spin box's text takes its focus
        return list;
    };
    const QList<QWidget *> bar = inOrder(w.form()->frame);
    for (int page = 0; page < 6; ++page) {
        w.form()->tabWidget->setCurrentIndex(page);
        const QList<QWidget *> expected = bar + inOrder(w.form()->tabWidget->widget(page)) + bar.mid(0, 1);
        QList<QWidget *> heard{bar.first()};
        for (bar.first()->setFocus(); heard.size() < expected.size(); heard << QApplication::focusWidget())
            QTest::keyClick(heard.last(), Qt::Key_Tab);
        QCOMPARE(heard, expected);
    }
}

void TestWindowReach::proportionalAtScale()
{
    if (layoutChild) { // this program run again by the test below, started as txconfig starts
        MainWindow w;
        w.show();
        for (int page = 5; page >= 0; --page) // lays every page out
            w.form()->tabWidget->setCurrentIndex(page), QTest::qWait(50);
        std::printf("@picture %d %d\n", w.grab().width(), w.grab().height());
        for (QWidget *x : w.findChildren<QWidget *>())
            std::printf("@%s %d %d %d %d\n", qPrintable(x->objectName()), x->mapTo(&w, {}).x(),
                        x->mapTo(&w, {}).y(), x->width(), x->height());
        return;
    }
    // On screens of 96, 144 and 192 dpi: 1.5 times as large (not rounded to 2) and twice as large.
    QStringList layout[3];
    for (int i = 0; i < 3; ++i) {
        QProcess child;
        child.setEnvironment(QProcess::systemEnvironment()
                             << "TX_LAYOUT_DUMP=1" << QString("QT_FONT_DPI=%1").arg(96 + 48 * i));
        child.start(QCoreApplication::applicationFilePath(), {"proportionalAtScale"});
        QVERIFY(child.waitForFinished(120000));
        layout[i] = QString(child.readAllStandardOutput()).split('\n').filter(QRegularExpression("^@"));
        QCOMPARE(layout[i].first(), QString("@picture %1 %2").arg(1100 + 550 * i).arg(680 + 340 * i));
        QCOMPARE(layout[i].mid(1), layout[0].mid(1)); // the same logical pixels: all in proportion
    }
}

QTEST_MAIN(TestWindowReach)
#include "test_window_reach.moc"
