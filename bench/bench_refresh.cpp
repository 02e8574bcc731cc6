#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTimer>

#include "app/mainwindow.h"
#include "model/txsettings.h"
#include "support/editors.h"

// One refresh tick of the shown main window: with nothing new in the store
// (the tick every 100 ms while idle), and with every field changed.

namespace {

struct Window {
    MainWindow w;
    Window()
    {
        TxSettings = startSettings();
        TxLiveData = startLiveData();
        // The benchmark decides every tick.
        for (QTimer *t : w.findChildren<QTimer *>(QString(), Qt::FindDirectChildrenOnly))
            t->stop();
        w.show();
        QApplication::processEvents();
        tick();
        QApplication::processEvents();
    }
    void tick() { QMetaObject::invokeMethod(&w, "ui_Display", Qt::DirectConnection); }
};

void BM_RefreshTickUnchanged(benchmark::State &state)
{
    Window win;
    for (auto _ : state)
        win.tick();
}

void BM_RefreshTickAllChanged(benchmark::State &state)
{
    Window win;
    setDistinctValues(win.w, 1);
    const TxSettingsRecord s1 = TxSettings;
    const TxLiveDataRecord l1 = TxLiveData;
    setDistinctValues(win.w, 2);
    const TxSettingsRecord s2 = TxSettings;
    const TxLiveDataRecord l2 = TxLiveData;
    bool first = true;
    for (auto _ : state) {
        TxSettings = first ? s1 : s2;
        TxLiveData = first ? l1 : l2;
        first = !first;
        win.tick();
    }
}

} // namespace

BENCHMARK(BM_RefreshTickUnchanged)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_RefreshTickAllChanged)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
