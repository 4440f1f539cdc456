// The whole reading intake through the station (frame in -> list row, alarm
// colour, flushed file line) and the main window's start-up with a full
// working file. Resident memory after start-up is reported as a counter.
#include "../tests/support/recording_prompts.h"
#include "../tests/support/tarvo_frames.h"
#include "common/datetime.h"
#include "null_view.h"
#include "protocol/tarvo.h"
#include "station/session.h"
#include "ui/main_window.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstring>

namespace {

using zel::bench::NullView;

QByteArray readingFrame(float value) {
    return zel::tarvo::buildTarvoFrame(zel::test::readingPayload(0x86, value, 1));
}

long residentKiB() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return 0;
}

// With the argument 1 the archive is on: the intake's added cost is the copy
// into the archive writer's queue (the writer itself runs on its own thread).
void BM_ReadingIntake(benchmark::State& state) {
    QTemporaryDir dir;
    zel::LoopbackTransport port;
    NullView view;
    zel::FixedClock clock;
    zel::Session session(zel::SessionPaths{dir.path(), dir.filePath("Zel.ini")}, port, clock, view);
    session.settings().InstrumentType = zel::Tarvo5;
    session.settings().Threshold1 = 0.2;
    session.settings().Threshold2 = 5;
    session.buildStation();
    (void)session.data().ensureWorkingFile();
    if (state.range(0) == 1)
        session.startArchiving();
    session.openPort();
    const QByteArray frame = readingFrame(0.012f);
    for (auto _ : state)
        port.inject(frame);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ReadingIntake)->Unit(benchmark::kMicrosecond)->ArgName("archive")->Arg(0)->Arg(1);

void BM_StartupWithFullWorkingFile(benchmark::State& state) {
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
    zel::LoopbackTransport port;
    zel::test::RecordingPrompts prompts;
    long rss = 0;
    for (auto _ : state) {
        zel::MainWindow w({{"zel"}, &port, nullptr});
        w.setPrompts(prompts);
        w.loadSettingsAndStart();
        w.show();
        QApplication::processEvents();
        rss = residentKiB();
        benchmark::DoNotOptimize(w.data().readingCount());
    }
    state.counters["rss_MiB"] = double(rss) / 1024.0;
}
BENCHMARK(BM_StartupWithFullWorkingFile)->Unit(benchmark::kMillisecond)->Iterations(5);

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
