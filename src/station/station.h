#pragma once
// The station: the link to one instrument. It owns the port, the receive
// state, the flags, counters and timers of the link, the alarm state, and the
// readings' road into the list and the working file; what differs between
// instrument families it asks of the family's conversation. It is driven by
// the Qt event loop on one thread.
#include "common/datetime.h"
#include "data/data_files.h"
#include "data/measurement_list.h"
#include "data/settings.h"
#include "protocol/receiver.h"
#include "station/clock.h"
#include "station/conversation_context.h"
#include "station/instrument_conversation.h"
#include "station/port_settings.h"
#include "station/station_view.h"
#include "station/transport.h"
#include <QByteArray>
#include <QObject>
#include <QTimer>
#include <deque>
#include <memory>
#include <optional>

namespace zel {

struct Family;
struct PortablesCalibration;

// Adds one, stopping at the top instead of wrapping after a long run.
void saturatingIncrement(quint32& counter);

// The thresholds hold one unit per quantity, the unit of the lower range:
// mR/h, mR, uSv/h, uSv, cpm, cps, counts. Instruments range a large reading
// up ("1.5 Kcpm", "2 R/h", "3 mSv/h"); such a reading is brought back to the
// lower range before it is compared, so a higher dose never gives a lower
// alarm. Units without a range prefix pass unchanged.
double inThresholdUnit(double shown, const QString& units);

class Station : public QObject, private ConversationContext {
    Q_OBJECT
    Q_MOC_INCLUDE("protocol/portables.h")
public:
    struct Parts {
        Transport& transport;
        StationView& view;
        const Clock& clock;
        Settings& settings;
        SettingsStore& settingsStore;
        PortSettings& port;
        PortSettingsFile& portFile;
        DataStore& data;
        MeasurementList& list;
    };
    explicit Station(const Parts& parts, QObject* parent = nullptr);
    ~Station() override;

    // --- port -------------------------------------------------------------
    // Opens the stored port at start-up; reports a failure in a message box.
    bool openPortAtStartup();
    // Closes the open port and opens (port, baud); used by the port dialog.
    bool reopenPort(int16_t port, int32_t baud, QString* detail);
    void closePort();
    bool portOpen() const override { return port_.OpenPort != 0 && transport_.isOpen(); }
    // Writes to the instrument; false when the port is closed or the write
    // failed.
    bool send(const QByteArray& bytes) override;
    // Throws away bytes that wait on the port unread.
    void dropWaitingBytes() override;

    // --- family -----------------------------------------------------------
    // The table row of the family the conversation speaks for.
    const Family& family() const { return *family_; }
    // While readingFiled is told: the line as written to the working file
    // and the column line it was written under. Null at any other time.
    const MeasurementRecord* rowBeingFiled() const { return rowBeingFiled_; }
    QByteArray fileColumnLine() const;
    // A logged record fetched by "Get Data" is coming in.
    bool downloading() const { return state_.downloading; }
    Settings& settings() override { return settings_; }
    const Settings& settings() const { return settings_; }
    InstrumentConversation& conversation() { return *conversation_; }
    // The conversation as the family's own type; null when the family
    // chosen speaks another.
    template <class Conversation> Conversation* conversationAs() {
        return dynamic_cast<Conversation*>(conversation_.get());
    }
    // Frame rules of the family.
    void applyFrameRules() override;
    // The user picked family `index`.
    void chooseFamily(int16_t index);

