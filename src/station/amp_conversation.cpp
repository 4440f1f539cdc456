#include "station/amp_conversation.h"

#include "common/datetime.h"
#include "common/text.h"
#include "data/measurement_list.h"
#include "data/settings.h"
#include "station/clock.h"
#include "station/families.h"

namespace zel {

AmpConversation::AmpConversation(ConversationContext& link) : InstrumentConversation(link) {
    sendStartTimer.setSingleShot(true);
    sendStartTimer.setInterval(3000);
    QObject::connect(&sendStartTimer, &QTimer::timeout, [this] { onSendStartTimer(); });
}

AmpConversation::~AmpConversation() {}

void AmpConversation::finishStartup() {
    // The meter is stopped while its parameters are read, and started again
    // three seconds later; collection runs from now on.
    sendStop();
    meterName_ = QStringLiteral("Amp");
    requestParameters();
    sendStartTimer.start();
    link().startOnlineUnattended();
}

void AmpConversation::onSendStartTimer() {
    sendStartTimer.stop();
    sendStart();
}

void AmpConversation::onChosen() {
    requestParameters();
}

void AmpConversation::startOnline() {
    link().applyFrameRules();
    view().refreshControls();
}

void AmpConversation::onFrame(const Verdict& verdict) {
    if (verdict.kind == FrameKind::SetupReply)
        takeSetupReply(verdict.bytes);
}

std::optional<Reading> AmpConversation::parseReading(const QByteArray& bytes) const {
    return amp::parseReading(bytes, convertUnits(), clock().now());
}

void AmpConversation::noteReading(const QByteArray& bytes, const Reading& reading) {
    unitsFlag_ = amp::readingUnitsFlag(bytes);
    dose_ = amp::readingDose(bytes, convertUnits());
    lastId_ = reading.instrumentId;
}

// ---------------------------------------------------------------- commands

void AmpConversation::send(const amp::Command& command, bool clearsSetupStatus) {
    if (clearsSetupStatus && listener_)
        listener_->setupStatus(QString());
    link().resetReceiver();
    // The main window's status box makes room for the confirmation.
    view().setReadingDetails(lastId_, QString(), QString());
    awaited_ = command.awaited;
    if (!link().portOpen())
        return;
    sendLogged(command.bytes);
    link().armResponseTimeout();
}

bool AmpConversation::send(const amp::Encoded& encoded, amp::Command (*build)(const QByteArray&)) {
    if (!encoded.ok())
        return false;
    send(build(encoded.digits));
    return true;
}

void AmpConversation::sendStop() {
    // A start still pending from start-up would undo this stop.
    sendStartTimer.stop();
    send(amp::stopCommand());
}

void AmpConversation::sendStart() {
    send(amp::startCommand());
}

void AmpConversation::requestParameters() {
    send(amp::parametersCommand(), false);
}

amp::Refusal AmpConversation::sendThreshold(int index, const QString& text) {
    const amp::Encoded e = amp::encodeNumber(leadingNumber(text), convertUnits());
    if (e.ok())
        send(amp::thresholdCommand(index, e.digits));
    return e.refusal;
}

amp::Refusal AmpConversation::sendBackground(const QString& text) {
    const amp::Encoded e = amp::encodeNumber(leadingNumber(text), convertUnits());
    send(e, &amp::backgroundCommand);
    return e.refusal;
}

amp::Refusal AmpConversation::sendInterval(const QString& text) {
    const amp::Encoded e = amp::encodeInterval(leadingNumber(text));
    send(e, &amp::intervalCommand);
    return e.refusal;
}

amp::Refusal AmpConversation::sendSerialNumber(const QString& text) {
    const amp::Encoded e = amp::encodeSerialNumber(leadingNumber(text));
    send(e, &amp::serialNumberCommand);
    return e.refusal;
}

void AmpConversation::sendBaud(int baudIndex) {
    send(amp::baudCommand(baudIndex));
}

void AmpConversation::sendOptions(bool dose, bool latch, bool buzzer, uint8_t typeCode,
                                  uint8_t unitsCode) {
    send(amp::optionsCommand(dose, latch, buzzer, typeCode, unitsCode));
}

// ---------------------------------------------------------------- replies

void AmpConversation::takeSetupReply(const QByteArray& frame) {
    const int code = amp::replyCode(frame);
    switch (code) {
    case amp::ParametersReply:
    case amp::FiveThresholdParametersReply: {
        if (awaited_ == amp::ParametersReply)
            link().stopResponseTimeout();
        const std::optional<amp::ParameterBlock> block = amp::parseParameterBlock(frame, params_);
        if (!block) {
            // Cut short on the line: nothing of it is shown.
            link().countError();
            link().showErrorCounters();
            link().reportDamagedFrame();
            return;
        }
        params_ = block->params;
        unitsFlag_ = block->unitsFlag;
        meterName_ = block->meterName;
        fiveThresholds_ = block->fiveThresholds;
        if (listener_)
            listener_->parametersArrived(fiveThresholds_);
        return;
    }
    case amp::StartedReply:
    case amp::StoppedReply:
    case amp::IntervalReply:
    case amp::ValueReply:
    case amp::MutedReply:
    case amp::OptionsReply:
    case amp::SerialReply: {
        if (awaited_ == code)
            link().stopResponseTimeout();
        const QString text = amp::confirmationText(code);
        if (code == amp::IntervalReply) {
            if (listener_)
                listener_->setupStatus(text);
        } else {
            view().setReadingDetails(lastId_, text, QString());
        }
        return;
    }
    default:
        return;
    }
}

// ---------------------------------------------------------------- unit scale

int16_t AmpConversation::convertUnits() const {
    return settings().ConvertUnits;
}

void AmpConversation::setConvertUnits(int16_t convertUnits) {
    link().settings().ConvertUnits = convertUnits;
}

QString AmpConversation::unitsText() const {
    return amp::unitsText(unitsFlag_, convertUnits());
}

Family ampFamily() {
    Family f;
    f.id = AmpVessa;
    f.caption = QStringLiteral("Amp + Vessa");
    f.simulatorName = QStringLiteral("amp");
    f.frameRules = amp::Framing;
    f.commands = {.setupDialog = true};
    // The amplifier names no detector.
    f.list.widths[6] = 1;
    f.makeConversation = &makeConversationOf<AmpConversation>;
    return f;
}

} // namespace zel
