// Reading a recording of txctl monitor in one pass, and its summary.

#include <QIODevice>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "cli/draw/plot.h"

namespace {

constexpr char kHeader[] = "time_s,CH1,CH2,CH3,CH4,CH5,CH6,CH7,CH8,TX_V,RX_V,EXT_V,RSSI_dBm";
constexpr int kFields = 1 + kPlotSeriesCount;
// Read in pieces of this size; a line longer than kMaxLine is no row of
// monitor's (they are under 100 bytes) and is reported instead of gathered.
constexpr qint64 kChunk = 1 << 20;
constexpr qint64 kMaxLine = 4096;

// Whether a first line is the header of a recording (after a byte-order
// mark an editor may have put there).
bool isHeader(const char *begin, const char *end, QString *error)
{
    if (end - begin >= 3 && std::memcmp(begin, "\xEF\xBB\xBF", 3) == 0)
        begin += 3;
    if (size_t(end - begin) != sizeof kHeader - 1 || std::memcmp(begin, kHeader, sizeof kHeader - 1) != 0) {
        *error = QString("not a recording of txctl monitor (its first line is not \"%1\")").arg(kHeader);
        return false;
    }
    return true;
}

// A field of a row as the reader quotes it in a message.
QString quoted(const char *begin, const char *end)
{
    constexpr int kShown = 24;
    QString text = QString::fromUtf8(begin, int(std::min<ptrdiff_t>(end - begin, kShown)));
    if (end - begin > kShown)
        text += "...";
    return "\"" + text + "\"";
}

// The name of a field of a row: time_s, then the series.
QString columnName(int field)
{
    return field == 0 ? QString("time_s") : plotSeriesName(field - 1);
}

// A figure for JSON: a number, or null where there is none.
QString jsonFigure(double v)
{
    return std::isfinite(v) ? plotFigure(v) : QString("null");
}

} // namespace

QString plotSeriesName(int series)
{
    static const char *const names[] = {"TX_V", "RX_V", "EXT_V", "RSSI_dBm"};
    return series < kPlotTxV ? QString("CH%1").arg(series + 1) : QString(names[series - kPlotTxV]);
}

void PlotCell::merge(const PlotCell &later)
{
    if (later.count == 0)
        return;
    if (count == 0) {
        *this = later;
        return;
    }
    min = std::min(min, later.min);
    max = std::max(max, later.max);
    last = later.last;
    count += later.count;
}

double PlotAlarms::of(int series) const
{
    if (!set)
        return std::numeric_limits<double>::quiet_NaN();
    switch (series) {
    case kPlotTxV:
        return txV;
    case kPlotRxV:
        return rxV;
    case kPlotExtV:
        return extV;
    case kPlotRssi:
        return rssiDbm;
    default:
        return std::numeric_limits<double>::quiet_NaN();
    }
}

PlotLog::PlotLog(const PlotAlarms &alarms, bool channels)
    : levels(alarms), firstSeries(channels ? kPlotCh1 : kPlotTxV), bins(size_t(kBins) * kPlotSeriesCount)
{
    broken.fill(true);
    for (int s = 0; s < kPlotSeriesCount; ++s) {
        alarmOf[size_t(s)] = levels.of(s);
        stats[size_t(s)].min = std::numeric_limits<double>::infinity();
        stats[size_t(s)].max = -std::numeric_limits<double>::infinity();
    }
}

bool PlotLog::read(QIODevice &in, QString *error)
{
    std::vector<char> buffer(size_t(kChunk + kMaxLine));
    qint64 have = 0;
    for (;;) {
        const qint64 n = in.read(buffer.data() + have, kChunk);
        if (n < 0) {
            *error = QString("cannot read it (%1)").arg(in.errorString());
            return false;
        }
        have += n;
        const char *begin = buffer.data();
        const char *const end = begin + have;
        for (const char *nl; (nl = static_cast<const char *>(memchr(begin, '\n', size_t(end - begin))));
             begin = nl + 1)
            if (!addRow(begin, nl, error))
                return false;
        have = end - begin;
        if (n == 0) { // the end: a last line without its newline is a row too
            if (have > 0 && !addRow(begin, end, error))
                return false;
            break;
        }
        if (have > kMaxLine) {
            *error = QString("line %1: longer than %2 bytes, not a row of txctl monitor")
                         .arg(lineNumber + 1)
                         .arg(kMaxLine);
            return false;
        }
        std::memmove(buffer.data(), begin, size_t(have));
    }
    if (lineNumber == 0) {
        *error = "empty, not a recording of txctl monitor";
        return false;
    }
    if (rowCount == 0) {
        *error = "no rows, only the header";
        return false;
    }
    return true;
}

