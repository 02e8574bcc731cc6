#include "support/waiting.h"

#include <QElapsedTimer>
#include <QTest>

bool waitFor(const std::function<bool()> &pred, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!pred() && t.elapsed() < ms)
        QTest::qWait(5); // sleeps in the event loop instead of spinning
    return pred();
}
