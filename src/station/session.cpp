#include "station/session.h"

#include "station/families.h"

#include "common/ini_file.h"
#include "common/paths.h"
#include "station/station_archive.h"
#include "telemetry/filed_readings.h"
#include "telemetry/mqtt_publisher.h"

#include <QFile>
#include <QTimer>
#include <algorithm>
#include <cmath>

namespace zel {

SessionPaths SessionPaths::standard() {
    return SessionPaths{zel::programFolder(), zel::settingsFilePath()};
}

bool SettingsLoad::has(SettingsProblem::Kind kind) const {
    return std::any_of(problems.begin(), problems.end(),
                       [kind](const SettingsProblem& p) { return p.kind == kind; });
}

Session::Session(const SessionPaths& paths, Transport& transport, const Clock& clock,
                 StationView& view)
    : paths_(paths), transport_(transport), clock_(clock), view_(view),
      settingsStore_(paths_.settingsFile), portFile_(paths_.portSettingsFile()) {}

Session::~Session() {
    if (station_)
        station_->closePort();
}

SettingsLoad Session::loadSettings() {
    using Kind = SettingsProblem::Kind;
    SettingsLoad load;
    const auto problem = [&load](Kind kind, const QString& file, const QString& detail) {
        load.problems.push_back(SettingsProblem{kind, file, detail});
    };

    {
        QFile ini(paths_.settingsFile);
        if (!ini.exists())
            problem(Kind::SettingsMissing, paths_.settingsFile,
                    QStringLiteral("the file does not exist"));
        else if (!ini.open(QIODevice::ReadOnly))
            problem(Kind::SettingsUnreadable, paths_.settingsFile,
                    QStringLiteral("the file cannot be read: ") + ini.errorString());
    }
    // The port file's own reading takes the leading number of whatever is
    // there; these say when that number is not what the text meant.
    const QString daxPath = paths_.portSettingsFile();
    {
        const IniFile dax(daxPath);
        const QString portText =
            dax.read(QStringLiteral("Communication"), QStringLiteral("Port"), QString(), 64);
        bool ok = false;
        const int port = portText.trimmed().toInt(&ok);
        if (!portText.trimmed().isEmpty() && (!ok || port < 1 || port > 255))
            problem(Kind::BadPort, daxPath,
                    QStringLiteral("Port \"%1\" is not a port number (1 to 255)").arg(portText));
        const QString baudText =
            dax.read(QStringLiteral("Communication"), QStringLiteral("BaudRate"), QString(), 64);
        const int baud = baudText.trimmed().toInt(&ok);
        if (!baudText.trimmed().isEmpty() && (!ok || baud < 1))
            problem(Kind::BadBaudRate, daxPath,
                    QStringLiteral("BaudRate \"%1\" is not a baud rate").arg(baudText));
    }

    // The port key comes between the first settings and the rest; an empty
    // one leaves the rest unread.
    settingsStore_.readFirst(settings_);
    if (!portFile_.readPort(port_)) {
        problem(Kind::PortNotNamed, daxPath, QStringLiteral("the key Port is empty"));
    } else {
        portFile_.readBaudRate(port_);
        settingsStore_.readRest(settings_);
    }
    if (!findFamily(settings_.InstrumentType)) {
        problem(Kind::BadFamily, paths_.settingsFile,
                QStringLiteral("InsType is %1; it must be %2")
                    .arg(settings_.InstrumentType)
                    .arg(familyChoicesText()));
        settings_.InstrumentType = familyOrDefault(settings_.InstrumentType).id;
    }
    interval_ = settingsStore_.readInterval();
    settingsLoaded_ = true;
    // A zero interval would poll as fast as the timer can fire, and one too
    // long for the timer overflows into the same.
    if (!intervalUsable(interval_))
        problem(Kind::BadInterval, paths_.settingsFile,
                QStringLiteral("the on-line interval (MinInt, SecInt) must be at least 0.1 "
                               "seconds, with MinInt from 0 to 1440 and SecInt from 0 to 3600"));
    return load;
}

void Session::buildStation() {
    list_ = std::make_unique<MeasurementList>(familyOrDefault(settings_.InstrumentType).list);
    data_ = std::make_unique<DataStore>(paths_.workingFile());
    station_ = std::make_unique<Station>(Station::Parts{
        transport_, view_, clock_, settings_, settingsStore_, port_, portFile_, *data_, *list_});
    data_->headerProvider = [this] { return station_->currentHeader(); };
    // Told once the event at hand is over: a message box must not open in
    // the middle of a reading's intake.
    data_->noticeHandler = [this](const QString& text) {
        QTimer::singleShot(0, station_.get(), [view = &view_, text] {
            view->information(text, QStringLiteral("Data file"));
        });
    };
    if (settingsLoaded_)
        station_->setInterval(interval_);
}

bool Session::startPublishing(QObject* context,
                              const std::function<void(const QString&, bool)>& report) {
    auto publisher = std::make_unique<MqttPublisher>([clock = &clock_] { return clock->now(); });
    QObject::connect(publisher.get(), &MqttPublisher::message, context, report);
    if (!publisher->start(settingsStore_.ini(), paths_.programFolder, defaultStationName()))
        return false;
    publisher_ = std::move(publisher);
    wirePublisher();
    return true;
}

// The publisher knows readings and alarm levels, not the Station: what it
// needs of the Station is handed to it here.
void Session::wirePublisher() {
    MqttPublisher* p = publisher_.get();
    Station* station = station_.get();
    const QString workingPath = paths_.workingFile();
    const WorkingFile& working = data_->workingFile();
    QObject::connect(
        station, &Station::readingFiled, p,
        [p, station, &working](const Reading& r, AlarmLevel level) {
            // The line just written ends the working file: the row the
            // Station wrote, where the file says it ended.
            DiskQueue::Identity filedAs;
            const MeasurementRecord* row = station->rowBeingFiled();
            if (row && working.lastLineEnd() >= 0)
                filedAs = {working.lastLineEnd(), lineFingerprint(readingLine(*row)), 0};
            p->publishReading(r, level, filedAs);
        });
    p->catchUp(workingPath, station->family().record, [station](const Reading& r) -> AlarmLevel {
        if (!std::isfinite(r.value))
            return AlarmLevel::Fault;
        const Settings& s = station->settings();
        const double v =
            station->conversation().rangesUnits() ? inThresholdUnit(r.value, r.unit) : r.value;
        return v > s.Threshold2   ? AlarmLevel::High2
               : v > s.Threshold1 ? AlarmLevel::High1
                                  : AlarmLevel::Normal;
    });
    QObject::connect(station, &Station::lostContactRaised, p, [p] { p->publishLostContact(); });
}

bool Session::openPort() {
    return station_->openPortAtStartup();
}

bool Session::reopenPort(QString* detail) {
    return station_->reopenPort(port_.Port, port_.BaudRate, detail);
}

void Session::restoreWorkingFile() {
    // A working file that cannot be made ready is told by the first
    // reading that cannot be written to it.
    (void)data_->ensureWorkingFile();
    station_->readWorkingFile();
    startArchiving();
}

void Session::startArchiving() {
    if (archive_)
        return;
    archive_ = std::make_unique<StationArchive>(
        *station_, paths_.programFolder + QLatin1Char('/') + QLatin1String(ArchiveFileName),
        paths_.workingFile(), keepDaysSetting(settingsStore_.ini()),
        [station = station_.get()](const QString& text, bool problem) {
            station->setStatus(text, problem ? StatusKind::Problem : StatusKind::Note);
        });
}

} // namespace zel
