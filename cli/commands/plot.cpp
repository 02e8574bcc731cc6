// txctl plot: a recording of monitor --csv as a chart and a summary.

#include <QFile>
#include <QFileInfo>
#include <cmath>
#include <optional>

#include "cli/commands.h"
#include "cli/draw/plot.h"
#include "cli/output/output.h"
#include "cli/output/output_file.h"
#include "cli/source/file_source.h"

namespace {

// The alarm levels of the model in SOURCE, and where they came from.
bool loadAlarms(const QString &sourceName, bool quiet, PlotAlarms &alarms, PlotHeading &heading,
                QString *error)
{
    LoadedSource source;
    if (!loadSourceFull(sourceName, quiet, source, error))
        return false;
    if (!source.note.isEmpty())
        progress(quiet, source.note);
    alarms.set = true;
    alarms.txV = source.settings.txAlarmVolt;
    alarms.rxV = source.settings.rxAlarmVolt;
    alarms.extV = source.settings.extAlarmVolt;
    alarms.rssiDbm = source.settings.rssiAlarm;
    heading.alarmsFrom = source.kind == LoadedSource::Port ? source.name : QFileInfo(source.name).fileName();
    return true;
}

int runPlot(const CommandLine &line)
{
    const bool quiet = line.quiet();
    const bool channels = line.isSet("channels");
    const QString logName = line.argument(0);

    // Every argument is checked before the log is read; nothing is written
    // until the whole log has been read.
    PlotFormat format = PlotFormat::Png;
    std::optional<OutputFile> out;
    QString error;
    if (line.isSet("output")) {
        const QString path = line.value("output");
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
    if (line.isSet("settings") && !loadAlarms(line.value("settings"), quiet, alarms, heading, &error))
        return failWith(error);

    QFile log;
    const bool fromStdin = logName == "-";
    const bool opened =
        fromStdin ? log.open(stdin, QIODevice::ReadOnly)
                  : (log.setFileName(logName), log.open(QIODevice::ReadOnly | QIODevice::Unbuffered));
    if (!opened)
        return failWith(QString("%1: cannot read it (%2)").arg(logName, log.errorString()));
    const QString shownName = fromStdin ? QString("standard input") : logName;
    PlotLog plot(alarms, channels);
    if (!plot.read(log, &error))
        return failWith(QString("%1: %2").arg(shownName, error));

    if (out) {
        heading.name = fromStdin ? shownName : QFileInfo(logName).fileName();
        // monitor writes each row as it comes, so the file was last written
        // at the last row's time after the start.
        if (!fromStdin && QFileInfo(logName).isFile())
            heading.started =
                QFileInfo(logName).lastModified().addMSecs(-qint64(std::llround(plot.endTime() * 1000)));
        if (!out->write(renderPlot(plot, heading, channels, format), &error))
            return failWith(error);
        progress(quiet, QString("%1: %2 drawn")
                            .arg(line.value("output"),
                                 plot.rows() == 1 ? QString("1 row") : QString("%1 rows").arg(plot.rows())));
    }
    return printResult(line.isSet("json") ? plot.summaryJson() : plot.summaryText(shownName));
}

} // namespace

CliCommand plotCommand()
{
    return {
        "plot",
        "plot LOG.csv [-o OUT]",
        "Summarise and draw a recording of monitor --csv",
        "plot LOG.csv [-o OUT] [--settings SOURCE] [--channels] [--json]",
        "Prints the lowest, mean and highest TX, RX and EXT volts and signal strength of a recording, and "
        "its gaps (rows more than 0.5 s apart). With -o draws them over time as a PDF, PNG or SVG chart, "
        "lines broken at the gaps. With --settings the alarm levels of that model are drawn as dashed "
        "lines, the time below them shaded and counted (for the signal strength, below means weaker).",
        {{"LOG.csv", "A recording of txctl monitor --csv (\"-\" reads standard input)."}},
        {{{"o", "output"}, "Draw the chart into OUT: a .pdf, .png or .svg file.", "OUT"},
         {"settings", "Draw and count the alarm levels of the model in SOURCE.", "SOURCE"},
         {"channels", "Draw the eight servo outputs too."},
         {"json", "Print the summary as JSON."}},
        runPlot};
}
