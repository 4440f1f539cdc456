// The simulated Orvan, driven in memory. Its answers are read back with the
// station's own codec, so a character out of its column shows up as a wrong
// field.
#include "common/datetime.h"
#include "protocol/orvan.h"
#include "protocol/receiver.h"
#include "sim/sim_cli.h"
#include "sim/sim_orvan.h"
#include "station/clock.h"
#include "support/reading_rows.h"

#include <gtest/gtest.h>

using namespace zel;
using namespace zel::sim;

namespace {

const QByteArray G11("\x02G11\x03");
const QByteArray G19("\x02G19\x03");

// The station's receiver cuts the answer stream into frames and checks each.
QList<orvan::Reply> repliesOf(const QByteArray& stream) {
    Receiver rx;
    rx.setRules(orvan::Framing);
    QList<orvan::Reply> out;
    rx.feed(stream, [&](const QByteArray& frame) {
        out.append(orvan::readReply(frame));
        return out.last().kind;
    });
    return out;
}

TEST(SimOrvan, AnswersTestAndPollInTheStationsColumns) {
    FixedClock clock;
    OrvanOptions o;
    o.unitsDigit = 0;
    o.gm = 12345;
    o.countRate = 42.4;
    o.americium = 1;
    o.cesium = 2;
    o.cobalt = 3;
    o.neutrons = 123456; // more than five characters can show
    SimOrvan sim(o, &clock);

    const QList<orvan::Reply> test = repliesOf(sim.receive(G11));
    ASSERT_EQ(test.size(), 1);
    EXPECT_EQ(test[0].kind, FrameKind::Connected);
    EXPECT_EQ(test[0].unitText, orvan::Sievert);

    // A poll cut anywhere is still one poll.
    EXPECT_TRUE(sim.receive(G19.left(2)).isEmpty());
    const QByteArray reply = sim.receive(G19.mid(2));
    const auto reading = orvan::parseReading(reply, 0.01, clock.now(), OrvanTimeForm::DateTime);
    ASSERT_TRUE(reading);
    const MeasurementRecord r = test::rowOf(*reading, Orvan);
    EXPECT_EQ(r.InstrumentId, "1");
    EXPECT_EQ(r.Status, "2");
    EXPECT_EQ(r.Detector, "3");
    EXPECT_EQ(r.OverMark, "42");
    EXPECT_EQ(r.Units, "99999");
    EXPECT_EQ(r.Value, "123.45");

    o.unitsDigit = 1;
    SimOrvan roentgen(o, &clock);
    EXPECT_EQ(repliesOf(roentgen.receive(G11))[0].unitText, orvan::Roentgen);
}

TEST(SimOrvan, ErrorRepliesSilenceAndGarbage) {
    FixedClock clock;
    OrvanOptions o;
    o.errorEvery = 2;
    SimOrvan errors(o, &clock);
    const QList<orvan::Reply> polls = repliesOf(errors.receive(G19 + G19 + G19 + G19));
    ASSERT_EQ(polls.size(), 4);
    EXPECT_EQ(polls[0].kind, FrameKind::Reading);
    EXPECT_EQ(polls[1].kind, FrameKind::InstrumentError);
    // Commands it does not know.
    EXPECT_EQ(repliesOf(errors.receive("\x02G42\x03"))[0].kind, FrameKind::InstrumentError);
    EXPECT_EQ(repliesOf(errors.receive("\x02X11\x03"))[0].kind, FrameKind::InstrumentError);

    o = {};
    o.garbageEvery = 1;
    SimOrvan garbage(o, &clock);
    const QList<orvan::Reply> junk = repliesOf(garbage.receive(G19 + G11 + G19));
    ASSERT_EQ(junk.size(), 3);
    for (const orvan::Reply& r : junk)
        EXPECT_EQ(r.kind, FrameKind::NoReading);

    o = {};
    o.stopAfter = 1;
    SimOrvan stopping(o, &clock);
    EXPECT_FALSE(stopping.receive(G11).isEmpty());
    EXPECT_TRUE(stopping.receive(G11 + G19).isEmpty());
    EXPECT_EQ(stopping.framesRecognised(), 3);
}

TEST(SimOrvan, CommandLine) {
    SimCommandLine c = parseSimCommandLine({"zel-sim", "orvan", "--units", "1", "--gm", "250",
                                            "--cps", "7", "--americium", "1.5", "--error-every",
                                            "5", "--garbage-every", "7", "--silent", "--steady"});
    ASSERT_EQ(c.exitCode, -1) << c.message.toStdString();
    EXPECT_EQ(c.optionsAs<OrvanOptions>().unitsDigit, 1);
    EXPECT_EQ(c.optionsAs<OrvanOptions>().gm, 250);
    EXPECT_EQ(c.optionsAs<OrvanOptions>().countRate, 7);
    EXPECT_EQ(c.optionsAs<OrvanOptions>().americium, 1.5);
    EXPECT_EQ(c.optionsAs<OrvanOptions>().errorEvery, 5);
    EXPECT_EQ(c.optionsAs<OrvanOptions>().garbageEvery, 7);
    EXPECT_TRUE(c.optionsAs<OrvanOptions>().silent);
    EXPECT_TRUE(c.optionsAs<OrvanOptions>().steady);
    ASSERT_TRUE(makeInstrument(c));
    EXPECT_EQ(makeInstrument(c)->family(), "orvan");
    EXPECT_EQ(parseSimCommandLine({"zel-sim", "orvan"}).optionsAs<OrvanOptions>().unitsDigit, 0);

    for (const QStringList& bad : QList<QStringList>{
             {"--units", "10"}, {"--gm", "-1"}, {"--cps", "1e6"}, {"--error-every", "x"}}) {
        c = parseSimCommandLine(QStringList{"zel-sim", "orvan"} + bad);
        EXPECT_EQ(c.exitCode, 2) << bad.join(' ').toStdString();
    }
}

} // namespace
