#include "monitor/monitor.h"

#include "common/datetime.h"
#include "common/text.h"
#include "telemetry/mqtt_publisher.h"

#include <QDateTime>

namespace zel {

namespace {

// A value for a key=value line: bare when it is one plain word, else quoted.
QString field(const QString& value) {
    bool plain = !value.isEmpty();
    for (QChar c : value)
        if (c.isSpace() || c == QLatin1Char('"') || c == QLatin1Char('=') || c == QLatin1Char('\\'))
            plain = false;
    if (plain)
        return value;
    QString quoted = value;
    quoted.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    quoted.replace(QLatin1Char('"'), QLatin1String("\\\""));
    quoted.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    quoted.replace(QLatin1Char('\r'), QLatin1String("\\r"));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

} // namespace

QString alarmStateName(int16_t state) {
    switch (state) {
    case AlarmNormal:
        return QStringLiteral("normal");
    case AlarmHigh1:
        return QStringLiteral("high1");
    case AlarmHigh2:
        return QStringLiteral("high2");
    default:
        return QStringLiteral("fault");
    }
}

Monitor::Monitor(const Options& options, Transport& transport, const Clock& clock, QTextStream& out,
                 QObject* parent)
    : QObject(parent), options_(options), transport_(transport), clock_(clock), out_(out) {
    supervisor_.setInterval(options_.supervisionIntervalMs);
    // The port says itself when it goes away; the Station's message box
    // about it follows as an ordinary error line.
    connect(&transport_, &Transport::portLost, this, [this](const QString& reason) {
        event(Level::Error, QStringLiteral("port-lost"), QStringLiteral("detail=") + field(reason));
    });
    connect(&supervisor_, &QTimer::timeout, this, &Monitor::supervise);
}

Monitor::~Monitor() {
    if (station_)
        station_->closePort();
}

void Monitor::event(Level level, const QString& kind, const QString& text) {
    if (options_.journalPriorities)
        out_ << (level == Level::Error ? "<3>" : level == Level::Warning ? "<4>" : "<6>");
    out_ << clock_.now().toString(Qt::ISODate) << ' ' << kind;
    if (!text.isEmpty())
        out_ << ' ' << text;
    out_ << '\n';
    out_.flush();
}

bool Monitor::start() {
    settingsStore_ = std::make_unique<SettingsStore>(options_.settingsFile);
    portFile_ =
        std::make_unique<PortSettingsFile>(options_.programFolder + QStringLiteral("/dax.ini"));
    settingsStore_->readFirst(settings_);
    if (!portFile_->readPort(port_)) {
        event(Level::Error, QStringLiteral("settings-error"),
              QStringLiteral("message=") + field(QStringLiteral("Port not opened, Use Set Port ")) +
                  QStringLiteral(" file=") + field(options_.programFolder + "/dax.ini") +
                  QStringLiteral(" detail=") + field(QStringLiteral("the key Port is empty")));
        return false;
    }
    portFile_->readBaudRate(port_);
    settingsStore_->readRest(settings_);
    if (settings_.InstrumentType < 0 || settings_.InstrumentType > 3) {
        event(Level::Error, QStringLiteral("settings-error"),
              QStringLiteral("file=") + field(options_.settingsFile) + QStringLiteral(" detail=") +
                  field(QStringLiteral("InsType is %1; it must be 0 (Portables), 1 (Tarvo-5), "
                                       "2 (Amp + Vessa) or 3 (Orvan)")
                            .arg(settings_.InstrumentType)));
        return false;
    }
    const Interval interval = settingsStore_->readInterval();
    if (!(interval.Minutes * 60 + interval.Seconds > 0)) {
        // A zero interval would poll as fast as the timer can fire.
        event(Level::Error, QStringLiteral("settings-error"),
              QStringLiteral("file=") + field(options_.settingsFile) + QStringLiteral(" detail=") +
                  field(QStringLiteral("the on-line interval (MinInt, SecInt) is not above 0")));
        return false;
    }

    list_ = std::make_unique<MeasurementList>(settings_.InstrumentType);
    data_ = std::make_unique<DataStore>(options_.programFolder + QStringLiteral("/ZelTemp.csv"));
    station_ = std::make_unique<Station>(Station::Parts{
        transport_, *this, clock_, settings_, *settingsStore_, port_, *portFile_, *data_, *list_});
    data_->headerProvider = [this] { return station_->currentHeader(); };
    station_->setInterval(interval);
    station_->chooseFamily(settings_.InstrumentType);
    publisher_ =
        publishStation(*station_, settingsStore_->ini(), options_.programFolder, clock_, this,
                       [this](const QString& text, bool problem) {
                           event(problem ? Level::Warning : Level::Info, QStringLiteral("mqtt"),
                                 QStringLiteral("text=") + field(text));
                       });

    event(Level::Info, QStringLiteral("start"),
          QStringLiteral("family=%1 port=%2 device=%3 baud=%4 interval=%5")
              .arg(settings_.InstrumentType)
              .arg(port_.Port)
              .arg(field(portFile_->deviceFor(port_.Port)))
              .arg(port_.BaudRate)
              .arg(interval.Minutes * 60 + interval.Seconds));

    lastReopenAttempt_ = clock_.now().toMSecsSinceEpoch();
    QString detail;
    const bool opened = station_->reopenPort(port_.Port, port_.BaudRate, &detail);
    if (!opened && transport_.lastErrorIsPermission()) {
        event(Level::Error, QStringLiteral("port-error"),
              QStringLiteral("device=") + field(portFile_->deviceFor(port_.Port)) +
                  QStringLiteral(" detail=") + field(detail));
        return false;
    }
    if (!opened) {
        portWasLost_ = true;
        event(Level::Warning, QStringLiteral("port-unavailable"),
              QStringLiteral("device=") + field(portFile_->deviceFor(port_.Port)) +
                  QStringLiteral(" detail=") + field(detail) +
                  QStringLiteral(" retry-seconds=%1").arg(options_.reopenIntervalMs / 1000.0));
    }

    station_->enterStartupState();
    data_->ensureWorkingFile();
    station_->readWorkingFile();
    if (opened)
        station_->testConnection();
    station_->finishStartup();
    supervisor_.start();
    return true;
}

bool Monitor::tryOpenPort() {
    lastReopenAttempt_ = clock_.now().toMSecsSinceEpoch();
    QString detail;
    if (!station_->reopenPort(port_.Port, port_.BaudRate, &detail))
        return false;
    portWasLost_ = false;
    event(Level::Info, QStringLiteral("port-back"),
          QStringLiteral("device=") + field(portFile_->deviceFor(port_.Port)));
    station_->testConnection();
    return true;
}

void Monitor::supervise() {
    if (stopping_ || !station_)
        return;
    if (!station_->portOpen()) {
        if (clock_.now().toMSecsSinceEpoch() - lastReopenAttempt_ >= options_.reopenIntervalMs)
            tryOpenPort();
        return;
    }
    // The instrument answered and nothing is being collected: start. This
    // also restarts collection after the instrument or the port came back.
    const StationState& s = station_->state();
    if (s.instrumentReady && s.onlineIdle && !s.downloading)
        station_->toggleOnline();
}

void Monitor::stop(const std::function<void()>& done) {
    if (stopping_ || !station_) {
        if (done)
            done();
        return;
    }
    stopping_ = true;
    supervisor_.stop();
    if (station_->state().instrumentReady)
        station_->stopOnline();
    // A reply already on its way is still filed: the port stays open a
    // moment after the instrument was told to stop.
    QTimer::singleShot(options_.drainMs, this, [this, done] {
        station_->closePort();
        if (publisher_)
            publisher_->stop(2000);
        event(Level::Info, QStringLiteral("stop"),
              QStringLiteral("readings=%1 file=%2")
                  .arg(readingsFiled_)
                  .arg(field(data_->workingFile().path())));
        if (done)
            done();
    });
}

void Monitor::setStatus(const QString& text, const Rgb& color) {
    // Readings set the status to their date-time and the reply timer counts
    // "Testing Connection n" every second: neither is news for the journal.
    if (text.isEmpty() || text == lastStatus_ ||
        text.startsWith(QLatin1String("Testing Connection")) || parseGeneralDateTime(text)) {
        if (!text.isEmpty())
            lastStatus_ = text;
        return;
    }
    lastStatus_ = text;
    event(color == colors::StatusRed ? Level::Warning : Level::Info, QStringLiteral("status"),
          QStringLiteral("text=") + field(text));
}

void Monitor::setLamp(const Rgb& color) {
    if (color == colors::LampOk && !connected_) {
        connected_ = true;
        event(Level::Info, QStringLiteral("connected"));
    } else if (color == colors::LampLost && connected_) {
        connected_ = false;
        event(Level::Warning, QStringLiteral("disconnected"));
    }
}

void Monitor::setValueColor(const Rgb& color) {
    // Pale cyan is the lost-contact alarm; readings bring the other colours.
    if (color == colors::PaleCyan && lastAlarm_ != AlarmFault) {
        lastAlarm_ = AlarmFault;
        event(Level::Warning, QStringLiteral("lost-contact"));
    }
}

void Monitor::setReadingDetails(const QString& id, const QString& status, const QString& detector) {
    id_ = id;
    statusField_ = status;
    detector_ = detector;
}

void Monitor::showOnline(bool running) {
    event(Level::Info,
          running ? QStringLiteral("collecting") : QStringLiteral("collection-stopped"));
}

Answer Monitor::ask(const QString&, const QString&, bool) {
    // Nobody is there to answer: keep what the working file holds.
    return Answer::Yes;
}

void Monitor::critical(const QString& text, const QString& title, const QString& detail) {
    QString line = QStringLiteral("title=") + field(title) + QStringLiteral(" message=") +
                   field(text.trimmed());
    if (!detail.isEmpty())
        line += QStringLiteral(" detail=") + field(detail);
    event(Level::Error, QStringLiteral("error"), line);
}

void Monitor::information(const QString& text, const QString& title) {
    event(Level::Info, QStringLiteral("information"),
          QStringLiteral("title=") + field(title) + QStringLiteral(" message=") +
              field(text.trimmed()));
}

void Monitor::readingTaken(double value) {
    ++readingsFiled_;
    const int16_t alarm = station_->alarmState();
    event(alarm == AlarmNormal ? Level::Info : Level::Warning, QStringLiteral("reading"),
          QStringLiteral("time=%1 value=%2 readout=%3 dose=%4 alarm=%5 id=%6 status=%7 "
                         "detector=%8")
              .arg(field(lastStatus_), shortestText(value), field(valueText_), field(doseText_),
                   alarmStateName(alarm), field(id_.trimmed()), field(statusField_.trimmed()),
                   field(detector_.trimmed())));
    if (alarm != lastAlarm_) {
        if (alarm == AlarmNormal)
            event(Level::Info, QStringLiteral("alarm-cleared"),
                  QStringLiteral("was=") + alarmStateName(lastAlarm_));
        else
            event(Level::Warning, QStringLiteral("alarm-raised"),
                  QStringLiteral("level=") + alarmStateName(alarm) + QStringLiteral(" was=") +
                      alarmStateName(lastAlarm_));
        lastAlarm_ = alarm;
    }
}

} // namespace zel