    // --- conversation -------------------------------------------------------
    void testConnection();
    // The Test command: only with an open port.
    void testIfPortOpen();
    // Start or Stop of on-line collection.
    void toggleOnline();
    // Leaves on-line collection whatever it was doing.
    void stopOnline();
    // A fresh start of on-line collection: a running one is stopped first,
    // so the start never turns into a stop.
    void restartOnline();
    // Starts on-line collection with nobody there to ask (the amplifier's
    // start-up, a service): readings already in the working file are kept
    // and the new ones appended.
    void startOnlineUnattended() override;
    // Stops on-line collection when it runs; never starts it.
    void stopCollecting();
    void connectionOk() override;
    void connectionLost() override;
    void getData();  // "Get Data"
    void sendTime(); // "Send Time"
    void requestCalibration();
    void enterStartupState();
    void finishStartup();
    // Closing: stop collecting when the instrument is ready, close the port.
    void shutdown();
    void setStatus(const QString& text, StatusKind kind = StatusKind::Note) override;
    // A setting that Zel.ini did not take: said once per change, with the
    // file's reason, so nobody finds the old value back after a restart.
    void reportSettingNotSaved(const QString& reason);
    void showErrorCounters() override;
    void countError() override;

    // --- receive path ---------------------------------------------------------
    void onBytesArrived();
    // Has the family's conversation say what one frame is and react to it,
    // then does what every family does with that kind of frame.
    FrameKind dispatchFrame(const QByteArray& frame);
    // One reading from the bytes of a checked frame into the list, the
    // read-outs, the alarm and the working file.
    void takeReading(const QByteArray& bytes);

    // --- files ----------------------------------------------------------------
    QByteArray currentHeader();
    // Working file for on-line collection / a download, asking whether to
    // append to the existing list.
    void chooseWorkingFileForOnline();
    void chooseWorkingFileForDownload();
    void startNewWorkingFile();
    void clearList();
    void readWorkingFile(const QString& path = {});
    // Saves the working file to `path` and the common file; true on success.
    bool saveToFile(const QString& path);
    // The file every save also writes: "<CommonFileName>.csv" beside the
    // working file.
    QString commonFilePath() const;
    void setLegend(const Legend& legend) { legend_ = legend; }
    Legend& legend();
    // Held in the range a timer can keep: an interval of millions of seconds
    // would overflow into a poll every millisecond.
    void setInterval(const Interval& interval) { interval_ = clampedInterval(interval); }
    const Interval& interval() const override { return interval_; }
    bool autoMode = false;
    // Nobody is there to answer (zel-monitor): collection that starts keeps
    // the readings already in the working file instead of starting it anew.
    bool unattended = false;
    QString probeNumber;

    // --- state for the window, the conversations and tests ----------------------
    const StationState& state() const { return state_; }
    AlarmLevel alarmLevel() const { return alarmLevel_; }
    int32_t lostContactCounter() const { return lostContact_; }
    // Readings taken that wait for the working file to take them.
    qsizetype readingsNotFiled() const { return qsizetype(unwritten_.size()); }
    // Tries again to write the waiting readings; true when none waits.
    bool fileWaitingReadings();
    StationView& view() override { return view_; }
    const Clock& clock() const override { return clock_; }
    const Receiver& receiver() const { return receiver_; }

