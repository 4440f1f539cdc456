// The station talking to an Orvan over an in-memory port: the test with
// "G11", polling with "G19", the rows, read-outs and file lines of readings
// and error reports, and what a damaged reply does.
#include "common/datetime.h"
#include "protocol/orvan.h"
#include "station/station.h"
#include "support/orvan_frames.h"
#include "support/station_fixture.h"

#include <gtest/gtest.h>

using namespace zel;
using test::orvanR11;
using test::orvanR19;

namespace {

const QByteArray G11("\x02G11\x03");
const QByteArray G19("\x02G19\x03");

class OrvanStation : public ::testing::Test, protected test::StationRig {
protected:
    OrvanStation()
        : StationRig(
              Orvan,
              [](Settings& s) {
                  s.Threshold1 = 100;
                  s.Threshold2 = 500;
                  s.CommonFileName.clear();
              },
              QDateTime(QDate(2026, 3, 14), QTime(10, 0, 0, 7))) {}

    // Start-up with the port open: the test goes out and the R11 answer with
    // `unitsDigit` comes back; then on-line collection at `interval`.
    void connectAndStart(char unitsDigit, Interval interval) {
        station->enterStartupState();
        ASSERT_TRUE(station->openPortAtStartup());
        ASSERT_EQ(port.takeWritten(), G11);
        port.inject(orvanR11(unitsDigit));
        station->setInterval(interval);
        station->toggleOnline();
    }
};

TEST_F(OrvanStation, SilentInstrumentIsAskedThreeTimesThenReportedLost) {
    station->enterStartupState();
    EXPECT_TRUE(station->state().onlineIdle);
    ASSERT_TRUE(station->openPortAtStartup());
    EXPECT_EQ(port.takeWritten(), G11);
    EXPECT_TRUE(station->replyTimer().isActive());

    station->onReplyTimeout();
    EXPECT_EQ(view.status, "Testing Connection 1");
    EXPECT_EQ(port.takeWritten(), G11);
    station->onReplyTimeout();
    EXPECT_EQ(view.status, "Testing Connection 2");
    EXPECT_EQ(port.takeWritten(), G11);
    station->onReplyTimeout();
    EXPECT_TRUE(port.takeWritten().isEmpty()) << "no fourth G11";
    EXPECT_EQ(view.status, "Instrument not responding");
    EXPECT_EQ(view.statusKind, StatusKind::Problem);
    EXPECT_EQ(view.connected, false);
    EXPECT_FALSE(view.enabled[Command::Start]);
    EXPECT_FALSE(station->replyTimer().isActive());
    EXPECT_EQ(station->state().totalErrors, 3u);
}

TEST_F(OrvanStation, SievertAnswerThenPolledReadingsLandInTheOrvanColumns) {
    connectAndStart('0', {0, 1});
    EXPECT_EQ(view.connected, true);
    EXPECT_EQ(station->conversation().instrumentUnits(), "uSv/h");
    EXPECT_EQ(list.heading(3), "GM uSv/h");
    EXPECT_EQ(list.heading(2), "CPS");
    EXPECT_EQ(station->pollTimer().interval(), 1000);

    station->onPollTick();
    EXPECT_EQ(port.takeWritten(), G19);
    EXPECT_TRUE(station->replyTimer().isActive());
    port.inject(orvanR19(12, 34, 56, 42, 7, 12345));
    EXPECT_FALSE(station->replyTimer().isActive());
    ASSERT_EQ(list.rowIndex, 1);
    const QString time = formatGeneralDateTime(clock.now());
    const QString row[] = {"12", time, "42", "  123.45", "        7", "34", "         56"};
    for (int c = 0; c < MeasurementList::Columns; ++c)
        EXPECT_EQ(list.cell(1, c), row[c]) << c;
    EXPECT_EQ(view.valueText, "123.45 uSv/h");
    EXPECT_EQ(view.doseText, "42 cps");
    EXPECT_EQ(view.level, AlarmLevel::High1) << "the thresholds apply to the GM rate";
    EXPECT_EQ(view.status, time);

    const QStringList lines = fileLines();
    ASSERT_EQ(lines.size(), 9);
    EXPECT_EQ(lines[7], "Americium,Time,Gamma(uSv/h),Neutrons,Cesium,Cobalt,CPS");
    EXPECT_EQ(lines[8], "12," + time + ",123.45,7,34,56,42");
}

TEST_F(OrvanStation, AProbeNumberTakesTheFirstColumnButTheAmericiumIsStillSent) {
    connectAndStart('0', {0, 1});
    station->autoMode = true;
    station->probeNumber = "P7";
    QList<Reading> filed;
    QObject::connect(station, &Station::readingFiled,
                     [&filed](const Reading& r, AlarmLevel) { filed.append(r); });
    station->onPollTick();
    port.inject(orvanR19(12, 34, 56, 42, 7, 12345));
    EXPECT_EQ(list.cell(1, 0), "P7");
    EXPECT_TRUE(fileLines().last().startsWith("P7,"));
    ASSERT_EQ(filed.size(), 1);
    EXPECT_EQ(filed[0].instrumentId, "P7");
    ASSERT_NE(filed[0].extra(u"americium"), nullptr);
    EXPECT_EQ(filed[0].extra(u"americium")->number, 12);
    EXPECT_EQ(filed[0].value, 123.45);
}

TEST_F(OrvanStation, ErrorReportsAreRowsAndUnknownRepliesAreErrors) {
    connectAndStart('1', {0, 1});
    port.inject(orvanR19(0, 0, 0, 9, 0, 150));
    EXPECT_EQ(view.valueText, "150.00 uR/h");

    port.inject("\x02"
                "E01\x03");
    ASSERT_EQ(list.rowIndex, 2);
    EXPECT_EQ(list.cell(2, 3), "       0");
    EXPECT_EQ(list.cell(2, 5), "Ilgl Par");
    EXPECT_EQ(view.doseText, "9 cps") << "an error report keeps the count rate";
    EXPECT_EQ(view.connected, true);
    EXPECT_EQ(station->state().totalErrors, 0u);

    port.inject("\x02"
                "C19\x03");
    port.inject("\x02"
                "R42\x03");
    EXPECT_EQ(list.rowIndex, 2);
    EXPECT_EQ(station->state().totalErrors, 2u);
    port.inject(orvanR19(0, 0, 0, 9, 0, 1));
    EXPECT_EQ(station->state().errorCount, 0u);
}

TEST_F(OrvanStation, ShortReplyAfterAFullOneIsAnErrorNotAStaleRow) {
    connectAndStart('0', {0, 1});
    const QByteArray full = orvanR19(1, 2, 3, 4, 5, 600);
    port.inject(full);
    ASSERT_EQ(list.rowIndex, 1);
    // The same reply cut after its Cobalt column: the buffer still holds the
    // earlier frame's count rate and GM rate behind it.
    port.inject(full.left(19) + "\x03");
    EXPECT_EQ(list.rowIndex, 1);
    EXPECT_EQ(station->state().totalErrors, 1u);
    EXPECT_EQ(fileLines().size(), 9);
}

TEST_F(OrvanStation, HundredMillisecondPollingWritesMillisecondsOrSecondsSinceMidnight) {
    settings.TimeFormat = 0;
    connectAndStart('0', {0, 0.1});
    EXPECT_EQ(station->pollTimer().interval(), 100);
    port.inject(orvanR19(1, 2, 3, 4, 5, 6));
    EXPECT_EQ(list.cell(1, 1), formatGeneralDateTime(clock.now()) + ":007");
    // The graph series takes the reading's own moment.
    EXPECT_EQ(data.series().times()[0], toDayCount(clock.now()));

    settings.TimeFormat = 1;
    port.inject(orvanR19(1, 2, 3, 4, 5, 6));
    EXPECT_EQ(list.cell(2, 1), "36000.007");
}

// The poll follows the interval as the Tarvo-5's does: the whole minutes are
// counted down by the minute timer before the seconds run.
TEST_F(OrvanStation, PollsComeAtTheIntervalWholeMinutesIncluded) {
    connectAndStart('0', {0, 5});
    const struct {
        Interval interval;
        int firstTick; // ms of the poll timer at Start
    } cases[] = {{{2, 0}, 1}, {{2, 5}, 5000}, {{0, 5}, 5000}};
    for (const auto& c : cases) {
        station->stopOnline();
        station->setInterval(c.interval);
        station->toggleOnline();
        port.takeWritten();
        EXPECT_EQ(station->pollTimer().interval(), c.firstTick);
        for (int minute = 0; minute < int(c.interval.Minutes); ++minute) {
            for (int tick = 0; tick < 3; ++tick)
                station->onPollTick();
            EXPECT_TRUE(port.takeWritten().isEmpty()) << "no poll before the minutes are up";
            EXPECT_FALSE(station->pollTimer().isActive());
            station->onMinuteTick();
        }
        ASSERT_TRUE(station->pollTimer().isActive());
        station->onPollTick();
        EXPECT_EQ(port.takeWritten(), G19);
        port.inject(orvanR19(1, 2, 3, 4, 5, 6));
        // One poll per interval: the next ticks wait for the minutes again.
        station->onPollTick();
        EXPECT_EQ(port.takeWritten().isEmpty(), c.interval.Minutes > 0);
    }
}

// Polled every second or faster, the reply wait never runs out before the
// next poll: the poll itself counts a reply still awaited as missed.
TEST_F(OrvanStation, ASilentInstrumentIsReportedAtAnyPollInterval) {
    connectAndStart('0', {0, 1});
    station->stopOnline();
    for (double seconds : {1.0, 0.1}) {
        station->setInterval({0, seconds});
        station->toggleOnline();
        port.takeWritten();
        station->onPollTick();
        port.inject(orvanR19(1, 2, 3, 4, 5, 6));
        EXPECT_EQ(list.rowIndex, 1);
        for (int poll = 1; poll <= 3; ++poll) {
            station->onPollTick();
            EXPECT_EQ(port.takeWritten().right(5), G19);
            EXPECT_EQ(station->state().errorCount, unsigned(poll - 1));
        }
        EXPECT_EQ(view.status, "Testing Connection 2");
        station->onPollTick();
        EXPECT_EQ(view.status, "Instrument not responding");
        EXPECT_EQ(view.connected, false);
        // An answer brings it back.
        port.inject(orvanR19(1, 2, 3, 4, 5, 6));
        EXPECT_EQ(view.connected, true);
        EXPECT_EQ(station->state().errorCount, 0u);
        station->stopOnline();
        list.clearGrid();
    }
}

} // namespace
