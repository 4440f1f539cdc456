#pragma once
// What differs between instrument families: which frames a family sends,
// what to send when, which replies are readings and how a log download goes.
// The Station keeps what all families share (receive buffer, dispatch by
// result code, counters, connection state, alarms, the road of a reading)
// and asks the conversation of the chosen family for the rest, so it never
// branches on the family number; the family table makes the conversation.
#include "data/reading.h"
#include "protocol/instrument.h"
#include "protocol/receiver.h"
#include "station/conversation_context.h"
#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>

namespace zel {

// A frame after the family's check.
struct CheckedFrame {
    int16_t result = Result::Nothing;
    // The bytes a reading is parsed from (the Tarvo-5 frame un-escaped, the
    // others as received).
    QByteArray bytes;
};

// The texts of the large read-outs for one reading.
struct Readouts {
    QString value;
    QString dose;
};

class InstrumentConversation {
public:
    explicit InstrumentConversation(ConversationContext& link) : link_(link) {}
    virtual ~InstrumentConversation() = default;
    InstrumentConversation(const InstrumentConversation&) = delete;
    InstrumentConversation& operator=(const InstrumentConversation&) = delete;

    // --- connection -----------------------------------------------------
    // The Test command: ask the instrument whether it is there.
    virtual void testConnection() = 0;
    // Before the first answer at start-up: families that announce themselves
    // wait as "lost"; the others are idle at once.
    virtual void enterStartupState();
    // The last step of start-up, after the working file was read.
    virtual void finishStartup() {}
    // The user switched to this family.
    virtual void onChosen() {}
    // Contact was lost (the window already shows it).
    virtual void onConnectionLost() {}
    // The re-probe timer fired.
    virtual void onReprobe() {}

    // --- on-line collection -------------------------------------------------
    virtual void startOnline() = 0;
    virtual void stopOnline() = 0;
    // The poll timer fired.
    virtual void onPollTick() {}
    // No reply within a second; the station has counted the error and shows
    // "Testing Connection n".
    virtual void onReplyTimeout() = 0;
    // No reply to a request within half a second.
    virtual void onResponseTimeout();

    // --- receive path -------------------------------------------------------
    virtual CheckedFrame checkFrame(const QByteArray& frame) = 0;
    // A reading from the bytes of a checked frame; nothing when the frame is
    // too short for its layout (a communication error, not a row).
    virtual std::optional<Reading> parseReading(const QByteArray& bytes) = 0;
    // A reading went into the list and the file: a download asks for the next.
    virtual void afterReading() {}
    // The reply that confirms a set-up command (the contact is confirmed).
    virtual void takeSetupReply(const QByteArray& /*frame*/) {}
    // A frame failed its check or was no reading (already counted).
    virtual void afterFrameError(int16_t /*result*/) {}
    // The value read-out and the dose read-out (the last dose the
    // instrument reported).
    virtual Readouts readouts(const Reading& reading) const;
    // The unit the instrument named for itself, for the header of a file;
    // empty when its readings carry their own.
    virtual QString instrumentUnits() const { return {}; }
    // Whether the instrument moves a growing reading to a larger unit by
    // itself ("1.5 Kcpm", "2 R/h"): such readings are compared with the
    // thresholds in the lower unit. A unit the user chose once (the
    // amplifier's set-up) is the unit its thresholds were typed in.
    virtual bool rangesUnits() const { return true; }

    // --- commands -------------------------------------------------------------
    // Whether "Get Data" may be offered once the instrument is ready.
    virtual bool offersDownload() const { return true; }
    virtual void startDownload() {}
    // "Get Data" continues an interrupted download: the records it brought
    // are in the list and the file already, so the rest is appended to them.
    virtual bool resumesDownload() const { return false; }
    virtual void sendTime() {}
    virtual void requestCalibration() {}

protected:
    ConversationContext& link() { return link_; }
    const ConversationContext& link() const { return link_; }
    StationState& state() { return link_.linkState(); }
    StationView& view() { return link_.view(); }
    const Clock& clock() const { return link_.clock(); }
    const Settings& settings() const { return const_cast<ConversationContext&>(link_).settings(); }
    MeasurementList& list() { return link_.list(); }
    // The dose the instrument reported with its last reading.
    double dose_ = 0;
    // Writes a command and, when the debug log wants all traffic, logs it.
    bool sendLogged(const QByteArray& bytes, const QString& logText = QString());

private:
    ConversationContext& link_;
};

// Milliseconds of the poll timer for the seconds part of the interval; a
// whole-minute interval still needs a first tick to start counting.
int pollMilliseconds(double seconds);

} // namespace zel
