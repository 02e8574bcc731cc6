// txctl read: the transmitter's settings into a settings file.

#include <cstdio>

#include "cli/args.h"
#include "cli/commands.h"
#include "cli/output/output.h"
#include "cli/output/output_file.h"
#include "cli/port/interrupts.h"
#include "cli/port/port_transfer.h"
#include "file/settingsfile.h"
#include "link/lines.h"

namespace {

int runRead(const CommandLine &line)
{
    const bool quiet = line.quiet();
    const QString out = line.value("output");
    if (out.isEmpty())
        return missingOption(line, "-o FILE");
    int timeout = 0;
    if (!timeoutMs(line, &timeout))
        return kExitError;

    installInterruptHandler();
    // The file is opened first, so a bad place to write is known before the
    // transmitter is asked; it replaces the old file only when committed.
    OutputFile file(out);
    QString error;
    if (!file.open(&error))
        return failWith(error);

    PortLink link;
    if (!link.open(line.argument(0), &error))
        return failWith(error);
    const bool ok = readWithProgress(link, timeout, quiet, &error);
    if (interruptRequested())
        return interrupted(link, "nothing written");
    link.close();
    if (!ok)
        return failWith(error + (out == "-" ? QString() : QString("; %1 not written").arg(out)));

    TxSettingsRecord s = link.settings;
    // Values the transmitter accepts but a line's field widths do not: the
    // file gets the nearest it can hold, and the run says so (exit status 1,
    // a difference, as diff of the file and the port finds it).
    const QStringList clipped = lineCarryProblems(s, "the transmitter", "saved");
    const int status = clipped.isEmpty() ? kExitOk : kExitDiffers;
    if (!file.write(settingsFileBytes(buildSettingsLines(s)), &error))
        return failWith(error);
    keepInHistory(HistoryEvent::Read, link.path(), s);
    for (const QString &problem : clipped)
        std::fprintf(stderr, "txctl: %s\n", qPrintable(problem));
    progress(quiet, QString("saved %1 (transmitter version %2)")
                        .arg(out == "-" ? QString("to standard output") : out)
                        .arg(link.live.txVersion));
    return status;
}

} // namespace

CliCommand readCommand()
{
    return {"read",
            "read PORT -o FILE",
            "Read the transmitter's settings into a settings file",
            "read PORT -o FILE",
            "Reads the settings from the transmitter on PORT into FILE, exactly as the window's SAVE writes "
            "them after a READ. FILE is replaced only when every frame arrived (\"-\" writes to standard "
            "output). A value the transmitter holds that a settings file cannot (an alarm above 23.9 V, a "
            "mix master of 10) is named, the file gets the nearest it can hold, and the exit status is 1. "
            "What was read is added to the history (txctl history).",
            {{"PORT", kPortArgumentHelp}},
            {{{"o", "output"}, "The settings file to write.", "FILE"}, timeoutOption()},
            runRead};
}
