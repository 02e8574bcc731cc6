// txctl sheet: the settings and curves of a SOURCE as a PDF to print.

#include <QDateTime>
#include <QFileInfo>

#include "cli/args.h"
#include "cli/commands.h"
#include "cli/draw/sheet.h"
#include "cli/output/output.h"
#include "cli/output/output_file.h"
#include "cli/source/file_source.h"

namespace {

int runSheet(const CommandLine &line)
{
    if (!line.isSet("output"))
        return missingOption(line, "-o OUT.pdf");
    const QString size = line.value("paper");
    if (size.compare("A4", Qt::CaseInsensitive) != 0 && size.compare("Letter", Qt::CaseInsensitive) != 0)
        return failWith(QString("sheet: unknown paper size \"%1\" (A4 or Letter)").arg(size));
    const bool quiet = line.quiet();
    // A bad place to write is found before a port is read.
    OutputFile out(line.value("output"), OutputFile::Content::Binary);
    QString error;
    if (!out.open(&error))
        return failWith(error);
    LoadedSource source;
    if (!loadSourceFull(line.argument(0), quiet, source, &error))
        return failWith(error);
    if (!source.note.isEmpty())
        progress(quiet, source.note);

    SheetHeading heading;
    heading.fromPort = source.kind == LoadedSource::Port;
    heading.source = heading.fromPort ? source.name : QFileInfo(source.name).fileName();
    heading.txVersion = source.txVersion;
    heading.printed = QDateTime::currentDateTime();
    heading.program = QString("txctl %1").arg(TX_VERSION);
    const SheetDocument doc = layoutSheet(source.settings, heading);
    const QByteArray pdf = renderSheetPdf(doc, size, "Transmitter settings: " + heading.source);
    if (!out.write(pdf, &error))
        return failWith(error);
    progress(quiet, QString("%1: %2 page(s)").arg(line.value("output")).arg(doc.pages.size()));
    return kExitOk;
}

} // namespace

CliCommand sheetCommand()
{
    return {
        "sheet",
        "sheet SOURCE -o OUT.pdf",
        "Print the settings and curves as a PDF sheet",
        "sheet SOURCE -o OUT.pdf [--paper A4|Letter]",
        "Writes every setting, grouped as the window groups them, with the throttle curve and the D/R "
        "curves of the four channels at UP and DOWN, as a PDF of one or two pages that prints on A4 and "
        "Letter.",
        {{"SOURCE", kSourceArgumentHelp}},
        {{{"o", "output"}, "The PDF file to write (required; \"-\" writes to standard output).", "OUT.pdf"},
         {"paper", "Paper size: A4 (the default) or Letter.", "SIZE", "A4"}},
        runSheet};
}
