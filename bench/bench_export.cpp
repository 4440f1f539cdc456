// The graph's long loops: "All to Csv" of a full store of 100,001 records,
// the data list of 1000 rows, both with the progress window, and how long
// Stop takes to answer during either (the worst of the runs).
#include "common/datetime.h"
#include "graph/data_list.h"
#include "graph/data_list_window.h"
#include "graph/graph_export.h"
#include "graph/graph_window.h"
#include "widgets/wait_dialog.h"

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
        const zel::Expected<void> written =
            zel::graph::exportCsv(store, zel::graph::ExportSource::Raw, dir.filePath("all.csv"));
        if (!written)
            state.SkipWithError(written.error().text.toStdString().c_str());
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
        if (w.files().writeCsv(zel::graph::ExportSource::Raw, dir.filePath("all.csv")) !=
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
        if (w.files().fillList() != zel::graph::RunOutcome::Done)
            state.SkipWithError("list stopped");
    }
    state.counters["rows"] = w.dataList()->model()->filled();
}
BENCHMARK(BM_FillList1000)->Unit(benchmark::kMillisecond)->Iterations(20);

// Stop pressed `delay` ms after the start. `answered` is the time from the
// moment the click is due until the button handles it (the window hides
// then); `ended` until the loop has returned, the file finished.
struct StopTimes {
    double answered = -1, ended = -1;
};
StopTimes stopLatency(zel::graph::GraphWindow& w, int delayMs,
                      const std::function<zel::Expected<zel::graph::RunOutcome>()>& run) {
    QElapsedTimer clock;
    QTimer press;
    press.setSingleShot(true);
    press.setTimerType(Qt::PreciseTimer);
    StopTimes times;
    QObject::connect(&press, &QTimer::timeout, &w, [&] {
        times.answered = double(clock.nsecsElapsed()) / 1e6 - delayMs;
        w.files().progressWindow()->findChild<QPushButton*>("btStop")->click();
    });
    clock.start();
    press.start(delayMs);
    if (run() != zel::graph::RunOutcome::Stopped)
        return {};
    times.ended = double(clock.nsecsElapsed()) / 1e6 - delayMs;
    return times;
}

void report(benchmark::State& state, const std::vector<StopTimes>& all) {
    double answered = 0, ended = 0;
    for (const StopTimes& t : all) {
        answered = std::max(answered, t.answered);
        ended = std::max(ended, t.ended);
    }
    state.counters["stop_answered_ms"] = answered;
    state.counters["stop_ended_ms"] = ended;
}

void BM_StopDuringAllToCsv(benchmark::State& state) {
    QTemporaryDir dir;
    zel::graph::GraphWindow w;
    w.load(fullStore().request());
    w.show();
    std::vector<StopTimes> all;
    for (auto _ : state) {
        all.push_back(stopLatency(w, 40, [&] {
            return w.files().writeCsv(zel::graph::ExportSource::Raw, dir.filePath("all.csv"));
        }));
        if (all.back().ended < 0)
            state.SkipWithError("the export ended before Stop");
    }
    report(state, all);
}
BENCHMARK(BM_StopDuringAllToCsv)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_StopDuringList(benchmark::State& state) {
    zel::graph::GraphWindow w;
    w.load(fullStore().request());
    w.show();
    w.showAll();
    w.showList();
    std::vector<StopTimes> all;
    for (auto _ : state) {
        all.push_back(stopLatency(w, 5, [&] { return w.files().fillList(); }));
        if (all.back().ended < 0)
            state.SkipWithError("the list was full before Stop");
    }
    report(state, all);
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
