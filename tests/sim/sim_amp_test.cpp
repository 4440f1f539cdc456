// The simulated amplifier: confirmations, the parameter block, readings at
// its interval once started, and its command line.
#include "sim/sim_amp.h"
#include "sim/sim_cli.h"

#include <gtest/gtest.h>

using namespace zel;
using namespace zel::sim;

namespace {

QByteArray ticks(SimAmp& sim, int n) {
    QByteArray out;
    for (int i = 0; i < n; ++i)
        out += sim.onTimer();
    return out;
}

TEST(SimAmp, ConfirmsEveryCommandAndKeepsWhatWasSet) {
    SimAmp sim;
    struct Case {
        amp::Command command;
        char reply;
    };
    const Case cases[] = {
        {amp::stopCommand(), '2'},
        {amp::thresholdCommand(3, "00500"), '5'},
        {amp::backgroundCommand("15001"), '5'},
        {amp::intervalCommand("0002"), '4'},
        {amp::serialNumberCommand("654321"), '8'},
        {amp::baudCommand(3), '8'},
        {amp::optionsCommand(false, true, true, 30, 30), '7'},
        {amp::startCommand(), '1'},
    };
    for (const Case& c : cases) {
        const QByteArray reply = sim.receive(c.command.bytes);
        EXPECT_EQ(amp::classify(reply).kind, FrameKind::SetupReply) << c.reply;
        EXPECT_EQ(amp::replyCode(reply), c.reply - '0');
        EXPECT_EQ(amp::replyCode(reply), c.command.awaited) << "the pair the station waits for";
    }
    EXPECT_EQ(sim.commandsHeard(), "@52481"
                                   "7A");
    const AmpParams& p = sim.params();
    EXPECT_DOUBLE_EQ(p.Thresholds[3], 0.05);
    EXPECT_DOUBLE_EQ(p.Background, 15);
    EXPECT_EQ(p.Interval, 2);
    EXPECT_EQ(p.SerialNumber, "654321");
    EXPECT_EQ(p.BaudIndex, 3);
    EXPECT_TRUE(!p.DoseEnabled && p.Latch && p.Buzzer);

    // Its block reads back as the station decodes it.
    const QByteArray block = sim.receive(amp::parametersCommand().bytes);
    const auto b = amp::parseParameterBlock(block, AmpParams{});
    ASSERT_TRUE(b);
    EXPECT_TRUE(b->fiveThresholds);
    EXPECT_EQ(b->params, p);
}

TEST(SimAmp, SendsReadingsAtItsIntervalOnlyWhileStarted) {
    AmpOptions o;
    o.meterType = 0;
    o.intervalSeconds = 2;
    o.value = 12.3;
    o.corruptEvery = 3;
    SimAmp sim(o);
    EXPECT_TRUE(ticks(sim, 50).isEmpty()) << "silent until started";
    sim.receive(amp::startCommand().bytes);
    EXPECT_TRUE(ticks(sim, 19).isEmpty());
    const QByteArray line = ticks(sim, 1);
    ASSERT_EQ(amp::classify(line).kind, FrameKind::ReadingWhileCollecting);
    const auto r = amp::parseReading(line, 0, QDateTime());
    ASSERT_TRUE(r);
    EXPECT_EQ(amp::readingText(r->value), "12.3");
    EXPECT_EQ(r->unit, "uSv/h");
    EXPECT_EQ(r->status, "O.K.");
    EXPECT_EQ(amp::classify(ticks(sim, 20)).kind, FrameKind::ReadingWhileCollecting);
    EXPECT_EQ(amp::classify(ticks(sim, 20)).kind, FrameKind::Damaged) << "every third is damaged";
    EXPECT_FALSE(sim.parameterBlock().startsWith("\n9")) << "AmpA has one threshold";
    sim.receive(amp::stopCommand().bytes);
    EXPECT_TRUE(ticks(sim, 50).isEmpty());
    EXPECT_EQ(sim.readingsSent(), 3);
}

TEST(SimAmp, SilentMeterAndCutCommands) {
    AmpOptions o;
    o.silent = true;
    SimAmp silent(o);
    EXPECT_TRUE(silent.receive(amp::startCommand().bytes).isEmpty());
    EXPECT_TRUE(ticks(silent, 30).isEmpty());
    SimAmp sim;
    const QByteArray stop = amp::stopCommand().bytes;
    // Split anywhere, with noise before the LF.
    EXPECT_TRUE(sim.receive("xx" + stop.left(4)).isEmpty());
    EXPECT_FALSE(sim.receive(stop.mid(4)).isEmpty());
    EXPECT_TRUE(sim.receive("\n@\r").isEmpty()) << "too short for a command";
    EXPECT_EQ(sim.framesRecognised(), 1);
}

TEST(SimAmp, CommandLine) {
    const SimCommandLine c = parseSimCommandLine(
        {"zel-sim", "amp", "--meter-type", "1", "--roentgen", "--interval", "5", "--value", "3.5",
         "--status", "2", "--silent", "--corrupt-every", "4"});
    ASSERT_EQ(c.exitCode, -1) << c.message.toStdString();
    EXPECT_EQ(c.optionsAs<AmpOptions>().meterType, 1);
    EXPECT_FALSE(c.optionsAs<AmpOptions>().sievert);
    EXPECT_EQ(c.optionsAs<AmpOptions>().intervalSeconds, 5);
    EXPECT_DOUBLE_EQ(c.optionsAs<AmpOptions>().value, 3.5);
    EXPECT_EQ(c.optionsAs<AmpOptions>().status, 2);
    EXPECT_TRUE(c.optionsAs<AmpOptions>().silent);
    EXPECT_EQ(c.optionsAs<AmpOptions>().corruptEvery, 4);
    EXPECT_EQ(makeInstrument(c)->family(), "amp");
    EXPECT_EQ(parseSimCommandLine({"zel-sim", "amp", "--meter-type", "5"}).exitCode, 2);
    EXPECT_EQ(parseSimCommandLine({"zel-sim", "amp", "--interval", "0"}).exitCode, 2);
    EXPECT_EQ(parseSimCommandLine({"zel-sim", "amp", "--push-every", "0"}).exitCode, -1)
        << "the demo's options are accepted";
}

} // namespace
