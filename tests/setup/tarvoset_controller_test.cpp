#include "protocol/tarvo.h"
#include "setup/tarvoset_controller.h"
#include "setup/tarvoset_fakes.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

using zel::LoopbackTransport;
using zel::PortSettingsFile;
using zel::StatusColour;
using zel::TarvosetController;
using zel::test::RecordingTarvosetView;
namespace ts = zel::tarvoset;

namespace {

QByteArray hex(const char* text) {
    return QByteArray::fromHex(text);
}

const QByteArray Request = hex("02040403");
// Confirmation: payload 05, checksum 05.
const QByteArray Confirmation = hex("02050503");

class TarvosetControllerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    void writeIni(const QByteArray& text) {
        QFile f(dir.filePath("dax.ini"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }

    // Builds the controller after any dax.ini the test wrote.
    TarvosetController& make() {
        file = std::make_unique<PortSettingsFile>(dir.filePath("dax.ini"));
        controller = std::make_unique<TarvosetController>(link, *file, &view);
        return *controller;
    }

    TarvosetController& started(bool byCaller = false) {
        make().start(byCaller);
        return *controller;
    }

    int requestsWritten() const {
        int n = 0;
        for (const QByteArray& w : link.writes())
            n += (w == Request) ? 1 : 0;
        return n;
    }

    QTemporaryDir dir;
    LoopbackTransport link;
    RecordingTarvosetView view;
    std::unique_ptr<PortSettingsFile> file;
    std::unique_ptr<TarvosetController> controller;
};

TEST_F(TarvosetControllerTest, StartOpensPortOneFromMissingIniAndSendsTheRequest) {
    TarvosetController& c = started();
    EXPECT_EQ(link.openedDevice(), file->deviceFor(1));
    EXPECT_EQ(link.openedBaud(), 9600);
    EXPECT_EQ(c.settings().OpenPort, 1);
    ASSERT_EQ(link.writes().size(), 1);
    EXPECT_EQ(link.writes().first(), Request);
    EXPECT_TRUE(c.isRetrying());
    EXPECT_EQ(c.retryTimer().interval(), 500);
    EXPECT_FALSE(c.startedByCaller());
}

TEST_F(TarvosetControllerTest, StartUsesPortBaudAndDeviceMapFromIni) {
    writeIni("[Communication]\nPort=3\nBaudRate=4800\n[Devices]\nCOM3=/dev/ttyUSB7\n");
    TarvosetController& c = started(true);
    EXPECT_EQ(link.openedDevice(), QStringLiteral("/dev/ttyUSB7"));
    EXPECT_EQ(link.openedBaud(), 4800);
    EXPECT_EQ(c.settings().OpenPort, 3);
    EXPECT_TRUE(c.startedByCaller());
}

TEST_F(TarvosetControllerTest, PortThatCannotOpenShowsRedTextAndSendsNothing) {
    link.setFailOpen(true);
    TarvosetController& c = started();
    EXPECT_EQ(view.lastText(), ts::PortErrorText);
    EXPECT_EQ(view.lastColour(), StatusColour::Red);
    EXPECT_EQ(c.settings().OpenPort, 0);
    EXPECT_TRUE(link.writes().isEmpty());
    EXPECT_FALSE(c.isRetrying());

    // "Initialize" without a port writes nothing and repeats the port text.
    view.statuses.clear();
    c.initialize();
    EXPECT_TRUE(link.writes().isEmpty());
    EXPECT_EQ(view.lastText(), ts::PortErrorText);
    EXPECT_EQ(view.lastColour(), StatusColour::Red);
    EXPECT_FALSE(c.isRetrying());
    EXPECT_TRUE(view.initializeEnabled);
    EXPECT_TRUE(view.setPortEnabled);
}

TEST_F(TarvosetControllerTest, EmptyOrGarbledPortOpensNothing) {
    for (const char* ini : {"[Communication]\nPort=\n", "[Communication]\nPort=abc\n"}) {
        writeIni(ini);
        view.statuses.clear();
        link.clearWrites();
        const int opens = link.openCount();
        TarvosetController& c = started();
        EXPECT_EQ(link.openCount(), opens) << ini;
        EXPECT_EQ(c.settings().OpenPort, 0) << ini;
        EXPECT_EQ(view.lastText(), ts::PortErrorText) << ini;
        EXPECT_TRUE(link.writes().isEmpty()) << ini;
    }
}

TEST_F(TarvosetControllerTest, SilentInstrumentCountsToFourThenFailsAfterFiveRequests) {
    TarvosetController& c = started();
    for (int tick = 1; tick <= 4; ++tick) {
        c.onRetryTick();
        EXPECT_EQ(view.lastText(), QString::number(tick));
        EXPECT_EQ(c.retryCount(), tick);
    }
    for (int tick = 5; tick <= 8; ++tick) {
        c.onRetryTick();
        EXPECT_EQ(view.lastText(), ts::NotConnectedText) << tick;
        EXPECT_EQ(view.lastColour(), StatusColour::Red);
    }
    EXPECT_EQ(requestsWritten(), 5);
    EXPECT_EQ(link.writes().size(), 5);
    EXPECT_TRUE(c.isRetrying());

    // "Initialize" starts a fresh attempt with the count at 0.
    c.initialize();
    EXPECT_EQ(c.retryCount(), 0);
    c.onRetryTick();
    EXPECT_EQ(view.lastText(), QStringLiteral("1"));
    EXPECT_EQ(view.lastColour(), StatusColour::Default);
    EXPECT_EQ(requestsWritten(), 7);
}

TEST_F(TarvosetControllerTest, RetryCountStopsAtItsTopInsteadOfWrapping) {
    TarvosetController& c = started();
    c.setRetryCountForTest(32766);
    c.onRetryTick();
    c.onRetryTick();
    c.onRetryTick();
    EXPECT_EQ(c.retryCount(), 32767);
    EXPECT_EQ(view.lastText(), ts::NotConnectedText);
    EXPECT_EQ(requestsWritten(), 1);
}

TEST_F(TarvosetControllerTest, AnnouncementIsAcknowledgedWithEscapedFrame) {
    TarvosetController& c = started();
    c.onRetryTick();
    c.onRetryTick();
    link.clearWrites();
    // Payload 02 02 10 1B (checksum 0B): bytes 2 and 4 are 0x02 and 0x1B.
    link.inject(hex("021B321B32101B1B0B03"));
    ASSERT_EQ(link.writes().size(), 1);
    EXPECT_EQ(link.writes().first().toHex(' '), hex("021B331B321B1B011B03").toHex(' '));
    EXPECT_TRUE(c.isRetrying());
    EXPECT_EQ(c.bufferedBytes(), 0);

    // The count goes on from where it was: the confirmation must come within
    // the remaining ticks.
    EXPECT_EQ(c.retryCount(), 2);
    c.onRetryTick();
    c.onRetryTick();
    EXPECT_EQ(view.lastText(), QStringLiteral("4"));
    c.onRetryTick();
    EXPECT_EQ(view.lastText(), ts::NotConnectedText);
}

TEST_F(TarvosetControllerTest, ShortAnnouncementIsNotAnswered) {
    TarvosetController& c = started();
    link.clearWrites();
    // Payload 02 07 (checksum 05): no bytes 3 and 4 to echo.
    link.inject(hex("0202070503"));
    EXPECT_TRUE(link.writes().isEmpty());
    EXPECT_FALSE(c.isRetrying());
}

TEST_F(TarvosetControllerTest, ConfirmationEndsTheAttemptAndShowsHintOnlyForCaller) {
    struct Case {
        bool byCaller;
        bool usedPortDialog;
        bool hint;
    };
    for (const Case k :
         {Case{false, false, false}, Case{true, false, true}, Case{true, true, false}}) {
        view = RecordingTarvosetView{};
        TarvosetController& c = started(k.byCaller);
        if (k.usedPortDialog) {
            c.beginSetPort();
            c.initialize();
        }
        // Split over two batches: the frame is kept between receive events.
        link.inject(Confirmation.left(2));
        EXPECT_EQ(c.bufferedBytes(), 2);
        link.inject(Confirmation.mid(2));
        EXPECT_EQ(view.lastText(), ts::InitialisedText);
        EXPECT_EQ(view.lastColour(), StatusColour::Blue);
        EXPECT_FALSE(view.initializeEnabled);
        EXPECT_FALSE(view.setPortEnabled);
        EXPECT_FALSE(c.isRetrying());
        EXPECT_EQ(view.hint, k.hint ? ts::HintText : QString()) << k.byCaller << k.usedPortDialog;
        link.clearWrites();
    }
}

TEST_F(TarvosetControllerTest, LoneEndByteIsAnEmptyFrameThatStopsTheTimer) {
    TarvosetController& c = started();
    link.clearWrites();
    link.inject(hex("03"));
    EXPECT_FALSE(c.isRetrying());
    EXPECT_EQ(c.bufferedBytes(), 0);
    EXPECT_TRUE(link.writes().isEmpty());
    // The batch goes on after it: a confirmation right behind is taken.
    link.inject(hex("03") + Confirmation);
    EXPECT_EQ(view.lastText(), ts::InitialisedText);
}

TEST_F(TarvosetControllerTest, AnyEndByteEndsTheFrameWhateverTheFirstByte) {
    TarvosetController& c = started();
    // No STX in front: the first byte stands in for it, 05 05 is checked.
    link.inject(hex("FF050503"));
    EXPECT_EQ(view.lastText(), ts::InitialisedText);
    EXPECT_EQ(c.bufferedBytes(), 0);

    // Even when the byte after it is 0x02: that is the type of an
    // announcement (02 07 00 01, checksum 04), not a second STX.
    link.clearWrites();
    link.inject(hex("FF020700010403"));
    ASSERT_EQ(link.writes().size(), 1);
    EXPECT_EQ(link.writes().first(), zel::tarvo::buildTarvoFrame(hex("03070101")));
}

TEST_F(TarvosetControllerTest, BadChecksumDropsTheRestOfTheBatch) {
    TarvosetController& c = started();
    link.inject(hex("02050603") + Confirmation);
    EXPECT_NE(view.lastText(), ts::InitialisedText);
    EXPECT_FALSE(c.isRetrying()); // the attempt hangs until "Initialize"
    EXPECT_EQ(c.bufferedBytes(), 0);
    EXPECT_TRUE(view.initializeEnabled);

    // The next batch is read afresh.
    link.inject(Confirmation);
    EXPECT_EQ(view.lastText(), ts::InitialisedText);
}

TEST_F(TarvosetControllerTest, MeaninglessEscapeIsDroppedLikeABadChecksum) {
    started();
    // ESC followed by 0x41 has no meaning.
    link.inject(hex("02051B410003") + Confirmation);
    EXPECT_NE(view.lastText(), ts::InitialisedText);
    link.inject(Confirmation);
    EXPECT_EQ(view.lastText(), ts::InitialisedText);
}

TEST_F(TarvosetControllerTest, FullBufferRestartsAndDropsTheRestOfTheBatch) {
    TarvosetController& c = started();
    link.inject(QByteArray(100, '\x11'));
    EXPECT_EQ(c.bufferedBytes(), 100);
    link.inject(QByteArray(1, '\x11') + Confirmation);
    EXPECT_EQ(c.bufferedBytes(), 0);
    EXPECT_NE(view.lastText(), ts::InitialisedText);
    EXPECT_TRUE(c.isRetrying()); // no frame was seen

    link.inject(Confirmation);
    EXPECT_EQ(view.lastText(), ts::InitialisedText);
}

TEST_F(TarvosetControllerTest, ReopenFromPortDialogSwitchesDevice) {
    writeIni("[Devices]\nCOM2=/tmp/second\n");
    TarvosetController& c = started();
    EXPECT_TRUE(c.reopenPort(2, 19200));
    EXPECT_EQ(link.openedDevice(), QStringLiteral("/tmp/second"));
    EXPECT_EQ(link.openedBaud(), 19200);
    EXPECT_EQ(c.settings().OpenPort, 2);

    link.setFailOpen(true);
    const auto reopened = c.reopenPort(3, 9600);
    EXPECT_FALSE(reopened);
    EXPECT_FALSE(link.isOpen());
    EXPECT_EQ(c.settings().OpenPort, 0);
    EXPECT_FALSE(reopened.error().text.isEmpty());
}

TEST_F(TarvosetControllerTest, LostPortStopsRetryingAndSaysSo) {
    TarvosetController& c = started();
    emit link.portLost(QStringLiteral("unplugged"));
    EXPECT_FALSE(c.isRetrying());
    EXPECT_FALSE(link.isOpen());
    EXPECT_EQ(view.lastText(), ts::PortErrorText);
    link.clearWrites();
    c.initialize();
    EXPECT_TRUE(link.writes().isEmpty());
}

} // namespace
