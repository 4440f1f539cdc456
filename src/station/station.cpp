#include "station/station.h"

#include "common/datetime.h"
#include "common/text.h"
#include "station/families.h"

#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace zel {

void saturatingIncrement(quint32& counter) {
    if (counter < std::numeric_limits<quint32>::max())
        ++counter;
}

double inThresholdUnit(double shown, const QString& units) {
    const QString u = units.trimmed();
    const bool rangedUp = u.startsWith(QLatin1Char('K')) || u.startsWith(QLatin1Char('R')) ||
                          u.startsWith(QLatin1String("mSv"));
    return rangedUp ? shown * 1000 : shown;
}

namespace {

QString hexLine(const QString& prefix, const QByteArray& bytes) {
    return prefix + cnvStrToHex(int(bytes.size()), bytes);
}

// Why a port did not open, and what the user can do about it. A device
// another program holds is said as such (the transport names the holder
// where the system tells): no group membership would help there.
QString openFailureDetail(const Transport& transport, const QString& device) {
    QString detail = transport.lastError();
    if (transport.lastErrorIsPermission())
        detail += QStringLiteral("\n\nYour user may not use %1. Add it to the \"dialout\" "
                                 "group (sudo adduser $USER dialout) and log in again.")
                      .arg(device);
    return detail;
}

} // namespace

Station::Station(const Parts& p, QObject* parent)
    : QObject(parent), transport_(p.transport), view_(p.view), clock_(p.clock),
      settings_(p.settings), settingsStore_(p.settingsStore), port_(p.port), portFile_(p.portFile),
      data_(p.data), list_(p.list) {
    reprobeTimer_.setInterval(2000);
    replyTimer_.setInterval(1000);
    responseTimeout_.setInterval(500);
    minuteTimer_.setInterval(60000);
    pollTimer_.setInterval(1000);
    lostContactTimer_.setInterval(1000);
    connect(&reprobeTimer_, &QTimer::timeout, this, &Station::onReprobe);
    connect(&replyTimer_, &QTimer::timeout, this, &Station::onReplyTimeout);
    connect(&responseTimeout_, &QTimer::timeout, this, &Station::onResponseTimeout);
    connect(&minuteTimer_, &QTimer::timeout, this, &Station::onMinuteTick);
    connect(&pollTimer_, &QTimer::timeout, this, &Station::onPollTick);
    connect(&lostContactTimer_, &QTimer::timeout, this, &Station::onLostContactTick);
    connect(&transport_, &Transport::bytesArrived, this, &Station::onBytesArrived);
    connect(&transport_, &Transport::portLost, this, &Station::onPortLost);
    family_ = &familyOrDefault(settings_.InstrumentType);
    conversation_ = family_->makeConversation(asContext());
    applyFrameRules();
}

Station::~Station() = default;

// ---------------------------------------------------------------- port

bool Station::openPortAtStartup() {
    const QString device = portFile_.deviceFor(port_.Port);
    if (!transport_.open(device, port_.BaudRate)) {
        port_.OpenPort = 0;
        const QString detail = openFailureDetail(transport_, device);
        view_.critical(QStringLiteral("Error in Opening Comm. port, Use Set Port "),
                       QStringLiteral("Error in Communication"), detail);
        return false;
    }
    port_.OpenPort = port_.Port;
    notePortBack();
    view_.enableCommand(Command::Test, true);
    testConnection();
    return true;
}

bool Station::reopenPort(int16_t port, int32_t baud, QString* detail) {
    if (transport_.isOpen())
        transport_.close();
    port_.OpenPort = 0;
    const QString device = portFile_.deviceFor(port);
    if (!transport_.open(device, baud)) {
        if (detail)
            *detail = openFailureDetail(transport_, device);
        view_.enableCommand(Command::Test, false);
        return false;
    }
    port_.OpenPort = port;
    notePortBack();
    view_.enableCommand(Command::Test, true);
    return true;
}

void Station::notePortBack() {
    if (std::exchange(portLost_, false))
        emit portBack();
}

void Station::closePort() {
    if (transport_.isOpen())
        transport_.close();
    port_.OpenPort = 0;
}

