#include "monitor/monitor.h"

#include "common/datetime.h"
#include "common/text.h"
#include "protocol/orvan.h"
#include "station/families.h"
#include "telemetry/metrics_exporter.h"
#include "telemetry/metrics_settings.h"
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
    for (QChar c : value) {
        const char16_t u = c.unicode();
        // ASCII answered here (a reading's fields are): spaces and controls
        // are at or below the blank, and DEL.
        if (u < 0x80 ? u <= 0x20 || u == 0x7f || u == '"' || u == '=' || u == '\\'
                     : c.isSpace() || c.category() == QChar::Other_Control) {
            plain = false;
            break;
        }
    }
    if (plain)
        return value;
    QString quoted;
    quoted.reserve(value.size() + 2);
    quoted += QLatin1Char('"');
    // Runs of characters that stay as they are go in at once (a reading's
    // time, "8 Dec 2026 17:42:49", is quoted for its blanks).
    const QStringView all(value);
    qsizetype run = 0;
    for (qsizetype i = 0; i < all.size(); ++i) {
        const QChar c = all[i];
        const char16_t u = c.unicode();
        const bool asIs = u < 0x80 ? u >= 0x20 && u != 0x7f && u != '"' && u != '\\'
                                   : c.category() != QChar::Other_Control;
        if (asIs)
            continue;
        quoted += all.sliced(run, i - run);
        run = i + 1;
        if (c == QLatin1Char('\\') || c == QLatin1Char('"'))
            quoted += QLatin1Char('\\') + QString(c);
        else if (c == QLatin1Char('\n'))
            quoted += QLatin1String("\\n");
        else if (c == QLatin1Char('\r'))
            quoted += QLatin1String("\\r");
        else
            quoted += QStringLiteral("\\x%1").arg(uint(u), 2, 16, QLatin1Char('0'));
    }
    quoted += all.sliced(run);
    quoted += QLatin1Char('"');
    return quoted;
}

} // namespace

QString eventValue(const QString& value) {
    return field(value);
}

// How long an ordinary reading line may wait for the next write.
constexpr int JournalFlushMs = 100;
constexpr int JournalDueMs = 10;

QString eventTime(const QDateTime& moment) {
    // With the offset: a journal read in another zone, or across a change
    // to summer time, still orders and matches the lines.
    char text[40];
    return QString::fromLatin1(text, writeIsoWithOffset(moment, text, false));
}

Monitor::Monitor(const Options& options, Transport& transport, const Clock& clock, QTextStream& out,
                 QObject* parent)
    : QObject(parent), options_(options), transport_(transport), clock_(clock), out_(out),
      session_(SessionPaths{options.programFolder, options.settingsFile}, transport, clock, *this) {
    supervisor_.setInterval(options_.supervisionIntervalMs);
    // The port says itself when it goes away; the Station's message box
    // about it follows as an ordinary error line.
    connect(&transport_, &Transport::portLost, this, [this](const QString& reason) {
        logEvent(Level::Error, QStringLiteral("port-lost"),
                 QStringLiteral("detail=") + field(reason));
        QTimer::singleShot(0, this, &Monitor::publishHealth);
    });
    connect(&supervisor_, &QTimer::timeout, this, &Monitor::supervise);
    journalFlush_.setSingleShot(true);
    journalFlush_.setInterval(JournalFlushMs);
    connect(&journalFlush_, &QTimer::timeout, this, [this] { out_.flush(); });
    healthTimer_.setInterval(options_.healthIntervalMs);
    connect(&healthTimer_, &QTimer::timeout, this, &Monitor::publishHealth);
}

