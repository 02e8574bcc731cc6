#include "cli/port/port_link.h"

#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include "cli/port/interrupts.h"
#include "cli/port/port_trouble.h"
#include "link/receive.h"
#include "link/waitms.h"

const char kDialoutHint[] =
    "for a USB adapter, unplug it and plug it in again (the txconfig package's udev rule then gives "
    "you access while you are logged in at this seat); otherwise add yourself to the dialout group: "
    "sudo usermod -aG dialout \"$USER\", then log in again";

namespace {

// How long "DIS" may take to leave before the port closes anyway.
constexpr int kByeDrainMs = 1000;

// Whether the line behind `fd` was hung up.
bool lineHungUp(int fd)
{
    if (fd < 0)
        return false;
    pollfd p = {fd, POLLIN, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

QString secondsText(int ms)
{
    return QString::number(ms / 1000.0, 'g', 3) + " s";
}

} // namespace

QString portDevicePath(const QString &port)
{
    if (port.contains('/'))
        return port;
    return "/dev/" + port;
}

QString portAccessProblem(const QString &devicePath)
{
    const QByteArray native = QFile::encodeName(devicePath);
    if (::access(native.constData(), F_OK) != 0)
        return "no such port";
    if (::access(native.constData(), R_OK | W_OK) != 0 && (errno == EACCES || errno == EPERM))
        return portAccessReason(devicePath);
    return QString();
}

// ---- PortLink ----

PortLink::PortLink() : settings(startSettings()), live(startLiveData())
{
    connect(&serial, &QSerialPort::readyRead, this, &PortLink::onReadyRead);
    received.onFrame = [this](const DecodedFrame &f) {
        if (isLiveFrame(f.kind))
            ++liveFrames;
    };
    received.send = [this](const QByteArray &bytes) { send(bytes); };
    connect(&serial, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError e) {
        if (e == QSerialPort::ResourceError)
            lost = true;
        // A line that was hung up (a pseudo-terminal whose other side
        // closed) reads as end of file, which the serial port reports as a
        // plain read error; the hang-up tells it apart.
        else if (e == QSerialPort::ReadError && lineHungUp(serial.handle()))
            lost = true;
    });
}

PortLink::~PortLink()
{
    close();
}

bool PortLink::open(const QString &port, QString *error)
{
    if (port.isEmpty()) {
        *error = "no port given (a device path such as /dev/ttyUSB0, or a name such as ttyUSB0)";
        return false;
    }
    devicePath = portDevicePath(port);
    const QString problem = portAccessProblem(devicePath);
    if (!problem.isEmpty()) {
        *error = QString("%1: %2").arg(devicePath, problem);
        return false;
    }
    // The lock goes by the device itself, not by the name given: the same
    // port through a link (/dev/serial/by-id/..., txsim --link) is one port.
    const QString device = QFileInfo(devicePath).canonicalFilePath();
    serial.setPortName(device.isEmpty() ? devicePath : device);
    serial.setBaudRate(QSerialPort::Baud115200);
    serial.setDataBits(QSerialPort::Data8);
    serial.setParity(QSerialPort::NoParity);
    serial.setStopBits(QSerialPort::OneStop);
    serial.setFlowControl(QSerialPort::NoFlowControl);
    if (!serial.open(QIODevice::ReadWrite)) {
        QString reason;
        switch (serial.error()) {
        case QSerialPort::DeviceNotFoundError:
            reason = "no such port";
            break;
        case QSerialPort::PermissionError:
        case QSerialPort::OpenError:
            // We may open it (checked above), so somebody else has it.
            reason = portBusyReason(devicePath);
            break;
        case QSerialPort::UnsupportedOperationError:
            reason = "not a serial port";
            break;
        default:
            reason = "cannot open: " + serial.errorString();
            break;
        }
        *error = QString("%1: %2").arg(devicePath, reason);
        return false;
    }
    serial.clear(); // nothing left over from before we came
    received.clear();
    lost = false;
    setOpenPortForInterrupts(int(serial.handle()));
    if (warnWhenShared)
        warnIfPortShared(devicePath);
    send(kHelloWord);
    return true;
}

void PortLink::send(const QByteArray &bytes)
{
    if (!serial.isOpen())
        return;
    serial.write(bytes);
    serial.flush();
}

bool PortLink::run(const LinkSequence &steps, const std::function<bool()> &mayGoOn,
                   const std::function<void(int)> &afterStep, const std::function<void(int)> &pause)
{
    int index = 0;
    return runSequence(
        steps, [&] { return !lost && serial.isOpen() && (!mayGoOn || mayGoOn()); },
        [&](const QByteArray &bytes) {
            send(bytes);
            if (afterStep)
                afterStep(index);
            ++index;
        },
        [&](int ms) {
            if (pause)
                pause(ms);
            else
                waitMs(ms);
        });
}

void PortLink::close()
{
    if (!serial.isOpen())
        return;
    InterruptHold hold;
    if (!lost) {
        send(kByeWord);
        QElapsedTimer t;
        t.start();
        auto left = [&] { return kByeDrainMs - t.elapsed(); };
        while (serial.bytesToWrite() > 0 && left() > 0)
            serial.waitForBytesWritten(int(std::max<qint64>(1, left())));
        // Closing puts the line settings back as they were; "DIS" must have
        // left the UART before that. tcdrain() would wait for ever on a line
        // nobody reads, so the output queue is watched with a bound.
        int queued = 0;
        while (left() > 0 && ::ioctl(serial.handle(), TIOCOUTQ, &queued) == 0 && queued > 0) {
            const timespec pause = {0, 2 * 1000 * 1000};
            ::nanosleep(&pause, nullptr);
        }
    }
    setOpenPortForInterrupts(-1);
    serial.close();
}

void PortLink::onReadyRead()
{
    const QByteArray chunk = serial.readAll();
    if (chunk.isEmpty())
        return;
    ++chunks;
    received.receive(chunk);
    if (onChunk)
        onChunk();
}

// ---- reading ----

bool waitUntil(const std::function<bool()> &done, const QElapsedTimer &clock, qint64 deadlineMs)
{
    while (!done() && !interruptRequested()) {
        const qint64 left = deadlineMs - clock.elapsed();
        if (left <= 0)
            break;
        waitMs(int(std::min<qint64>(left, 10)));
    }
    return done();
}

bool readSettingsOverLink(PortLink &link, int timeoutMs, const std::function<void(int)> &onProgress,
                          QString *error)
{
    const int chunksBefore = link.chunksReceived();
    int reported = 0;
    const std::function<void()> previous = link.onChunk;
    link.onChunk = [&] {
        if (previous)
            previous();
        const int n = qPopulationCount(link.receiver().decoder().answerFrames());
        if (n > reported && onProgress)
            onProgress(reported = n);
    };
    QElapsedTimer clock;
    clock.start();
    const auto stopped = [&] {
        return link.deviceLost() || interruptRequested() || clock.elapsed() >= timeoutMs;
    };
    LinkReceiver::ReadHooks hooks;
    hooks.mayGoOn = [&] { return !stopped() && link.isOpen(); };
    hooks.wait = [&](int ms, const std::function<bool()> &done) {
        QElapsedTimer pause;
        pause.start();
        waitUntil([&] { return done() || link.deviceLost(); }, pause,
                  std::min<qint64>(ms, timeoutMs - clock.elapsed()));
    };
    const LinkReceiver::ReadOutcome outcome = link.receiver().read(hooks);
    link.onChunk = previous;

    if (outcome == LinkReceiver::ReadOutcome::Taken) {
        if (onProgress && reported < kSettingsFrameCount)
            onProgress(kSettingsFrameCount);
        return true;
    }
    if (interruptRequested())
        *error = "interrupted";
    else if (link.deviceLost())
        *error = QString("%1: the device went away").arg(link.path());
    else if (link.chunksReceived() == chunksBefore)
        *error =
            QString("%1: no answer from the transmitter within %2").arg(link.path(), secondsText(timeoutMs));
    else
        *error = QString("%1: no whole set of settings after %2 (%3 asks): %4")
                     .arg(link.path(), secondsText(int(clock.elapsed())))
                     .arg(kReadAsks)
                     .arg(link.receiver().notWholeText());
    return false;
}
