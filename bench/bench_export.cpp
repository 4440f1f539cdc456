// The graph's long loops: "All to Csv" of a full store of 100,001 records,
// the data list of 1000 rows, both with the progress window, and how long
// Stop takes to end either (stop_ms: from the moment the click is due to
// the end of the loop, so it includes the wait for the next event round).
#include "common/datetime.h"
#include "graph/data_list.h"
#include "graph/data_list_window.h"
#include "graph/graph_export.h"
#include "graph/graph_window.h"
#include "ui/wait_dialog.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <cmath>

namespace {

constexpr double Second = 1.0 / 86400;

struct Loaded {
    std::vector<double> times, values;
    explicit Loaded(int n) {
        for (int i = 0; i < n; ++i) {
            times.push_back(46000 + i * 10 * Second);
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

const Loaded& fullStore() {
    static const Loaded data(100001);
    return data;
}

// The core export alone: formatting and writing.
void BM_AllToCsvCore(benchmark::State& state) {
    QTemporaryDir dir;
    zel::graph::GraphStore store;
    store.load(fullStore().request());
    for (auto _ : state) {
        QString error;
        if (!zel::graph::exportCsv(store, zel::graph::ExportSource::Raw, dir.filePath("all.csv"),
                                   &error))
            state.SkipWithError(error.toStdString().c_str());
    }
}
BENCHMARK(BM_AllToCsvCore)->Unit(benchmark::kMillisecond)->Iterations(5);

// As the user runs it: with the progress window, events running between
// slices.
void BM_AllToCsvWithProgress(benchmark::State& state) {
    QTemporaryDir dir;
    zel::graph::GraphWindow w;
    w.load(fullStore().request());
    w.show();
    for (auto _ : state) {
        if (w.writeCsv(zel::graph::ExportSource::Raw, dir.filePath("all.csv")) !=
            zel::graph::RunOutcome::Done)
            state.SkipWithError("export failed");
    }
}
BENCHMARK(BM_AllToCsvWithProgress)->Unit(benchmark::kMillisecond)->Iterations(5);

// The list of 1000 rows (the window shows all 100,001 records, reduced).
void BM_FillList1000(benchmark::State& state) {
    zel::graph::GraphWindow w;
    w.load(fullStore().request());
    w.show();
    w.showAll();
    w.showList();
    for (auto _ : state) {
        if (w.fillList() != zel::graph::RunOutcome::Done)
            state.SkipWithError("list stopped");
    }
    state.counters["rows"] = w.dataList()->model()->filled();
}
BENCHMARK(BM_FillList1000)->Unit(benchmark::kMillisecond)->Iterations(20);

// Stop pressed `delay` ms after the start: the time until the loop ends.
double stopLatencyMs(zel::graph::GraphWindow& w, int delayMs,
                     const std::function<zel::graph::RunOutcome()>& run) {
    QElapsedTimer clock;
    QTimer press;
    press.setSingleShot(true);
    press.setTimerType(Qt::PreciseTimer);
    QObject::connect(&press, &QTimer::timeout, &w,
                     [&w] { w.progressWindow()->findChild<QPushButton*>("btStop")->click(); });
    clock.start();
    press.start(delayMs);
    if (run() != zel::graph::RunOutcome::Stopped)
        return -1;
    return double(clock.nsecsElapsed()) / 1e6 - delayMs;
}

void BM_StopDuringAllToCsv(benchmark::State& state) {
    QTemporaryDir dir;
    zel::graph::GraphWindow w;
    w.load(fullStore().request());
    w.show();
    double worst = 0;
    for (auto _ : state) {
        const double ms = stopLatencyMs(w, 40, [&] {
            return w.writeCsv(zel::graph::ExportSource::Raw, dir.filePath("all.csv"));
        });
        if (ms < 0)
            state.SkipWithError("the export ended before Stop");
        worst = std::max(worst, ms);
    }
    state.counters["stop_ms"] = worst;
}
BENCHMARK(BM_StopDuringAllToCsv)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_StopDuringList(benchmark::State& state) {
    zel::graph::GraphWindow w;
    w.load(fullStore().request());
    w.show();
    w.showAll();
    w.showList();
    double worst = 0;
    for (auto _ : state) {
        const double ms = stopLatencyMs(w, 5, [&] { return w.fillList(); });
        if (ms < 0)
            state.SkipWithError("the list was full before Stop");
        worst = std::max(worst, ms);
    }
    state.counters["stop_ms"] = worst;
}
BENCHMARK(BM_StopDuringList)->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("ZEL_HOME", home.path().toUtf8());
    QApplication app(argc, argv);
    zel::graph::GraphWindow::setPlacementFile(home.filePath("placement.ini"));
    zel::setDateLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
