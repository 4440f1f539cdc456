#pragma once
// The Orvan conversation: "G11" asks whether the instrument is there, "G19"
// polls a reading at the on-line interval; three missed replies (counted per
// poll when the polls come faster than the reply wait) mean lost contact.
#include "protocol/orvan.h"
#include "station/instrument_conversation.h"

namespace zel {

struct Family;

// The Orvan row of the family table.
Family orvanFamily();

class OrvanConversation final : public InstrumentConversation {
public:
    using InstrumentConversation::InstrumentConversation;

    void testConnection() override;
    void startOnline() override;
    void stopOnline() override;
    void onPollTick() override;
    void onReplyTimeout() override;
    Verdict classify(const QByteArray& frame) const override;
    void onFrame(const Verdict& verdict) override;
    std::optional<Reading> parseReading(const QByteArray& bytes) const override;
    void noteReading(const QByteArray& bytes, const Reading& reading) override;
    Readouts readouts(const Reading& reading) const override;
    QString instrumentUnits() const override { return units_; }
    // "Get Data" is offered as for the other families with a log, but asks
    // the Orvan for nothing: it keeps no log.
    bool offersDownload() const override { return true; }

private:
    void sendCommand(const QByteArray& text);
    void reportNotResponding();

    // The unit of the GM rate, as the answer to the test names it.
    QString units_;
};

} // namespace zel
