// Throughput of the receive path for a stream of on-line readings, one
// benchmark per instrument family: bytes in, frames cut by the family's
// rules, checked and parsed by the family's conversation into a typed
// reading, and that reading written out as the texts of its list row and
// file line. The list, the read-outs and the file write are left out: they
// are the same for every family (bench_station and bench_readdb measure
// them). Batch sizes 1, 16 and 64 (MaxBatch): a port read at 115,200 bit/s hands over
// a few bytes at a time, a loaded machine more. The line at 115,200 bit/s
// carries 11,520 bytes/s; the "line_rate_x" counter says how far above
// that the decoding runs.
#include "../tests/support/orvan_frames.h"
#include "../tests/support/portables_frames.h"
#include "../tests/support/tarvo_frames.h"
#include "common/datetime.h"
#include "data/reading.h"
#include "null_view.h"
#include "protocol/amp.h"
#include "protocol/orvan.h"
#include "protocol/portables.h"
#include "protocol/receiver.h"
#include "protocol/tarvo.h"
#include "station/families.h"
#include "station/session.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstring>

namespace {

constexpr int FramesPerStream = 1000;
constexpr double LineBytesPerSecond = 115200.0 / 10.0;
constexpr int MaxBatch = 64;

bool isReading(zel::FrameKind kind) {
    return kind == zel::FrameKind::Reading || kind == zel::FrameKind::ReadingWhileCollecting ||
           kind == zel::FrameKind::InstrumentError;
}

// One pass over the stream, as the serial link hands it over: each read
// copied into the array the link keeps. Kept out of line so that callgrind
// can count it alone (--toggle-collect='*feedStream*').
[[gnu::noinline]] void feedStream(zel::Receiver& rx, const QByteArray& bytes, int batch,
                                  const std::function<zel::FrameKind(const QByteArray&)>& onFrame) {
    static char readBuffer[MaxBatch];
    for (qsizetype pos = 0; pos < bytes.size(); pos += batch) {
        const qsizetype n = std::min<qsizetype>(batch, bytes.size() - pos);
        std::memcpy(readBuffer, bytes.constData() + pos, size_t(n));
        rx.feed(QByteArrayView(readBuffer, n), onFrame);
    }
}

// Feeds `bytes` to a station of `family` in pieces of the benchmark's batch
// size and parses every reading the way the station does.
void receive(benchmark::State& state, int16_t family, const QByteArray& bytes) {
    QTemporaryDir dir;
    zel::LoopbackTransport port;
    zel::bench::NullView view;
    zel::FixedClock clock;
    zel::Session session(zel::SessionPaths{dir.path(), dir.filePath("Zel.ini")}, port, clock, view);
    session.settings().InstrumentType = family;
    session.buildStation();
    zel::Station& station = session.station();
    zel::InstrumentConversation& conversation = station.conversation();
    const zel::RecordLayout& layout = station.family().record;

    zel::Receiver rx;
    rx.setRules(station.family().frameRules);
    const int batch = static_cast<int>(state.range(0));
    int64_t readings = 0;
    const std::function<zel::FrameKind(const QByteArray&)> onFrame =
        [&](const QByteArray& frame) -> zel::FrameKind {
        const zel::Verdict verdict = conversation.classify(frame);
        conversation.onFrame(verdict);
        if (isReading(verdict.kind)) {
            const std::optional<zel::Reading> r = conversation.parseReading(verdict.bytes);
            if (r) {
                zel::MeasurementRecord row = zel::recordOf(*r, layout);
                benchmark::DoNotOptimize(row);
                ++readings;
            }
        }
        return verdict.kind;
    };
    for (auto _ : state)
        feedStream(rx, bytes, batch, onFrame);
    state.SetBytesProcessed(int64_t(state.iterations()) * bytes.size());
    state.counters["readings/s"] =
        benchmark::Counter(double(readings), benchmark::Counter::kIsRate);
    state.counters["line_rate_x"] =
        benchmark::Counter(double(state.iterations()) * double(bytes.size()) / LineBytesPerSecond,
                           benchmark::Counter::kIsRate);
    // For scripts/receive_instructions.sh, which divides counted
    // instructions by the bytes of the passes.
    state.counters["stream_bytes"] = double(bytes.size());
    if (readings != int64_t(state.iterations()) * FramesPerStream)
        state.SkipWithError("a reading was lost");
}

// 0x86 on-line readings, escaped and checksummed.
void BM_ReceiveTarvo5(benchmark::State& state) {
    QByteArray bytes;
    for (int i = 0; i < FramesPerStream; ++i)
        bytes.append(zel::tarvo::buildTarvoFrame(zel::test::readingPayload(
            zel::tarvo::TypeOnline, 0.01f + 0.37f * float(i), 1, 0, 0xFF, 0, 161)));
    receive(state, zel::Tarvo5, bytes);
}

// 26-byte replies: value code, units, detector and status tables.
void BM_ReceivePortables(benchmark::State& state) {
    QByteArray bytes;
    for (int i = 0; i < FramesPerStream; ++i)
        bytes.append(zel::test::portablesReading(10000 + (i * 37) % 60000, uint8_t(1 << (i % 8)),
                                                 uint8_t(i % 12), uint8_t(i % 40)));
    receive(state, zel::Portables, bytes);
}

// Text lines: id, status, dose, units flag and the value's mantissa and
// exponent, with their hex-pair checksum.
void BM_ReceiveAmp(benchmark::State& state) {
    QByteArray bytes;
    for (int i = 0; i < FramesPerStream; ++i) {
        const QByteArray dose = QByteArray::number(1000 + i * 7).rightJustified(7, '0');
        const QByteArray value = QByteArray::number(100 + i % 900) + char('0' + i % 4) + '0';
        bytes.append(zel::amp::frameWithChecksum(QByteArray("001234") + char('0' + i % 3) + '0' +
                                                 dose + char('0' + i % 2) + value));
    }
    receive(state, zel::AmpVessa, bytes);
}

// "R19" replies: five nuclide and rate fields and the GM rate, in columns.
void BM_ReceiveOrvan(benchmark::State& state) {
    QByteArray bytes;
    for (int i = 0; i < FramesPerStream; ++i)
        bytes.append(zel::test::orvanR19(i % 100, 12 + i % 50, 3, 250 + i % 40, i % 7, 80 + i));
    receive(state, zel::Orvan, bytes);
}

BENCHMARK(BM_ReceiveTarvo5)->ArgName("batch")->Arg(1)->Arg(16)->Arg(64);
BENCHMARK(BM_ReceivePortables)->ArgName("batch")->Arg(1)->Arg(16)->Arg(64);
BENCHMARK(BM_ReceiveAmp)->ArgName("batch")->Arg(1)->Arg(16)->Arg(64);
BENCHMARK(BM_ReceiveOrvan)->ArgName("batch")->Arg(1)->Arg(16)->Arg(64);

} // namespace

int main(int argc, char** argv) {
    // The station's timers and objects want an application object.
    QCoreApplication app(argc, argv);
    // Readings' times are written in the date form of an English system.
    zel::setDateLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
