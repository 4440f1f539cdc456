#include "station/amp_conversation.h"

#include "protocol/amp.h"
#include "station/station.h"

namespace zel {

void AmpConversation::finishStartup() {
    // At start-up the meter is stopped, asked for its parameters and
    // collection starts.
    sendStop();
    requestParameters();
    station().toggleOnline();
}

void AmpConversation::onChosen() {
    requestParameters();
}

void AmpConversation::startOnline() {
    station().applyFrameRules();
    view().refreshControls();
}

CheckedFrame AmpConversation::checkFrame(const QByteArray& frame) {
    return {checkAmpReply(frame), frame};
}

std::optional<MeasurementRecord> AmpConversation::parseReading(const QByteArray&) {
    // The amplifier reading layout comes with the amplifier work.
    return std::nullopt;
}

void AmpConversation::sendStop() {
    station().receiver().reset();
}

void AmpConversation::sendStart() {
    station().receiver().reset();
}

void AmpConversation::requestParameters() {
    station().receiver().reset();
}

} // namespace zel
