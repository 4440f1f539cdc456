#include "station/orvan_conversation.h"

#include "common/text.h"
#include "protocol/orvan.h"
#include "station/station.h"

namespace zel {

void OrvanConversation::sendCommand(const QByteArray& text) {
    Station& s = station();
    s.receiver().reset();
    if (!s.portOpen())
        return;
    sendLogged(buildOrvanCommand(text), QString::fromLatin1(text));
    s.replyTimer.start(1000);
}

void OrvanConversation::testConnection() {
    sendCommand("G11");
}

void OrvanConversation::startOnline() {
    startIntervalPolling();
}

void OrvanConversation::stopOnline() {
    stopIntervalPolling();
}

void OrvanConversation::onPollTick() {
    sendCommand("G19");
}

void OrvanConversation::onReplyTimeout() {
    Station& s = station();
    if (state().errorCount < 3) {
        sendCommand("G11");
    } else {
        s.setStatus(QStringLiteral("Instrument not responding"), colors::StatusRed);
        s.connectionLost();
        s.replyTimer.stop();
    }
}

CheckedFrame OrvanConversation::checkFrame(const QByteArray& frame) {
    // The Orvan replies are read by the Orvan work; until then a reply is
    // nothing the station can use.
    station().replyTimer.stop();
    return {Result::Nothing, frame};
}

std::optional<MeasurementRecord> OrvanConversation::parseReading(const QByteArray&) {
    return std::nullopt;
}

Readouts OrvanConversation::readouts(const MeasurementRecord& r, double dose) const {
    // The dose read-out shows the count rate.
    return {r.Value + QLatin1Char(' ') + station().orvanUnits,
            shortestText(dose) + QStringLiteral(" cps")};
}

} // namespace zel
