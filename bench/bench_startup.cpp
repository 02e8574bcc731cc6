#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QWidget>
#include <memory>

#include "app/mainwindow.h"
#include "model/txsettings.h"
#include "support/testutil.h"

// Start-up: constructing the main window and showing it until its first
// paint. Each iteration builds a fresh window; the time runs from the start
// of the constructor to the first paint event of the central widget.

namespace {

class PaintWatch : public QObject
{
public:
    bool painted = false;

protected:
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Paint)
            painted = true;
        return false;
    }
};

// Builds and shows one window; returns the seconds to its first paint.
double startOnce()
{
    QElapsedTimer clock;
    clock.start();
    auto w = std::make_unique<MainWindow>();
    PaintWatch watch;
    QWidget *central = w->centralWidget() ? w->centralWidget() : w.get();
    central->installEventFilter(&watch);
    w->show();
    QElapsedTimer bound;
    bound.start();
    while (!watch.painted && bound.elapsed() < 10000)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    const double s = clock.nsecsElapsed() / 1e9;
    central->removeEventFilter(&watch);
    w.reset();
    QApplication::processEvents(); // deferred deletes of the old window
    return s;
}

void BM_StartupToFirstPaint(benchmark::State &state)
{
    for (auto _ : state)
        state.SetIterationTime(startOnce());
}

// Only the constructor (the form with all its widgets and style sheets).
void BM_ConstructWindow(benchmark::State &state)
{
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        auto w = std::make_unique<MainWindow>();
        state.SetIterationTime(clock.nsecsElapsed() / 1e9);
        w.reset();
        QApplication::processEvents();
    }
}

} // namespace

BENCHMARK(BM_StartupToFirstPaint)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_ConstructWindow)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    setTestPorts({});
    TxSettings = startSettings();
    TxLiveData = startLiveData();
    // The very first window of the process also pays for loading fonts and
    // the style's caches: that one is reported on its own.
    const bool cold = qEnvironmentVariableIsEmpty("TX_BENCH_NO_COLD");
    if (cold)
        std::printf("first window of the process: %.1f ms to first paint\n", startOnce() * 1000);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
