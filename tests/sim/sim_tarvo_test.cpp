// The simulated Tarvo-5, driven in memory. Its answers are read back with the
// station's own codec, so a byte out of place shows up as a wrong reading.
#include "protocol/tarvo.h"
#include "sim/sim_tarvo.h"
#include "station/clock.h"
#include "support/reading_rows.h"
#include <QtEndian>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>

using namespace zel;
using namespace zel::sim;
namespace t = zel::tarvo;

namespace {

QByteArray bytes(std::initializer_list<int> v) {
    QByteArray a;
    for (int b : v)
        a.append(char(b));
    return a;
}

// Splits a stream of frames as the station does for well-formed frames and
// un-escapes each one.
std::vector<QByteArray> framesOf(const QByteArray& stream) {
    std::vector<QByteArray> out;
    int start = 0;
    for (int i = 0; i < stream.size(); ++i) {
        if (uint8_t(stream[i]) == t::ETX && i > start + 1) {
            auto work = t::unescapeFrame(stream.mid(start, i - start + 1));
            EXPECT_TRUE(work.has_value());
            if (work)
                out.push_back(*work);
            start = i + 1;
        }
    }
    EXPECT_EQ(start, stream.size()) << "bytes after the last frame";
    return out;
}

t::Message only(const QByteArray& stream, QByteArray* work = nullptr) {
    auto frames = framesOf(stream);
    EXPECT_EQ(frames.size(), 1u);
    if (frames.empty())
        return {};
    if (work)
        *work = frames.front();
    return t::interpret(frames.front());
}

float floatAt(const QByteArray& work, int msb) {
    const uint32_t bits = qFromBigEndian<uint32_t>(work.constData() + msb);
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

const QDateTime kNow(QDate(2026, 3, 4), QTime(5, 6, 7));

struct SimTarvoTest : ::testing::Test {
    FixedClock clock{kNow};
    TarvoOptions opts() {
        TarvoOptions o;
        o.steady = true;
        return o;
    }
};

} // namespace

TEST(TarvoFrameCutter, TakesEveryRecordRequestIncludingAwkwardChecksums) {
    // k = 0x80 gives the checksum 03, 0x81 gives 02, 0x98 gives 1B.
    TarvoFrameCutter cutter;
    for (int k = 0; k < 256; ++k) {
        const QByteArray payload = t::requestRecordPayload(uint8_t(k));
        auto frames = cutter.feed(t::buildTarvoFrame(payload));
        ASSERT_EQ(frames.size(), 1u) << k;
        EXPECT_TRUE(frames[0].checksumOk) << k;
        EXPECT_EQ(frames[0].payload, payload) << k;
    }
}

TEST(TarvoFrameCutter, ByteByByteNoiseAndBrokenFramesResynchronise) {
    TarvoFrameCutter cutter;
    const QByteArray ack = t::buildTarvoFrame(t::acknowledgePayload(0x02, 0x1B));
    // The acknowledge of an announce with bytes 02 and 1B, as the setup tool
    // writes it.
    EXPECT_EQ(ack, bytes({0x02, 0x1B, 0x33, 0x1B, 0x32, 0x1B, 0x1B, 0x01, 0x1B, 0x03}));

    QByteArray stream = bytes({0x55, 0x03, 0xAA}); // noise before any STX
    stream += bytes({0x02, 0x0F, 0x0E, 0x03});     // bad checksum
    stream += bytes({0x02, 0x83, 0x1B, 0x7F});     // broken escape
    stream += ack;
    stream += bytes({0x02, 0x81}); // cut short by the next STX
    stream += t::pollFrame();
    std::vector<TarvoFrameCutter::Frame> frames;
    for (char c : stream)
        for (auto& f : cutter.feed(QByteArray(1, c)))
            frames.push_back(f);

    std::vector<QByteArray> good;
    int bad = 0;
    for (auto& f : frames)
        f.checksumOk ? good.push_back(f.payload) : void(++bad);
    ASSERT_EQ(good.size(), 2u);
    EXPECT_EQ(good[0], t::acknowledgePayload(0x02, 0x1B));
    EXPECT_EQ(good[1], bytes({0x0F}));
    EXPECT_EQ(bad, 3);
}

TEST(TarvoFrameCutter, GivesUpAnEndlessFrame) {
    TarvoFrameCutter cutter;
    auto frames = cutter.feed(QByteArray(1, char(0x02)) + QByteArray(300, char(0x41)));
    ASSERT_FALSE(frames.empty());
    EXPECT_FALSE(frames[0].checksumOk);
    frames = cutter.feed(t::testFrame());
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_TRUE(frames[0].checksumOk);
}

TEST_F(SimTarvoTest, TestIsAnsweredByAnnounceAndAcknowledgeByInitialised) {
    TarvoOptions o = opts();
    o.detector = 162;
    SimTarvo sim(o, &clock);
    const t::Message a = only(sim.receive(t::testFrame()));
    EXPECT_EQ(a.type, t::TypeAnnounce);
    EXPECT_EQ(a.kind, FrameKind::Ready);
    EXPECT_EQ(a.probeCode, 162);

    // The station echoes bytes 2 and 4 of the announce.
    const QByteArray ack = t::buildTarvoFrame(t::acknowledgePayload(a.probeCode, a.echoByte4));
    EXPECT_EQ(only(sim.receive(ack)).type, t::TypeInitialised);

    // An acknowledge that does not echo the announce initialises nothing.
    EXPECT_TRUE(sim.receive(t::buildTarvoFrame(t::acknowledgePayload(161, a.echoByte4))).isEmpty());
}

TEST_F(SimTarvoTest, AnnounceOnlyNeverConfirms) {
    TarvoOptions o = opts();
    o.announceOnly = true;
    SimTarvo sim(o, &clock);
    const t::Message a = only(sim.receive(t::testFrame()));
    EXPECT_TRUE(
        sim.receive(t::buildTarvoFrame(t::acknowledgePayload(a.probeCode, a.echoByte4))).isEmpty());
    EXPECT_EQ(only(sim.receive(t::pollFrame())).type, t::TypeOnline);
}

TEST_F(SimTarvoTest, PollGivesOnlineReadingOfNow) {
    SimTarvo sim(opts(), &clock);
    QByteArray work;
    const t::Message m = only(sim.receive(t::pollFrame()), &work);
    EXPECT_EQ(m.type, t::TypeOnline);
    EXPECT_EQ(m.kind, FrameKind::Reading);
    EXPECT_EQ(uint8_t(work[2]), 0xFF);
    EXPECT_EQ(bytes({work[16], work[17], work[18], work[19], work[20]}), bytes({3, 4, 26, 5, 6}));
    EXPECT_FLOAT_EQ(floatAt(work, 21), 0.012f);

    auto r = test::rowOf(t::parseReading(work, 0, kNow), Tarvo5);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->InstrumentId, "On-Line");
    EXPECT_EQ(r->Value, "12");
    EXPECT_EQ(r->Units, "mR/h");
    EXPECT_EQ(r->Detector, "DX24");
    EXPECT_EQ(r->Status, "OK");
}