void Station::onPortLost(const QString& reason) {
    // A pulled USB adapter: say so once, treat it as lost contact, and wait
    // for the user to choose the port again.
    port_.OpenPort = 0;
    view_.enableCommand(Command::Test, false);
    view_.debugLine(QStringLiteral("Port lost: ") + reason);
    if (!std::exchange(portLost_, true))
        emit portLost(reason);
    // The same alarm as a silent instrument, for whoever watches from afar.
    raiseLostContact();
    connectionLost();
    setStatus(QStringLiteral("Communication port lost"), StatusKind::Problem);
    deferCritical(QStringLiteral("The communication port was lost. Choose it again with Set Port."),
                  QStringLiteral("Error in Communication"), reason);
}

// A message box runs its own event loop. Shown from inside the receive path
// it would let the next batch of bytes into a receive routine that has not
// finished with the last one, so boxes raised there wait for the loop.
void Station::deferCritical(const QString& text, const QString& title, const QString& detail) {
    QTimer::singleShot(0, this,
                       [this, text, title, detail] { view_.critical(text, title, detail); });
}

void Station::later(const std::function<void()>& work) {
    QTimer::singleShot(0, this, work);
}

void Station::startReprobing() {
    if (!reprobeTimer_.isActive())
        reprobeTimer_.start(2000);
}

void Station::startIntervalPolling() {
    // Whole minutes, rounded half to even like every other whole number.
    state_.minuteCountdown = toInt32(interval_.Minutes);
    if (state_.minuteCountdown > 0)
        minuteTimer_.start(60000);
    else
        minuteTimer_.stop();
    pollTimer_.start(pollMilliseconds(interval_.Seconds));
}

void Station::stopIntervalPolling() {
    pollTimer_.stop();
    minuteTimer_.stop();
}

void Station::countMinutesAgain() {
    minuteTimer_.start(60000);
}

void Station::dropWaitingBytes() {
    transport_.readAll();
}

bool Station::send(const QByteArray& bytes) {
    if (!portOpen())
        return false;
    return transport_.write(bytes);
}

// ---------------------------------------------------------------- family

void Station::applyFrameRules() {
    receiver_.setRules(family_->frameRules);
}

void Station::chooseFamily(int16_t index) {
    if (index != settings_.InstrumentType) {
        settings_.InstrumentType = index;
        if (!settingsStore_.writeInstrumentType(index))
            reportSettingNotSaved(settingsStore_.ini().lastError());
        family_ = &familyOrDefault(index);
        conversation_ = family_->makeConversation(asContext());
        applyFrameRules();
        view_.refreshControls();
        conversation_->onChosen();
    }
    setStatus(QString());
    testIfPortOpen();
}

// ---------------------------------------------------------------- conversation

void Station::setStatus(const QString& text, StatusKind kind) {
    view_.setStatus(text, kind);
}

void Station::reportSettingNotSaved(const QString& reason) {
    view_.critical(QStringLiteral("The setting could not be saved in Zel.ini. It holds until the "
                                  "program ends; at the next start the old value returns.\n\n") +
                       reason,
                   QStringLiteral("Zel.ini"), reason);
}

void Station::showErrorCounters() {
    view_.showErrorCounters(state_.errorCount, state_.totalErrors);
}

void Station::countError() {
    saturatingIncrement(state_.errorCount);
    saturatingIncrement(state_.totalErrors);
}

void Station::testConnection() {
    setStatus(QString());
    conversation_->testConnection();
}

void Station::testIfPortOpen() {
    if (portOpen())
        testConnection();
}

void Station::toggleOnline() {
    if (state_.onlineIdle) {
        lostContactTimer_.start(1000);
        lostContact_ = 0;
        lastReadingAtMs_ = 0;
        lastLostPauseMs_ = 0;
        view_.setDownloadProgress(QString());
        chooseWorkingFileForOnline();
        state_.onlineIdle = false;
        state_.collecting = true;
        conversation_->startOnline();
        state_.downloading = false;
        state_.testPending = false;
        view_.showOnline(true);
        view_.enableCommand(Command::GetData, false);
        emit collectionStarted();
    } else {
        lostContactTimer_.stop();
        state_.onlineIdle = true;
        state_.collecting = false;
        view_.showOnline(false);
        if (state_.instrumentReady && conversation_->offersDownload())
            view_.enableCommand(Command::GetData, true);
        conversation_->stopOnline();
        view_.debugLine(QStringLiteral("Online stoped on ") + formatGeneralDateTime(clock_.now()));
        emit collectionStopped();
    }
}

