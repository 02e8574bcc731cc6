// txsim: a transmitter on a pseudo-terminal, for trying the tool without the
// real radio. Prints the serial port to open on stdout and what the tool
// sends on stderr; runs until killed (or until the device vanishes).

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

#include "sim/virtualtransmitter.h"

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char c = 1;
    ssize_t ignored = ::write(signalPipe[1], &c, 1);
    (void)ignored;
}

// The help on standard output; 1 with the reason when it could not be
// written there (a full disk, a closed pipe).
int printHelp(const QString &help)
{
    const QByteArray text = help.toLocal8Bit();
    if (std::fwrite(text.constData(), 1, size_t(text.size()), stdout) == size_t(text.size()) &&
        std::fflush(stdout) == 0)
        return 0;
    std::fprintf(stderr, "txsim: standard output: cannot write it (%s)\n", std::strerror(errno));
    return 1;
}

// Makes `link` a symbolic link to the port: 0, or the exit status after
// saying why not. Only a link an earlier txsim left (one to a pseudo-terminal)
// is replaced; anything else there is somebody's file.
int makePortLink(const QString &link, const QString &port)
{
    const QFileInfo there(link);
    if (there.exists() || there.isSymLink()) {
        if (!there.isSymLink() || !there.symLinkTarget().startsWith("/dev/pts/")) {
            std::fprintf(stderr, "txsim: %s exists and is not a link to a port; choose another --link\n",
                         qPrintable(link));
            return 2;
        }
        QFile::remove(link);
    }
    if (!QFile::link(port, link)) {
        std::fprintf(stderr, "txsim: cannot make the link %s\n", qPrintable(link));
        return 1;
    }
    return 0;
}

// The numbers the switches give, each in its range.
struct Numbers {
    double rate = 50;
    int cut = 0;
    double vanishAfter = -1;
};

// False after saying which number is out of range.
bool readNumbers(const QCommandLineParser &parser, const QCommandLineOption &rateOpt,
                 const QCommandLineOption &cutOpt, const QCommandLineOption &vanishOpt, Numbers *n)
{
    bool ok = false;
    n->rate = parser.value(rateOpt).toDouble(&ok);
    if (!ok || n->rate < 0 || n->rate > 1000) {
        std::fprintf(stderr, "txsim: --rate wants a number from 0 to 1000\n");
        return false;
    }

    n->cut = 0;
    if (parser.isSet(cutOpt)) {
        n->cut = parser.value(cutOpt).toInt(&ok);
        if (!ok || n->cut < 1 || n->cut > 4096) {
            std::fprintf(stderr, "txsim: --cut wants a number of bytes from 1 to 4096\n");
            return false;
        }
    }

    n->vanishAfter = -1;
    if (parser.isSet(vanishOpt)) {
        n->vanishAfter = parser.value(vanishOpt).toDouble(&ok);
        if (!ok || !(n->vanishAfter >= 0 && n->vanishAfter <= 24 * 3600)) {
            std::fprintf(stderr, "txsim: --vanish-after wants a number of seconds from 0 to 86400\n");
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("txsim");

    QCommandLineParser parser;
    parser.setApplicationDescription("A virtual 8-channel transmitter on a pseudo-terminal.");
    const QCommandLineOption helpOpt({"h", "help"}, "Displays help on commandline options.");
    parser.addOption(helpOpt);
    const QCommandLineOption linkOpt("link", "Also make PATH a symbolic link to the port.", "PATH");
    const QCommandLineOption rateOpt("rate",
                                     "Live frame pairs (servo + telemetry) per second; 0 sends as fast as a "
                                     "115200 baud line allows. Default 50.",
                                     "HZ", "50");
    const QCommandLineOption splitOpt("split", "Split every write in two, a few milliseconds apart.");
    const QCommandLineOption joinOpt("join", "Send every two frames in one write.");
    const QCommandLineOption cutOpt("cut",
                                    "Hand everything over in random pieces of 1..N bytes, as a USB serial "
                                    "adapter does: pieces end inside frames and join frames.",
                                    "N");
    const QCommandLineOption garbageOpt("garbage", "Send a burst of random bytes before every write.");
    const QCommandLineOption freeOpt("random-free-bytes",
                                     "Fill the bytes of settings and AUX frames that carry nothing with "
                                     "random values (use without --split and --join).");
    const QCommandLineOption alterOpt("alter-on-write",
                                      "Change one setting (the CH3 sub-trim, by 7) after every write, so a "
                                      "check after writing has something to find.");
    const QCommandLineOption muteOpt("mute",
                                     "Answer nothing and stream nothing, as a transmitter switched off "
                                     "behind its adapter (what the tool sends is still shown).");
    const QCommandLineOption vanishOpt("vanish-after",
                                       "After SECONDS the device goes away, as when the cable is pulled; "
                                       "then txsim ends.",
                                       "SECONDS");
    parser.addOptions(
        {linkOpt, rateOpt, splitOpt, joinOpt, cutOpt, garbageOpt, freeOpt, alterOpt, muteOpt, vanishOpt});
    if (!parser.parse(app.arguments())) {
        std::fprintf(stderr, "txsim: %s (txsim --help)\n", qPrintable(parser.errorText()));
        return 1;
    }
    if (parser.isSet(helpOpt))
        return printHelp(parser.helpText());
    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "txsim: unexpected argument \"%s\" (txsim --help)\n",
                     qPrintable(parser.positionalArguments().first()));
        return 2;
    }

    Numbers numbers;
    if (!readNumbers(parser, rateOpt, cutOpt, vanishOpt, &numbers))
        return 2;
    const double rate = numbers.rate, vanishAfter = numbers.vanishAfter;
    const int cut = numbers.cut;

    VirtualTransmitter tx;
    if (!tx.isValid()) {
        std::fprintf(stderr, "txsim: cannot create a pseudo-terminal\n");
        return 1;
    }
    tx.setLiveInterval(rate == 0 ? 0 : qMax(2, int(1000.0 / rate + 0.5)));
    tx.setSplitFrames(parser.isSet(splitOpt));
    tx.setJoinFrames(parser.isSet(joinOpt));
    tx.setCut(cut);
    tx.setGarbage(parser.isSet(garbageOpt));
    tx.setRandomFreeBytes(parser.isSet(freeOpt));
    tx.setAlterOnWrite(parser.isSet(alterOpt));
    tx.setMute(parser.isSet(muteOpt));

    const QString link = parser.value(linkOpt);
    if (!link.isEmpty()) {
        const int status = makePortLink(link, tx.slavePath());
        if (status != 0)
            return status;
    }

    // SIGINT and SIGTERM end the event loop, so the link is removed.
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) == 0) {
        auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &app, [] { QCoreApplication::quit(); });
        std::signal(SIGINT, onSignal);
        std::signal(SIGTERM, onSignal);
    }

    std::printf("%s\n", qPrintable(tx.slavePath()));
    std::fflush(stdout);

    if (vanishAfter >= 0)
        QTimer::singleShot(qRound64(vanishAfter * 1000), &tx, [&] {
            tx.dropDevice();
            std::fprintf(stderr, "txsim: the device went away (--vanish-after)\n");
            QCoreApplication::quit();
        });

    const int rc = app.exec();
    if (!link.isEmpty() && QFileInfo(link).symLinkTarget() == tx.slavePath())
        QFile::remove(link);
    return rc;
}
