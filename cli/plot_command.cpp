// txctl plot: a recording of monitor --csv as a chart and a summary.

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <cmath>
#include <cstdio>
#include <optional>

#include "cli/args.h"
#include "cli/cli.h"
#include "cli/file_source.h"
#include "cli/plot.h"

namespace {

int runPlot(const QStringList &args)
{
    QCommandLineParser parser;
    parser.addPositionalArgument("LOG.csv",
                                 "A recording of txctl monitor --csv (\"-\" reads standard input).");
    const QCommandLineOption output({"o", "output"}, "Draw the chart into OUT: a .pdf, .png or .svg file.",
                                    "OUT");
    const QCommandLineOption settings("settings", "Draw and count the alarm levels of the model in SOURCE.",
                                      "SOURCE");
    const QCommandLineOption channels("channels", "Draw the eight servo outputs too.");
    const QCommandLineOption json("json", "Print the summary as JSON.");
    for (const QCommandLineOption &o : {output, settings, channels, json})
        parser.addOption(o);
    const int done = parseCommand(
        parser, args, "plot LOG.csv [-o OUT] [--settings SOURCE] [--channels] [--json]",
        "Prints the lowest, mean and highest TX, RX and EXT volts and signal strength of a recording, and "
        "its "
        "gaps (rows more than 0.5 s apart). With -o draws them over time as a PDF, PNG or SVG chart, lines "
        "broken at the gaps. With --settings the alarm levels of that model are drawn as dashed lines, the "
        "time below them shaded and counted (for the signal strength, below means weaker).",
        1);
    if (done >= 0)
        return done;
    const bool quiet = parser.isSet("quiet");
    const QString logName = parser.positionalArguments().at(0);

    // Every argument is checked before the log is read; nothing is written
    // until the whole log has been read.
    PlotFormat format = PlotFormat::Png;
    std::optional<OutputFile> out;
    QString error;
    if (parser.isSet(output)) {
        const QString path = parser.value(output);
        if (path == "-")
            return failWith("plot: the chart cannot go to standard output, the summary does (-o OUT.png)");
        if (!plotFormatOf(path, &format))
            return failWith(
                QString("plot: %1: unknown kind of picture (OUT ends in .pdf, .png or .svg)").arg(path));
        out.emplace(path);
        if (!out->open(&error))
            return failWith(error);
    }
    PlotAlarms alarms;
    PlotHeading heading;
    if (parser.isSet(settings)) {
        LoadedSource source;
        if (!loadSourceFull(parser.value(settings), quiet, source, &error))
            return failWith(error);
        if (!source.note.isEmpty())
            progress(quiet, source.note);
        alarms.set = true;
        alarms.txV = source.settings.txAlarmVolt;
        alarms.rxV = source.settings.rxAlarmVolt;
        alarms.extV = source.settings.extAlarmVolt;
        alarms.rssiDbm = source.settings.rssiAlarm;
        heading.alarmsFrom =
            source.kind == LoadedSource::Port ? source.name : QFileInfo(source.name).fileName();
    }

    QFile log;
    const bool fromStdin = logName == "-";
    const bool opened =
        fromStdin ? log.open(stdin, QIODevice::ReadOnly)
                  : (log.setFileName(logName), log.open(QIODevice::ReadOnly | QIODevice::Unbuffered));
    if (!opened)
        return failWith(QString("%1: cannot read it (%2)").arg(logName, log.errorString()));
    const QString shownName = fromStdin ? QString("standard input") : logName;
    PlotLog plot(alarms, parser.isSet(channels));
    if (!plot.read(log, &error))
        return failWith(QString("%1: %2").arg(shownName, error));

    if (out) {
        heading.name = fromStdin ? shownName : QFileInfo(logName).fileName();
        // monitor writes each row as it comes, so the file was last written
        // at the last row's time after the start.
        if (!fromStdin && QFileInfo(logName).isFile())
            heading.started =
                QFileInfo(logName).lastModified().addMSecs(-qint64(std::llround(plot.endTime() * 1000)));
        if (!out->write(renderPlot(plot, heading, parser.isSet(channels), format), &error))
            return failWith(error);
        progress(quiet, QString("%1: %2 rows drawn").arg(parser.value(output)).arg(plot.rows()));
    }
    return printOut(parser.isSet(json) ? plot.summaryJson() : plot.summaryText(shownName)) ? kExitOk
                                                                                           : kExitError;
}

} // namespace

CliCommand plotCommand()
{
    return {"plot", "plot LOG.csv [-o OUT]", "Summarise and draw a recording of monitor --csv", runPlot};
}
