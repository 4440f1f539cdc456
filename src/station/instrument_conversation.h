#pragma once
// What differs between instrument families: which frames a family sends,
// what to send when, which replies are readings and how a log download goes.
// The Station keeps what all families share (receive buffer, the reaction to
// each kind of frame, counters, connection state, alarms, the road of a
// reading) and asks the conversation of the chosen family for the rest, so it
// never branches on the family; the family table makes the conversation.
#include "data/reading.h"
#include "protocol/receiver.h"
#include "protocol/verdict.h"
#include "station/conversation_context.h"
#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>

namespace zel {

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
    // Collection ends for good (a service that goes away): an instrument
    // that sends by itself is told to stop, or it would send into a closed
    // port.
    virtual void onCollectionEnds() {}
    // The poll timer fired.
    virtual void onPollTick() {}
    // No reply within a second; the station has counted the error and shows
    // "Testing Connection n".
    virtual void onReplyTimeout() = 0;
    // No reply to a request within half a second.
    virtual void onResponseTimeout();

    // --- receive path -------------------------------------------------------
    // A frame is handled in two steps. First what it is: the codec's verdict,
    // refined by what the conversation knows (the record a download asked
    // for), without changing anything.
    virtual Verdict classify(const QByteArray& frame) const = 0;
    // Then the family's reaction (answers, the next request, what the
    // instrument told of itself), before the station's own for the kind.
    virtual void onFrame(const Verdict& /*verdict*/) {}
    // A reading from the bytes of a verdict; nothing when the frame is too
    // short for its layout (a communication error, not a row).
    virtual std::optional<Reading> parseReading(const QByteArray& bytes) const = 0;
    // A reading was parsed from `bytes`: what the read-outs keep of it.
    virtual void noteReading(const QByteArray& /*bytes*/, const Reading& /*reading*/) {}
    // A reading went into the list and the file: a download asks for the next.
    virtual void afterReading() {}
    // A frame failed its check or was no reading (already counted).
    virtual void afterFrameError() {}
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
    const StationState& state() const {
        return const_cast<ConversationContext&>(link_).linkState();
    }
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
