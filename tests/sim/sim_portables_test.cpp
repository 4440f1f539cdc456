// The simulated portable instrument, driven in memory. Its replies are read
// back with the station's own codec.
#include "protocol/checksums.h"
#include "protocol/portables.h"
#include "sim/sim_cli.h"
#include "sim/sim_portables.h"
#include "sim/sim_tarvo.h"
#include "station/clock.h"
#include "support/reading_rows.h"

#include <gtest/gtest.h>

using namespace zel;
using namespace zel::sim;

namespace {

const QDateTime kNow(QDate(2026, 3, 4), QTime(5, 6, 7));

QByteArray command(uint8_t c, const QByteArray& params = QByteArray()) {
    return buildPortableCommand(c, params);
}

MeasurementRecord reading(const QByteArray& reply, bool logged = false) {
    EXPECT_EQ(portables::classify(reply).kind, FrameKind::Reading)
        << reply.toHex(' ').toStdString();
    return test::rowOf(portables::parseReading(reply, logged, kNow), Portables)
        .value_or(MeasurementRecord{});
}

struct SimPortablesTest : ::testing::Test {
    FixedClock clock{kNow};
    PortablesOptions opts() {
        PortablesOptions o;
        o.steady = true;
        return o;
    }
};

} // namespace

TEST(SimPortablesValueCode, ShowsTheValueItStandsFor) {
    struct Case {
        double value;
        int code;
    };
    for (const Case& c : {Case{12, 11120},
                          {0.61, 13610},
                          {2030, 51203},
                          {999, 10999},
                          {999.7, 51100},
                          {0.000123, 16123},
                          {0, 10000},
                          {-3, 10000},
                          {1e15, 59999}}) {
        EXPECT_EQ(portablesValueCode(c.value), c.code) << c.value;
        EXPECT_LE(portablesValueCode(c.value), 0xFFFF);
    }
    for (double v : {0.02, 0.5, 7.25, 12.0, 480.0, 2030.0, 15000.0}) {
        const double back = portablesValue(portablesValueCode(v));
        EXPECT_NEAR(back, v, v * 0.005) << v;
    }
}

TEST_F(SimPortablesTest, TestCommandAndCalibrationAreAnsweredInTheStationsLayout) {
    SimPortables sim(opts(), &clock);
    // A command cut in two, behind a stray byte.
    const QByteArray test = command(6);
    EXPECT_TRUE(sim.receive("\x7f" + test.left(4)).isEmpty());
    const QByteArray reply = sim.receive(test.mid(4));
    ASSERT_EQ(reply.size(), 26);
    const MeasurementRecord r = reading(reply);
    EXPECT_EQ(r.InstrumentId, "QUORIN 00042");
    EXPECT_EQ(r.Value, "12.00");
    EXPECT_EQ(r.Units, "mR/h");
    EXPECT_EQ(r.Detector, "QUORIN");
    EXPECT_EQ(sim.framesRecognised(), 1);

    const QByteArray cal = sim.receive(command(8));
    ASSERT_EQ(cal.size(), 35);
    EXPECT_EQ(portables::classify(cal).kind, FrameKind::Calibration);
    const auto c = portables::parseCalibration(cal);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->meter, "00471123");
    EXPECT_EQ(c->factor, "1.25");
    EXPECT_EQ(c->due, "15/09/2026");
}

TEST_F(SimPortablesTest, CalibrationChecksumNeverEndsTheFrameEarly) {
    // A name whose last byte brings the record's own checksum to 0x04.
    PortablesOptions o = opts();
    for (int n = 0; n < 256; ++n) {
        o.calibration = QByteArray("004711231250D. Levin   ") + char(n) + "15092026";
        if (twosComplementSum(o.calibration) == 0x04)
            break;
    }
    ASSERT_EQ(twosComplementSum(o.calibration), 0x04);
    SimPortables sim(o, &clock);
    const QByteArray cal = sim.receive(command(8));
    EXPECT_EQ(cal.indexOf('\x04', 25), cal.size() - 1);
    EXPECT_EQ(portables::classify(cal).kind, FrameKind::Calibration);
    EXPECT_EQ(portables::parseCalibration(cal)->meter, o.calibration.left(8));
}

