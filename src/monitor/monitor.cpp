#include "monitor/monitor.h"

#include "common/datetime.h"
#include "common/text.h"
#include "station/amp_conversation.h"
#include "telemetry/metrics_exporter.h"
#include "telemetry/mqtt_publisher.h"
#include "telemetry/reading_message.h"

#include <QDateTime>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSysInfo>
#include <limits>

namespace zel {

namespace {

// A value for a key=value line: bare when it is one plain word, else quoted.
// Control characters (an instrument's bytes may hold any) are written as
// \xHH, so one event is always one line that a terminal shows as it is.
QString field(const QString& value) {
    bool plain = !value.isEmpty();
    for (QChar c : value)
        if (c.isSpace() || c == QLatin1Char('"') || c == QLatin1Char('=') ||
            c == QLatin1Char('\\') || c.category() == QChar::Other_Control)
            plain = false;
    if (plain)
        return value;
    QString quoted;
    quoted.reserve(value.size() + 2);
    quoted += QLatin1Char('"');
    for (QChar c : value) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('"'))
            quoted += QLatin1Char('\\') + QString(c);
        else if (c == QLatin1Char('\n'))
            quoted += QLatin1String("\\n");
        else if (c == QLatin1Char('\r'))
            quoted += QLatin1String("\\r");
        else if (c.category() == QChar::Other_Control)
            quoted += QStringLiteral("\\x%1").arg(uint(c.unicode()), 2, 16, QLatin1Char('0'));
        else
            quoted += c;
    }
    quoted += QLatin1Char('"');
    return quoted;
}

} // namespace

QString eventValue(const QString& value) {
    return field(value);
}

QString eventTime(const QDateTime& moment) {
    // With the offset: a journal read in another zone, or across a change
    // to summer time, still orders and matches the lines.
    QString text = moment.toOffsetFromUtc(moment.offsetFromUtc()).toString(Qt::ISODate);
    if (text.endsWith(QLatin1Char('Z')))
        text.replace(text.size() - 1, 1, QStringLiteral("+00:00"));
    return text;
}

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
        logEvent(Level::Error, QStringLiteral("port-lost"),
                 QStringLiteral("detail=") + field(reason));
        QTimer::singleShot(0, this, &Monitor::publishHealth);
    });
    connect(&supervisor_, &QTimer::timeout, this, &Monitor::supervise);
    healthTimer_.setInterval(options_.healthIntervalMs);
    connect(&healthTimer_, &QTimer::timeout, this, &Monitor::publishHealth);
}