TEST_F(SimTarvoTest, ShortReadingCarriesValueStatusAndUnits) {
    TarvoOptions o = opts();
    o.shortReadings = true;
    o.value = 1.5;
    o.status = 6;
    o.units = 3;
    SimTarvo sim(o, &clock);
    QByteArray work;
    const t::Message m = only(sim.receive(t::pollFrame()), &work);
    EXPECT_EQ(m.type, t::TypeShort);
    EXPECT_FLOAT_EQ(float(m.shortValue), 1.5f);
    EXPECT_EQ(uint8_t(work[8]), 6);
    EXPECT_EQ(uint8_t(work[9]), 3);
    auto r = test::rowOf(t::parseReading(work, 161, kNow), Tarvo5);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->Units, "mSv/h");
    EXPECT_EQ(r->Status, "Battery fail");
}

TEST_F(SimTarvoTest, ValueDriftsSlowlyAroundTheBase) {
    TarvoOptions o = opts();
    o.steady = false;
    SimTarvo sim(o, &clock);
    EXPECT_DOUBLE_EQ(sim.currentValue(), 0.012);
    clock.set(kNow.addMSecs(qint64(20000 * M_PI / 2))); // a quarter period
    EXPECT_NEAR(sim.currentValue(), 0.012 * 1.3, 1e-9);
}

TEST_F(SimTarvoTest, DownloadWalksTheLogDownToZeroAndEnds) {
    TarvoOptions o = opts();
    o.records = 3;
    SimTarvo sim(o, &clock);
    const t::Message count = only(sim.receive(t::startDownloadFrame()));
    EXPECT_EQ(count.type, t::TypeRecordCount);
    ASSERT_EQ(count.recordCount, 3);

    // As the station does: ask for count - 1, then one below each record.
    int next = count.recordCount - 1;
    QStringList ids;
    while (next >= 0) {
        QByteArray work;
        const t::Message rec =
            only(sim.receive(t::buildTarvoFrame(t::requestRecordPayload(uint8_t(next)))), &work);
        ASSERT_EQ(rec.type, t::TypeRecord);
        EXPECT_EQ(rec.recordNumber, next);
        auto r = test::rowOf(t::parseReading(work, 0, kNow), Tarvo5);
        ASSERT_TRUE(r);
        ids << r->InstrumentId;
        const QDateTime logged = sim.recordTime(next);
        EXPECT_EQ(bytes({work[16], work[17], work[18], work[19], work[20]}),
                  bytes({logged.date().month(), logged.date().day(), logged.date().year() - 2000,
                         logged.time().hour(), logged.time().minute()}));
        EXPECT_LT(logged, kNow);
        next = rec.recordNumber - 1;
    }
    EXPECT_EQ(ids, QStringList({"2", "1", "0"}));
    EXPECT_LT(sim.recordTime(0), sim.recordTime(1));

    const t::Message end = only(sim.receive(t::buildTarvoFrame(t::endDownloadPayload())));
    EXPECT_EQ(end.type, t::TypeRecordCount);
    EXPECT_EQ(end.recordCount, 0);
}

