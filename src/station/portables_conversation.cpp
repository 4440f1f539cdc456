#include "station/portables_conversation.h"

#include "common/text.h"
#include "data/measurement_list.h"
#include "data/settings.h"
#include "protocol/portables.h"
#include "station/clock.h"
#include "station/families.h"

namespace zel {

namespace {
// Command numbers.
constexpr uint8_t DownloadFirst = 4;
constexpr uint8_t DownloadNext = 5;
constexpr uint8_t Test = 6;
constexpr uint8_t Calibration = 8;
constexpr uint8_t Online = 9;
} // namespace

void PortablesConversation::sendCommand(uint8_t command, bool waitForReply, bool dropWaiting) {
    if (!link().portOpen())
        return;
    lastCommand_ = buildPortableCommand(command, QByteArray());
    sendLogged(lastCommand_);
    if (waitForReply)
        link().armReplyWait();
    if (dropWaiting)
        link().dropWaitingBytes();
}

void PortablesConversation::testConnection() {
    state().testPending = true;
    state().errorCount = 0;
    sendCommand(Test, true, true);
}

void PortablesConversation::enterStartupState() {
    link().connectionLost();
}

void PortablesConversation::onConnectionLost() {
    // Every unanswered probe ends in another "lost": restarting the timer
    // then would stretch the probing to one every three seconds.
    link().startReprobing();
}

void PortablesConversation::onReprobe() {
    state().testPending = true;
    sendCommand(Test, true, true);
}

void PortablesConversation::startOnline() {
    if (link().portOpen()) {
        lastCommand_ =
            buildOnlineStartCommand(link().interval().Minutes, link().interval().Seconds);
        if (lastCommand_.mid(2, 4) == "0000") {
            // The instrument counts its interval in whole seconds, and all
            // zeros would stop it instead: the shortest it can do is 1 s.
            lastCommand_ = buildOnlineStartCommand(0, 1);
            link().setStatus(
                QStringLiteral("Portables send at most one reading a second: interval 1 s"));
        }
        link().send(lastCommand_);
    }
    if (view().showAll())
        view().debugLine(QStringLiteral("Send ") +
                         cnvStrToHex(int(lastCommand_.size()), lastCommand_));
}

void PortablesConversation::stopOnline() {
    // Command 9 with zeros stops the sending.
    sendCommand(Online, false, true);
}

void PortablesConversation::onReplyTimeout() {
    link().showErrorCounters();
    if (state().errorCount > 2) {
        link().setStatus(QStringLiteral("Instrument not responding"));
        link().stopReplyWait();
        link().connectionLost();
    }
    if (state().downloading)
        sendCommand(DownloadNext, true, false);
}

Verdict PortablesConversation::classify(const QByteArray& frame) const {
    Verdict verdict = portables::classify(frame);
    // A calibration record cut short would fill the window with whatever
    // is missing: it is a damaged reply like any other.
    if (verdict.kind == FrameKind::Calibration && !portables::parseCalibration(frame))
        verdict.kind = FrameKind::NoReading;
    return verdict;
}

void PortablesConversation::onFrame(const Verdict& verdict) {
    if (verdict.kind != FrameKind::Calibration)
        return;
    if (const std::optional<PortablesCalibration> record =
            portables::parseCalibration(verdict.bytes))
        link().handOverCalibration(*record);
}

std::optional<Reading> PortablesConversation::parseReading(const QByteArray& bytes) const {
    return portables::parseReading(bytes, state().downloading, clock().now());
}

void PortablesConversation::afterReading() {
    if (!state().downloading)
        return;
    ++downloaded_;
    view().setDownloadProgress(QStringLiteral("Records downloaded: %1").arg(downloaded_));
    sendCommand(DownloadNext, true, false);
}

void PortablesConversation::afterFrameError() {
    if (!state().downloading)
        return;
    if (state().errorCount <= 3) {
        sendCommand(DownloadNext, true, false);
        return;
    }
    // Damaged again and again: stop asking rather than wait for ever. What
    // came is in the list and the file; "Get Data" goes on from here.
    state().downloading = false;
    interrupted_ = true;
    link().stopReplyWait();
    view().debugLine(QStringLiteral("Download stopped after %1 damaged replies in a row, %2 "
                                    "records received")
                         .arg(state().errorCount)
                         .arg(downloaded_));
    link().setStatus(QStringLiteral("Download was interrupted , press 'Get Data'"));
}

void PortablesConversation::startDownload() {
    if (interrupted_) {
        // The instrument still holds its place in the log: the next record.
        interrupted_ = false;
        state().errorCount = 0;
        sendCommand(DownloadNext, true, false);
        return;
    }
    downloaded_ = 0;
    view().setDownloadProgress(QStringLiteral("Records downloaded: 0"));
    sendCommand(DownloadFirst, true, true);
}

void PortablesConversation::sendTime() {
    const QByteArray b = buildSetClockCommand(clock().now());
    link().send(b);
    // The log shows the command without its closing 0x04.
    if (view().showAll())
        view().debugLine(QStringLiteral("Send ") + cnvStrToHex(9, b));
}

void PortablesConversation::requestCalibration() {
    sendCommand(Calibration, false, true);
}

Family portablesFamily() {
    Family f;
    f.id = Portables;
    f.caption = QStringLiteral("Portables");
    f.simulatorName = QStringLiteral("portables");
    f.frameRules = portables::Framing;
    f.commands = {.download = true, .clock = true, .calibration = true, .interval = true};
    f.makeConversation = &makeConversationOf<PortablesConversation>;
    return f;
}

} // namespace zel
