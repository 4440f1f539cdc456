#pragma once
// What a conversation may do with the link it speaks over: send, arm and
// stop the waits for an answer, poll at the interval, say how the link is,
// and read the state and settings. The Station is the one that implements
// it; a conversation never sees the Station itself.
#include "station/station_view.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <functional>

namespace zel {

class Clock;
class MeasurementList;
struct PortablesCalibration;
struct Interval;
struct Settings;

// The link state everyone may read: the window, the conversations, tests.
struct StationState {
    bool onlineIdle = false;      // connected, on-line collection not running
    bool testPending = false;     // a connection test waits for its answer
    bool instrumentReady = false; // the instrument answered
    bool downloading = false;     // a log download runs
    bool collecting = false;      // on-line collection was started and not stopped
    quint32 errorCount = 0;       // errors since the last good frame
    quint32 totalErrors = 0;      // errors since start
    int32_t minuteCountdown = 0;  // whole minutes left before the next poll
};

class ConversationContext {
public:
    virtual ~ConversationContext() = default;

    // --- the link -----------------------------------------------------------
    virtual bool portOpen() const = 0;
    // Writes to the instrument; false when the port is closed or the write
    // failed.
    virtual bool send(const QByteArray& bytes) = 0;
    // Forgets a frame half received.
    virtual void resetReceiver() = 0;
    // Throws away bytes that wait on the port unread.
    virtual void dropWaitingBytes() = 0;
    // Sets the receive framing of the family again.
    virtual void applyFrameRules() = 0;

    // --- waiting for answers --------------------------------------------------
    // One second for the answer to a test or a poll.
    virtual void armReplyWait() = 0;
    virtual void stopReplyWait() = 0;
    virtual bool replyAwaited() const = 0;
    // Half a second for the answer to a request.
    virtual void armResponseTimeout() = 0;
    virtual void stopResponseTimeout() = 0;
    // Every two seconds, until the instrument is back (its onReprobe()).
    virtual void startReprobing() = 0;

    // --- polling at the on-line interval ------------------------------------------
    // Whole minutes counted down by the minute timer, then the seconds by the
    // poll timer.
    virtual void startIntervalPolling() = 0;
    virtual void stopIntervalPolling() = 0;
    // A poll went out: the whole minutes of the interval are counted anew
    // before the next one.
    virtual void countMinutesAgain() = 0;
    // Holds the seconds timer while whole minutes are still counted down.
    virtual void holdPolling() = 0;

    // --- what the link is doing -------------------------------------------------------
    virtual void setStatus(const QString& text, StatusKind kind = StatusKind::Note) = 0;
    virtual void countError() = 0;
    virtual void showErrorCounters() = 0;
    // A frame that could not be used was counted.
    virtual void reportDamagedFrame() = 0;
    // The instrument sent its calibration record.
    virtual void handOverCalibration(const PortablesCalibration& record) = 0;
    virtual void connectionOk() = 0;
    virtual void connectionLost() = 0;
    // Starts on-line collection with nobody there to ask (the amplifier's
    // start-up).
    virtual void startOnlineUnattended() = 0;
    // Runs `work` once the receive routine has returned: a message box shown
    // from inside it would run an event loop in the middle of a frame.
    virtual void later(const std::function<void()>& work) = 0;

    // --- what a conversation reads ------------------------------------------------------
    virtual StationState& linkState() = 0;
    virtual const Interval& interval() const = 0;
    virtual Settings& settings() = 0;
    virtual const Clock& clock() const = 0;
    virtual StationView& view() = 0;
    virtual MeasurementList& list() = 0;
};

} // namespace zel
