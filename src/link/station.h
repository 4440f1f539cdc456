#pragma once
// The station: one conversation with one instrument. It owns the port, the
// receive state, the flags, counters and timers of the link, the alarm
// state, and the readings' road into the list and the working file. It is
// driven by the Qt event loop on one thread; timer handlers are public slots
// so tests can call them instead of sleeping.
#include "link/clock.h"
#include "link/instrument.h"
#include "link/port_settings.h"
#include "link/receiver.h"
#include "link/station_view.h"
#include "link/transport.h"
#include "main/data_files.h"
#include "main/measurement_list.h"
#include "main/settings.h"
#include <QByteArray>
#include <QObject>
#include <QTimer>
#include <deque>
#include <optional>

namespace zel {

// Alarm states of the value read-out.
enum AlarmState : int16_t { AlarmNormal = 0, AlarmHigh1 = 1, AlarmHigh2 = 2, AlarmFault = 3 };

namespace colors {
inline constexpr Rgb Green{0, 255, 0};
inline constexpr Rgb Yellow{255, 255, 0};
inline constexpr Rgb Red{255, 0, 0};
inline constexpr Rgb PaleCyan{128, 255, 255};
inline constexpr Rgb Magenta{255, 0, 255};
inline constexpr Rgb LampOk{128, 255, 128};
inline constexpr Rgb LampLost{255, 128, 128};
inline constexpr Rgb StatusRed{255, 0, 0};
inline constexpr Rgb StatusBlue{0, 0, 255};
} // namespace colors

class Station : public QObject {
    Q_OBJECT
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

    // --- port -------------------------------------------------------------
    // Opens the stored port at start-up; reports a failure in a message box.
    bool openPortAtStartup();
    // Closes the open port and opens (port, baud); used by the port dialog.
    bool reopenPort(int16_t port, int32_t baud, QString* detail);
    void closePort();
    bool portOpen() const { return port_.OpenPort != 0 && transport_.isOpen(); }

    // --- family -----------------------------------------------------------
    int16_t family() const { return settings_.InstrumentType; }
    // Frame rules of the family (part of SetControls).
    void applyFrameRules();
    // The user picked family i in chkInstType.
    void chkInstType_Click(int16_t index);

    // --- conversation -------------------------------------------------------
    void TestConnection();
    void mnTest_Click(); // the Test command: only with an open port
    void btStart_Click();
    void StopOnline();
    void ConnectionOk();
    void ConnectionLost();
    void getData();  // "Get Data"
    void sendTime(); // "Send Time"
    void requestCalibration();
    // Start-up states: families 0 and 1 wait for the instrument, 2 and 3
    // are idle; family 1 with an open port sends its test frame again.
    void enterStartupState();
    void finishStartup();
    // Closing: stop collecting when the instrument is ready, close the port.
    void shutdown();

    // Senders.
    bool sendTarvoTest();
    void sendPortableCommand(uint8_t command, bool wait, bool flush);
    void SendStart();
    void orvanSend(const QByteArray& text);
    void RequestRecord(int k);
    // Amplifier commands, filled by the amplifier work.
    void sendAmpStop();
    void sendAmpStart();
    void requestAmpParameters();

    // --- receive path ---------------------------------------------------------
    void onBytesArrived();
    int16_t ExtractMessage(const QByteArray& frame);
    void PutDataInList(const QByteArray& frame);
    void PutCalibData(const QByteArray& frame);
    void ampReply(const QByteArray& frame);

    // --- files ----------------------------------------------------------------
    QByteArray currentHeader();
    // Working file for on-line collection / a download, asking whether to
    // append to the existing list.
    void chooseWorkingFileForOnline();
    void chooseWorkingFileForDownload();
    void OpenNewTempFile();
    void ClearGrid();
    void ReadDb(const QString& path = {});
    // Saves the working file to `path` and the common file; true on success.
    bool SaveToFile(const QString& path);
    void setLegend(const Legend& legend) { legend_ = legend; }
    Legend& legend();
    void setInterval(const Interval& interval) { interval_ = interval; }
    const Interval& interval() const { return interval_; }
    bool AutoMode = false;
    QString ProbeNumber;
    QString OrvanUnits;

    // --- state for the window and tests -----------------------------------------
    bool OnlineIdle = false;
    bool TestPending = false;
    bool InstrumentReady = false;
    bool Downloading = false;
    quint32 ErrorCount = 0;
    quint32 TotalErrors = 0;
    int32_t MinuteCountdown = 0;
    int16_t TarvoProbeCode = 0;
    int16_t TarvoLastType = 0;
    int32_t RecordCount = 0;
    int32_t NextRecord = 0;
    bool DownloadFinished = false;
    int16_t alarmState() const { return alarmState_; }
    int32_t lostContactCounter() const { return lostContact_; }
    double DoseValue = 0;
    QByteArray lastPortableCommand() const { return lastCommand_; }
    Receiver& receiver() { return receiver_; }

    QTimer Timer1, Timer2, tmrTimeOut, tmrMinute, tmrRand, tmrLostContact;

public slots:
    void Timer1_Timer();
    void Timer2_Timer();
    void tmrTimeOut_Timer();
    void tmrMinute_Timer();
    void tmrRand_Timer();
    void tmrLostContact_Timer();

signals:
    void calibrationReceived(const QByteArray& frame);
    void ampReplyReceived(const QByteArray& frame);
    void graphShouldHide();

private:
    bool send(const QByteArray& bytes);
    int16_t checkTarvo(const QByteArray& work);
    std::optional<MeasurementRecord> parseReading(const QByteArray& frame);
    void countError();
    void noteReadingCounted(const MeasurementRecord& r);
    int16_t CheckOrvan(const QByteArray& frame);
    void setStatus(const QString& text, const Rgb& color = Rgb());
    void onPortLost(const QString& reason);
    void reportFileError(const QString& what);
    void deferCritical(const QString& text, const QString& title, const QString& detail);
    void writeReading(const MeasurementRecord& r);

    Transport& transport_;
    StationView& view_;
    const Clock& clock_;
    Settings& settings_;
    SettingsStore& settingsStore_;
    PortSettings& port_;
    PortSettingsFile& portFile_;
    DataStore& data_;
    MeasurementList& list_;

    Receiver receiver_;
    QByteArray work_; // the un-escaped Tarvo-5 frame being dispatched
    QByteArray lastCommand_;
    int16_t alarmState_ = AlarmNormal;
    int32_t lostContact_ = 0;
    quint32 spinner_ = 0;
    std::optional<Legend> legend_;
    Interval interval_;
    bool fileErrorShown_ = false;
    std::deque<MeasurementRecord> unwritten_;
};

} // namespace zel
