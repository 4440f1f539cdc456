// The amplifier conversation in the station: start-up, which confirmation
// answers which command, readings into the list, and the parameter block.
#include "support/amp_station.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace zel;

namespace {

class AmpConversationTest : public ::testing::Test, protected test::AmpStation {
protected:
    void reply(const QByteArray& frame) { port.inject(frame); }
    static QByteArray confirmation(char code) {
        return "\n" + QByteArray(1, code).leftJustified(25, ' ') + "\r";
    }
    static QByteArray reading(char status, const char* valueDigits, char units = '1') {
        return amp::frameWithChecksum(QByteArray("0012") + "34" + status + "0" + "0001234" + units +
                                      valueDigits);
    }
};

struct Listener : AmpSetupListener {
    int blocks = 0;
    bool five = false;
    QStringList statuses;
    void parametersArrived(bool f) override {
        ++blocks;
        five = f;
    }
    void setupStatus(const QString& text) override { statuses << text; }
};

TEST_F(AmpConversationTest, StartupStopsAsksAndStartsThreeSecondsLater) {
    station->enterStartupState();
    station->finishStartup();
    EXPECT_EQ(commandsSent(), "@0");
    EXPECT_TRUE(view.online) << "collection runs without the user";
    EXPECT_FALSE(station->state().onlineIdle);
    EXPECT_TRUE(amp().sendStartTimer.isActive());
    EXPECT_EQ(amp().sendStartTimer.interval(), 3000);
    EXPECT_EQ(amp().meterName(), "Amp");

    reply(confirmation('2'));
    EXPECT_EQ(view.statusField, "Automatic send stoped");
    EXPECT_TRUE(station->responseTimeout().isActive()) << "the parameters are still awaited";
    reply(test::kVessaBlock);
    EXPECT_FALSE(station->responseTimeout().isActive());
    EXPECT_EQ(amp().meterName(), "Vessa-1");
    EXPECT_TRUE(amp().fiveThresholds());
    EXPECT_DOUBLE_EQ(amp().params().Thresholds[4], 0.05);
    EXPECT_EQ(view.status, "Instrument Succesfully Connected");

    amp().onSendStartTimer();
    EXPECT_EQ(commandsSent(), "A");
    EXPECT_FALSE(amp().sendStartTimer.isActive());
    reply(confirmation('1'));
    EXPECT_EQ(view.statusField, "Automatic send started");
    EXPECT_FALSE(station->responseTimeout().isActive());

    // Set-up opened within the three seconds: its stop is not undone.
    station->finishStartup();
    amp().sendStop();
    EXPECT_FALSE(amp().sendStartTimer.isActive());
}

// An unattended meter restarted after a power cut: nobody is there to answer
// the append question, so the last run's unsaved readings are kept. A person
// who starts collection later gets the usual choice.
TEST_F(AmpConversationTest, StartupKeepsTheReadingsOfTheLastRun) {
    const QString working = data.workingFile().path();
    data.workingFile().close();
    {
        QFile f(working);
        ASSERT_TRUE(f.open(QIODevice::Append));
        f.write("Amp,3/14/2026 9:00:00,1.5,uSv/h,OK,Vessa, \r\n"
                "Amp,3/14/2026 9:00:10,1.6,uSv/h,OK,Vessa, \r\n");
    }
    ASSERT_TRUE(data.reopenAppend());
    station->enterStartupState();
    station->finishStartup();
    EXPECT_TRUE(view.questions.isEmpty());
    data.workingFile().close();
    QFile f(working);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray kept = f.readAll();
    EXPECT_EQ(kept.count("\r\n"), 10) << kept.toStdString();
    EXPECT_TRUE(kept.endsWith("1.6,uSv/h,OK,Vessa, \r\n"));
}

TEST_F(AmpConversationTest, EachCommandWaitsForItsOwnConfirmation) {
    struct Case {
        void (*send)(AmpConversation&);
        char reply;
        bool answered;
    };
    const Case cases[] = {
        {[](AmpConversation& a) { a.sendStart(); }, '1', true},
        {[](AmpConversation& a) { a.sendStop(); }, '2', true},
        {[](AmpConversation& a) { a.sendStart(); }, '2', false},
        {[](AmpConversation& a) { a.sendThreshold(1, "3"); }, '5', true},
        {[](AmpConversation& a) { a.sendBackground("0.1"); }, '5', true},
        {[](AmpConversation& a) { a.sendInterval("12.6"); }, '4', true},
        {[](AmpConversation& a) { a.sendSerialNumber("42"); }, '8', true},
        {[](AmpConversation& a) { a.sendBaud(2); }, '8', true},
        {[](AmpConversation& a) { a.sendOptions(true, false, false, 30, 30); }, '7', true},
        {[](AmpConversation& a) { a.requestParameters(); }, '7', false},
    };
    for (const Case& c : cases) {
        c.send(amp());
        EXPECT_EQ(port.takeWritten().size(), 11);
        EXPECT_TRUE(station->responseTimeout().isActive());
        reply(confirmation(c.reply));
        EXPECT_EQ(station->responseTimeout().isActive(), !c.answered) << c.reply;
    }
    station->onResponseTimeout();
    EXPECT_EQ(view.status, "Instrument not responding");
}

TEST_F(AmpConversationTest, ReadingsWhileCollectingWithStatusColourAndScale) {
    station->enterStartupState();
    reply(reading('0', "12310"));
    EXPECT_EQ(list.rowIndex, 0) << "ignored while collection is stopped";
    station->toggleOnline();
    reply(reading('0', "12310"));
    ASSERT_EQ(list.rowIndex, 1);
    EXPECT_EQ(view.valueText, "12.3 uSv/h");
    EXPECT_EQ(view.doseText, "123.4 uSv");
    EXPECT_EQ(view.statusField, "O.K.");
    EXPECT_EQ(view.id, "001234");
    EXPECT_EQ(view.level, AlarmLevel::Normal);

    reply(reading('2', "12310"));
    EXPECT_EQ(view.statusField, "Thr.Alarm");
    EXPECT_EQ(view.level, AlarmLevel::Fault) << "a status other than 0 is a fault";

    settings.ConvertUnits = 1;
    reply(reading('0', "12310", '0'));
    EXPECT_EQ(view.valueText, "0.0123 R/h");
    EXPECT_EQ(list.rowIndex, 3);

    // Too short for a reading: an error, not a row.
    reply(amp::frameWithChecksum("0012340"));
    EXPECT_EQ(list.rowIndex, 3);
    EXPECT_EQ(station->state().totalErrors, 1u);
    // The large unit is the user's fixed choice, not a range the meter moved
    // to: the thresholds keep the unit they were typed in (0.0123 R/h is
    // below 5, though 12.3 mR/h would not be).
    settings.Threshold1 = 5;
    reply(reading('0', "12310", '0'));
    EXPECT_EQ(view.level, AlarmLevel::Normal);
}

TEST_F(AmpConversationTest, RepliesReachTheDialogAndBrokenBlocksChangeNothing) {
    Listener listener;
    amp().setListener(&listener);
    amp().sendInterval("5");
    EXPECT_EQ(listener.statuses, QStringList{""}) << "cleared before the command";
    reply(confirmation('4'));
    EXPECT_EQ(listener.statuses.last(), "Time Interval setted to:");
    EXPECT_NE(view.statusField, "Time Interval setted to:");
    reply(confirmation('6'));
    EXPECT_EQ(view.statusField, "Speaker Muted");

    amp().requestParameters();
    EXPECT_EQ(listener.statuses.size(), 2) << "asking for parameters keeps the status line";
    reply(test::kVessaBlock);
    EXPECT_EQ(listener.blocks, 1);
    EXPECT_TRUE(listener.five);
    const AmpParams before = amp().params();
    reply(test::kVessaBlock.left(40) + "\r");
    EXPECT_EQ(listener.blocks, 1);
    EXPECT_EQ(amp().params(), before);
    EXPECT_EQ(station->state().totalErrors, 1u);
    amp().setListener(nullptr);
}

TEST_F(AmpConversationTest, RefusedValuesAndAClosedPortSendNothing) {
    EXPECT_EQ(amp().sendThreshold(0, "-1"), amp::Refusal::Negative);
    EXPECT_EQ(amp().sendBackground("1x12"), amp::Refusal::None) << "1 and the text after";
    EXPECT_EQ(commandsSent(), "2");
    EXPECT_EQ(amp().sendBackground("1e12"), amp::Refusal::TooLarge) << "the exponent counts";
    EXPECT_EQ(amp().sendBackground("10000000000"), amp::Refusal::TooLarge);
    EXPECT_EQ(amp().sendInterval("10000"), amp::Refusal::TooLarge);
    EXPECT_EQ(amp().sendSerialNumber("1234567"), amp::Refusal::TooLarge);
    EXPECT_TRUE(port.takeWritten().isEmpty());

    station->closePort();
    station->onResponseTimeout();
    amp().sendStop();
    EXPECT_TRUE(port.takeWritten().isEmpty());
    EXPECT_FALSE(station->responseTimeout().isActive());
}

} // namespace
