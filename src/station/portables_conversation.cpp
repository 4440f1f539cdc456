#include "station/portables_conversation.h"

#include "common/text.h"
#include "protocol/portables.h"
#include "station/station.h"

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
    Station& s = station();
    if (!s.portOpen())
        return;
    lastCommand_ = buildPortableCommand(command, QByteArray());
    sendLogged(lastCommand_);
    if (waitForReply)
        s.replyTimer.start(1000);
    if (dropWaiting)
        s.dropWaitingBytes();
}

void PortablesConversation::testConnection() {
    state().testPending = true;
    state().errorCount = 0;
    sendCommand(Test, true, true);
}

void PortablesConversation::enterStartupState() {
    station().connectionLost();
}

void PortablesConversation::onConnectionLost() {
    station().reprobeTimer.start(2000);
}

void PortablesConversation::onReprobe() {
    state().testPending = true;
    sendCommand(Test, true, true);
}

void PortablesConversation::startOnline() {
    Station& s = station();
    if (s.portOpen()) {
        // Command 9 carries the interval: minutes and seconds, two digits each.
        const Interval& interval = s.interval();
        QByteArray params =
            formatPicture(interval.Minutes, QStringLiteral("##00")).left(2).toLatin1();
        params += formatPicture(interval.Seconds, QStringLiteral("##00")).left(2).toLatin1();
        params += "000";
        lastCommand_ = buildPortableCommand(Online, params);
        s.send(lastCommand_);
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
    Station& s = station();
    s.showErrorCounters();
    if (state().errorCount > 2) {
        s.setStatus(QStringLiteral("Instrument not responding"));
        s.replyTimer.stop();
        s.connectionLost();
    }
    if (state().downloading)
        sendCommand(DownloadNext, true, false);
}

CheckedFrame PortablesConversation::checkFrame(const QByteArray& frame) {
    return {checkPortablesReply(frame), frame};
}

std::optional<MeasurementRecord> PortablesConversation::parseReading(const QByteArray&) {
    // The Portables reading layout comes with the Portables work.
    return std::nullopt;
}

void PortablesConversation::afterReading() {
    if (state().downloading)
        sendCommand(DownloadNext, true, false);
}

void PortablesConversation::afterFrameError(int16_t) {
    if (state().errorCount <= 3 && state().downloading)
        sendCommand(DownloadNext, true, false);
}

void PortablesConversation::startDownload() {
    sendCommand(DownloadFirst, true, true);
}

void PortablesConversation::sendTime() {
    const QDateTime now = clock().now();
    const QDate d = now.date();
    const QTime t = now.time();
    QByteArray b;
    b.append(char(0x01)).append(char(0x20));
    b.append(char(d.month())).append(char(d.day()));
    b.append(char(d.year() / 100)).append(char(d.year() % 100));
    b.append(char(t.hour())).append(char(t.minute())).append(char(t.second()));
    b.append(char(0x04));
    station().send(b);
    if (view().showAll())
        view().debugLine(QStringLiteral("Send ") + cnvStrToHex(9, b));
}

void PortablesConversation::requestCalibration() {
    sendCommand(Calibration, false, true);
}

} // namespace zel