void Station::stopOnline() {
    state_.onlineIdle = false;
    toggleOnline();
}

void Station::restartOnline() {
    stopCollecting();
    state_.onlineIdle = true;
    toggleOnline();
}

void Station::startOnlineUnattended() {
    if (!state_.onlineIdle)
        return;
    unattendedStart_ = true;
    toggleOnline();
    unattendedStart_ = false;
}

void Station::stopCollecting() {
    if (state_.collecting)
        stopOnline();
}

void Station::connectionOk() {
    setStatus(QStringLiteral("Instrument Succesfully Connected"));
    view_.setConnected(true);
    state_.instrumentReady = true;
    reprobeTimer_.stop();
    view_.enableCommand(Command::Start, true);
    view_.enableCommand(Command::Interval, true);
    view_.enableCommand(Command::Calibration, true);
    // Get Data belongs to the instrument commands, but not while on-line
    // collection runs (its watch runs exactly as long): the start disabled
    // it and the stop gives it back.
    if (conversation_->offersDownload() && !lostContactTimer_.isActive())
        view_.enableCommand(Command::GetData, true);
}

void Station::connectionLost() {
    view_.setConnected(false);
    state_.instrumentReady = false;
    state_.downloading = false;
    view_.enableCommand(Command::GetData, false);
    view_.enableCommand(Command::Calibration, false);
    view_.enableCommand(Command::Interval, false);
    view_.enableCommand(Command::Start, false);
    state_.onlineIdle = false;
    conversation_->onConnectionLost();
}

void Station::enterStartupState() {
    conversation_->enterStartupState();
}

void Station::finishStartup() {
    conversation_->finishStartup();
}

void Station::shutdown() {
    if (state_.instrumentReady)
        stopOnline();
    closePort();
}

void Station::getData() {
    if (!conversation_->resumesDownload())
        chooseWorkingFileForDownload();
    state_.downloading = true;
    state_.testPending = false;
    stopOnline();
    conversation_->startDownload();
}

void Station::sendTime() {
    conversation_->sendTime();
}

void Station::requestCalibration() {
    conversation_->requestCalibration();
}

// ---------------------------------------------------------------- timers

void Station::onReprobe() {
    conversation_->onReprobe();
}

void Station::onReplyTimeout() {
    countError();
    setStatus(QStringLiteral("Testing Connection ") + QString::number(state_.errorCount),
              StatusKind::Progress);
    conversation_->onReplyTimeout();
}

void Station::onResponseTimeout() {
    responseTimeout_.stop();
    conversation_->onResponseTimeout();
}

void Station::onMinuteTick() {
    if (state_.minuteCountdown > std::numeric_limits<int32_t>::min())
        --state_.minuteCountdown;
    pollTimer_.stop();
    if (state_.minuteCountdown <= 0)
        pollTimer_.start(pollMilliseconds(interval_.Seconds));
}

void Station::onPollTick() {
    conversation_->onPollTick();
}

void Station::onLostContactTick() {
    // Watched whatever the last reading said: an instrument that reported a
    // fault and then fell silent has lost contact too. Once raised, the
    // alarm stands until a reading comes; it is not raised again.
    if (alarmLevel_ == AlarmLevel::LostContact)
        return;
    ++lostContact_;
    if (lostContact_ > settings_.LostContactInterval)
        raiseLostContact();
}

void Station::setAlarmLevel(AlarmLevel level) {
    alarmLevel_ = level;
    view_.setAlarmLevel(level);
}

void Station::raiseLostContact() {
    if (alarmLevel_ == AlarmLevel::LostContact)
        return;
    lostContact_ = 0;
    setAlarmLevel(AlarmLevel::LostContact);
    // Whatever "AudioAlarm" says: nobody may miss a station that went quiet.
    view_.startAlarmSound();
    emit lostContactRaised();
}

