#include "model/telemetry.h"

#include <cstdlib>

int decimalDigit(int x, int k)
{
    long long m = std::llabs(static_cast<long long>(x));
    for (int i = 0; i < k; ++i)
        m /= 10;
    return static_cast<int>(m % 10);
}

namespace {

QChar digitChar(int x, int k)
{
    return QChar('0' + decimalDigit(x, k));
}

// " 9.8V" below the threshold, "12.3 V" from it on; `low` is the digit that
// follows the point.
QString voltText(int x, int threshold, int low)
{
    QString t;
    t.reserve(6);
    if (x < threshold) {
        t += QChar(' ');
        t += digitChar(x, low + 1);
        t += QChar('.');
        t += digitChar(x, low);
        t += QChar('V');
    } else {
        t += digitChar(x, low + 2);
        t += digitChar(x, low + 1);
        t += QChar('.');
        t += digitChar(x, low);
        t += QLatin1String(" V");
    }
    return t;
}

} // namespace

QString txVoltText(int hundredths)
{
    return voltText(hundredths, 1000, 1);
}

QString tenthsVoltText(int tenths)
{
    return voltText(tenths, 100, 0);
}

QString rssiText(int rssi)
{
    if (rssi < 1 || rssi > 100)
        return QStringLiteral("null");
    const int loss = 100 - rssi;
    QString t;
    t.reserve(6);
    t += QChar('-');
    t += digitChar(loss, 1);
    t += digitChar(loss, 0);
    t += QLatin1String("dBm");
    return t;
}
