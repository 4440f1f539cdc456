#pragma once
// The Portables conversation: the fixed 10-byte commands, the connection test
// with its stop of on-line sending, the re-probe every 2 s after a lost
// connection, on-line sending at the interval, the log download record by
// record (resumed after it gave up on damaged replies), the clock and the
// calibration record.
#include "protocol/portables.h"
#include "station/instrument_conversation.h"

namespace zel {

struct Family;

// The Portables row of the family table.
Family portablesFamily();

class PortablesConversation final : public InstrumentConversation {
public:
    using InstrumentConversation::InstrumentConversation;

    void testConnection() override;
    void enterStartupState() override;
    void onConnectionLost() override;
    void onReprobe() override;
    void startOnline() override;
    void stopOnline() override;
    void onReplyTimeout() override;
    Verdict classify(const QByteArray& frame) const override;
    void onFrame(const Verdict& verdict) override;
    std::optional<Reading> parseReading(const QByteArray& bytes) const override;
    void afterReading() override;
    void afterFrameError() override;
    void startDownload() override;
    bool resumesDownload() const override { return interrupted_; }
    void sendTime() override;
    void requestCalibration() override;

    // The last command sent.
    QByteArray lastCommand() const { return lastCommand_; }

private:
    // Sends `command` with seven "0" parameters. `waitForReply` arms the reply
    // timer; `dropWaiting` throws away bytes still waiting on the port.
    void sendCommand(uint8_t command, bool waitForReply, bool dropWaiting);

    QByteArray lastCommand_ = QByteArray(10, '\0');
    int downloaded_ = 0;       // records of the running download so far
    bool interrupted_ = false; // a download gave up on damaged replies
};

} // namespace zel
