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

FarEnd::FarEnd(PtyPair &p) : pty(p)
{
    // Polled: reads what the tool has sent every few milliseconds.
    poll.setInterval(3);
    connect(&poll, &QTimer::timeout, this, [this] { readable(); });
    poll.start();
    pace.setInterval(2);
    connect(&pace, &QTimer::timeout, this, [this] { writeNext(); });
}

void FarEnd::send(const std::vector<QByteArray> &chunks)
{
    for (const QByteArray &c : chunks)
        queue.push_back(c);
    if (!pace.isActive())
        pace.start();
}

void FarEnd::pullPlug()
{
    cut = true;
    poll.stop();
    pace.stop();
    pty.closeMaster();
}

void FarEnd::readable()
{
    if (cut)
        return;
    const QByteArray got = pty.read(0);
    if (got.isEmpty())
        return;
    received += got;
    for (int at = received.indexOf("RR", scanFrom); at >= 0; at = received.indexOf("RR", scanFrom)) {
        scanFrom = at + 2;
        ++asks;
        if (answer) {
            for (const QByteArray &c : answer(asks))
                queue.push_back(c);
        } else {
            std::move(onRead.begin(), onRead.end(), std::back_inserter(queue));
            onRead.clear();
        }
        if (!pace.isActive())
            pace.start();
    }
    if (cutWhen && !cut && cutWhen(received))
        pullPlug();
}

void FarEnd::writeNext()
{
    if (queue.empty()) {
        pace.stop();
        return;
    }
    if (answers() < written && sinceWrite.isValid() && sinceWrite.elapsed() < 50)
        return;
    if (cutAfterChunks >= 0 && written >= cutAfterChunks) {
        pullPlug();
        return;
    }
    if (beforeWrite)
        beforeWrite(written);
    pty.write(queue.front());
    queue.pop_front();
    ++written;
    sinceWrite.start();
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