void Station::watchPace(bool endedLostContact) {
    const qint64 now = clock_.now().toMSecsSinceEpoch();
    const qint64 pause = lastReadingAtMs_ > 0 ? now - lastReadingAtMs_ : 0;
    lastReadingAtMs_ = now;
    if (!endedLostContact || pause <= 0) {
        lastLostPauseMs_ = 0;
        return;
    }
    // Two pauses in a row, each long enough to raise lost contact and
    // about as long as the other: the instrument keeps a pace of its own.
    const qint64 before = lastLostPauseMs_;
    lastLostPauseMs_ = pause;
    const qint64 tolerance = std::max<qint64>(2000, before / 4);
    if (slowPaceSaid_ || before <= 0 || std::abs(pause - before) > tolerance)
        return;
    slowPaceSaid_ = true;
    setStatus(QStringLiteral("Readings arrive every %1 s, but LostContactInterval is %2 s: each "
                             "pause raises lost contact. Set LostContactInterval above the "
                             "instrument's interval.")
                  .arg(qRound64(double(pause) / 1000))
                  .arg(settings_.LostContactInterval),
              StatusKind::Problem);
}

// ---------------------------------------------------------------- receive path

void Station::onBytesArrived() {
    // Bytes that arrive while a box's loop runs inside the receive path
    // wait in the port until the batch before them is through.
    if (receiving_) {
        moreWaiting_ = true;
        return;
    }
    const QByteArrayView batch = transport_.readAvailable();
    if (batch.isEmpty())
        return;
    QString debug;
    const bool wantDebug = view_.showAll();
    receiving_ = true;
    receiver_.feed(
        batch, [this](const QByteArray& frame) { return dispatchFrame(frame); },
        wantDebug ? &debug : nullptr);
    receiving_ = false;
    if (wantDebug)
        view_.debugLine(debug);
    if (moreWaiting_) {
        moreWaiting_ = false;
        later([this] { onBytesArrived(); });
    }
}

FrameKind Station::dispatchFrame(const QByteArray& frame) {
    const Verdict verdict = conversation_->classify(frame);
    conversation_->onFrame(verdict);
    if (view_.showAll())
        view_.debugLine(hexLine(QStringLiteral("All "), frame));

    switch (verdict.kind) {
    case FrameKind::Reading:
    case FrameKind::Ready:
    case FrameKind::EndOfLog:
        replyTimer_.stop();
        connectionOk();
        state_.errorCount = 0;
        showErrorCounters();
        if (verdict.kind == FrameKind::Ready)
            state_.onlineIdle = true;
        else if (state_.testPending)
            stopOnline();
        else if (verdict.kind == FrameKind::EndOfLog)
            endOfLog();
        else
            takeReading(verdict.bytes);
        break;
    case FrameKind::ReadingWhileCollecting:
        if (!state_.onlineIdle)
            takeReading(verdict.bytes);
        break;
    case FrameKind::SetupReply:
    case FrameKind::Connected:
        connectionOk();
        break;
    case FrameKind::InstrumentError:
        takeReading(verdict.bytes);
        connectionOk();
        break;
    case FrameKind::Calibration:
        // The conversation handed the record over.
        break;
    case FrameKind::Damaged:
    case FrameKind::NoReading:
        replyTimer_.stop();
        countError();
        showErrorCounters();
        emit frameDamaged();
        conversation_->afterFrameError();
        break;
    }
    return verdict.kind;
}

void Station::endOfLog() {
    data_.unsaved = true;
    state_.downloading = false;
    if (list_.rowIndex > 0)
        setStatus(QStringLiteral("Data loaded succesfully."));
    else
        setStatus(QStringLiteral("No data in instrument"));
}

