#include "cli/output/monitor_view.h"

#include <QStringList>

#include "model/telemetry.h"

namespace {

// A centre-zero bar as the SERVO page draws it: centre at 1000, full at 0
// and 2000.
QString servoBar(int v)
{
    constexpr int half = 20;
    const int c = qBound(0, v, 2000);
    const int left = (1000 - qMin(c, 1000)) * half / 1000;
    const int right = (qMax(c, 1000) - 1000) * half / 1000;
    return QString(half - left, ' ') + QString(left, '#') + '|' + QString(right, '#') +
           QString(half - right, ' ');
}

} // namespace

QString csvHeader()
{
    return "time_s,CH1,CH2,CH3,CH4,CH5,CH6,CH7,CH8,TX_V,RX_V,EXT_V,RSSI_dBm";
}

QString csvRow(double seconds, const TxLiveDataRecord &d)
{
    QStringList cells{QString::number(seconds, 'f', 3)};
    for (int v : d.servo)
        cells << QString::number(v);
    cells << QString::number(d.txVolt / 100.0, 'f', 2) << QString::number(d.rxVolt / 10.0, 'f', 1)
          << QString::number(d.extVolt / 10.0, 'f', 1);
    // As the window shows it: 1..100 is 100 - rssi below 0 dBm, anything else
    // is no reading.
    cells << (d.rxRssi >= 1 && d.rxRssi <= 100 ? QString::number(d.rxRssi - 100) : QString());
    return cells.join(',');
}

QString screenText(const TxLiveDataRecord &d, double seconds, qint64 silentMs, int *shownLines)
{
    QStringList lines;
    for (int i = 0; i < 8; ++i)
        lines << QString("CH%1 %2 [%3]").arg(i + 1).arg(d.servo[i], 5).arg(servoBar(d.servo[i]));
    lines << QString("TX %1   RX %2   EXT %3   RSSI %4")
                 .arg(txVoltText(d.txVolt), tenthsVoltText(d.rxVolt), tenthsVoltText(d.extVolt),
                      rssiText(d.rxRssi));
    const QString silence =
        silentMs >= kNoDataAfterMs
            ? QString("  no data from the transmitter for %1 s").arg(silentMs / 1000.0, 0, 'f', 1)
            : QString();
    lines << QString("%1 s  (Ctrl-C ends)%2").arg(seconds, 0, 'f', 1).arg(silence);
    QString out;
    if (*shownLines > 0)
        out += QString("\033[%1A").arg(*shownLines);
    for (const QString &l : lines)
        out += "\r" + l + "\033[K\n";
    *shownLines = lines.size();
    return out;
}
