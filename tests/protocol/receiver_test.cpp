#include "protocol/amp.h"
#include "protocol/orvan.h"
#include "protocol/portables.h"
#include "protocol/receiver.h"
#include "protocol/tarvo.h"
#include "station/families.h"
#include "support/hex_bytes.h"

#include <gtest/gtest.h>

using namespace zel;
using zel::test::hex;
using zel::test::toHex;

namespace {

// Records every frame and answers with a scripted kind (a reading by
// default).
struct Sink {
    QStringList frames;
    QList<FrameKind> results;
    FrameKind operator()(const QByteArray& f) {
        frames.append(toHex(f));
        return results.isEmpty() ? FrameKind::Reading : results.takeFirst();
    }
};

Receiver receiverFor(int16_t family) {
    Receiver rx;
    rx.setRules(familyOrDefault(family).frameRules);
    return rx;
}

} // namespace

TEST(Receiver, FrameRulesPerFamily) {
    const FrameRules p = portables::Framing;
    EXPECT_EQ(p.frameStart, -1);
    EXPECT_EQ(p.frameEnd, 0x04);
    EXPECT_EQ(p.frameMinLength, 25);
    const FrameRules t = tarvo::Framing;
    EXPECT_EQ(t.frameStart, -1);
    EXPECT_EQ(t.frameEnd, 0x03);
    EXPECT_EQ(t.frameMinLength, 1);
    const FrameRules a = amp::Framing;
    EXPECT_EQ(a.frameStart, 0x0A);
    EXPECT_EQ(a.frameEnd, 0x0D);
    const FrameRules o = orvan::Framing;
    EXPECT_EQ(o.frameStart, 0x02);
    EXPECT_EQ(o.frameEnd, 0x03);
}

TEST(Receiver, TarvoFramesAcrossAndWithinBatches) {
    Receiver rx = receiverFor(Tarvo5);
    Sink sink;
    auto cb = [&](const QByteArray& f) { return sink(f); };
    rx.feed(hex("02 86"), cb);
    EXPECT_EQ(rx.receiveCount(), 2);
    rx.feed(hex("00 05 86 03 02 04 04 03 02"), cb);
    EXPECT_EQ(sink.frames, QStringList({"02 86 00 05 86 03", "02 04 04 03"}));
    EXPECT_EQ(rx.receiveCount(), 1);
    // A lone ETX is not a frame: at least two bytes are needed.
    Receiver lone = receiverFor(Tarvo5);
    lone.feed(hex("03"), cb);
    EXPECT_EQ(sink.frames.size(), 2);
    EXPECT_EQ(lone.receiveCount(), 1);
}

TEST(Receiver, PortablesNeedsTwentySixBytes) {
    Receiver rx = receiverFor(Portables);
    Sink sink;
    QByteArray reply(26, '1');
    reply[3] = 0x04; // an early EOT is data
    reply[25] = 0x04;
    rx.feed(reply, [&](const QByteArray& f) { return sink(f); });
    ASSERT_EQ(sink.frames.size(), 1);
    EXPECT_EQ(sink.frames[0], toHex(reply));
}

TEST(Receiver, StartByteResynchronisesOnlyFamiliesWithOne) {
    Sink sink;
    auto cb = [&](const QByteArray& f) { return sink(f); };
    Receiver amp = receiverFor(AmpVessa);
    amp.feed(QByteArray("xx\nAB\ngarbage") + "\n1234\r", cb);
    Receiver orvan = receiverFor(Orvan);
    orvan.feed(hex("41 02 41 02 52 31 39 03"), cb);
    EXPECT_EQ(sink.frames, QStringList({"0A 31 32 33 34 0D", "02 52 31 39 03"}));
}

