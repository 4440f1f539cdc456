// Throughput of the receive path for a stream of on-line readings: bytes in,
// frames cut, un-escaped, checked, interpreted and parsed into records. The
// line at 115200 bit/s carries 11,520 bytes/s; this says how far above that
// the station's decoding runs.
#include "../tests/support/portables_frames.h"
#include "protocol/instrument.h"
#include "protocol/portables.h"
#include "protocol/receiver.h"
#include "protocol/tarvo.h"

#include <QDateTime>
#include <benchmark/benchmark.h>
#include <cstring>

namespace {

QByteArray onlineFrame(float value) {
    QByteArray p(27, '\0');
    p[0] = char(zel::tarvo::TypeOnline);
    p[1] = char(0xFF);
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    for (int i = 0; i < 4; ++i)
        p[20 + i] = char((bits >> (24 - 8 * i)) & 0xFF);
    p[24] = 1;   // mR/h
    p[25] = 161; // detector
    p[26] = 0;   // status OK
    return zel::tarvo::buildTarvoFrame(p);
}

QByteArray stream(int frames) {
    QByteArray s;
    for (int i = 0; i < frames; ++i)
        s.append(onlineFrame(0.01f + 0.37f * float(i)));
    return s;
}

void BM_ReceiveOnlineReadings(benchmark::State& state) {
    const QByteArray bytes = stream(1000);
    const int batch = static_cast<int>(state.range(0));
    const QDateTime now(QDate(2026, 1, 2), QTime(3, 4, 5));
    zel::Receiver rx;
    rx.setRules(zel::tarvo::Framing);
    int64_t readings = 0;
    auto onFrame = [&](const QByteArray& frame) -> int16_t {
        const auto work = zel::tarvo::unescapeFrame(frame);
        if (!work)
            return zel::Result::BadChecksum;
        const zel::tarvo::Message m = zel::tarvo::interpret(*work);
        if (m.result == zel::Result::Reading) {
            auto r = zel::tarvo::parseReading(*work, zel::tarvo::TypeOnline, 0, now);
            benchmark::DoNotOptimize(r);
            ++readings;
        }
        return m.result;
    };
    for (auto _ : state) {
        for (qsizetype pos = 0; pos < bytes.size(); pos += batch)
            rx.feed(bytes.mid(pos, batch), onFrame);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * bytes.size());
    state.counters["readings/s"] =
        benchmark::Counter(double(readings), benchmark::Counter::kIsRate);
    if (readings != int64_t(state.iterations()) * 1000)
        state.SkipWithError("a frame was lost");
}
BENCHMARK(BM_ReceiveOnlineReadings)->Arg(1)->Arg(16)->Arg(64);

// Portables readings: 26-byte replies, checked and parsed (value code, units,
// detector and status tables). Logged records also build their date-time.
void BM_ReceivePortablesReadings(benchmark::State& state) {
    QByteArray bytes;
    for (int i = 0; i < 1000; ++i)
        bytes.append(zel::test::portablesReading(10000 + (i * 37) % 60000, uint8_t(1 << (i % 8)),
                                                 uint8_t(i % 12), uint8_t(i % 40)));
    const int batch = static_cast<int>(state.range(0));
    const bool logged = state.range(1) != 0;
    const QDateTime now(QDate(2026, 1, 2), QTime(3, 4, 5));
    zel::Receiver rx;
    rx.setRules(zel::portables::Framing);
    int64_t readings = 0;
    auto onFrame = [&](const QByteArray& frame) -> int16_t {
        const int16_t result = zel::checkPortablesReply(frame);
        if (result == zel::Result::Reading) {
            auto r = zel::parsePortablesReading(frame, logged, now);
            benchmark::DoNotOptimize(r);
            ++readings;
        }
        return result;
    };
    for (auto _ : state) {
        for (qsizetype pos = 0; pos < bytes.size(); pos += batch)
            rx.feed(bytes.mid(pos, batch), onFrame);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * bytes.size());
    state.counters["readings/s"] =
        benchmark::Counter(double(readings), benchmark::Counter::kIsRate);
    if (readings != int64_t(state.iterations()) * 1000)
        state.SkipWithError("a frame was lost");
}
BENCHMARK(BM_ReceivePortablesReadings)
    ->ArgNames({"batch", "logged"})
    ->Args({1, 0})
    ->Args({16, 0})
    ->Args({64, 0})
    ->Args({64, 1});

} // namespace

BENCHMARK_MAIN();