TEST_F(SimTarvoTest, RecordCountUsesBase255) {
    TarvoOptions o = opts();
    for (int n : {0, 129, 257, 300, 65279}) {
        o.records = n;
        SimTarvo sim(o, &clock);
        EXPECT_EQ(only(sim.receive(t::startDownloadFrame())).recordCount, n) << n;
    }
    // Record 257 is numbered 01 02.
    SimTarvo sim(opts(), &clock);
    const QByteArray p = sim.recordPayload(257);
    EXPECT_EQ(uint8_t(p[1]), 1);
    EXPECT_EQ(uint8_t(p[2]), 2);
}

TEST_F(SimTarvoTest, SetClockIsConfirmedAndMovesTheInstrumentClock) {
    SimTarvo sim(opts(), &clock);
    const QDateTime set(QDate(2027, 2, 3), QTime(10, 20, 30));
    EXPECT_EQ(only(sim.receive(t::buildTarvoFrame(t::setClockPayload(set)))).type, t::TypeClockSet);
    EXPECT_EQ(sim.instrumentNow(), set);
    clock.advanceSeconds(60);
    EXPECT_EQ(sim.instrumentNow(), set.addSecs(60));
    QByteArray work;
    only(sim.receive(t::pollFrame()), &work);
    EXPECT_EQ(uint8_t(work[18]), 27);
    EXPECT_EQ(uint8_t(work[20]), 21);
}

TEST_F(SimTarvoTest, SentChecksumsStayClearOfFrameBytes) {
    // A raw 03 or 1B checksum before the ETX trips a simple receiver; the
    // instrument steers around them with an unused byte.
    TarvoOptions o = opts();
    int awkwardWithoutPad = 0;
    for (int d = 0; d < 256; ++d) {
        o.detector = d;
        o.value = 0.001 * d;
        o.units = (d * 7) % 256;
        o.status = (d * 13) % 256;
        for (bool pad : {true, false}) {
            o.padChecksum = pad;
            SimTarvo sim(o, &clock);
            for (const QByteArray& p :
                 {sim.announcePayload(), sim.onlinePayload(), sim.recordPayload(d),
                  sim.shortPayload(), SimTarvo::countPayload(d)}) {
                const uint8_t c = t::tarvoChecksum(p);
                const bool awkward = c == 0x02 || c == 0x03 || c == 0x1B;
                if (pad)
                    EXPECT_FALSE(awkward) << d;
                else
                    awkwardWithoutPad += awkward;
            }
        }
    }
    EXPECT_GT(awkwardWithoutPad, 0); // the sweep does reach them
}

TEST_F(SimTarvoTest, SilentStopAfterAndCorruptEvery) {
    TarvoOptions o = opts();
    o.silent = true;
    o.pushEverySeconds = 1;
    {
        SimTarvo sim(o, &clock);
        EXPECT_TRUE(sim.receive(t::testFrame()).isEmpty());
        EXPECT_TRUE(sim.onTimer().isEmpty());
        EXPECT_EQ(sim.framesRecognised(), 1);
    }
    o.silent = false;
    o.stopAfter = 2;
    {
        SimTarvo sim(o, &clock);
        EXPECT_FALSE(sim.receive(t::testFrame()).isEmpty());
        EXPECT_EQ(only(sim.onTimer()).type, t::TypeOnline);
        EXPECT_FALSE(sim.receive(t::pollFrame()).isEmpty());
        EXPECT_TRUE(sim.receive(t::pollFrame()).isEmpty());
        EXPECT_TRUE(sim.onTimer().isEmpty());
        // A damaged frame is not a message and counts for nothing.
        EXPECT_EQ(sim.messagesHeard(), 3);
    }
    o.stopAfter = -1;
    o.corruptEvery = 2;
    {
        SimTarvo sim(o, &clock);
        for (int i = 1; i <= 6; ++i) {
            const QByteArray f = sim.receive(t::pollFrame());
            auto work = t::unescapeFrame(f);
            ASSERT_TRUE(work);
            const t::Message m = t::interpret(*work);
            EXPECT_EQ(m.kind == FrameKind::Damaged, i % 2 == 0) << i;
            const uint8_t c = uint8_t(f[f.size() - 2]);
            EXPECT_TRUE(c != 0x02 && c != 0x03 && c != 0x1B);
        }
    }
}

TEST_F(SimTarvoTest, IgnoresBadChecksumsAndUnknownTypes) {
    SimTarvo sim(opts(), &clock);
    EXPECT_TRUE(sim.receive(bytes({0x02, 0x04, 0x05, 0x03})).isEmpty());
    EXPECT_TRUE(sim.receive(t::buildTarvoFrame(bytes({0x77, 0x01}))).isEmpty());
    EXPECT_EQ(sim.framesRecognised(), 1);
    // Two messages in one batch get two answers in order.
    const auto frames = framesOf(sim.receive(t::testFrame() + t::pollFrame()));
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(uint8_t(frames[0][1]), t::TypeAnnounce);
    EXPECT_EQ(uint8_t(frames[1][1]), t::TypeOnline);
}
