#include "support/testutil.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QMutex>
#include <QPushButton>
#include <QTest>

#include "app/mainwindow.h"
#include "model/txsettings.h"
#include "sim/pty.h"
#include "ui/mainwindowform.h"

void resetStore()
{
    TxSettings = startSettings();
    TxLiveData = startLiveData();
}

MessageBoxCatcher::MessageBoxCatcher()
{
    connect(&timer, &QTimer::timeout, this, &MessageBoxCatcher::poll);
    timer.start(10);
}

MessageBoxCatcher::~MessageBoxCatcher()
{
    timer.stop();
}

void MessageBoxCatcher::poll()
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        auto *box = qobject_cast<QMessageBox *>(w);
        if (box && box->isVisible()) {
            boxes.append({box->windowTitle(), box->text()});
            box->done(QMessageBox::Ok);
        }
    }
}

QByteArray readWhile(PtyPair &pty, int ms, const std::function<bool(const QByteArray &)> &done)
{
    QByteArray got;
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        got += pty.read(2);
        if (done && done(got))
            break;
    }
    return got;
}

namespace {
QStringList testPorts;
QStringList listTestPorts()
{
    return testPorts;
}

QMutex logMutex;
QStringList logMessages;
QtMessageHandler previousHandler = nullptr;
void logHandler(QtMsgType type, const QMessageLogContext &ctx, const QString &msg)
{
    {
        QMutexLocker lock(&logMutex);
        logMessages << msg;
    }
    if (previousHandler && type != QtDebugMsg)
        previousHandler(type, ctx, msg);
}
} // namespace

void setTestPorts(const QStringList &ports)
{
    testPorts = ports;
    MainWindow::setPortLister(&listTestPorts);
}

void clickOpen(MainWindow &w)
{
    w.form()->openButton->click();
}

LogCatcher::LogCatcher()
{
    QMutexLocker lock(&logMutex);
    logMessages.clear();
    previousHandler = qInstallMessageHandler(logHandler);
}

LogCatcher::~LogCatcher()
{
    qInstallMessageHandler(previousHandler);
}

QStringList LogCatcher::messages() const
{
    QMutexLocker lock(&logMutex);
    return logMessages;
}

bool LogCatcher::contains(const QString &part) const
{
    for (const QString &m : messages())
        if (m.contains(part))
            return true;
    return false;
}

void answerNextFileDialog(const QString &path)
{
    auto *poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, path] {
        auto *d = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!d || !d->isVisible())
            return;
        if (QLineEdit *edit = d->findChild<QLineEdit *>("fileNameEdit"))
            edit->setText(path);
        else
            d->selectFile(path);
        QMetaObject::invokeMethod(d, "accept", Qt::QueuedConnection);
        poll->deleteLater();
    });
    poll->start();
}
