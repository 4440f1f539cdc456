// The graph: reduction of a full store to about a thousand points, one
// repaint of a thousand points offscreen, and the Graph command from the
// click to the first painted plot with a working file of 10,001 readings.
#include "../tests/support/recording_prompts.h"
#include "common/datetime.h"
#include "graph/graph_plot_widget.h"
#include "graph/graph_store.h"
#include "graph/graph_window.h"
#include "station/transport.h"
#include "ui/main_window.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cmath>

namespace {

constexpr double Second = 1.0 / 86400;

struct Loaded {
    std::vector<double> times, values;
    explicit Loaded(int n) {
        for (int i = 0; i < n; ++i) {
            times.push_back(46000 + i * Second);
            values.push_back(i % 97 == 0 ? -1 : 0.1 + 0.05 * std::sin(i / 50.0));
        }
    }
    zel::graph::LoadRequest request() const {
        zel::graph::LoadRequest r;
        r.seriesSlots[0].name = "Probe";
        r.seriesSlots[0].units = "uSv/h";
        r.times = times;
        r.values[0] = values;
        r.lastIndex = int32_t(times.size()) - 1;
        return r;
    }
};

void BM_Reduce100001Records(benchmark::State& state) {
    const Loaded data(100001);
    zel::graph::GraphStore store;
    store.load(data.request());
    store.reduction =
        state.range(0) ? zel::graph::Reduction::Maximum : zel::graph::Reduction::Average;
    for (auto _ : state) {
        store.windowToAll();
        benchmark::DoNotOptimize(store.reduce(false));
    }
    state.counters["points"] = store.displayCount() + 1;
}
BENCHMARK(BM_Reduce100001Records)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_Repaint1000Points(benchmark::State& state) {
    const Loaded data(1001);
    zel::graph::GraphStore store;
    store.load(data.request());
    zel::graph::GraphPicture picture;
    picture.store = &store;
    picture.displayed[0] = true;
    zel::graph::ScaleRequest request;
    request.displayed[0] = true;
    zel::graph::computeScale(store, request, picture.scales);
    picture.marks = state.range(0) != 0;
    QImage image(1000, 600, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        QPainter p(&image);
        zel::graph::drawGraph(p, QRectF(image.rect()), picture);
    }
}
BENCHMARK(BM_Repaint1000Points)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_GraphCommandToFirstPaint(benchmark::State& state) {
    QTemporaryDir dir;
    qputenv("ZEL_HOME", dir.filePath("prog").toUtf8());
    qputenv("XDG_CONFIG_HOME", dir.filePath("cfg").toUtf8());
    QDir().mkpath(dir.filePath("prog"));
    {
        QFile f(dir.filePath("prog/ZelTemp.csv"));
        f.open(QIODevice::WriteOnly);
        f.write(zel::headerLines(zel::Legend{}, QString()));
        const QDateTime t0(QDate(2026, 1, 2), QTime(8, 0, 0));
        for (int n = 0; n < 10001; ++n) {
            zel::MeasurementRecord r{"On-Line",
                                     zel::formatGeneralDateTime(t0.addSecs(n)),
                                     QString::number(0.01 * (n % 500)),
                                     "mR/h",
                                     "OK",
                                     "DX24",
                                     ""};
            f.write(zel::readingLine(r));
        }
    }
    zel::graph::GraphWindow::setPlacementFile(dir.filePath("placement.ini"));
    zel::LoopbackTransport port;
    zel::test::RecordingPrompts prompts;
    zel::MainWindow w({{"zel"}, &port, nullptr});
    w.setPrompts(prompts);
    w.loadSettingsAndStart();
    w.show();
    QApplication::processEvents();
    for (auto _ : state) {
        w.showGraph();
        // Paints now, without waiting for the event loop.
        w.graphWindow()->plot()->repaint();
        state.PauseTiming();
        w.graphWindow()->close();
        QApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_GraphCommandToFirstPaint)->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    zel::setDateLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