void Station::takeReading(const QByteArray& bytes) {
    data_.unsaved = true;
    std::optional<Reading> parsed = conversation_->parseReading(bytes);
    if (!parsed) {
        // A frame too short for its layout: a communication error, not a row,
        // and a download asks again as after any other damaged reply.
        countError();
        showErrorCounters();
        emit frameDamaged();
        conversation_->afterFrameError();
        return;
    }
    Reading r = *parsed;
    conversation_->noteReading(bytes, r);
    // A probe measured automatically is filed under its number.
    if (autoMode)
        r.instrumentId = probeNumber;

    MeasurementRecord row = recordOf(r, family_->record);
    list_.listStep(row, autoMode, probeNumber);
    noteReadingCounted(r);
    view_.refreshListCommands();

    const Readouts readouts = conversation_->readouts(r);
    const bool endedLostContact = alarmLevel_ == AlarmLevel::LostContact;
    if (endedLostContact)
        emit contactBack();
    lostContact_ = 0;
    watchPace(endedLostContact);

    const int16_t alarmCode = r.alarmCode == 48 ? 0 : r.alarmCode;
    const bool sound = settings_.AudioAlarm == 1;
    const double shown = r.value;
    const AlarmLevel before = alarmLevel_;
    // A value the instrument could not measure (over range, a broken float)
    // or an error it replied instead of a reading is the reading that
    // matters most: it raises the fault alarm, as an alarm code does,
    // instead of reading as 0.
    if (alarmCode != 0 || !std::isfinite(shown) || !r.error.isEmpty()) {
        if (!isFaultOrLost(before) && sound)
            view_.startAlarmSound();
        setAlarmLevel(AlarmLevel::Fault);
    } else {
        const double v = conversation_->rangesUnits() ? inThresholdUnit(shown, r.unit) : shown;
        AlarmLevel level = AlarmLevel::Normal;
        if (v > settings_.Threshold2)
            level = AlarmLevel::High2;
        else if (v > settings_.Threshold1)
            level = AlarmLevel::High1;
        if (level != AlarmLevel::Normal && level != before && sound)
            view_.startAlarmSound();
        setAlarmLevel(level);
    }
    const MeasurementRecord shownRow = row;

    // The file keeps plain units: thousands are written out. "Kps" is the
    // instrument's short name for thousands of counts per second.
    const int k = int(r.unit.indexOf(QLatin1Char('K')));
    if (k >= 0) {
        r.value = shown * 1000;
        r.valuePicture.clear();
        r.unit = r.unit.mid(k + 1);
        if (r.unit == QLatin1String("ps"))
            r.unit = QStringLiteral("cps");
        row = recordOf(r, family_->record);
        if (autoMode)
            row.InstrumentId = probeNumber;
    }
    // Shown before it is written: a working file that cannot take it says
    // so on the status line after the reading's time.
    view_.showReading(ShownReading{shownRow.ReadingTime, readouts.value, readouts.dose,
                                   shownRow.InstrumentId, shownRow.Status, shownRow.Detector,
                                   r.value, alarmLevel_});
    writeReading(row, r);
    view_.setCount(data_.readingCount());
    static const char spin[4] = {'|', '/', '-', '\\'};
    view_.setProgress(QString(QLatin1Char(spin[spinner_++ % 4])) + QLatin1Char(' '));

    conversation_->afterReading();
}

void Station::reportFileError(const QString& what) {
    setStatus(QStringLiteral("Reading not written to ZelTemp.csv"), StatusKind::Problem);
    view_.debugLine(QStringLiteral("Working file: ") + what);
    emit writeFailed(what);
    if (!fileErrorShown_) {
        fileErrorShown_ = true;
        deferCritical(QStringLiteral("A reading could not be written to the working file "
                                     "ZelTemp.csv. The program keeps it and writes it as soon as "
                                     "the file can be written again."),
                      QStringLiteral("Error in data file"), what);
    }
}

void Station::writeReading(const MeasurementRecord& row, const Reading& reading) {
    // The working file is the only copy of a reading until a save: a line
    // that could not be written waits here and goes out, in order, with the
    // next reading that can be written. It is told as filed only then, so
    // the feed never holds a reading the file does not.
    unwritten_.push_back({row, reading, alarmLevel_});
    fileWaitingReadings();
}

