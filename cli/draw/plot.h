#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QRectF>
#include <QSize>
#include <QString>
#include <QStringList>
#include <array>
#include <vector>

class QIODevice;

// txctl plot: a recording of `txctl monitor --csv` as a chart and a summary.
//
// The log is read once, row by row, and never kept: every series is folded
// into a fixed number of time bins (min, max, first and last value), whose
// width doubles whenever the recording outgrows them, and into its running
// min, sum and max. The chart resamples the bins to one cell per column of
// its plot area, so memory does not depend on the length of the log.

// The series of a recording, in the CSV's column order after time_s.
enum PlotSeries { kPlotCh1 = 0, kPlotTxV = 8, kPlotRxV, kPlotExtV, kPlotRssi, kPlotSeriesCount };

// "CH1" .. "CH8", "TX_V", "RX_V", "EXT_V", "RSSI_dBm": the CSV's column names.
QString plotSeriesName(int series);

// The longest recording monitor makes: a year. plot takes times of at most
// that (and a minute more) either side of 0, and values of at most
// kPlotMaxValue either side of 0 (a frame's field is 16 bits): anything
// beyond is no recording of monitor's, and would overflow the chart's span.
constexpr double kRecordingMaxSeconds = 366.0 * 24 * 3600;
constexpr double kPlotMaxSeconds = kRecordingMaxSeconds + 60;
constexpr double kPlotMaxValue = 65535;

// Rows further apart than this are a gap in the recording.
constexpr double kPlotGapSeconds = 0.5;

// A series within one stretch of time: its extremes, its first and last
// value, and whether its line is broken before the first (a gap in the
// recording, an empty field, or no value before it at all).
struct PlotCell {
    float min = 0, max = 0, first = 0, last = 0;
    quint32 count = 0;
    bool breakBefore = false;

    void add(float v, bool broken)
    {
        if (count == 0) {
            min = max = first = v;
            breakBefore = broken;
        } else {
            min = v < min ? v : min;
            max = v > max ? v : max;
        }
        last = v;
        ++count;
    }
    // Appends a later stretch to this one.
    void merge(const PlotCell &later);
};

struct PlotGap {
    double start; // the time of the row before it
    double length;
};

struct PlotSeriesSummary {
    qint64 count = 0;
    double min = 0, max = 0, sum = 0;
    double belowAlarmS = 0; // seconds from a row below the alarm to the next row
    double mean() const { return count ? sum / count : 0; }
};

// The alarm levels to hold the telemetry against (volts, and dBm for the
// signal strength, where below means weaker).
struct PlotAlarms {
    bool set = false;
    double txV = 0, rxV = 0, extV = 0, rssiDbm = 0;
    // The level of a series, or NaN for one without.
    double of(int series) const;
};

class PlotLog
{
public:
    // Without `channels` the eight servo outputs are checked but not kept
    // (their summaries stay empty): they are two thirds of the work.
    explicit PlotLog(const PlotAlarms &alarms = {}, bool channels = false);

    // Reads a whole recording from `in`. On bad input returns false with one
    // line in *error naming the line ("line 7: ...").
    bool read(QIODevice &in, QString *error);

    qint64 rows() const { return rowCount; }
    double startTime() const { return firstTime; }
    double endTime() const { return lastTime; }
    double duration() const { return lastTime - firstTime; }
    const std::vector<PlotGap> &gaps() const { return gapList; }
    const PlotSeriesSummary &summary(int series) const { return stats[size_t(series)]; }
    const PlotAlarms &alarms() const { return levels; }

    // The recording over `columns` equal stretches of [startTime, endTime],
    // one row of kPlotSeriesCount cells per column.
    std::vector<std::array<PlotCell, kPlotSeriesCount>> columns(int columns) const;

    // The summary as text (a table and the gaps) and as JSON.
    QByteArray summaryText(const QString &name) const;
    QByteArray summaryJson() const;
    // "no gaps", "1 gap", "3 gaps".
    QString gapsText() const;

    // The number of time bins the rows are folded into.
    static constexpr int kBins = 8192;

private:
    bool addRow(const char *begin, const char *end, QString *error);
    bool readFields(const char *begin, const char *end, double *value, bool *present, int *fields,
                    QString *error) const;
    bool readNumber(const char *p, const char *stop, int field, double *value, QString *error) const;
    void widenBins();

    PlotAlarms levels;
    std::array<double, kPlotSeriesCount> alarmOf; // NaN for none
    int firstSeries;                              // kPlotCh1, or kPlotTxV without the channels
    qint64 rowCount = 0;
    qint64 lineNumber = 0;
    double firstTime = 0, lastTime = 0;
    std::vector<PlotGap> gapList;
    std::array<PlotSeriesSummary, kPlotSeriesCount> stats{};
    // The last row's state of each series: below its alarm, and whether its
    // line is to be broken before its next value.
    std::array<bool, kPlotSeriesCount> wasBelow{}, broken{};
    double binWidth = 1.0 / 256, binsPerSecond = 256; // powers of two: exact

    std::vector<PlotCell> bins; // kBins rows of kPlotSeriesCount cells
};

// A figure rounded to thousandths, as short as it goes ("4", "4.6", "-70.5").
QString plotFigure(double v);

// A reading as monitor's CSV writes it (TX volts with two decimals, RX and
// EXT volts with one, dBm and outputs whole), with `extra` decimals more.
QString plotReading(int series, double v, int extra = 0);

// "1:05" (m:ss), "1:02:03" (h:mm:ss, also below an hour with `hours`); with
// tenths "1:05.3".
QString plotClock(double seconds, bool tenths = false, bool hours = false);

enum class PlotFormat { Pdf, Png, Svg };
// The format an output name asks for by its extension; false for none known.
bool plotFormatOf(const QString &path, PlotFormat *format);

struct PlotHeading {
    QString name;       // the log's file name
    QDateTime started;  // when the recording started, if known
    QString alarmsFrom; // the SOURCE of the alarm levels, if any
};

// Where the chart's parts go, in the canvas's units (pixels of the PNG).
struct PlotLayout {
    QSize canvas;
    QRectF heading;
    std::vector<QRectF> panels; // each panel's plot area (the curve's box)
    QRectF timeAxis;            // the time labels below the last panel
};

// The series the chart shows, top to bottom: the telemetry, and with
// `channels` the eight servo outputs.
std::vector<int> plotPanels(bool channels);
PlotLayout layoutPlot(PlotFormat format, const std::vector<int> &panels);

// The chart of `log` as a PDF, PNG or SVG file's bytes. Needs a
// QGuiApplication.
QByteArray renderPlot(const PlotLog &log, const PlotHeading &heading, bool channels, PlotFormat format);

// The colours the chart is drawn in (the tests look for them).
constexpr unsigned kPlotLineRgb = 0x1f4e9a;  // a series' curve
constexpr unsigned kPlotAlarmRgb = 0xd32f2f; // the dashed alarm level
constexpr unsigned kPlotBelowRgb = 0xfbdcdc; // shading below the alarm
constexpr unsigned kPlotGapRgb = 0xececec;   // a gap in the recording
