#pragma once
// The Amp + Vessa conversation: the meter sends on its own once started;
// its set-up replies go to the amplifier dialog.
#include "station/instrument_conversation.h"

namespace zel {

class AmpConversation final : public InstrumentConversation {
public:
    using InstrumentConversation::InstrumentConversation;

    InstrumentType family() const override { return AmpVessa; }
    void testConnection() override {}
    void finishStartup() override;
    void onChosen() override;
    void startOnline() override;
    void stopOnline() override {}
    void onReplyTimeout() override {}
    CheckedFrame checkFrame(const QByteArray& frame) override;
    std::optional<MeasurementRecord> parseReading(const QByteArray& bytes) override;
    bool offersDownload() const override { return false; }

    // The meter's commands; the amplifier work fills them in.
    void sendStop();
    void sendStart();
    void requestParameters();
};

} // namespace zel