bool Station::fileWaitingReadings() {
    while (!unwritten_.empty()) {
        if (auto written = data_.appendReading(unwritten_.front().row); !written) {
            reportFileError(written.error().text);
            return false;
        }
        const Unfiled filed = std::move(unwritten_.front());
        unwritten_.pop_front();
        rowBeingFiled_ = &filed.row;
        emit readingFiled(filed.reading, filed.level);
        rowBeingFiled_ = nullptr;
    }
    if (fileErrorShown_) {
        fileErrorShown_ = false;
        setStatus(QStringLiteral("Working file written again"));
    }
    return true;
}

void Station::noteReadingCounted(const Reading& r) {
    // The reading's wall time counts as written, also in a clock change's
    // hour.
    const double t = r.date.isValid() && r.time.isValid()
                         ? toDayCount(QDateTime(r.date, r.time, Qt::UTC))
                         : toDayCount(clock_.now());
    data_.takeReading(t, r.value);
}

// ---------------------------------------------------------------- files

Legend& Station::legend() {
    if (!legend_)
        legend_ = settingsStore_.readLegend(formatShortDate(clock_.now().date()));
    return *legend_;
}

QByteArray Station::currentHeader() {
    return headerLines(legend(), probeNumber, fileColumnLine());
}

QByteArray Station::fileColumnLine() const {
    return family_->fileColumnLine(conversation_->instrumentUnits());
}

void Station::clearList() {
    emit graphShouldHide();
    list_.clearGrid();
    view_.setCount(0);
    view_.refreshControls();
}

void Station::startNewWorkingFile() {
    if (auto opened = data_.openNewTempFile(currentHeader()); !opened)
        reportFileError(opened.error().text);
    view_.setCount(0);
    emit graphShouldHide();
    clearList();
}

void Station::chooseWorkingFileForOnline() {
    data_.workingFile().close();
    // Nobody can answer the question (zel-monitor, the amplifier's start-up):
    // emptying the file would lose every reading of the run before that was
    // never saved (a power cut, a restart of the service).
    if ((unattended || unattendedStart_) && !autoMode && data_.workingFileHoldsReadings()) {
        if (auto opened = data_.reopenAppendUnder(currentHeader()); !opened)
            reportFileError(opened.error().text);
        return;
    }
    // The file, not only the list, holds readings: after a restart the list
    // is empty and the file has the whole run before it.
    if (data_.workingFile().exists() && !autoMode &&
        (list_.rowIndex >= 2 || data_.workingFileHoldsReadings())) {
        const Answer a =
            view_.ask(QStringLiteral("Do you want to append data to the existing list ? \n\n"),
                      QStringLiteral("start"), false);
        if (a == Answer::Yes) {
            if (auto opened = data_.reopenAppendUnder(currentHeader()); !opened)
                reportFileError(opened.error().text);
            return;
        }
    }
    startNewWorkingFile();
}

void Station::chooseWorkingFileForDownload() {
    data_.workingFile().close();
    if (data_.workingFile().exists()) {
        const Answer a =
            view_.ask(QStringLiteral("Do you want to append data to the existing list ? \n\n"),
                      QString(), true);
        if (a == Answer::Yes) {
            if (auto opened = data_.reopenAppendUnder(currentHeader()); !opened)
                reportFileError(opened.error().text);
            return;
        }
    }
    startNewWorkingFile();
}

void Station::readWorkingFile(const QString& path) {
    data_.readDb(path);
    view_.setCount(data_.readingCount());
    view_.refreshControls();
}

QString Station::commonFilePath() const {
    return QStringLiteral("%1/%2.csv")
        .arg(QFileInfo(data_.workingFile().path()).absolutePath(), settings_.CommonFileName);
}

bool Station::saveToFile(const QString& path) {
    settings_.FileNumber = toInt16(double(settings_.FileNumber) + 1);
    if (!settingsStore_.writeFileNumber(settings_.FileNumber))
        reportSettingNotSaved(settingsStore_.ini().lastError());
    const Expected<void> saved = data_.saveToFile(path, commonFilePath(), currentHeader());
    if (!saved) {
        view_.critical(QStringLiteral("The data could not be saved. The working file ZelTemp.csv "
                                      "is unchanged and keeps every reading."),
                       QStringLiteral("Save"), saved.error().text);
        return false;
    }
    return true;
}

} // namespace zel