TEST(Receiver, TarvoNoiseCostsOnlyTheDamagedFrame) {
    struct Case {
        const char* name;
        QList<QByteArray> batches;
        QList<FrameKind> results;
        QStringList frames;
    };
    const QString good = "02 04 04 03";
    const Case cases[] = {
        {"noise before a frame", {hex("FF FE 02 04 04 03")}, {}, {good}},
        {"junk bytes before a frame", {hex("41 42 43 02 04 04 03")}, {}, {good}},
        {"a cut frame before a frame", {hex("02 86 00 02 04 04 03")}, {}, {good}},
        {"the ETX left by a 03 checksum", {hex("03 02 04 04 03")}, {}, {good}},
        {"noise across batches", {hex("FF 02 04"), hex("04 03")}, {}, {good}},
        {"a checksum of 02 is no start", {hex("02 06 04 02 03")}, {}, {"02 06 04 02 03"}},
        {"a bad frame keeps the frame behind it",
         {hex("02 05 06 03 02 04 04 03")},
         {FrameKind::Damaged},
         {"02 05 06 03", good}},
        {"junk with an ETX keeps the frame behind it",
         {hex("41 03 02 04 04 03")},
         {FrameKind::Damaged},
         {"41 03", good}},
    };
    for (const Case& c : cases) {
        Receiver rx = receiverFor(Tarvo5);
        Sink sink;
        sink.results = c.results;
        for (const QByteArray& b : c.batches)
            rx.feed(b, [&](const QByteArray& f) { return sink(f); });
        EXPECT_EQ(sink.frames, c.frames) << c.name;
        EXPECT_EQ(rx.receiveCount(), 0) << c.name;
    }
}

TEST(Receiver, OverflowEmptiesBufferAndDropsRestOfBatch) {
    Receiver rx = receiverFor(Tarvo5);
    Sink sink;
    auto cb = [&](const QByteArray& f) { return sink(f); };
    QString debug;
    // 101 bytes without an end byte, then a complete frame in the same batch.
    rx.feed(QByteArray(101, 'A') + tarvo::testFrame(), cb, &debug);
    EXPECT_TRUE(sink.frames.isEmpty());
    EXPECT_EQ(rx.receiveCount(), 0);
    EXPECT_EQ(debug.count(QStringLiteral(" 41")), 101); // the dropped byte is logged
    EXPECT_FALSE(debug.contains(QStringLiteral(" 4 4 3")));
    rx.feed(tarvo::testFrame(), cb);
    EXPECT_EQ(sink.frames, QStringList({"02 04 04 03"}));

    // Exactly 100 held: the first byte of the next batch overflows it.
    Receiver full = receiverFor(Tarvo5);
    full.feed(QByteArray(100, 'A'), cb);
    EXPECT_EQ(full.receiveCount(), 100);
    full.feed(tarvo::testFrame(), cb);
    EXPECT_EQ(sink.frames.size(), 1);
    EXPECT_EQ(full.receiveCount(), 0);
}

TEST(Receiver, ChecksumErrorDropsRestOfBatchOnlyWithoutAStartByte) {
    // The Portables have no start byte: after a damaged frame nothing tells
    // where the next one begins.
    Receiver rx = receiverFor(Portables);
    Sink sink;
    auto cb = [&](const QByteArray& f) { return sink(f); };
    const QByteArray reply = QByteArray(25, '1') + char(0x04);
    const QByteArray two = reply + reply;
    sink.results = {FrameKind::Damaged};
    rx.feed(two, cb);
    EXPECT_EQ(sink.frames, QStringList({toHex(reply)}));
    EXPECT_EQ(rx.receiveCount(), 0);
    rx.feed(reply, cb);
    EXPECT_EQ(sink.frames.size(), 2);

    for (FrameKind r : {FrameKind::NoReading, FrameKind::Reading}) {
        Sink s;
        s.results = {r};
        rx.feed(two, [&](const QByteArray& f) { return s(f); });
        EXPECT_EQ(s.frames.size(), 2) << int(r);
    }
}

TEST(Receiver, DebugTextListsEveryByteInHex) {
    Receiver rx = receiverFor(Tarvo5);
    QString debug;
    rx.feed(
        hex("02 AB 0F 00 A4 03"), [](const QByteArray&) { return FrameKind::Reading; }, &debug);
    EXPECT_EQ(debug, "Part  2 AB F 0 A4 3");
}