void Monitor::publishHealth() {
    refreshMetrics();
    if (!publisher_ || !station_)
        return;
    const QDateTime now = clock_.now();
    QJsonObject o;
    o.insert(QStringLiteral("time"), isoWithOffset(now));
    o.insert(QStringLiteral("taken"), double(readingsTaken_));
    o.insert(QStringLiteral("filed"), double(readingsFiled()));
    o.insert(QStringLiteral("published"), double(publisher_->published()));
    o.insert(QStringLiteral("queued"), double(publisher_->waiting()));
    o.insert(QStringLiteral("dropped"), double(publisher_->dropped()));
    o.insert(QStringLiteral("lastReadingSeconds"),
             lastReadingAt_ > 0
                 ? QJsonValue(double(now.toMSecsSinceEpoch() - lastReadingAt_) / 1000)
                 : QJsonValue());
    o.insert(QStringLiteral("port"),
             station_->portOpen() ? QStringLiteral("open") : QStringLiteral("lost"));
    o.insert(QStringLiteral("instrument"),
             connected_ ? QStringLiteral("connected") : QStringLiteral("not-connected"));
    publisher_->publishHealth(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

namespace {

// A quantity's number; NaN when its text holds none ("Ilgl com" in an Orvan
// error reply's column).
double quantity(const QString& text) {
    const QString t = text.trimmed();
    const bool number =
        !t.isEmpty() && (t.at(0).isDigit() || t.at(0) == QLatin1Char('-') ||
                         t.at(0) == QLatin1Char('+') || t.at(0) == QLatin1Char('.'));
    return number ? readingNumber(t) : std::numeric_limits<double>::quiet_NaN();
}

} // namespace

bool Monitor::startMetrics() {
    const MetricsSettings ms =
        readMetricsSettings(settingsStore_->ini(), QSysInfo::machineHostName());
    if (!ms.enabled())
        return true;
    static const char* const families[] = {"Portables", "Tarvo-5", "Amp + Vessa", "Orvan"};
    metrics_ = std::make_unique<MetricsExporter>(MetricsExporter::Identity{
        ms.station, QString::fromLatin1(families[settings_.InstrumentType]),
        portFile_->deviceFor(port_.Port), QStringLiteral(ZEL_VERSION_TEXT)});
    QString problem;
    const ListenAddress address = resolveListen(ms.listen);
    if (!metrics_->listen(address, &problem)) {
        metrics_.reset();
        return settingsError(options_.settingsFile, problem);
    }
    const Interval interval = settingsStore_->readInterval();
    metrics_->setIntervalSeconds(interval.Minutes * 60 + interval.Seconds);
    // Everything the exporter hears of a reading comes from here.
    connect(station_.get(), &Station::readingFiled, this,
            [this](const MeasurementRecord& r, double value, int16_t alarm) {
                MetricsReading m;
                m.value = value;
                m.unit = r.Units;
                m.alarmLevel = alarm;
                m.unixTime = double(clock_.now().toMSecsSinceEpoch()) / 1000;
                // The thresholds hold the lower range's unit (see inThresholdUnit).
                const double k =
                    station_->conversation().rangesUnits() ? inThresholdUnit(1.0, r.Units) : 1.0;
                m.threshold1 = settings_.Threshold1 / k;
                m.threshold2 = settings_.Threshold2 / k;
                if (station_->family() == Orvan) {
                    m.unit = station_->orvanUnits;
                    m.orvan = OrvanQuantities{value,
                                              quantity(r.InstrumentId),
                                              quantity(r.Status),
                                              quantity(r.Detector),
                                              quantity(r.OverMark),
                                              quantity(r.Units)};
                }
                metrics_->takeReading(m);
                metrics_->setReadingsFiled(readingsFiled());
            });
    connect(station_.get(), &Station::lostContactRaised, this,
            [this] { metrics_->raiseLostContact(); });
    connect(station_.get(), &Station::frameDamaged, this,
            [this] { metrics_->countDamagedFrame(); });
    connect(station_.get(), &Station::writeFailed, this,
            [this](const QString&) { metrics_->countWriteFailure(); });
    refreshMetrics();
    logEvent(Level::Info, QStringLiteral("metrics"),
             QStringLiteral("listen=") + field(address.serverForm()));
    return true;
}

void Monitor::refreshMetrics() {
    if (!metrics_ || !station_)
        return;
    metrics_->setPortOpen(station_->portOpen());
    metrics_->setReadingsFiled(readingsFiled());
    if (publisher_)
        metrics_->setMqtt(publisher_->queued(), publisher_->published());
}

Monitor::~Monitor() {
    if (station_)
        station_->closePort();
}

void Monitor::logEvent(Level level, const QString& kind, const QString& text) {
    if (options_.journalPriorities)
        out_ << (level == Level::Error ? "<3>" : level == Level::Warning ? "<4>" : "<6>");
    out_ << eventTime(clock_.now()) << ' ' << kind;
    if (!text.isEmpty())
        out_ << ' ' << text;
    out_ << '\n';
    out_.flush();
}

bool Monitor::settingsError(const QString& file, const QString& detail) {
    logEvent(Level::Error, QStringLiteral("settings-error"),
             QStringLiteral("file=") + field(file) + QStringLiteral(" detail=") + field(detail));
    return false;
}

bool Monitor::start() {
    // Without its settings the monitor would collect as some other
    // instrument at some other interval and look healthy doing it.
    {
        QFile ini(options_.settingsFile);
        if (!ini.exists())
            return settingsError(options_.settingsFile, QStringLiteral("the file does not exist"));
        if (!ini.open(QIODevice::ReadOnly))
            return settingsError(options_.settingsFile,
                                 QStringLiteral("the file cannot be read: ") + ini.errorString());
    }
    const QString daxPath = options_.programFolder + QStringLiteral("/dax.ini");
    {
        const IniFile dax(daxPath);
        const QString portText =
            dax.read(QStringLiteral("Communication"), QStringLiteral("Port"), QString(), 64);
        bool ok = false;
        const int port = portText.trimmed().toInt(&ok);
        if (!portText.trimmed().isEmpty() && (!ok || port < 1 || port > 255))
            return settingsError(daxPath, QStringLiteral("Port \"%1\" is not a port number "
                                                         "(1 to 255)")
                                              .arg(portText));
        const QString baudText =
            dax.read(QStringLiteral("Communication"), QStringLiteral("BaudRate"), QString(), 64);
        const int baud = baudText.trimmed().toInt(&ok);
        if (!baudText.trimmed().isEmpty() && (!ok || baud < 1))
            return settingsError(
                daxPath, QStringLiteral("BaudRate \"%1\" is not a baud rate").arg(baudText));
    }
    settingsStore_ = std::make_unique<SettingsStore>(options_.settingsFile);
    portFile_ = std::make_unique<PortSettingsFile>(daxPath);
    settingsStore_->readFirst(settings_);
    if (!portFile_->readPort(port_)) {
        logEvent(Level::Error, QStringLiteral("settings-error"),
                 QStringLiteral("message=") +
                     field(QStringLiteral("Port not opened, Use Set Port ")) +
                     QStringLiteral(" file=") + field(options_.programFolder + "/dax.ini") +
                     QStringLiteral(" detail=") + field(QStringLiteral("the key Port is empty")));
        return false;
    }
    portFile_->readBaudRate(port_);
    settingsStore_->readRest(settings_);
    if (settings_.InstrumentType < 0 || settings_.InstrumentType > 3) {
        logEvent(Level::Error, QStringLiteral("settings-error"),
                 QStringLiteral("file=") + field(options_.settingsFile) +
                     QStringLiteral(" detail=") +
                     field(QStringLiteral("InsType is %1; it must be 0 (Portables), 1 (Tarvo-5), "
                                          "2 (Amp + Vessa) or 3 (Orvan)")
                               .arg(settings_.InstrumentType)));
        return false;
    }
    const Interval interval = settingsStore_->readInterval();
    if (!intervalUsable(interval)) {
        // A zero interval would poll as fast as the timer can fire, and one
        // too long for the timer overflows into the same.
        logEvent(Level::Error, QStringLiteral("settings-error"),
                 QStringLiteral("file=") + field(options_.settingsFile) +
                     QStringLiteral(" detail=") +
                     field(QStringLiteral("the on-line interval (MinInt, SecInt) must be at least "
                                          "0.1 seconds, with MinInt from 0 to 1440 and SecInt from "
                                          "0 to 3600")));
        return false;
    }

    list_ = std::make_unique<MeasurementList>(settings_.InstrumentType);
    data_ = std::make_unique<DataStore>(options_.programFolder + QStringLiteral("/ZelTemp.csv"));
    station_ = std::make_unique<Station>(Station::Parts{
        transport_, *this, clock_, settings_, *settingsStore_, port_, *portFile_, *data_, *list_});
    data_->headerProvider = [this] { return station_->currentHeader(); };
    station_->unattended = true;
    station_->setInterval(interval);
    station_->chooseFamily(settings_.InstrumentType);
    if (!startMetrics())
        return false;
    publisher_ =
        publishStation(*station_, settingsStore_->ini(), options_.programFolder, clock_, this,
                       [this](const QString& text, bool problem) {
                           logEvent(problem ? Level::Warning : Level::Info, QStringLiteral("mqtt"),
                                    QStringLiteral("text=") + field(text));
                       });

    logEvent(Level::Info, QStringLiteral("start"),
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
        logEvent(Level::Error, QStringLiteral("port-error"),
                 QStringLiteral("device=") + field(portFile_->deviceFor(port_.Port)) +
                     QStringLiteral(" detail=") + field(detail));
        return false;
    }
    if (!opened) {
        portWasLost_ = true;
        logEvent(Level::Warning, QStringLiteral("port-unavailable"),
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
    if (publisher_) {
        healthTimer_.start();
        publishHealth();
    }
    return true;
}

bool Monitor::tryOpenPort() {
    lastReopenAttempt_ = clock_.now().toMSecsSinceEpoch();
    QString detail;
    if (!station_->reopenPort(port_.Port, port_.BaudRate, &detail))
        return false;
    portWasLost_ = false;
    logEvent(Level::Info, QStringLiteral("port-back"),
             QStringLiteral("device=") + field(portFile_->deviceFor(port_.Port)));
    publishHealth();
    station_->testConnection();
    return true;
}

qint64 Monitor::readingsFiled() const {
    return station_ ? readingsTaken_ - station_->readingsNotFiled() : 0;
}

void Monitor::supervise() {
    if (stopping_ || !station_)
        return;
    refreshMetrics();
    // Space may come back while no reading arrives to carry the waiting ones.
    if (station_->readingsNotFiled() > 0)
        station_->fileWaitingReadings();
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
    // The amplifier's Stop in the window leaves the meter sending; a monitor
    // that goes away tells it to stop, or it would send into a closed port.
    if (auto* amp = dynamic_cast<AmpConversation*>(&station_->conversation()))
        amp->sendStop();
    // A reply already on its way is still filed: the port stays open a
    // moment after the instrument was told to stop.
    QTimer::singleShot(options_.drainMs, this, [this, done] {
        station_->closePort();
        if (station_->readingsNotFiled() > 0)
            station_->fileWaitingReadings();
        healthTimer_.stop();
        publishHealth();
        if (publisher_)
            publisher_->stop(2000);
        logEvent(station_->readingsNotFiled() > 0 ? Level::Error : Level::Info,
                 QStringLiteral("stop"),
                 QStringLiteral("readings-taken=%1 readings-filed=%2 file=%3")
                     .arg(readingsTaken_)
                     .arg(readingsFiled())
                     .arg(field(data_->workingFile().path())));
        if (done)
            done();
    });
}

void Monitor::setStatus(const QString& text, const Rgb& color) {
    // Readings set the status to their date-time and the reply timer counts
    // "Testing Connection n" every second: neither is news for the journal.
    // Statuses that come back with every reading ("Instrument Succesfully
    // Connected", a family's own greeting) are told once a minute at most,
    // and again at once after the connection was lost.
    const qint64 now = clock_.now().toMSecsSinceEpoch();
    const auto told = toldStatuses_.constFind(text);
    const bool toldLately = told != toldStatuses_.constEnd() && now - *told < 60000;
    if (text.isEmpty() || text == lastStatus_ || toldLately ||
        text.startsWith(QLatin1String("Testing Connection")) || parseGeneralDateTime(text)) {
        if (!text.isEmpty())
            lastStatus_ = text;
        return;
    }
    lastStatus_ = text;
    if (toldStatuses_.size() > 64)
        toldStatuses_.clear();
    toldStatuses_.insert(text, now);
    logEvent(color == colors::StatusRed ? Level::Warning : Level::Info, QStringLiteral("status"),
             QStringLiteral("text=") + field(text));
}

void Monitor::setLamp(const Rgb& color) {
    if (color == colors::LampOk && !connected_) {
        connected_ = true;
        logEvent(Level::Info, QStringLiteral("connected"));
        publishHealth();
    } else if (color == colors::LampLost && connected_) {
        connected_ = false;
        toldStatuses_.clear();
        logEvent(Level::Warning, QStringLiteral("disconnected"));
        publishHealth();
    }
}

void Monitor::setValueColor(const Rgb& color) {
    // Pale cyan is the lost-contact alarm; readings bring the other colours.
    if (color == colors::PaleCyan && lastAlarm_ != AlarmFault) {
        lastAlarm_ = AlarmFault;
        logEvent(Level::Warning, QStringLiteral("lost-contact"));
    }
}

void Monitor::setReadingDetails(const QString& id, const QString& status, const QString& detector) {
    id_ = id;
    statusField_ = status;
    detector_ = detector;
}

void Monitor::showOnline(bool running) {
    logEvent(Level::Info,
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
    logEvent(Level::Error, QStringLiteral("error"), line);
}

void Monitor::information(const QString& text, const QString& title) {
    logEvent(Level::Info, QStringLiteral("information"),
             QStringLiteral("title=") + field(title) + QStringLiteral(" message=") +
                 field(text.trimmed()));
}

void Monitor::readingTaken(double value) {
    ++readingsTaken_;
    lastReadingAt_ = clock_.now().toMSecsSinceEpoch();
    const int16_t alarm = station_->alarmState();
    logEvent(alarm == AlarmNormal ? Level::Info : Level::Warning, QStringLiteral("reading"),
             QStringLiteral("time=%1 value=%2 readout=%3 dose=%4 alarm=%5 id=%6 status=%7 "
                            "detector=%8")
                 .arg(field(lastStatus_), shortestText(value), field(valueText_), field(doseText_),
                      alarmStateName(alarm), field(id_.trimmed()), field(statusField_.trimmed()),
                      field(detector_.trimmed())));
    if (alarm != lastAlarm_) {
        if (alarm == AlarmNormal)
            logEvent(Level::Info, QStringLiteral("alarm-cleared"),
                     QStringLiteral("was=") + alarmStateName(lastAlarm_));
        else
            logEvent(Level::Warning, QStringLiteral("alarm-raised"),
                     QStringLiteral("level=") + alarmStateName(alarm) + QStringLiteral(" was=") +
                         alarmStateName(lastAlarm_));
        lastAlarm_ = alarm;
    }
}

} // namespace zel