// The fields of a row into value[] (present[] false for an empty one), and
// their count into *fields; false with the reason for a field that is no
// number or beyond what a recording holds.
bool PlotLog::readFields(const char *begin, const char *end, double *value, bool *present, int *fields,
                         QString *error) const
{
    int field = 0;
    for (const char *p = begin;; ++field) {
        const char *comma = static_cast<const char *>(memchr(p, ',', size_t(end - p)));
        const char *stop = comma ? comma : end;
        if (field < kFields) {
            present[field] = stop != p;
            if (present[field] && !readNumber(p, stop, field, &value[field], error))
                return false;
        }
        if (!comma)
            break;
        p = comma + 1;
    }
    *fields = field;
    return true;
}

bool PlotLog::readNumber(const char *p, const char *stop, int field, double *value, QString *error) const
{
    const auto [ptr, ec] = std::from_chars(p, stop, *value);
    if (ec != std::errc() || ptr != stop || !std::isfinite(*value)) {
        *error = QString("line %1: %2 in column %3 is not a number")
                     .arg(lineNumber)
                     .arg(quoted(p, stop), columnName(field));
        return false;
    }
    const double limit = field == 0 ? kPlotMaxSeconds : kPlotMaxValue;
    if (std::abs(*value) > limit) {
        *error = QString("line %1: %2 in column %3 is outside what a recording holds (%4..%5)")
                     .arg(lineNumber)
                     .arg(quoted(p, stop), columnName(field), plotFigure(-limit), plotFigure(limit));
        return false;
    }
    return true;
}

bool PlotLog::addRow(const char *begin, const char *end, QString *error)
{
    ++lineNumber;
    if (end > begin && end[-1] == '\r') // written or edited elsewhere
        --end;
    if (lineNumber == 1)
        return isHeader(begin, end, error);

    double value[kFields];
    bool present[kFields];
    int field = 0;
    if (!readFields(begin, end, value, present, &field, error))
        return false;
    if (++field != kFields) {
        *error =
            QString("line %1: %2 field(s) where the header has %3").arg(lineNumber).arg(field).arg(kFields);
        return false;
    }
    if (!present[0]) {
        *error = QString("line %1: no time in column time_s").arg(lineNumber);
        return false;
    }

    const double t = value[0];
    if (rowCount == 0) {
        firstTime = t;
    } else {
        if (t < lastTime) {
            *error = QString("line %1: its time %2 s is earlier than the line before's (%3 s)")
                         .arg(lineNumber)
                         .arg(plotFigure(t), plotFigure(lastTime));
            return false;
        }
        const double dt = t - lastTime;
        if (dt > kPlotGapSeconds) {
            gapList.push_back({lastTime, dt});
            broken.fill(true);
        } else {
            for (int s = 0; s < kPlotSeriesCount; ++s)
                if (wasBelow[size_t(s)])
                    stats[size_t(s)].belowAlarmS += dt;
        }
    }
    lastTime = t;
    ++rowCount;

    const double offset = t - firstTime;
    while (offset >= kBins * binWidth)
        widenBins();
    PlotCell *cells = &bins[size_t(std::min(int(offset * binsPerSecond), kBins - 1)) * kPlotSeriesCount];
    for (int s = firstSeries; s < kPlotSeriesCount; ++s) {
        const size_t i = size_t(s);
        wasBelow[i] = false;
        if (!present[s + 1]) {
            broken[i] = true;
            continue;
        }
        const double v = value[s + 1];
        PlotSeriesSummary &st = stats[i];
        st.min = v < st.min ? v : st.min; // both start at the first value
        st.max = v > st.max ? v : st.max;
        st.sum += v;
        ++st.count;
        wasBelow[i] = v < alarmOf[i]; // never for a NaN level
        cells[s].add(float(v), broken[i]);
        broken[i] = false;
    }
    return true;
}

// Twice as long a time per bin: each pair of bins becomes one.
void PlotLog::widenBins()
{
    for (int b = 0; b < kBins; ++b)
        for (int s = firstSeries; s < kPlotSeriesCount; ++s) {
            PlotCell &to = bins[size_t(b / 2) * kPlotSeriesCount + size_t(s)];
            const PlotCell from = bins[size_t(b) * kPlotSeriesCount + size_t(s)];
            if (b % 2 == 0)
                to = from;
            else
                to.merge(from);
        }
    std::fill(bins.begin() + kBins / 2 * kPlotSeriesCount, bins.end(), PlotCell());
    binWidth *= 2;
    binsPerSecond /= 2;
}

