#pragma once
// The Tarvo-5 conversation: the test frame and the announce/acknowledge
// handshake, polling at the on-line interval, the clock, and the log download
// from the highest record down with its resume after an interruption.
#include "protocol/tarvo.h"
#include "station/instrument_conversation.h"

namespace zel {

struct Family;

// The Tarvo-5 row of the family table.
Family tarvoFamily();

class TarvoConversation final : public InstrumentConversation {
public:
    using InstrumentConversation::InstrumentConversation;

    void testConnection() override;
    void enterStartupState() override;
    void finishStartup() override;
    void startOnline() override;
    void stopOnline() override;
    void onPollTick() override;
    void onReplyTimeout() override;
    void onResponseTimeout() override;
    Verdict classify(const QByteArray& frame) const override;
    void onFrame(const Verdict& verdict) override;
    std::optional<Reading> parseReading(const QByteArray& bytes) const override;
    void afterFrameError() override;
    void startDownload() override;
    bool resumesDownload() const override;
    void sendTime() override;

    // The detector code of the last announce; short readings carry none.
    int probeCode() const { return probeCode_; }
    // The record the download asks for next; below 0 when it is complete.
    int nextRecord() const { return nextRecord_; }

private:
    bool sendTestFrame();
    void requestRecord(int k);
    void sendStartOfDownload();
    void sendEndOfDownload();
    // Repeats the request whose answer came damaged.
    void askAgain();
    void actOn(const tarvo::Message& m);
    // A record other than the one a download asked for.
    bool isWrongRecord(const tarvo::Message& m) const;
    void refuseWrongRecord(int number);
    void showProgress();
    void reportUnfetched();

    int probeCode_ = 0;
    int recordCount_ = 0;
    int nextRecord_ = 0;
    bool downloadFinished_ = false;
    bool recordRequested_ = false; // a record request of this download is open
    int requested_ = -1;           // the record asked for last
    int received_ = 0;             // records of this download so far
    int unfetched_ = 0;            // records the instrument could not be asked for
    // The answer the download waits for: the count (after 81), a record, or
    // the count 0 that confirms the end message.
    enum class Awaiting { Nothing, Count, Record, End };
    Awaiting awaiting_ = Awaiting::Nothing;
    bool answered_ = false; // the last frame was understood and acted on
};

} // namespace zel
