// The station with a portable instrument: the connection test and its stop
// of on-line sending, the re-probe, on-line collection, the log download with
// its retries, the calibration record and the clock.
#include "protocol/portables.h"
#include "station/portables_conversation.h"
#include "support/portables_frames.h"
#include "support/station_fixture.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>

using namespace zel;
using test::portablesCalibration;
using test::portablesEndOfLog;
using test::portablesFrame;
using test::portablesReading;

namespace {

QByteArray cmd(uint8_t c, const QByteArray& params = QByteArray()) {
    return buildPortableCommand(c, params);
}

class PortablesStation : public ::testing::Test, public test::StationRig {
protected:
    PortablesStation() : StationRig(Portables) {}

    // Reading lines of the working file, after its header of 8 lines.
    QStringList fileReadings() const { return fileLines().mid(8); }

    // The start-up of a portable instrument: the test answered, sending stopped.
    void connect() {
        ASSERT_TRUE(openPort());
        station->enterStartupState();
        port.inject(portablesReading(10500));
        port.takeWritten();
        view.statusHistory.clear();
    }
};

} // namespace

TEST_F(PortablesStation, TestAnswerStopsOnlineSendingInsteadOfAddingARow) {
    ASSERT_TRUE(station->openPortAtStartup());
    EXPECT_EQ(port.takeWritten(), cmd(6));
    EXPECT_TRUE(station->state().testPending);
    EXPECT_TRUE(station->replyTimer().isActive());
    station->enterStartupState();
    EXPECT_EQ(view.connected, false);
    EXPECT_TRUE(station->reprobeTimer().isActive());

    port.inject(portablesReading(10500));
    EXPECT_EQ(port.takeWritten(), cmd(9)) << "the instrument is told to stop sending";
    EXPECT_EQ(list.rowIndex, 0);
    EXPECT_EQ(view.connected, true);
    EXPECT_EQ(view.status, "Instrument Succesfully Connected");
    EXPECT_FALSE(station->reprobeTimer().isActive());
    EXPECT_FALSE(station->replyTimer().isActive());
    EXPECT_TRUE(station->state().onlineIdle);
    EXPECT_TRUE(view.enabled[Command::GetData]);
    EXPECT_TRUE(view.enabled[Command::Calibration]);
}

TEST_F(PortablesStation, LostInstrumentIsProbedEveryTwoSecondsUntilItAnswers) {
    connect();
    station->testConnection();
    port.takeWritten();
    for (int i = 0; i < 3; ++i)
        station->onReplyTimeout();
    EXPECT_EQ(view.status, "Instrument not responding");
    EXPECT_EQ(view.connected, false);
    EXPECT_FALSE(view.enabled[Command::Start]);
    EXPECT_FALSE(station->replyTimer().isActive());
    ASSERT_TRUE(station->reprobeTimer().isActive());
    EXPECT_EQ(station->reprobeTimer().interval(), 2000);

    // An unanswered probe loses the instrument again, but the probing keeps
    // its two-second beat: the timer runs on instead of starting over.
    QTest::qWait(250);
    station->onReprobe();
    for (int i = 0; i < 2; ++i) {
        station->onReplyTimeout();
        EXPECT_TRUE(station->reprobeTimer().isActive());
        EXPECT_LT(station->reprobeTimer().remainingTime(), 1900);
    }
    station->onReprobe();
    EXPECT_EQ(port.takeWritten(), cmd(6) + cmd(6));
    EXPECT_TRUE(station->state().testPending);
    port.inject(portablesReading(10500));
    EXPECT_FALSE(station->reprobeTimer().isActive());
    EXPECT_EQ(view.connected, true);
    EXPECT_EQ(list.rowIndex, 0);
}