std::vector<std::array<PlotCell, kPlotSeriesCount>> PlotLog::columns(int count) const
{
    std::vector<std::array<PlotCell, kPlotSeriesCount>> out(size_t(std::max(count, 1)));
    const double span = duration() > 0 ? duration() : 1;
    const int used = std::min(kBins, int(duration() / binWidth) + 1);
    for (int b = 0; b < used; ++b) {
        // Where the bin's middle falls; the last bin's rows end at the end.
        const double middle = std::min((b + 0.5) * binWidth, duration());
        const int c = std::clamp(int(middle / span * int(out.size())), 0, int(out.size()) - 1);
        for (int s = 0; s < kPlotSeriesCount; ++s)
            out[size_t(c)][size_t(s)].merge(bins[size_t(b) * kPlotSeriesCount + size_t(s)]);
    }
    return out;
}

QString plotReading(int series, double v, int extra)
{
    const int decimals = series == kPlotTxV ? 2 : series == kPlotRxV || series == kPlotExtV ? 1 : 0;
    const QString text = QString::number(v, 'f', decimals + extra);
    return text.toDouble() == 0 ? QString::number(0.0, 'f', decimals + extra) : text; // never "-0.0"
}

QString plotClock(double seconds, bool tenths, bool hours)
{
    const bool negative = seconds < 0;
    const qint64 total = qint64(std::floor(std::abs(seconds) * (tenths ? 10 : 1) + 0.5));
    const qint64 whole = tenths ? total / 10 : total;
    const qint64 h = whole / 3600, m = whole / 60 % 60, s = whole % 60;
    QString text = h > 0 || hours
                       ? QString("%1:%2:%3").arg(h).arg(m, 2, 10, QChar('0')).arg(s, 2, 10, QChar('0'))
                       : QString("%1:%2").arg(m).arg(s, 2, 10, QChar('0'));
    if (tenths)
        text += QString(".%1").arg(total % 10);
    return negative ? "-" + text : text;
}

QString PlotLog::gapsText() const
{
    return gapList.empty()       ? QString("no gaps")
           : gapList.size() == 1 ? QString("1 gap")
                                 : QString("%1 gaps").arg(gapList.size());
}

QByteArray PlotLog::summaryText(const QString &name) const
{
    const bool alarms = levels.set;
    QString out = QString("%1: %2 rows over %3 (%4 s), %5\n")
                      .arg(name)
                      .arg(rowCount)
                      .arg(plotClock(duration(), true), plotFigure(duration()), gapsText());
    auto cell = [](const QString &text) { return text.rightJustified(10); };
    out += QString("%1").arg("", -9) + cell("min") + cell("mean") + cell("max");
    if (alarms)
        out += cell("alarm") + cell("below");
    out += "\n";
    for (int s = kPlotTxV; s < kPlotSeriesCount; ++s) {
        const PlotSeriesSummary &st = stats[size_t(s)];
        out += plotSeriesName(s).leftJustified(9);
        if (st.count == 0)
            out += cell("-") + cell("-") + cell("-");
        else
            out += cell(plotReading(s, st.min)) + cell(plotReading(s, st.mean(), 1)) +
                   cell(plotReading(s, st.max));
        if (alarms)
            out += cell(plotReading(s, levels.of(s))) + cell(QString::number(st.belowAlarmS, 'f', 1) + " s");
        out += "\n";
    }
    for (const PlotGap &g : gapList)
        out += QString("gap at %1 for %2 s\n").arg(plotClock(g.start, true), plotFigure(g.length));
    return out.toUtf8();
}

QByteArray PlotLog::summaryJson() const
{
    QString out = QString("{\n  \"rows\": %1,\n  \"duration_s\": %2,\n  \"gaps\": [")
                      .arg(rowCount)
                      .arg(jsonFigure(duration()));
    for (size_t i = 0; i < gapList.size(); ++i)
        out += QString("%1\n    {\"start_s\": %2, \"length_s\": %3}")
                   .arg(i ? "," : "", jsonFigure(gapList[i].start), jsonFigure(gapList[i].length));
    out += gapList.empty() ? "],\n" : "\n  ],\n";
    out += "  \"series\": {";
    for (int s = kPlotTxV; s < kPlotSeriesCount; ++s) {
        const PlotSeriesSummary &st = stats[size_t(s)];
        out += QString("%1\n    \"%2\": {").arg(s > kPlotTxV ? "," : "", plotSeriesName(s));
        out += st.count == 0 ? QString("\"min\": null, \"mean\": null, \"max\": null")
                             : QString("\"min\": %1, \"mean\": %2, \"max\": %3")
                                   .arg(jsonFigure(st.min), jsonFigure(st.mean()), jsonFigure(st.max));
        if (levels.set)
            out += QString(", \"alarm\": %1, \"below_alarm_s\": %2")
                       .arg(jsonFigure(levels.of(s)), jsonFigure(st.belowAlarmS));
        out += "}";
    }
    out += "\n  }\n}\n";
    return out.toUtf8();
}