TEST_F(SimPortablesTest, DownloadServesTheLogThenTheEndRecord) {
    PortablesOptions o = opts();
    o.records = 3;
    o.logValues = {0.5, 7.25};
    SimPortables sim(o, &clock);
    QStringList values, times;
    QByteArray r = sim.receive(command(4));
    while (r.size() > 1 && r.at(1) != '*') {
        const MeasurementRecord m = reading(r, true);
        values << m.Value;
        times << m.ReadingTime;
        r = sim.receive(command(5));
    }
    EXPECT_EQ(values, QStringList({"0.50", "7.25", "0.50"}));
    EXPECT_EQ(times.size(), 3);
    EXPECT_NE(times[0], times[1]) << "records are a minute apart";
    EXPECT_EQ(portables::classify(r).kind, FrameKind::EndOfLog)
        << "the end record is a valid reply";
    // Asked again, the log starts from its beginning.
    EXPECT_EQ(reading(sim.receive(command(4)), true).Value, "0.50");
}

TEST_F(SimPortablesTest, FaultOptions) {
    PortablesOptions o = opts();
    o.records = 4;
    o.stopAfterRecord = 2;
    SimPortables sim(o, &clock);
    EXPECT_FALSE(sim.receive(command(4)).isEmpty());
    EXPECT_FALSE(sim.receive(command(5)).isEmpty());
    EXPECT_TRUE(sim.receive(command(5)).isEmpty()) << "the request after record 2 is lost";
    EXPECT_FALSE(sim.receive(command(5)).isEmpty()) << "once";

    o = opts();
    o.corruptEvery = 2;
    SimPortables corrupt(o, &clock);
    EXPECT_EQ(portables::classify(corrupt.receive(command(6))).kind, FrameKind::Reading);
    EXPECT_EQ(portables::classify(corrupt.receive(command(6))).kind, FrameKind::Damaged);
    const QByteArray cal = corrupt.receive(command(8));
    EXPECT_EQ(corrupt.receive(command(8)).indexOf('\x04', 25), 34);
    EXPECT_EQ(portables::classify(cal).kind, FrameKind::Calibration);

    o = opts();
    o.stopAfter = 1;
    SimPortables quiet(o, &clock);
    EXPECT_FALSE(quiet.receive(command(6)).isEmpty());
    EXPECT_TRUE(quiet.receive(command(6)).isEmpty());
}

TEST_F(SimPortablesTest, OnlineIntervalAndClock) {
    SimPortables sim(opts(), &clock);
    EXPECT_EQ(sim.timerIntervalMs(), 0);
    EXPECT_TRUE(sim.onTimer().isEmpty());
    EXPECT_TRUE(sim.receive(buildOnlineStartCommand(1, 5)).isEmpty());
    EXPECT_EQ(sim.timerIntervalMs(), 65000);
    EXPECT_EQ(reading(sim.onTimer()).Value, "12.00");
    sim.receive(command(9));
    EXPECT_EQ(sim.timerIntervalMs(), 0);

    const QDateTime set(QDate(2025, 12, 31), QTime(23, 59, 30));
    EXPECT_TRUE(sim.receive(buildSetClockCommand(set)).isEmpty());
    EXPECT_EQ(sim.instrumentNow(), set);
    clock.advanceSeconds(40);
    EXPECT_EQ(sim.instrumentNow().date(), QDate(2026, 1, 1));
}

TEST(SimPortablesCommandLine, SharedAndOwnOptions) {
    const SimCommandLine c = parseSimCommandLine(
        {"zel-sim", "portables", "--records", "7", "--log-values", "1, 2.5,3", "--id", "AB",
         "--delay", "700", "--stop-after-record", "3", "--corrupt-every", "4", "--value", "0.5"});
    ASSERT_EQ(c.exitCode, -1) << c.message.toStdString();
    EXPECT_EQ(c.optionsAs<PortablesOptions>().records, 7);
    EXPECT_EQ(c.optionsAs<PortablesOptions>().logValues, QList<double>({1, 2.5, 3}));
    EXPECT_EQ(c.optionsAs<PortablesOptions>().id, "AB");
    EXPECT_EQ(c.replyDelayMs, 700);
    EXPECT_EQ(c.optionsAs<PortablesOptions>().stopAfterRecord, 3);
    EXPECT_EQ(parseSimCommandLine({"zel-sim", "tarvo5", "--stop-after-record", "3"})
                  .optionsAs<TarvoOptions>()
                  .stopAfterRecord,
              3);
    EXPECT_EQ(c.optionsAs<PortablesOptions>().corruptEvery, 4);
    EXPECT_DOUBLE_EQ(c.optionsAs<PortablesOptions>().value, 0.5);
    EXPECT_TRUE(makeInstrument(c));
    for (const QStringList& bad :
         QList<QStringList>{{"zel-sim", "portables", "--log-values", "1,x"},
                            {"zel-sim", "portables", "--value", "-1"},
                            {"zel-sim", "tarvo5", "--delay", "-5"}})
        EXPECT_EQ(parseSimCommandLine(bad).exitCode, 2) << bad.join(' ').toStdString();
}
