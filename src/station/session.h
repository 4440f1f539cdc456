#pragma once
// One station program's objects, built in one place: the settings (Zel.ini),
// the port settings (dax.ini), the working file, the list, the Station and,
// when Zel.ini names a broker, the MQTT publisher. The window, zel-monitor,
// the test rigs and the benchmarks build the same graph the same way and
// differ only in the view they give it and in the order they call the steps.
#include "data/data_files.h"
#include "data/measurement_list.h"
#include "data/settings.h"
#include "station/clock.h"
#include "station/port_settings.h"
#include "station/station.h"
#include "station/station_view.h"
#include "station/transport.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

namespace zel {

class MqttPublisher;
class StationArchive;

struct SessionPaths {
    QString programFolder; // dax.ini, ZelTemp.csv, the MQTT queue
    QString settingsFile;  // Zel.ini

    // Where zel and zel-monitor look when nobody says otherwise.
    static SessionPaths standard();
    QString portSettingsFile() const { return programFolder + QStringLiteral("/dax.ini"); }
    QString workingFile() const { return programFolder + QStringLiteral("/ZelTemp.csv"); }
};

// Something loadSettings() found that the settings cannot be used as they
// are. `file` is the file at fault, `detail` says why in a line.
struct SettingsProblem {
    enum class Kind {
        SettingsMissing,    // Zel.ini does not exist
        SettingsUnreadable, // Zel.ini cannot be opened
        BadPort,            // dax.ini "Port" is not a port number 1 to 255
        BadBaudRate,        // dax.ini "BaudRate" is not a positive number
        PortNotNamed,       // dax.ini "Port" is there but empty
        BadFamily,          // "InsType" names no family
        BadInterval,        // "MinInt"/"SecInt" is no interval a timer can keep
        BadMetrics,         // [Metrics] "Listen" names no address to serve on
    };
    Kind kind;
    QString file;
    QString detail;
};

// What loadSettings() read, problems in the order they were found. The
// window starts with the defaults whatever it found; a service stops at the
// first problem rather than collect as some other instrument.
struct SettingsLoad {
    std::vector<SettingsProblem> problems;

    bool has(SettingsProblem::Kind kind) const;
    const SettingsProblem* first() const { return problems.empty() ? nullptr : &problems.front(); }
    // The port key gave a value; without one no port is opened at start-up.
    bool portNamed() const { return !has(SettingsProblem::Kind::PortNotNamed); }
};

// The window's parts of the start-up, called in the order the session
// keeps; any may be empty.
struct WindowStartup {
    // The Station exists and no family is chosen yet: wire the window to
    // it, lay out its list and show the family option.
    std::function<void()> stationBuilt;
    // The family is chosen and the port opened and tested.
    std::function<void()> stationStarted;
    // The previous run's readings are back; the Station finishes next.
    std::function<void()> readingsRestored;
};

class Session {
public:
    // `transport`, `clock` and `view` are the caller's and outlive the
    // session.
    Session(const SessionPaths& paths, Transport& transport, const Clock& clock, StationView& view);
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
    // Closes an open port.
    ~Session();

    // Reads Zel.ini and dax.ini: "FileNumber" and "CommonFileName", the
    // port, and only when the port key gave a value the line speed and the
    // rest of the settings; then the interval. A family out of range is
    // read as Portables.
    SettingsLoad loadSettings();
    // The list laid out for the family now chosen, the working file, the
    // Station at the interval read (settings set by hand leave the Station's
    // own). Call once, after the settings are in.
    void buildStation();
    // Readings also go to an MQTT broker when Zel.ini names one; `report`
    // gets every message of the publisher. False when nothing is published.
    bool startPublishing(QObject* context,
                         const std::function<void(const QString& text, bool problem)>& report);
    // Opens the stored port and tests the connection; a failure is shown
    // through the view.
    bool openPort();
    // Opens the stored port again without a word or a test; `detail` says
    // why it failed. A service that waits for its port uses this.
    bool reopenPort(QString* detail);
    // A window's start-up, the steps above in their order: the settings
    // (a missing port is told, and the window starts anyway with the
    // defaults), the Station, the family, the port and its first test, the
    // family's waiting state, the previous run's readings, the Station's
    // last step. Call once, before the window shows.
    SettingsLoad startWindow(const WindowStartup& window);
    // The working file of the previous run is kept (or a new one begun) and
    // its readings are read into the list and counted; then the archive is
    // started (startArchiving).
    void restoreWorkingFile();
    // The station's record, "ZelArchive.sqlite" in the program folder: what
    // the working file holds and the archive not yet is caught up, and every
    // reading filed from now on goes there too. What it has to say (waiting
    // for room on the disk, writing again) is the Station's status: the
    // window's status line, zel-monitor's journal.
    void startArchiving();

    const SessionPaths& paths() const { return paths_; }
    Settings& settings() { return settings_; }
    SettingsStore& settingsStore() { return settingsStore_; }
    PortSettings& portSettings() { return port_; }
    PortSettingsFile& portSettingsFile() { return portFile_; }
    // The interval as Zel.ini gave it; the Station holds it clamped.
    const Interval& storedInterval() const { return interval_; }
    // The device the stored port number opens.
    QString portDevice() const { return portFile_.deviceFor(port_.Port); }

    // These three exist once buildStation() ran.
    bool stationBuilt() const { return station_ != nullptr; }
    DataStore& data() { return *data_; }
    const DataStore& data() const { return *data_; }
    MeasurementList& list() { return *list_; }
    Station& station() { return *station_; }
    const Station& station() const { return *station_; }
    // Null while nothing is published.
    MqttPublisher* publisher() { return publisher_.get(); }
    // Null until startArchiving().
    StationArchive* archive() { return archive_.get(); }

private:
    // Hands the publisher the station's filed readings, where the working
    // file ends, and the lost-contact alarm.
    void wirePublisher();

    SessionPaths paths_;
    Transport& transport_;
    const Clock& clock_;
    StationView& view_;

    Settings settings_;
    SettingsStore settingsStore_;
    PortSettings port_;
    PortSettingsFile portFile_;
    Interval interval_;
    bool settingsLoaded_ = false;
    std::unique_ptr<DataStore> data_;
    std::unique_ptr<MeasurementList> list_;
    std::unique_ptr<Station> station_;
    std::unique_ptr<MqttPublisher> publisher_;
    std::unique_ptr<StationArchive> archive_;
};

} // namespace zel