TEST_F(PortablesStation, OnlineSendsTheIntervalTakesReadingsAndStopsWithZeros) {
    connect();
    station->setInterval({12, 5});
    station->toggleOnline();
    EXPECT_EQ(port.takeWritten().toHex(' '), "01 09 31 32 30 35 30 30 30 04");
    EXPECT_FALSE(station->replyTimer().isActive()) << "no reply is awaited";

    port.inject(portablesReading(0xC803, 1, 3, 12));
    EXPECT_EQ(station->alarmLevel(), AlarmLevel::Fault) << "status 12 is an alarm code";
    port.inject(portablesReading(0x2F1D, 17, 0, 0));
    ASSERT_EQ(list.rowIndex, 2);
    EXPECT_EQ(list.cell(1, 0), "QR-000012345");
    EXPECT_EQ(list.cell(1, 1), formatGeneralDateTime(clock.now())) << "stamped on arrival";
    EXPECT_EQ(list.cell(1, 2), "*");
    EXPECT_EQ(view.valueText, "0.61 mR/hf");
    EXPECT_EQ(view.detector, "Internal");
    const QStringList lines = fileReadings();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].contains(",2030.00,mR/h,OvrThrRate,DX13,")) << lines[0].toStdString();

    station->toggleOnline();
    EXPECT_EQ(port.takeWritten(), cmd(9));
}

// The instrument counts whole seconds and takes all zeros for "stop".
TEST_F(PortablesStation, AnIntervalBelowOneSecondStartsAtOneSecond) {
    connect();
    const struct {
        Interval interval;
        const char* sent;
        bool said;
    } cases[] = {{{0, 0.4}, "0001", true},
                 {{0, 0}, "0001", true},
                 {{0, 1}, "0001", false},
                 {{1, 0.2}, "0100", false}};
    for (const auto& c : cases) {
        station->setInterval(c.interval);
        view.status.clear();
        station->toggleOnline();
        EXPECT_EQ(port.takeWritten(), cmd(9, QByteArray(c.sent) + "000")) << c.sent;
        EXPECT_EQ(view.status.startsWith("Portables send at most one reading a second"), c.said);
        station->toggleOnline();
        EXPECT_EQ(port.takeWritten(), cmd(9));
    }
}

TEST_F(PortablesStation, DownloadAsksRecordByRecordUntilTheEndRecord) {
    connect();
    station->getData();
    EXPECT_EQ(port.takeWritten(), cmd(9) + cmd(4)) << "on-line sending stops first";
    EXPECT_TRUE(station->replyTimer().isActive());
    for (int i = 0; i < 3; ++i) {
        port.inject(portablesReading(10500 + i, 1, 0, 0, "QR-000012345",
                                     QDateTime(QDate(2026, 2, 1 + i), QTime(8, 15))));
        EXPECT_EQ(port.takeWritten(), cmd(5)) << i;
        EXPECT_TRUE(station->replyTimer().isActive());
    }
    EXPECT_EQ(view.downloadProgress, "Records downloaded: 3");
    port.inject(portablesEndOfLog());
    EXPECT_TRUE(port.takeWritten().isEmpty()) << "nothing is asked after the end";
    EXPECT_FALSE(station->state().downloading);
    EXPECT_EQ(view.status, "Data loaded succesfully.");
    ASSERT_EQ(list.rowIndex, 3);
    EXPECT_EQ(list.cell(3, 1), formatGeneralDateTime(QDateTime(QDate(2026, 2, 3), QTime(8, 15))))
        << "the logged date-time";
    EXPECT_EQ(fileReadings().size(), 3);
}

TEST_F(PortablesStation, DownloadOfAnEmptyLog) {
    connect();
    station->getData();
    port.inject(portablesEndOfLog());
    EXPECT_EQ(view.status, "No data in instrument");
    EXPECT_EQ(list.rowIndex, 0);
    EXPECT_FALSE(station->state().downloading);
}

