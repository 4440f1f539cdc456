#include "link/station.h"

#include "common/datetime.h"
#include "common/text.h"
#include "link/amp.h"
#include "link/orvan.h"
#include "link/portables.h"
#include "link/tarvo.h"

#include <QFileInfo>
#include <limits>

namespace zel {

namespace {

// Counters that once lived in 16 bits: they stop at their top instead of
// wrapping after a long run.
void bump(quint32& counter) {
    if (counter < std::numeric_limits<quint32>::max())
        ++counter;
}

QString hexLine(const QString& prefix, const QByteArray& bytes) {
    return prefix + cnvStrToHex(int(bytes.size()), bytes);
}

} // namespace

Station::Station(const Parts& p, QObject* parent)
    : QObject(parent), transport_(p.transport), view_(p.view), clock_(p.clock),
      settings_(p.settings), settingsStore_(p.settingsStore), port_(p.port), portFile_(p.portFile),
      data_(p.data), list_(p.list) {
    Timer1.setInterval(2000);
    Timer2.setInterval(1000);
    tmrTimeOut.setInterval(500);
    tmrMinute.setInterval(60000);
    tmrRand.setInterval(1000);
    tmrLostContact.setInterval(1000);
    connect(&Timer1, &QTimer::timeout, this, &Station::Timer1_Timer);
    connect(&Timer2, &QTimer::timeout, this, &Station::Timer2_Timer);
    connect(&tmrTimeOut, &QTimer::timeout, this, &Station::tmrTimeOut_Timer);
    connect(&tmrMinute, &QTimer::timeout, this, &Station::tmrMinute_Timer);
    connect(&tmrRand, &QTimer::timeout, this, &Station::tmrRand_Timer);
    connect(&tmrLostContact, &QTimer::timeout, this, &Station::tmrLostContact_Timer);
    connect(&transport_, &Transport::bytesArrived, this, &Station::onBytesArrived);
    connect(&transport_, &Transport::portLost, this, &Station::onPortLost);
    lastCommand_ = QByteArray(10, '\0');
    applyFrameRules();
}

// ---------------------------------------------------------------- port

bool Station::openPortAtStartup() {
    const QString device = portFile_.deviceFor(port_.Port);
    if (!transport_.open(device, port_.BaudRate)) {
        port_.OpenPort = 0;
        QString detail = transport_.lastError();
        if (transport_.lastErrorIsPermission())
            detail += QStringLiteral("\n\nYour user may not use %1. Add it to the \"dialout\" "
                                     "group (sudo adduser $USER dialout) and log in again.")
                          .arg(device);
        view_.critical(QStringLiteral("Error in Opening Comm. port, Use Set Port "),
                       QStringLiteral("Error in Communication"), detail);
        return false;
    }
    port_.OpenPort = port_.Port;
    view_.enableCommand(Command::Test, true);
    TestConnection();
    return true;
}

bool Station::reopenPort(int16_t port, int32_t baud, QString* detail) {
    if (transport_.isOpen())
        transport_.close();
    port_.OpenPort = 0;
    const QString device = portFile_.deviceFor(port);
    if (!transport_.open(device, baud)) {
        if (detail) {
            *detail = transport_.lastError();
            if (transport_.lastErrorIsPermission())
                *detail += QStringLiteral("\n\nYour user may not use %1. Add it to the \"dialout\" "
                                          "group and log in again.")
                               .arg(device);
        }
        view_.enableCommand(Command::Test, false);
        return false;
    }
    port_.OpenPort = port;
    view_.enableCommand(Command::Test, true);
    return true;
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
    alarmState_ = AlarmFault;
    lostContact_ = 0;
    view_.setValueColor(colors::PaleCyan);
    view_.startAlarmSound();
    ConnectionLost();
    setStatus(QStringLiteral("Communication port lost"), colors::StatusRed);
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

bool Station::send(const QByteArray& bytes) {
    if (!portOpen())
        return false;
    return transport_.write(bytes);
}

// ---------------------------------------------------------------- family

void Station::applyFrameRules() {
    receiver_.setRules(frameRulesFor(settings_.InstrumentType));
}

void Station::chkInstType_Click(int16_t index) {
    if (index != settings_.InstrumentType) {
        settings_.InstrumentType = index;
        settingsStore_.writeInstrumentType(index);
        applyFrameRules();
        view_.refreshControls();
        if (index == AmpVessa)
            requestAmpParameters();
    }
    setStatus(QString());
    mnTest_Click();
}

// ---------------------------------------------------------------- conversation

void Station::setStatus(const QString& text, const Rgb& color) {
    view_.setStatus(text, color);
}

void Station::TestConnection() {
    setStatus(QString());
    switch (family()) {
    case Portables:
        TestPending = true;
        ErrorCount = 0;
        sendPortableCommand(6, true, true);
        break;
    case Tarvo5:
        ErrorCount = 0;
        sendTarvoTest();
        break;
    case AmpVessa:
        break;
    case Orvan:
        orvanSend("G11");
        break;
    default:
        break;
    }
}

void Station::mnTest_Click() {
    if (portOpen())
        TestConnection();
}

bool Station::sendTarvoTest() {
    const bool sent = send(tarvo::testFrame());
    if (sent && view_.showAll())
        view_.debugLine(hexLine(QStringLiteral("Send "), tarvo::testFrame()));
    Timer2.start(1000);
    return sent;
}

void Station::btStart_Click() {
    if (OnlineIdle) {
        tmrLostContact.start(1000);
        chooseWorkingFileForOnline();
        OnlineIdle = false;
        switch (family()) {
        case Portables:
            SendStart();
            break;
        case Tarvo5:
        case Orvan: {
            MinuteCountdown = int32_t(interval_.Minutes);
            if (interval_.Minutes > 0)
                tmrMinute.start(60000);
            else
                tmrMinute.stop();
            const double secs = interval_.Seconds;
            tmrRand.start(secs > 0 ? std::max(1, int(roundHalfEven(secs * 1000))) : 1);
            break;
        }
        case AmpVessa:
            applyFrameRules();
            view_.refreshControls();
            break;
        default:
            break;
        }
        Downloading = false;
        TestPending = false;
        if (view_.showAll())
            view_.debugLine(hexLine(QStringLiteral("Send "), lastCommand_));
        view_.showOnline(true);
        view_.enableCommand(Command::GetData, false);
    } else {
        tmrLostContact.stop();
        OnlineIdle = true;
        view_.showOnline(false);
        if (InstrumentReady && family() != AmpVessa)
            view_.enableCommand(Command::GetData, true);
        switch (family()) {
        case Portables:
            sendPortableCommand(9, false, true);
            break;
        case Tarvo5:
        case Orvan:
            tmrRand.stop();
            tmrMinute.stop();
            break;
        default:
            break;
        }
        view_.debugLine(QStringLiteral("Online stoped on ") + formatGeneralDateTime(clock_.now()));
    }
}

void Station::StopOnline() {
    OnlineIdle = false;
    btStart_Click();
}

void Station::ConnectionOk() {
    setStatus(QStringLiteral("Instrument Succesfully Connected"));
    view_.setLamp(colors::LampOk);
    InstrumentReady = true;
    Timer1.stop();
    view_.enableCommand(Command::Start, true);
    view_.enableCommand(Command::Interval, true);
    view_.enableCommand(Command::Calibration, true);
    if (family() != AmpVessa && OnlineIdle)
        view_.enableCommand(Command::GetData, true);
}

void Station::ConnectionLost() {
    view_.setLamp(colors::LampLost);
    InstrumentReady = false;
    Downloading = false;
    view_.enableCommand(Command::GetData, false);
    view_.enableCommand(Command::Calibration, false);
    view_.enableCommand(Command::Interval, false);
    view_.enableCommand(Command::Start, false);
    OnlineIdle = false;
    if (family() == Portables)
        Timer1.start(2000);
}

void Station::enterStartupState() {
    if (family() == Portables || family() == Tarvo5)
        ConnectionLost();
    else
        OnlineIdle = true;
}

void Station::finishStartup() {
    if (family() == Tarvo5 && portOpen()) {
        send(tarvo::testFrame());
    } else if (family() == AmpVessa) {
        sendAmpStop();
        requestAmpParameters();
        btStart_Click();
    }
}

void Station::shutdown() {
    if (InstrumentReady)
        StopOnline();
    closePort();
}

void Station::getData() {
    chooseWorkingFileForDownload();
    Downloading = true;
    TestPending = false;
    StopOnline();
    if (family() == Portables) {
        sendPortableCommand(4, true, true);
    } else if (family() == Tarvo5) {
        if (NextRecord > 0) {
            RequestRecord(NextRecord);
        } else {
            DownloadFinished = false;
            send(tarvo::startDownloadFrame());
        }
    }
}

void Station::sendTime() {
    const QDateTime now = clock_.now();
    if (family() == Portables) {
        const QDate d = now.date();
        const QTime t = now.time();
        QByteArray b;
        b.append(char(0x01)).append(char(0x20));
        b.append(char(d.month())).append(char(d.day()));
        b.append(char(d.year() / 100)).append(char(d.year() % 100));
        b.append(char(t.hour())).append(char(t.minute())).append(char(t.second()));
        b.append(char(0x04));
        send(b);
        if (view_.showAll())
            view_.debugLine(QStringLiteral("Send ") + cnvStrToHex(9, b));
    } else if (family() == Tarvo5) {
        send(tarvo::buildTarvoFrame(tarvo::setClockPayload(now)));
    }
}

void Station::requestCalibration() {
    sendPortableCommand(8, false, true);
}

void Station::sendPortableCommand(uint8_t command, bool wait, bool flush) {
    if (!portOpen())
        return;
    lastCommand_ = buildPortableCommand(command, QByteArray());
    if (view_.showAll())
        view_.debugLine(hexLine(QStringLiteral("Send "), lastCommand_));
    send(lastCommand_);
    if (wait)
        Timer2.start(1000);
    if (flush)
        transport_.readAll();
}

void Station::SendStart() {
    if (!portOpen())
        return;
    QByteArray params = formatPicture(interval_.Minutes, QStringLiteral("##00")).left(2).toLatin1();
    params += formatPicture(interval_.Seconds, QStringLiteral("##00")).left(2).toLatin1();
    params += "000";
    lastCommand_ = buildPortableCommand(9, params);
    send(lastCommand_);
}

void Station::orvanSend(const QByteArray& text) {
    receiver_.reset();
    if (!portOpen())
        return;
    const QByteArray frame = buildOrvanCommand(text);
    if (view_.showAll())
        view_.debugLine(QStringLiteral("Send ") + QString::fromLatin1(text));
    send(frame);
    Timer2.start(1000);
}

void Station::RequestRecord(int k) {
    send(tarvo::buildTarvoFrame(tarvo::requestRecordPayload(uint8_t(k))));
    tmrTimeOut.start(500);
}

// The amplifier conversation belongs to the amplifier dialog's work; these
// are the places it plugs in.
void Station::sendAmpStop() {
    receiver_.reset();
}
void Station::sendAmpStart() {
    receiver_.reset();
}
void Station::requestAmpParameters() {
    receiver_.reset();
}

// ---------------------------------------------------------------- timers

void Station::Timer1_Timer() {
    TestPending = true;
    sendPortableCommand(6, true, true);
}

void Station::countError() {
    bump(ErrorCount);
    bump(TotalErrors);
}

void Station::Timer2_Timer() {
    countError();
    setStatus(QStringLiteral("Testing Connection ") + QString::number(ErrorCount));
    switch (family()) {
    case Portables:
        view_.showErrorCounters(ErrorCount, TotalErrors);
        if (ErrorCount > 2) {
            setStatus(QStringLiteral("Instrument not responding"));
            Timer2.stop();
            ConnectionLost();
        }
        if (Downloading)
            sendPortableCommand(5, true, false);
        break;
    case Tarvo5:
        if (ErrorCount > 2) {
            setStatus(QStringLiteral("Instrument not responding"), colors::StatusRed);
            Timer2.stop();
        }
        break;
    case Orvan:
        if (ErrorCount < 3) {
            orvanSend("G11");
        } else {
            setStatus(QStringLiteral("Instrument not responding"), colors::StatusRed);
            ConnectionLost();
            Timer2.stop();
        }
        break;
    default:
        break;
    }
}

void Station::tmrTimeOut_Timer() {
    if (NextRecord < 1)
        setStatus(QStringLiteral("Instrument not responding"));
    else
        setStatus(QStringLiteral("Download was interrupted , press 'Get Data'"));
    tmrTimeOut.stop();
}

void Station::tmrMinute_Timer() {
    if (MinuteCountdown > std::numeric_limits<int32_t>::min())
        --MinuteCountdown;
    if (MinuteCountdown > 0) {
        tmrRand.stop();
    } else {
        tmrRand.stop();
        const double secs = interval_.Seconds;
        tmrRand.start(secs > 0 ? std::max(1, int(roundHalfEven(secs * 1000))) : 1);
    }
}

void Station::tmrRand_Timer() {
    if (family() == Orvan) {
        orvanSend("G19");
        return;
    }
    if (family() != Tarvo5)
        return;
    if (MinuteCountdown < 1) {
        const QByteArray poll = tarvo::pollFrame();
        send(poll);
        if (view_.showAll())
            view_.debugLine(hexLine(QStringLiteral("Send "), poll));
        tmrTimeOut.start(500);
        MinuteCountdown = int32_t(interval_.Minutes);
        tmrMinute.start(60000);
    } else {
        tmrRand.stop();
    }
}

void Station::tmrLostContact_Timer() {
    if (alarmState_ == AlarmFault)
        return;
    ++lostContact_;
    if (lostContact_ > settings_.LostContactInterval) {
        lostContact_ = 0;
        view_.setValueColor(colors::PaleCyan);
        alarmState_ = AlarmFault;
        view_.startAlarmSound();
    }
}

// ---------------------------------------------------------------- receive path

void Station::onBytesArrived() {
    const QByteArray batch = transport_.readAll();
    if (batch.isEmpty())
        return;
    QString debug;
    const bool wantDebug = view_.showAll();
    receiver_.feed(
        batch, [this](const QByteArray& frame) { return ExtractMessage(frame); },
        wantDebug ? &debug : nullptr);
    if (wantDebug)
        view_.debugLine(debug);
}

int16_t Station::checkTarvo(const QByteArray& work) {
    tmrTimeOut.stop();
    const tarvo::Message m = tarvo::interpret(work);
    if (m.result == Result::BadChecksum || m.tooShort)
        return m.result;
    switch (m.type) {
    case tarvo::TypeAnnounce:
        TarvoProbeCode = m.probeCode;
        send(tarvo::buildTarvoFrame(tarvo::acknowledgePayload(m.probeCode, m.echoByte4)));
        tmrTimeOut.start(500);
        break;
    case tarvo::TypeInitialised:
        setStatus(QStringLiteral("Tarvo 5 has succesfully initialized"), colors::StatusBlue);
        InstrumentReady = true;
        applyFrameRules();
        view_.refreshControls();
        if (family() != AmpVessa)
            view_.enableCommand(Command::GetData, true);
        Timer2.stop();
        break;
    case tarvo::TypeClockSet:
        setStatus(QStringLiteral("Time Recieved"));
        break;
    case tarvo::TypeRecordCount:
        RecordCount = m.recordCount;
        NextRecord = RecordCount - 1;
        if (RecordCount > 0) {
            RequestRecord(NextRecord);
        } else {
            Downloading = false;
            setStatus(DownloadFinished ? QStringLiteral("Data downloaded succesfully")
                                       : QStringLiteral("No data in instrument"));
        }
        break;
    case tarvo::TypeRecord:
        TarvoLastType = 0x86;
        setStatus(QString());
        NextRecord = m.recordNumber - 1;
        if (NextRecord >= 0) {
            DownloadFinished = false;
            RequestRecord(NextRecord);
        } else {
            DownloadFinished = true;
            send(tarvo::buildTarvoFrame(tarvo::endDownloadPayload()));
            tmrTimeOut.start(500);
        }
        break;
    case tarvo::TypeOnline:
        TarvoLastType = 0x86;
        setStatus(QString());
        break;
    case tarvo::TypeShort:
        TarvoLastType = 0x10;
        setStatus(QString());
        view_.setValueText(formatPicture(m.shortValue * 1000, QStringLiteral("###0.00")) +
                           QStringLiteral(" mR/h"));
        break;
    default:
        break;
    }
    return m.result;
}

int16_t Station::ExtractMessage(const QByteArray& frame) {
    int16_t result = Result::Nothing;
    QByteArray current = frame;
    switch (family()) {
    case Portables:
        result = checkQuorin(frame);
        break;
    case Tarvo5: {
        Timer2.stop();
        const std::optional<QByteArray> work = tarvo::myEscape(frame);
        if (!work) {
            result = Result::BadChecksum;
        } else {
            work_ = *work;
            result = checkTarvo(work_);
            current = work_;
        }
        break;
    }
    case AmpVessa:
        result = checkAmp(frame);
        break;
    case Orvan:
        result = CheckOrvan(frame);
        Timer2.stop();
        break;
    default:
        break;
    }
    if (view_.showAll())
        view_.debugLine(hexLine(QStringLiteral("All "), frame));

    switch (result) {
    case Result::Reading:
    case Result::Ready:
        Timer2.stop();
        ConnectionOk();
        ErrorCount = 0;
        view_.showErrorCounters(ErrorCount, TotalErrors);
        if (result == Result::Ready)
            OnlineIdle = true;
        else if (TestPending)
            StopOnline();
        else
            PutDataInList(current);
        break;
    case Result::AmpReading:
        if (!OnlineIdle)
            PutDataInList(current);
        break;
    case Result::Calibration:
        PutCalibData(current);
        break;
    case Result::AmpSetup:
        ConnectionOk();
        ampReply(current);
        break;
    case Result::OrvanConnected:
        ConnectionOk();
        break;
    default:
        if (result >= Result::OrvanError0) {
            PutDataInList(current);
            ConnectionOk();
        } else {
            Timer2.stop();
            countError();
            view_.showErrorCounters(ErrorCount, TotalErrors);
            if (ErrorCount <= 3 && Downloading)
                sendPortableCommand(5, true, false);
        }
        break;
    }
    return result;
}

std::optional<MeasurementRecord> Station::parseReading(const QByteArray& frame) {
    switch (family()) {
    case Tarvo5:
        return tarvo::parseReading(frame, TarvoLastType, TarvoProbeCode, clock_.now());
    default:
        // The Portables, amplifier and Orvan readings have their own parsers,
        // which come with those families' work.
        return std::nullopt;
    }
}

void Station::PutDataInList(const QByteArray& frame) {
    data_.Unsaved = true;
    if (frame.size() > 1 && frame.at(1) == '*') {
        Downloading = false;
        if (list_.RowIndex > 0)
            setStatus(QStringLiteral("Data loaded succesfully."));
        else
            setStatus(QStringLiteral("No data in instrument"));
        return;
    }
    std::optional<MeasurementRecord> parsed = parseReading(frame);
    if (!parsed) {
        // A frame too short for its layout: a communication error, not a row.
        countError();
        view_.showErrorCounters(ErrorCount, TotalErrors);
        return;
    }
    MeasurementRecord r = *parsed;

    list_.listStep(r, AutoMode, ProbeNumber);
    noteReadingCounted(r);
    view_.refreshControls();

    setStatus(r.ReadingTime);
    if (family() == Orvan) {
        view_.setDoseText(shortestText(DoseValue) + QStringLiteral(" cps"));
        view_.setValueText(r.Value + QLatin1Char(' ') + OrvanUnits);
    } else {
        view_.setDoseText(shortestText(DoseValue) + QLatin1Char(' ') +
                          r.Units.left(r.Units.size() - 2));
        view_.setValueText(r.Value + QLatin1Char(' ') + r.Units);
    }
    lostContact_ = 0;

    const int16_t alarmCode = r.AlarmCode == 48 ? 0 : r.AlarmCode;
    const bool sound = settings_.AudioAlarm == 1;
    if (alarmCode != 0) {
        view_.setValueColor(colors::Magenta);
        if (alarmState_ != AlarmFault && sound)
            view_.startAlarmSound();
        alarmState_ = AlarmFault;
    } else {
        const double v = leadingNumber(r.Value);
        int16_t state = AlarmNormal;
        if (v > settings_.Threshold2) {
            view_.setValueColor(colors::Red);
            state = AlarmHigh2;
        } else if (v > settings_.Threshold1) {
            view_.setValueColor(colors::Yellow);
            state = AlarmHigh1;
        } else {
            view_.setValueColor(colors::Green);
        }
        if ((state == AlarmHigh1 || state == AlarmHigh2) && state != alarmState_ && sound)
            view_.startAlarmSound();
        alarmState_ = state;
    }
    view_.setReadingDetails(r.InstrumentId, r.Status, r.Detector);

    // The file keeps plain units: thousands are written out.
    const int k = int(r.Units.indexOf(QLatin1Char('K')));
    if (k >= 0) {
        r.Value = shortestText(leadingNumber(r.Value) * 1000);
        r.Units = r.Units.mid(k + 1);
    }
    writeReading(r);

    view_.readingTaken(leadingNumber(r.Value));
    view_.setCount(data_.ReadingCount);
    static const char spin[4] = {'|', '/', '-', '\\'};
    view_.setProgress(QString(QLatin1Char(spin[spinner_++ % 4])) + QLatin1Char(' '));

    if (Downloading && family() != Tarvo5)
        sendPortableCommand(5, true, false);
}

void Station::reportFileError(const QString& what) {
    setStatus(QStringLiteral("Reading not written to ZelTemp.csv"), colors::StatusRed);
    view_.debugLine(QStringLiteral("Working file: ") + what);
    if (!fileErrorShown_) {
        fileErrorShown_ = true;
        deferCritical(QStringLiteral("A reading could not be written to the working file "
                                     "ZelTemp.csv. The program keeps it and writes it as soon as "
                                     "the file can be written again."),
                      QStringLiteral("Error in data file"), what);
    }
}

void Station::writeReading(const MeasurementRecord& r) {
    // The working file is the only copy of a reading until a save: a line
    // that could not be written waits here and goes out, in order, with the
    // next reading that can be written.
    unwritten_.push_back(r);
    while (!unwritten_.empty()) {
        if (!data_.appendReading(unwritten_.front())) {
            reportFileError(data_.lastError());
            return;
        }
        unwritten_.pop_front();
    }
    if (fileErrorShown_) {
        fileErrorShown_ = false;
        setStatus(QStringLiteral("Working file written again"));
    }
}

void Station::noteReadingCounted(const MeasurementRecord& r) {
    if (data_.ReadingCount < std::numeric_limits<int32_t>::max())
        ++data_.ReadingCount;
    // The series entry follows the reading, so the graph never sees an
    // unfilled slot; the series stops growing at its capacity.
    Series& s = data_.series;
    if (s.SeriesLast + 1 < Series::Capacity) {
        ++s.SeriesLast;
        const std::optional<QDateTime> t = parseGeneralDateTime(r.ReadingTime);
        s.SeriesTimes[size_t(s.SeriesLast)] = t ? toDayCount(*t) : toDayCount(clock_.now());
        s.SeriesValues[size_t(s.SeriesLast)] = leadingNumber(r.Value);
    }
}

// The Orvan replies are read by the Orvan work; until then a reply is
// nothing the station can use.
int16_t Station::CheckOrvan(const QByteArray&) {
    return Result::Nothing;
}

void Station::PutCalibData(const QByteArray& frame) {
    emit calibrationReceived(frame);
}

void Station::ampReply(const QByteArray& frame) {
    emit ampReplyReceived(frame);
}

// ---------------------------------------------------------------- files

Legend& Station::legend() {
    if (!legend_)
        legend_ = settingsStore_.readLegend(formatShortDate(clock_.now().date()));
    return *legend_;
}

QByteArray Station::currentHeader() {
    return headerLines(legend(), ProbeNumber, family(), OrvanUnits);
}

void Station::ClearGrid() {
    emit graphShouldHide();
    list_.clearGrid();
    view_.setCount(0);
    view_.refreshControls();
}

void Station::OpenNewTempFile() {
    if (!data_.openNewTempFile(currentHeader()))
        reportFileError(data_.lastError());
    view_.setCount(0);
    emit graphShouldHide();
    ClearGrid();
}

void Station::chooseWorkingFileForOnline() {
    data_.workingFile().close();
    if (data_.workingFile().exists() && list_.RowIndex >= 2 && !AutoMode) {
        const Answer a =
            view_.ask(QStringLiteral("Do you want to append data to the existing list ? \n\n"),
                      QStringLiteral("start"), false);
        if (a == Answer::Yes) {
            if (!data_.reopenAppend())
                reportFileError(data_.lastError());
            return;
        }
    }
    OpenNewTempFile();
}

void Station::chooseWorkingFileForDownload() {
    data_.workingFile().close();
    if (data_.workingFile().exists()) {
        const Answer a =
            view_.ask(QStringLiteral("Do you want to append data to the existing list ? \n\n"),
                      QString(), true);
        if (a == Answer::Yes) {
            if (!data_.reopenAppend())
                reportFileError(data_.lastError());
            return;
        }
    }
    OpenNewTempFile();
}

void Station::ReadDb(const QString& path) {
    data_.readDb(path);
    view_.setCount(data_.ReadingCount);
    view_.refreshControls();
}

bool Station::SaveToFile(const QString& path) {
    settings_.FileNumber = toInt16(double(settings_.FileNumber) + 1);
    settingsStore_.writeFileNumber(settings_.FileNumber);
    const QString common =
        QStringLiteral("%1/%2.csv")
            .arg(QFileInfo(data_.workingFile().path()).absolutePath(), settings_.CommonFileName);
    const DataStore::SaveOutcome outcome = data_.saveToFile(path, common, currentHeader());
    if (!outcome.ok) {
        view_.critical(QStringLiteral("The data could not be saved. The working file ZelTemp.csv "
                                      "is unchanged and keeps every reading."),
                       QStringLiteral("Save"), outcome.error);
        return false;
    }
    return true;
}

} // namespace zel