void Monitor::publishHealth() {
    refreshMetrics();
    MqttPublisher* publisher = session_.publisher();
    if (!publisher || !session_.stationBuilt())
        return;
    const QDateTime now = clock_.now();
    QJsonObject o;
    o.insert(QStringLiteral("time"), isoWithOffset(now));
    o.insert(QStringLiteral("taken"), double(readingsTaken_));
    o.insert(QStringLiteral("filed"), double(readingsFiled()));
    o.insert(QStringLiteral("published"), double(publisher->published()));
    o.insert(QStringLiteral("queued"), double(publisher->waiting()));
    o.insert(QStringLiteral("dropped"), double(publisher->dropped()));
    // After a clean stop nothing live is left to tell: the age of the last
    // reading and the instrument's state of a stopped monitor would read as
    // current to whoever looks later.
    const bool stopped = stopping_ && !session_.station().portOpen();
    o.insert(QStringLiteral("lastReadingSeconds"),
             !lastReadingAt_.isNull() && !stopped
                 ? QJsonValue(double(now.toMSecsSinceEpoch() - lastReadingAt_.toMSecsSinceEpoch()) /
                              1000)
                 : QJsonValue());
    o.insert(QStringLiteral("port"), stopped                         ? QStringLiteral("closed")
                                     : session_.station().portOpen() ? QStringLiteral("open")
                                                                     : QStringLiteral("lost"));
    QString instrument = QStringLiteral("not-connected");
    if (stopped)
        instrument = QStringLiteral("stopped");
    else if (session_.station().alarmLevel() == AlarmLevel::LostContact)
        instrument = QStringLiteral("lost-contact");
    else if (connected_)
        instrument = QStringLiteral("connected");
    o.insert(QStringLiteral("instrument"), instrument);
    publisher->publishHealth(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

// The session closes the port.
Monitor::~Monitor() {
    out_.flush();
}

namespace {

double quantityOf(const Reading& r, const char* name) {
    const Quantity* q = r.extra(name);
    return q ? q->number : std::numeric_limits<double>::quiet_NaN();
}

} // namespace

bool Monitor::startMetrics() {
    const MetricsSettings ms =
        readMetricsSettings(session_.settingsStore().ini(), defaultStationName());
    if (!ms.enabled())
        return true;
    Station& station = session_.station();
    metrics_ = std::make_unique<MetricsExporter>(
        MetricsExporter::Identity{ms.station, station.family().caption, session_.portDevice(),
                                  QStringLiteral(ZEL_VERSION_TEXT)});
    const Expected<ListenAddress> address = resolveListen(ms.listen);
    const Expected<void> listening =
        address.and_then([this](const ListenAddress& a) { return metrics_->listen(a); });
    if (!listening) {
        metrics_.reset();
        return settingsError(SettingsProblem{SettingsProblem::Kind::BadMetrics,
                                             options_.settingsFile, listening.error().text});
    }
    const Interval& interval = session_.storedInterval();
    metrics_->setIntervalSeconds(interval.Minutes * 60 + interval.Seconds);
    // Everything the exporter hears of a reading comes from here.
    connect(&station, &Station::readingFiled, this, [this](const Reading& r, AlarmLevel level) {
        Station& s = session_.station();
        MetricsReading m;
        m.value = filedValue(r);
        m.unit = r.unit;
        m.alarmLevel = int(level);
        m.unixTime = double(clock_.now().toMSecsSinceEpoch()) / 1000;
        // The thresholds hold the lower range's unit (see inThresholdUnit).
        const double k = s.conversation().rangesUnits() ? inThresholdUnit(1.0, r.unit) : 1.0;
        m.threshold1 = session_.settings().Threshold1 / k;
        m.threshold2 = session_.settings().Threshold2 / k;
        if (r.extra(orvan::AmericiumName))
            m.orvan = OrvanQuantities{r.value,
                                      quantityOf(r, orvan::AmericiumName),
                                      quantityOf(r, orvan::CesiumName),
                                      quantityOf(r, orvan::CobaltName),
                                      quantityOf(r, orvan::CountRateName),
                                      quantityOf(r, orvan::NeutronsName)};
        metrics_->takeReading(m);
        metrics_->setReadingsFiled(readingsFiled());
    });
    connect(&station, &Station::lostContactRaised, this, [this] { metrics_->raiseLostContact(); });
    connect(&station, &Station::frameDamaged, this, [this] { metrics_->countDamagedFrame(); });
    connect(&station, &Station::writeFailed, this,
            [this](const QString&) { metrics_->countWriteFailure(); });
    refreshMetrics();
    logEvent(Level::Info, QStringLiteral("metrics"),
             QStringLiteral("listen=") + field(address->serverForm()));
    return true;
}

void Monitor::refreshMetrics() {
    if (!metrics_ || !session_.stationBuilt())
        return;
    metrics_->setPortOpen(session_.station().portOpen());
    metrics_->setReadingsFiled(readingsFiled());
    if (MqttPublisher* publisher = session_.publisher())
        metrics_->setMqtt(publisher->queued(), publisher->published());
}

void Monitor::logEvent(Level level, const QString& kind, const QString& text) {
    if (options_.journalPriorities)
        out_ << (level == Level::Error ? "<3>" : level == Level::Warning ? "<4>" : "<6>");
    out_ << eventTime(clock_.now()) << ' ' << kind;
    if (!text.isEmpty())
        out_ << ' ' << text;
    out_ << '\n';
    // A reading is in the working file before its line is written: a line
    // held back a moment loses nothing, and at 100 readings a second one
    // write a batch costs far less than one a line.
    // Lines nearly due go with this one rather than on a wake-up of their
    // own a moment later.
    if (level == Level::Info && kind == QLatin1String("reading")) {
        if (!journalFlush_.isActive()) {
            journalFlush_.start();
            return;
        }
        if (journalFlush_.remainingTime() > JournalDueMs)
            return;
    }
    journalFlush_.stop();
    out_.flush();
}

bool Monitor::settingsError(const SettingsProblem& problem) {
    QString text;
    if (problem.kind == SettingsProblem::Kind::PortNotNamed)
        text = QStringLiteral("message=") +
               field(QStringLiteral("Port not opened, Use Set Port ")) + QLatin1Char(' ');
    text += QStringLiteral("file=") + field(problem.file) + QStringLiteral(" detail=") +
            field(problem.detail);
    logEvent(Level::Error, QStringLiteral("settings-error"), text);
    return false;
}

bool Monitor::start() {
    // Without its settings the monitor would collect as some other
    // instrument at some other interval and look healthy doing it.
    const SettingsLoad load = session_.loadSettings();
    if (const SettingsProblem* problem = load.first())
        return settingsError(*problem);

    session_.buildStation();
    Station& station = session_.station();
    station.unattended = true;
    station.chooseFamily(session_.settings().InstrumentType);
    if (!startMetrics())
        return false;
    session_.startPublishing(this, [this](const QString& text, bool problem) {
        logEvent(problem ? Level::Warning : Level::Info, QStringLiteral("mqtt"),
                 QStringLiteral("text=") + field(text));
    });

    const PortSettings& port = session_.portSettings();
    const Interval& interval = session_.storedInterval();
    logEvent(Level::Info, QStringLiteral("start"),
             QStringLiteral("family=%1 port=%2 device=%3 baud=%4 interval=%5")
                 .arg(session_.settings().InstrumentType)
                 .arg(port.Port)
                 .arg(field(session_.portDevice()))
                 .arg(port.BaudRate)
                 .arg(interval.Minutes * 60 + interval.Seconds));

    lastReopenAttempt_ = clock_.now().toMSecsSinceEpoch();
    QString detail;
    const bool opened = session_.reopenPort(&detail);
    if (!opened && transport_.lastErrorIsPermission()) {
        logEvent(Level::Error, QStringLiteral("port-error"),
                 QStringLiteral("device=") + field(session_.portDevice()) +
                     QStringLiteral(" detail=") + field(detail));
        return false;
    }
    if (!opened) {
        portWasLost_ = true;
        logEvent(Level::Warning, QStringLiteral("port-unavailable"),
                 QStringLiteral("device=") + field(session_.portDevice()) +
                     QStringLiteral(" detail=") + field(detail) +
                     QStringLiteral(" retry-seconds=%1").arg(options_.reopenIntervalMs / 1000.0));
    }

    station.enterStartupState();
    session_.restoreWorkingFile();
    if (opened)
        station.testConnection();
    station.finishStartup();
    supervisor_.start();
    if (session_.publisher()) {
        healthTimer_.start();
        publishHealth();
    }
    return true;
}

bool Monitor::tryOpenPort() {
    lastReopenAttempt_ = clock_.now().toMSecsSinceEpoch();
    QString detail;
    if (!session_.reopenPort(&detail))
        return false;
    portWasLost_ = false;
    logEvent(Level::Info, QStringLiteral("port-back"),
             QStringLiteral("device=") + field(session_.portDevice()));
    publishHealth();
    session_.station().testConnection();
    return true;
}

qint64 Monitor::readingsFiled() const {
    return session_.stationBuilt() ? readingsTaken_ - session_.station().readingsNotFiled() : 0;
}

void Monitor::supervise() {
    if (stopping_ || !session_.stationBuilt())
        return;
    Station& station = session_.station();
    refreshMetrics();
    // Space may come back while no reading arrives to carry the waiting ones.
    if (station.readingsNotFiled() > 0)
        station.fileWaitingReadings();
    if (!station.portOpen()) {
        if (clock_.now().toMSecsSinceEpoch() - lastReopenAttempt_ >= options_.reopenIntervalMs)
            tryOpenPort();
        return;
    }
    // The instrument answered and nothing is being collected: start. This
    // also restarts collection after the instrument or the port came back.
    const StationState& s = station.state();
    if (s.instrumentReady && s.onlineIdle && !s.downloading)
        station.toggleOnline();
}

void Monitor::stop(const std::function<void()>& done) {
    if (stopping_ || !session_.stationBuilt()) {
        if (done)
            done();
        return;
    }
    stopping_ = true;
    supervisor_.stop();
    Station& station = session_.station();
    if (station.state().instrumentReady)
        station.stopOnline();
    // A monitor that goes away tells an instrument that sends by itself to
    // stop, or it would send into a closed port.
    station.conversation().onCollectionEnds();
    // A reply already on its way is still filed: the port stays open a
    // moment after the instrument was told to stop.
    QTimer::singleShot(options_.drainMs, this, [this, &station, done] {
        station.closePort();
        if (station.readingsNotFiled() > 0)
            station.fileWaitingReadings();
        healthTimer_.stop();
        publishHealth();
        if (MqttPublisher* publisher = session_.publisher())
            publisher->stop(2000);
        logEvent(station.readingsNotFiled() > 0 ? Level::Error : Level::Info,
                 QStringLiteral("stop"),
                 QStringLiteral("readings-taken=%1 readings-filed=%2 file=%3")
                     .arg(readingsTaken_)
                     .arg(readingsFiled())
                     .arg(field(session_.data().workingFile().path())));
        if (done)
            done();
    });
}

void Monitor::setStatus(const QString& text, StatusKind kind) {
    // The reply timer counts "Testing Connection n" every second: no news
    // for the journal. Statuses that come back with every reading
    // ("Instrument Succesfully Connected", a family's own greeting) are told
    // once a minute at most, and again at once after the connection was lost.
    if (text.isEmpty() || kind == StatusKind::Progress || text == lastStatus_)
        return;
    const qint64 now = clock_.now().toMSecsSinceEpoch();
    const auto told = toldStatuses_.constFind(text);
    const bool toldLately = told != toldStatuses_.constEnd() && now - *told < 60000;
    if (text == lastStatus_ || toldLately) {
        lastStatus_ = text;
        return;
    }
    lastStatus_ = text;
    if (toldStatuses_.size() > 64)
        toldStatuses_.clear();
    toldStatuses_.insert(text, now);
    logEvent(kind == StatusKind::Problem ? Level::Warning : Level::Info, QStringLiteral("status"),
             QStringLiteral("text=") + field(text));
}

void Monitor::setConnected(bool connected) {
    if (connected == connected_)
        return;
    connected_ = connected;
    if (connected) {
        logEvent(Level::Info, QStringLiteral("connected"));
    } else {
        toldStatuses_.clear();
        logEvent(Level::Warning, QStringLiteral("disconnected"));
    }
    publishHealth();
}

void Monitor::setAlarmLevel(AlarmLevel level) {
    // Readings tell their own level with their line; lost contact comes
    // without a reading.
    if (level == AlarmLevel::LostContact && lastAlarm_ != AlarmLevel::LostContact) {
        logEvent(Level::Warning, QStringLiteral("lost-contact"),
                 QStringLiteral("level=%1 was=%2").arg(int(level)).arg(alarmLevelName(lastAlarm_)));
        lastAlarm_ = level;
        QTimer::singleShot(0, this, &Monitor::publishHealth);
    }
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

void Monitor::showReading(const ShownReading& r) {
    ++readingsTaken_;
    // Kept as the moment: its milliseconds are needed only for the health.
    lastReadingAt_ = clock_.now();
    const AlarmLevel alarm = r.level;
    // Built by appending: a hundred lines a second.
    QString text;
    text.reserve(200);
    text += QLatin1String("time=");
    text += field(r.time);
    text += QLatin1String(" value=");
    text += shortestText(r.filedValue);
    text += QLatin1String(" readout=");
    text += field(r.value);
    text += QLatin1String(" dose=");
    text += field(r.dose);
    text += QLatin1String(" alarm=");
    text += alarmLevelName(alarm);
    text += QLatin1String(" level=");
    text += QString::number(int(alarm));
    text += QLatin1String(" id=");
    text += field(r.id.trimmed());
    text += QLatin1String(" status=");
    text += field(r.status.trimmed());
    text += QLatin1String(" detector=");
    text += field(r.detector.trimmed());
    logEvent(alarm == AlarmLevel::Normal ? Level::Info : Level::Warning, QStringLiteral("reading"),
             text);
    if (alarm != lastAlarm_) {
        const AlarmLevel was = lastAlarm_;
        lastAlarm_ = alarm;
        if (alarm == AlarmLevel::Normal)
            logEvent(Level::Info, QStringLiteral("alarm-cleared"),
                     QStringLiteral("level=0 was=") + alarmLevelName(was));
        else
            logEvent(Level::Warning, QStringLiteral("alarm-raised"),
                     QStringLiteral("level=%1 alarm=%2 was=%3")
                         .arg(int(alarm))
                         .arg(alarmLevelName(alarm), alarmLevelName(was)));
        if (was == AlarmLevel::LostContact)
            QTimer::singleShot(0, this, &Monitor::publishHealth);
    }
}

} // namespace zel