    // Timers by role, for a look at what waits. Their handlers are public
    // slots, so tests call them instead of waiting.
    const QTimer& replyTimer() const { return replyTimer_; }
    const QTimer& responseTimeout() const { return responseTimeout_; }
    const QTimer& reprobeTimer() const { return reprobeTimer_; }
    const QTimer& minuteTimer() const { return minuteTimer_; }
    const QTimer& pollTimer() const { return pollTimer_; }
    const QTimer& lostContactTimer() const { return lostContactTimer_; }

public slots:
    void onReprobe();
    void onReplyTimeout();
    void onResponseTimeout();
    void onMinuteTick();
    void onPollTick();
    void onLostContactTick();

signals:
    void calibrationReceived(const zel::PortablesCalibration& record);
    void graphShouldHide();
    // A reading is in the working file: the reading as filed (thousands
    // written out) and the alarm level it left.
    void readingFiled(const zel::Reading& reading, zel::AlarmLevel level);
    // On-line collection began or ended (the gaps of the station's record).
    void collectionStarted();
    void collectionStopped();
    // A reading arrived while lost contact was raised.
    void contactBack();
    // The port went away, and a port was opened again after that.
    void portLost(const QString& reason);
    void portBack();
    // The lost-contact watch raised the alarm (no reading for too long), or
    // the port went away.
    void lostContactRaised();
    // A frame failed its check or was too short for its layout.
    void frameDamaged();
    // A reading could not be written to the working file (it waits in
    // memory and goes out with the next one that can be written).
    void writeFailed(const QString& reason);

private:
    // What the conversations may do.
    void resetReceiver() override { receiver_.reset(); }
    void armReplyWait() override { replyTimer_.start(1000); }
    void stopReplyWait() override { replyTimer_.stop(); }
    bool replyAwaited() const override { return replyTimer_.isActive(); }
    void armResponseTimeout() override { responseTimeout_.start(500); }
    void stopResponseTimeout() override { responseTimeout_.stop(); }
    void startReprobing() override;
    void startIntervalPolling() override;
    void stopIntervalPolling() override;
    void countMinutesAgain() override;
    void holdPolling() override { pollTimer_.stop(); }
    void reportDamagedFrame() override { emit frameDamaged(); }
    void handOverCalibration(const PortablesCalibration& record) override {
        emit calibrationReceived(record);
    }
    // The record after the last one closed a log download.
    void endOfLog();
    void later(const std::function<void()>& work) override;
    StationState& linkState() override { return state_; }
    MeasurementList& list() override { return list_; }
    ConversationContext& asContext() { return *this; }

    QTimer replyTimer_;      // 1 s for an answer to a test or poll
    QTimer responseTimeout_; // 500 ms for an answer during a request
    QTimer reprobeTimer_;    // 2 s re-probe of a lost Portables instrument
    QTimer minuteTimer_;     // whole minutes of the on-line interval
    QTimer pollTimer_;       // the seconds of the on-line interval
    QTimer lostContactTimer_;

    void noteReadingCounted(const Reading& r);
    void setAlarmLevel(AlarmLevel level);
    void raiseLostContact();
    // A reading ended a lost-contact episode: when readings keep coming at
    // a steady pace slower than LostContactInterval, the setting is at
    // fault, not the instrument.
    void watchPace(bool endedLostContact);
    void onPortLost(const QString& reason);
    void notePortBack();
    void reportFileError(const QString& what);
    void deferCritical(const QString& text, const QString& title, const QString& detail);
    void writeReading(const MeasurementRecord& row, const Reading& reading);

    Transport& transport_;
    StationView& view_;
    const Clock& clock_;
    Settings& settings_;
    SettingsStore& settingsStore_;
    PortSettings& port_;
    PortSettingsFile& portFile_;
    DataStore& data_;
    MeasurementList& list_;

    StationState state_;
    const Family* family_ = nullptr;
    std::unique_ptr<InstrumentConversation> conversation_;
    Receiver receiver_;
    // A batch is being cut into frames: it is a view into the port's read
    // buffer, which a read from a nested event loop would refill under it.
    bool receiving_ = false;
    bool moreWaiting_ = false;
    AlarmLevel alarmLevel_ = AlarmLevel::Normal;
    int32_t lostContact_ = 0;
    // The pace watch: when the last reading came, the pause before it when
    // that pause had raised lost contact (0 otherwise), and whether a pace
    // slower than LostContactInterval was already said.
    qint64 lastReadingAtMs_ = 0;
    qint64 lastLostPauseMs_ = 0;
    bool slowPaceSaid_ = false;
    quint32 spinner_ = 0;
    std::optional<Legend> legend_;
    Interval interval_;
    bool fileErrorShown_ = false;
    bool unattendedStart_ = false;
    // Readings taken whose line waits for the working file, with the alarm
    // level they left.
    struct Unfiled {
        MeasurementRecord row;
        Reading reading;
        AlarmLevel level;
    };
    std::deque<Unfiled> unwritten_;
    const MeasurementRecord* rowBeingFiled_ = nullptr;
    bool portLost_ = false;
};

} // namespace zel