TEST_F(PortablesStation, DamagedOrMissingRecordsAreAskedAgainAndALostLinkKeepsTheRows) {
    connect();
    station->getData();
    port.takeWritten();
    port.inject(portablesReading(10500));
    port.takeWritten();

    QByteArray bad = portablesReading(10501);
    bad[5] = char(bad[5] ^ 1);
    port.inject(bad);
    EXPECT_EQ(port.takeWritten(), cmd(5));
    EXPECT_EQ(station->state().totalErrors, 1u);
    // A reply too short for a reading (the receiver lets 20 to 25 bytes
    // through only with an earlier end byte).
    station->dispatchFrame(portablesFrame(QByteArray(20, '1')));
    EXPECT_EQ(port.takeWritten(), cmd(5));
    EXPECT_EQ(list.rowIndex, 1);

    port.inject(portablesReading(10502));
    port.takeWritten();
    // Silence: command 5 each second, the third miss loses the connection.
    station->onReplyTimeout();
    station->onReplyTimeout();
    EXPECT_EQ(port.takeWritten(), cmd(5) + cmd(5));
    station->onReplyTimeout();
    EXPECT_EQ(view.status, "Instrument not responding");
    EXPECT_FALSE(station->state().downloading);
    EXPECT_TRUE(port.takeWritten().isEmpty());
    EXPECT_TRUE(station->reprobeTimer().isActive());
    EXPECT_EQ(list.rowIndex, 2);
    EXPECT_EQ(fileReadings().size(), 2) << "every record received stays in the file";
}

TEST_F(PortablesStation, CalibrationRecordReachesTheWindowAndACutOneIsAnError) {
    connect();
    QList<PortablesCalibration> spy;
    QObject::connect(station, &Station::calibrationReceived,
                     [&spy](const PortablesCalibration& record) { spy.append(record); });
    station->requestCalibration();
    EXPECT_EQ(port.takeWritten(), cmd(8));
    EXPECT_FALSE(station->replyTimer().isActive()) << "command 8 awaits no reply";

    const QByteArray record = portablesCalibration();
    port.inject(record);
    ASSERT_EQ(spy.size(), 1);
    const PortablesCalibration* c = &spy.at(0);
    EXPECT_EQ(c->factor, "1.25");

    station->dispatchFrame(portablesFrame(record.mid(1, 30)));
    EXPECT_EQ(spy.size(), 1);
    EXPECT_EQ(station->state().totalErrors, 1u);
    EXPECT_EQ(list.rowIndex, 0);
}

TEST_F(PortablesStation, SendTimeWritesTheClockCommand) {
    connect();
    station->sendTime();
    EXPECT_EQ(port.takeWritten().toHex(' '), "01 20 03 0e 14 1a 0a 00 00 04");
}

// Records 2 to 5 damaged: asked for three times more, then the download ends
// with a message instead of waiting for ever, and "Get Data" goes on.
TEST_F(PortablesStation, DamagedRepliesInARowEndTheDownloadAndGetDataGoesOn) {
    connect();
    station->getData();
    port.takeWritten();
    for (int r = 0; r < 2; ++r)
        port.inject(portablesReading(10500 + r));
    port.takeWritten();
    QByteArray bad = portablesReading(10502);
    bad[5] = char(bad[5] ^ 1);
    for (int n = 0; n < 4; ++n)
        port.inject(bad);
    EXPECT_EQ(port.takeWritten(), cmd(5) + cmd(5) + cmd(5));
    EXPECT_FALSE(station->state().downloading);
    EXPECT_FALSE(station->replyTimer().isActive());
    EXPECT_EQ(view.status, "Download was interrupted , press 'Get Data'");
    EXPECT_EQ(view.downloadProgress, "Records downloaded: 2");

    const qsizetype questions = view.questions.size();
    station->getData();
    EXPECT_EQ(view.questions.size(), questions) << "a resume appends without asking";
    EXPECT_EQ(port.takeWritten(), cmd(9) + cmd(5));
    port.inject(portablesReading(10506));
    EXPECT_EQ(view.downloadProgress, "Records downloaded: 3");
    port.inject(portablesEndOfLog());
    EXPECT_EQ(view.status, "Data loaded succesfully.");
    EXPECT_EQ(list.rowIndex, 3);
    EXPECT_EQ(fileReadings().size(), 3);
    port.takeWritten();
    // The next download starts at the beginning of the log.
    view.answers.push_back(Answer::Yes);
    station->getData();
    EXPECT_EQ(port.takeWritten(), cmd(9) + cmd(4));
}
