// The station against an in-memory port, a recording view and a pinned
// clock: the conversation with a Tarvo-5 and the road of a reading.
#include "common/datetime.h"
#include "protocol/tarvo.h"
#include "station/station.h"
#include "station/tarvo_conversation.h"
#include "support/fake_view.h"
#include "support/station_fixture.h"
#include "support/tarvo_frames.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>

using namespace zel;

namespace {

QByteArray hex(const char* h) {
    return QByteArray::fromHex(h);
}

using test::readingPayload;

class StationTest : public ::testing::Test, protected test::StationRig {
protected:
    StationTest() : StationRig(Tarvo5) {}

    void openPort() { ASSERT_TRUE(StationRig::openPort()); }
    void receive(const QByteArray& payload) { port.inject(tarvo::buildTarvoFrame(payload)); }
    // The instrument announces itself and confirms: ready and on-line idle.
    void becomeReady() {
        receive(hex("021B001B0000"));
        receive(hex("05"));
        port.takeWritten();
        view.statusHistory.clear();
    }
};

TEST_F(StationTest, StartupSendsTestFrameAndSilentInstrumentIsReportedAfterThreeSeconds) {
    ASSERT_TRUE(station->openPortAtStartup());
    EXPECT_EQ(port.takeWritten(), hex("02040403"));
    EXPECT_EQ(ports.OpenPort, 6);
    EXPECT_EQ(port.openedDevice(), "/dev/ttyS5");
    EXPECT_TRUE(station->replyTimer().isActive());

    station->onReplyTimeout();
    EXPECT_EQ(view.status, "Testing Connection 1");
    station->onReplyTimeout();
    EXPECT_EQ(view.status, "Testing Connection 2");
    station->onReplyTimeout();
    EXPECT_EQ(view.statusHistory.at(view.statusHistory.size() - 2), "Testing Connection 3");
    EXPECT_EQ(view.status, "Instrument not responding");
    EXPECT_EQ(view.statusKind, StatusKind::Problem);
    EXPECT_FALSE(station->replyTimer().isActive());
    EXPECT_EQ(station->state().totalErrors, 3u);
    EXPECT_TRUE(port.takeWritten().isEmpty()) << "nothing is re-sent to a silent Tarvo-5";
}

TEST_F(StationTest, FailedOpenIsReportedAndNothingIsSent) {
    port.setFailOpen(true);
    EXPECT_FALSE(station->openPortAtStartup());
    ASSERT_EQ(view.criticals.size(), 1);
    EXPECT_EQ(view.criticals[0], "Error in Opening Comm. port, Use Set Port ");
    EXPECT_EQ(ports.OpenPort, 0);
    station->testIfPortOpen();
    EXPECT_TRUE(port.writes().isEmpty());
}

TEST_F(StationTest, AnnounceIsAcknowledgedAndInitialisedMarksTheInstrumentReady) {
    openPort();
    station->enterStartupState();
    EXPECT_EQ(view.connected, false);
    receive(hex("021B001B0000"));
    EXPECT_EQ(port.takeWritten(), tarvo::buildTarvoFrame(hex("031B1B01")));
    EXPECT_EQ(static_cast<TarvoConversation&>(station->conversation()).probeCode(), 0x1B);
    EXPECT_TRUE(station->responseTimeout().isActive());
    EXPECT_EQ(view.connected, true);
    EXPECT_TRUE(station->state().onlineIdle);

    receive(hex("05"));
    EXPECT_TRUE(station->state().instrumentReady);
    EXPECT_TRUE(view.statusHistory.contains("Tarvo 5 has succesfully initialized"));
    EXPECT_EQ(view.kinds["Tarvo 5 has succesfully initialized"], StatusKind::Success);
    // What follows keeps that look: "Instrument Succesfully Connected" in blue.
    EXPECT_EQ(view.kinds["Instrument Succesfully Connected"], StatusKind::Note);
    EXPECT_TRUE(view.enabled[Command::GetData]);
    EXPECT_TRUE(view.enabled[Command::Start]);
    EXPECT_FALSE(station->replyTimer().isActive());
    EXPECT_EQ(station->state().errorCount, 0u);
}

TEST_F(StationTest, NoiseOrABadFrameCostsOnlyItself) {
    openPort();
    const QByteArray good = tarvo::buildTarvoFrame(readingPayload(0x86, 0.01f, 1));
    QByteArray bad = good;
    bad[bad.size() - 2] = char(bad.at(bad.size() - 2) ^ 0x40);
    struct Case {
        const char* name;
        QByteArray batch;
        quint32 errors;
    };
    const Case cases[] = {{"bad checksum, then a frame", bad + good, 1},
                          {"noise, then a frame", hex("FFFE") + good, 0},
                          {"junk, then a frame", QByteArray("junk") + good, 0},
                          {"a cut frame, then a frame", good.left(9) + good, 0}};
    int rows = 0;
    for (const Case& c : cases) {
        const quint32 before = station->state().totalErrors;
        port.inject(c.batch);
        EXPECT_EQ(list.rowIndex, ++rows) << c.name;
        EXPECT_EQ(station->state().totalErrors - before, c.errors) << c.name;
    }
}

TEST_F(StationTest, EscapeFollowedByALetterDropsTheFrame) {
    openPort();
    port.inject(hex("02861B7886037003"));
    // The bytes after the damaged frame are read too: 70 03 is noise.
    EXPECT_EQ(station->state().totalErrors, 2u);
    EXPECT_EQ(list.rowIndex, 0);
}

TEST_F(StationTest, TooShortReadingIsAnErrorNotARow) {
    openPort();
    receive(hex("86FF00"));
    EXPECT_EQ(list.rowIndex, 0);
    EXPECT_EQ(station->state().totalErrors, 1u);
}

// A box's event loop inside the receive path lets the port say that more
// bytes came: they are taken after the batch in hand, in the order they came.
TEST_F(StationTest, BytesArrivingWhileABatchIsHandledComeAfterIt) {
    openPort();
    QList<double> filed;
    QObject::connect(station, &Station::readingFiled, [&](const Reading& r, AlarmLevel) {
        filed << r.value;
        if (filed.size() == 1)
            receive(readingPayload(0x86, 0.03f, 1));
    });
    port.inject(tarvo::buildTarvoFrame(readingPayload(0x86, 0.01f, 1)) +
                tarvo::buildTarvoFrame(readingPayload(0x86, 0.02f, 1)));
    EXPECT_TRUE(QTest::qWaitFor([&] { return filed.size() >= 3; }, 2000));
    EXPECT_EQ(filed, (QList<double>{10, 20, 30}));
    EXPECT_EQ(fileLines().size(), 8 + 3);
}

TEST_F(StationTest, ReadingTravelsToListFileAndReadouts) {
    openPort();
    receive(readingPayload(0x86, 0.01f, 1));
    EXPECT_EQ(list.rowIndex, 1);
    EXPECT_EQ(list.cell(1, 0), "On-Line");
    EXPECT_EQ(list.cell(1, 3), "      10");
    EXPECT_EQ(view.valueText, "10 mR/h");
    EXPECT_EQ(view.doseText, "0 mR");
    EXPECT_EQ(view.detector, "DX24");
    EXPECT_EQ(view.count, 1);
    EXPECT_EQ(view.progress, "| ");
    EXPECT_TRUE(data.unsaved);
    const QStringList lines = fileLines();
    ASSERT_EQ(lines.size(), 9);
    EXPECT_EQ(lines[8], "On-Line," + formatGeneralDateTime(clock.now()) + ",10,mR/h,OK,DX24,");

    // A logged record carries its own number and time.
    receive(readingPayload(0x84, 0.01f, 1, 0, 0, 7));
    EXPECT_EQ(list.cell(2, 0), "7");
    EXPECT_EQ(list.cell(2, 1),
              formatGeneralDateTime(QDateTime(QDate(2026, 3, 14), QTime(9, 30, 0))));
}

TEST_F(StationTest, ThresholdColoursAndSoundOnlyOnARisingState) {
    openPort();
    struct Case {
        float v;
        AlarmLevel level;
        int sounds;
    };
    // Units code 6 ("counts") is not scaled, so the value is shown as sent.
    const Case cases[] = {{0.2f, AlarmLevel::Normal, 0}, {0.21f, AlarmLevel::High1, 1},
                          {5.0f, AlarmLevel::High1, 1},  {5.01f, AlarmLevel::High2, 2},
                          {6.0f, AlarmLevel::High2, 2},  {3.0f, AlarmLevel::High1, 3},
                          {0.1f, AlarmLevel::Normal, 3}, {0.3f, AlarmLevel::High1, 4}};
    for (const Case& c : cases) {
        receive(readingPayload(0x86, c.v, 6));
        EXPECT_EQ(view.level, c.level) << c.v;
        EXPECT_EQ(view.sounds, c.sounds) << c.v;
    }
    settings.AudioAlarm = 0;
    receive(readingPayload(0x86, 9.0f, 6));
    EXPECT_EQ(view.level, AlarmLevel::High2);
    EXPECT_EQ(view.sounds, 4);
}

TEST_F(StationTest, ReadingsRangedUpAreComparedInTheLowerUnit) {
    openPort();
    struct Case {
        double t1, t2;
        float v;
        uint8_t units;
        QString shown;
        AlarmLevel state;
    };
    // Units 64 are counts per minute as sent; units 1 are sent in R/h and
    // shown in mR/h up to 1000.
    const Case cases[] = {
        {200, 5000, 201.0f, 64, "201 cpm", AlarmLevel::High1},
        {200, 5000, 1001.0f, 64, "1.001 Kcpm", AlarmLevel::High1},
        {200, 5000, 5001.0f, 64, "5.001 Kcpm", AlarmLevel::High2},
        {200, 5000, 150.0f, 64, "150 cpm", AlarmLevel::Normal},
        {0.2, 5, 0.006f, 1, "6 mR/h", AlarmLevel::High2},
        {0.2, 5, 0.0001f, 1, "0.1 mR/h", AlarmLevel::Normal},
        {0.2, 5, 2.0f, 1, "2 R/h", AlarmLevel::High2},
        {2000, 5000, 2.5f, 1, "2.5 R/h", AlarmLevel::High1},
        {0.2, 5, 0.0009f, 3, "900 uSv/h", AlarmLevel::High2},
        {200, 5000, 0.0045f, 3, "4.5 mSv/h", AlarmLevel::High1},
    };
    for (const Case& c : cases) {
        settings.Threshold1 = c.t1;
        settings.Threshold2 = c.t2;
        receive(readingPayload(0x86, c.v, c.units));
        EXPECT_EQ(view.valueText, c.shown);
        EXPECT_EQ(station->alarmLevel(), c.state) << c.shown.toStdString();
    }
}

TEST(ThresholdUnit, OnlyRangedUpUnitsAreScaled) {
    struct Case {
        const char* units;
        double factor;
    };
    const Case cases[] = {{"Kcpm", 1000},  {"Kps", 1000}, {"Kcounts", 1000}, {"R/h", 1000},
                          {"R/h L", 1000}, {"R", 1000},   {"mSv/h", 1000},   {"mSv L", 1000},
                          {"mR/h", 1},     {"uSv/h", 1},  {"cpm", 1},        {"cps", 1},
                          {"dpm", 1},      {"Bq", 1},     {"12", 1},         {"", 1}};
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(inThresholdUnit(2.5, c.units), 2.5 * c.factor) << c.units;
}

TEST_F(StationTest, NonNumbersRaiseTheFaultAlarmAndAreFiledAsShown) {
    openPort();
    struct Case {
        float v;
        QString shown;
        QString filed;
    };
    const float inf = std::numeric_limits<float>::infinity();
    const Case cases[] = {{inf, "Infinity Kcpm", ",Infinity,cpm,"},
                          {-inf, "-Infinity cpm", ",-Infinity,cpm,"},
                          {std::numeric_limits<float>::quiet_NaN(), "NaN cpm", ",NaN,cpm,"}};
    int sounds = 0;
    for (const Case& c : cases) {
        receive(readingPayload(0x86, 0.1f, 64));
        EXPECT_EQ(view.level, AlarmLevel::Normal);
        receive(readingPayload(0x86, c.v, 64));
        EXPECT_EQ(view.valueText, c.shown);
        EXPECT_EQ(view.level, AlarmLevel::Fault) << c.shown.toStdString();
        EXPECT_EQ(station->alarmLevel(), AlarmLevel::Fault);
        EXPECT_EQ(view.sounds, ++sounds);
        EXPECT_TRUE(fileLines().last().contains(c.filed)) << fileLines().last().toStdString();
    }
}

TEST_F(StationTest, AlarmCodeShowsMagentaAndCode48CountsAsNone) {
    openPort();
    receive(readingPayload(0x86, 0.1f, 6, 48));
    EXPECT_EQ(view.level, AlarmLevel::Normal);
    EXPECT_EQ(station->alarmLevel(), AlarmLevel::Normal);
    receive(readingPayload(0x86, 0.1f, 6, 2));
    EXPECT_EQ(view.level, AlarmLevel::Fault);
    EXPECT_EQ(view.statusField, "Battery fail");
    EXPECT_EQ(view.sounds, 1);
    receive(readingPayload(0x86, 0.1f, 6, 2));
    EXPECT_EQ(view.sounds, 1) << "state 3 does not sound again";
}

TEST_F(StationTest, ThousandsUnitsAreShownScaledButWrittenInFull) {
    openPort();
    struct Case {
        uint8_t units;
        const char* shown;
        const char* filed;
    };
    // Thousands of counts per second are filed as counts per second, not
    // as the letters left after the "K".
    for (const Case& c : {Case{64, "1.5 Kcpm", ",1500,cpm,"}, Case{128, "1.5 Kps", ",1500,cps,"}}) {
        receive(readingPayload(0x86, 1500.0f, c.units));
        EXPECT_EQ(view.valueText, c.shown);
        EXPECT_EQ(list.cell(list.rowIndex, 4).trimmed(), QString(c.shown).section(' ', 1));
        EXPECT_TRUE(fileLines().last().contains(c.filed)) << fileLines().last().toStdString();
    }
}

TEST_F(StationTest, ValuesWithAnExponentKeepTheirSize) {
    openPort();
    struct Case {
        float v;
        uint8_t units;
        AlarmLevel level;
        QString fileValue;
        double shown;
        double taken;
    };
    // Their texts carry an exponent ("1E+15 Kcounts"); the alarm, the file,
    // the series and the live graph must all see the whole number.
    const Case cases[] = {
        {1e-20f, 6, AlarmLevel::Normal, "1E-20,counts", 1e-20, 1e-20},
        {1.4e-42f, 1, AlarmLevel::Normal, "1.399897E-39,mR/h", 1.399897e-39, 1.399897e-39},
        {1e18f, 6, AlarmLevel::High2, "1E+18,counts", 1e15, 1e18}};
    for (const Case& c : cases) {
        receive(readingPayload(0x86, c.v, c.units));
        EXPECT_EQ(view.level, c.level) << view.valueText.toStdString();
        EXPECT_TRUE(fileLines().last().contains("," + c.fileValue + ","))
            << fileLines().last().toStdString();
        EXPECT_DOUBLE_EQ(view.shown.last().filedValue, c.taken);
        EXPECT_DOUBLE_EQ(data.series().values()[size_t(data.series().lastIndex())], c.shown);
    }
    EXPECT_EQ(view.sounds, 1) << "only the red reading sounds";
}

TEST_F(StationTest, OneCharacterUnitLeavesNothingAfterTheDose) {
    openPort();
    receive(readingPayload(0x86, 2.0f, 5)); // code 5 has no name: units "5"
    EXPECT_EQ(view.valueText, "2 5");
    EXPECT_EQ(view.doseText, "0 ");
}

TEST_F(StationTest, LostContactIsWatchedInEveryStateAndRaisedOncePerSilence) {
    openPort();
    settings.AudioAlarm = 0;
    struct Case {
        const char* what;
        QByteArray lastReading;
        AlarmLevel before;
    };
    // Units code 6 ("counts") is not scaled; status 2 is an alarm code.
    const Case cases[] = {
        {"normal", readingPayload(0x86, 0.1f, 6), AlarmLevel::Normal},
        {"above threshold 1", readingPayload(0x86, 1.0f, 6), AlarmLevel::High1},
        {"above threshold 2", readingPayload(0x86, 9.0f, 6), AlarmLevel::High2},
        {"an alarm code", readingPayload(0x86, 0.1f, 6, 2), AlarmLevel::Fault},
        {"over range", readingPayload(0x86, std::numeric_limits<float>::infinity(), 6),
         AlarmLevel::Fault},
    };
    for (const Case& c : cases) {
        receive(readingPayload(0x86, 0.1f, 6));
        receive(c.lastReading);
        ASSERT_EQ(station->alarmLevel(), c.before) << c.what;
        const int sounds = view.sounds;
        for (int i = 0; i < 5; ++i)
            station->onLostContactTick();
        EXPECT_EQ(station->alarmLevel(), c.before) << c.what;
        QSignalSpy raised(station, &Station::lostContactRaised);
        station->onLostContactTick();
        EXPECT_EQ(station->alarmLevel(), AlarmLevel::LostContact) << c.what;
        EXPECT_EQ(view.level, AlarmLevel::LostContact) << c.what;
        EXPECT_EQ(view.sounds, sounds + 1) << c.what << ": sounds even when muted";
        // One episode: the silence goes on, the alarm is not raised again.
        for (int i = 0; i < 20; ++i)
            station->onLostContactTick();
        EXPECT_EQ(raised.count(), 1) << c.what;
        EXPECT_EQ(view.sounds, sounds + 1) << c.what;
        EXPECT_EQ(station->lostContactCounter(), 0) << c.what;
        // A fault reading after the silence is the same alarm for the ear.
        receive(readingPayload(0x86, 0.1f, 6, 2));
        EXPECT_EQ(station->alarmLevel(), AlarmLevel::Fault) << c.what;
        EXPECT_EQ(view.sounds, sounds + 1) << c.what;
        receive(readingPayload(0x86, 0.1f, 6));
        EXPECT_EQ(view.level, AlarmLevel::Normal) << c.what;
    }
}

TEST_F(StationTest, ReadingsSlowerThanTheLostContactIntervalAreSaidOnce) {
    openPort();
    station->toggleOnline();
    view.statusHistory.clear();
    struct Case {
        int pauseSeconds;
        bool said; // after this reading
    };
    // A meter sending every 30 s with LostContactInterval 5: each pause
    // raises lost contact; the second pause as long as the first tells the
    // pace, once. An uneven pause before that tells nothing.
    const Case cases[] = {{0, false}, {30, false}, {12, false}, {30, false},
                          {30, true}, {30, true},  {30, true}};
    for (const Case& c : cases) {
        for (int s = 0; s < c.pauseSeconds; ++s) {
            clock.advanceSeconds(1);
            station->onLostContactTick();
        }
        receive(readingPayload(0x86, 0.1f, 6));
        const qsizetype said = view.statusHistory.filter("LostContactInterval is 5 s").size();
        EXPECT_EQ(said, c.said ? 1 : 0) << c.pauseSeconds;
    }
    EXPECT_TRUE(view.statusHistory.filter("Readings arrive every 30 s").size() == 1);
}

TEST_F(StationTest, OnlinePollingEverySecondAndStop) {
    openPort();
    becomeReady();
    station->setInterval({0, 1});
    station->toggleOnline();
    EXPECT_TRUE(view.online);
    EXPECT_TRUE(station->pollTimer().isActive());
    EXPECT_EQ(station->pollTimer().interval(), 1000);
    EXPECT_FALSE(station->minuteTimer().isActive());
    EXPECT_TRUE(station->lostContactTimer().isActive());
    station->onPollTick();
    station->onPollTick();
    EXPECT_EQ(port.takeWritten(), hex("020F0F03020F0F03"));
    EXPECT_TRUE(station->responseTimeout().isActive());

    station->toggleOnline();
    EXPECT_FALSE(view.online);
    EXPECT_FALSE(station->pollTimer().isActive());
    EXPECT_FALSE(station->minuteTimer().isActive());
    EXPECT_TRUE(view.debug.last().startsWith("Online stoped on "));
}

TEST_F(StationTest, IntervalsATimerCannotHoldPollAtTheNearestUsablePace) {
    openPort();
    becomeReady();
    struct Case {
        double seconds;
        int milliseconds;
    };
    const Case cases[] = {{3000000, 3600000}, {1e9, 3600000}, {0, 100}, {-5, 100}};
    for (const Case& c : cases) {
        station->setInterval({0, c.seconds});
        station->restartOnline();
        EXPECT_EQ(station->pollTimer().interval(), c.milliseconds) << c.seconds;
    }
}

TEST_F(StationTest, TwoMinuteIntervalPollsOnlyAfterTheMinutesRunOut) {
    openPort();
    becomeReady();
    station->setInterval({2, 0});
    station->toggleOnline();
    EXPECT_EQ(station->pollTimer().interval(), 1);
    EXPECT_TRUE(station->minuteTimer().isActive());
    station->onPollTick(); // the 1-ms tick at Start
    EXPECT_TRUE(port.takeWritten().isEmpty());
    EXPECT_FALSE(station->pollTimer().isActive());
    station->onMinuteTick();
    EXPECT_FALSE(station->pollTimer().isActive());
    station->onMinuteTick();
    EXPECT_TRUE(station->pollTimer().isActive());
    station->onPollTick();
    EXPECT_EQ(port.takeWritten(), hex("020F0F03"));
    EXPECT_EQ(station->state().minuteCountdown, 2);
}

TEST_F(StationTest, FractionalMinutesRoundHalfToEven) {
    openPort();
    becomeReady();
    for (const auto& [minutes, countdown] : {std::pair{1.5, 2}, {2.5, 2}, {0.4, 0}}) {
        station->setInterval({minutes, 0});
        station->toggleOnline();
        EXPECT_EQ(station->state().minuteCountdown, countdown) << minutes;
        EXPECT_EQ(station->minuteTimer().isActive(), countdown > 0) << minutes;
        station->onPollTick();
        if (countdown == 0)
            EXPECT_EQ(port.takeWritten(), hex("020F0F03")) << minutes;
        else
            EXPECT_TRUE(port.takeWritten().isEmpty()) << minutes;
        station->toggleOnline();
    }
}

TEST_F(StationTest, AnnounceWithoutConfirmationEnablesGetDataWithStart) {
    openPort();
    station->enterStartupState();
    EXPECT_FALSE(view.enabled[Command::GetData]);
    receive(hex("021B001B0000"));
    EXPECT_TRUE(view.enabled[Command::Start]);
    EXPECT_TRUE(view.enabled[Command::GetData]);
    // While collection runs a reading confirms the connection, but a
    // download cannot start in the middle of it.
    station->setInterval({0, 5});
    station->toggleOnline();
    EXPECT_FALSE(view.enabled[Command::GetData]);
    receive(readingPayload(0x86, 0.1f, 6));
    EXPECT_FALSE(view.enabled[Command::GetData]);
    station->toggleOnline();
    EXPECT_TRUE(view.enabled[Command::GetData]);
}

TEST_F(StationTest, StartAsksToAppendOnlyWhenTheListHoldsReadings) {
    openPort();
    becomeReady();
    station->toggleOnline();
    EXPECT_TRUE(view.questions.isEmpty());
    station->toggleOnline();
    receive(readingPayload(0x86, 0.1f, 6));
    receive(readingPayload(0x86, 0.1f, 6));
    view.answers.push_back(Answer::Yes);
    station->toggleOnline();
    ASSERT_EQ(view.questions.size(), 1);
    EXPECT_EQ(view.questions[0], "start|Do you want to append data to the existing list ? \n\n");
    EXPECT_EQ(list.rowIndex, 2) << "appending keeps the list";
    EXPECT_EQ(fileLines().size(), 10);
}

// After a restart the list is empty while the working file still holds the
// readings of the run before: Start asks before it empties the file.
TEST_F(StationTest, StartAfterARestartAsksBeforeEmptyingTheReadingsOfTheFile) {
    openPort();
    becomeReady();
    for (const auto& [answer, linesAfter] : {std::pair{Answer::Yes, 10}, {Answer::No, 8}}) {
        SCOPED_TRACE(linesAfter);
        view.questions.clear();
        data.workingFile().close();
        QFile file(data.workingFile().path());
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write("On-Line,14/03/2026 09:00:00,0.1,mR/h,OK,DX24,\r\n"
                   "On-Line,14/03/2026 09:00:01,0.1,mR/h,OK,DX24,\r\n");
        file.close();
        session.restoreWorkingFile();
        ASSERT_EQ(data.readingCount(), 2);
        ASSERT_LT(list.rowIndex, 2) << "the list starts empty";
        view.answers.push_back(answer);
        station->toggleOnline();
        ASSERT_EQ(view.questions.size(), 1);
        EXPECT_EQ(view.questions[0],
                  "start|Do you want to append data to the existing list ? \n\n");
        EXPECT_EQ(fileLines().size(), linesAfter);
        station->toggleOnline();
        // Leave only the header for the next turn.
        ASSERT_TRUE(data.openNewTempFile(station->currentHeader()));
    }
}

TEST_F(StationTest, TimeAcknowledgeIsShownAndCountedAsAnError) {
    openPort();
    station->sendTime();
    EXPECT_EQ(port.takeWritten(), tarvo::buildTarvoFrame(hex("20030E1A0A0000")));
    receive(hex("22"));
    EXPECT_EQ(view.status, "Time Recieved");
    EXPECT_EQ(station->state().totalErrors, 1u);
}

TEST_F(StationTest, LostPortIsReportedOnceAndCountsAsLostContact) {
    openPort();
    emit port.portLost("device removed");
    QCoreApplication::processEvents();
    EXPECT_EQ(view.criticals.size(), 1);
    EXPECT_EQ(view.level, AlarmLevel::LostContact);
    EXPECT_EQ(view.connected, false);
    EXPECT_FALSE(station->portOpen());
    station->testIfPortOpen();
    EXPECT_TRUE(port.takeWritten().isEmpty());
    // Choosing the port again resumes.
    QString detail;
    EXPECT_TRUE(station->reopenPort(6, 9600, &detail));
    station->testIfPortOpen();
    EXPECT_EQ(port.takeWritten(), hex("02040403"));
}

TEST_F(StationTest, ReadingsThatCannotBeWrittenWaitAndAreWrittenInOrderLater) {
    openPort();
    receive(readingPayload(0x86, 1.0f, 6));
    const QString path = data.workingFile().path();
    data.workingFile().close();
    QFile::rename(path, path + ".away");
    QDir().mkdir(path); // the working file's name is now taken by a folder
    receive(readingPayload(0x86, 2.0f, 6));
    receive(readingPayload(0x86, 3.0f, 6));
    QCoreApplication::processEvents();
    EXPECT_EQ(view.criticals.size(), 1) << "one message for the whole episode";
    EXPECT_EQ(list.rowIndex, 3);

    QDir().rmdir(path);
    QFile::rename(path + ".away", path);
    receive(readingPayload(0x86, 4.0f, 6));
    const QStringList lines = fileLines();
    ASSERT_EQ(lines.size(), 12);
    EXPECT_TRUE(lines[9].contains(",2,counts,"));
    EXPECT_TRUE(lines[10].contains(",3,counts,"));
    EXPECT_TRUE(lines[11].contains(",4,counts,"));
}

TEST_F(StationTest, ErrorCountersSaturateInsteadOfWrapping) {
    openPort();
    quint32 counter = 0xFFFFFFFEu;
    saturatingIncrement(counter);
    saturatingIncrement(counter);
    EXPECT_EQ(counter, 0xFFFFFFFFu);
}

TEST_F(StationTest, SaveCopiesAndAdvancesTheFileNumber) {
    openPort();
    receive(readingPayload(0x86, 0.1f, 6));
    const QString target = dir.filePath("saved.csv");
    EXPECT_TRUE(station->saveToFile(target));
    EXPECT_EQ(settings.FileNumber, 1);
    EXPECT_TRUE(QFile::exists(target));
    EXPECT_TRUE(QFile::exists(dir.filePath("Data4Excel.csv")));
    EXPECT_EQ(fileLines().size(), 8) << "the working file starts again";
    // A save into a folder that does not exist leaves the working file alone.
    receive(readingPayload(0x86, 0.1f, 6));
    EXPECT_FALSE(station->saveToFile(dir.filePath("missing/x.csv")));
    EXPECT_EQ(fileLines().size(), 9);
    EXPECT_EQ(view.criticals.size(), 1);
}

} // namespace
