#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>

#include "model/txsettings.h"
#include "ui/curves.h"

// One full paint of each plot into an image, as the 100 ms timer causes it.

namespace {

template <class Plot> void paintOnce(benchmark::State &state, int size)
{
    Plot plot;
    plot.resize(size, size);
    QImage image(size, size, QImage::Format_RGB32);
    for (auto _ : state) {
        plot.render(&image);
        benchmark::DoNotOptimize(image.constBits());
    }
}

void BM_ThrottleCurvePaint(benchmark::State &state)
{
    TxSettings = startSettings();
    paintOnce<cureWidget>(state, 300);
}

void BM_DrCurvePaint(benchmark::State &state)
{
    TxSettings = startSettings();
    TxSettings.drRateEdit = 80;
    TxSettings.drExpEdit = 60;
    paintOnce<mWidget>(state, 280);
}

} // namespace

BENCHMARK(BM_ThrottleCurvePaint)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DrCurvePaint)->Unit(benchmark::kMicrosecond);

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
