#include "station/tarvo_conversation.h"

#include "common/text.h"
#include "protocol/tarvo.h"
#include "station/station.h"

#include <QTimer>

namespace zel {

namespace {

// The highest record the one-byte request reaches: 83 00 k for k up to 255.
constexpr int HighestOneByteRecord = 255;

// Records up to 255 are asked for as the instrument has always been asked:
// 83 00 k. A larger number does not fit that byte; it goes out in the
// instrument's own numbering, byte2 x 255 + byte3, which its records carry.
QByteArray recordRequest(int k) {
    QByteArray p = tarvo::requestRecordPayload(uint8_t(k <= HighestOneByteRecord ? k : k % 255));
    if (k > HighestOneByteRecord)
        p[1] = char(k / 255);
    return p;
}

QString records(int n) {
    return n == 1 ? QStringLiteral("1 record") : QStringLiteral("%1 records").arg(n);
}

} // namespace

bool TarvoConversation::sendTestFrame() {
    const QByteArray frame = tarvo::testFrame();
    const bool sent = station().send(frame);
    if (sent && view().showAll())
        view().debugLine(QStringLiteral("Send ") + cnvStrToHex(int(frame.size()), frame));
    station().replyTimer.start(1000);
    return sent;
}

void TarvoConversation::testConnection() {
    state().errorCount = 0;
    sendTestFrame();
}

void TarvoConversation::enterStartupState() {
    // The instrument announces itself; until it does, it counts as lost.
    station().connectionLost();
}

void TarvoConversation::finishStartup() {
    if (station().portOpen())
        station().send(tarvo::testFrame());
}

void TarvoConversation::startOnline() {
    startIntervalPolling();
}

void TarvoConversation::stopOnline() {
    stopIntervalPolling();
}

void TarvoConversation::onPollTick() {
    if (state().minuteCountdown >= 1) {
        station().pollTimer.stop();
        return;
    }
    sendLogged(tarvo::pollFrame());
    station().responseTimeout.start(500);
    state().minuteCountdown = toInt32(station().interval().Minutes);
    station().minuteTimer.start(60000);
}

void TarvoConversation::onReplyTimeout() {
    if (state().errorCount > 2) {
        station().setStatus(QStringLiteral("Instrument not responding"), colors::StatusRed);
        station().replyTimer.stop();
    }
}

void TarvoConversation::onResponseTimeout() {
    if (resumesDownload())
        station().setStatus(QStringLiteral("Download was interrupted , press 'Get Data'"));
    else
        station().setStatus(QStringLiteral("Instrument not responding"));
    // Nothing runs any more: the next "Get Data" resumes or starts afresh.
    state().downloading = false;
    awaiting_ = Awaiting::Nothing;
}

CheckedFrame TarvoConversation::checkFrame(const QByteArray& frame) {
    station().replyTimer.stop();
    // Any frame that arrived answers the pending request, a damaged one too:
    // the damage is counted as an error, not as a missing reply.
    station().responseTimeout.stop();
    answered_ = false;
    const std::optional<QByteArray> work = tarvo::unescapeFrame(frame);
    if (!work)
        return {Result::BadChecksum, frame};
    return {actOn(*work), *work};
}

int16_t TarvoConversation::actOn(const QByteArray& work) {
    const tarvo::Message m = tarvo::interpret(work);
    if (m.result == Result::BadChecksum || m.tooShort)
        return m.result;
    Station& s = station();
    switch (m.type) {
    case tarvo::TypeAnnounce:
        probeCode_ = m.probeCode;
        s.send(tarvo::buildTarvoFrame(tarvo::acknowledgePayload(m.probeCode, m.echoByte4)));
        s.responseTimeout.start(500);
        break;
    case tarvo::TypeInitialised:
        s.setStatus(QStringLiteral("Tarvo 5 has succesfully initialized"), colors::StatusBlue);
        state().instrumentReady = true;
        s.applyFrameRules();
        view().refreshControls();
        view().enableCommand(Command::GetData, true);
        s.replyTimer.stop();
        break;
    case tarvo::TypeClockSet:
        answered_ = true;
        s.setStatus(QStringLiteral("Time Recieved"));
        break;
    case tarvo::TypeRecordCount:
        answered_ = true;
        recordCount_ = m.recordCount;
        nextRecord_ = recordCount_ - 1;
        if (recordCount_ > 0) {
            received_ = 0;
            unfetched_ = 0;
            showProgress();
            requestRecord(nextRecord_);
        } else {
            state().downloading = false;
            recordRequested_ = false;
            awaiting_ = Awaiting::Nothing;
            s.setStatus(downloadFinished_ ? QStringLiteral("Data downloaded succesfully")
                                          : QStringLiteral("No data in instrument"));
            if (downloadFinished_ && unfetched_ > 0)
                reportUnfetched();
        }
        break;
    case tarvo::TypeRecord:
        lastType_ = tarvo::TypeOnline;
        s.setStatus(QString());
        if (recordRequested_ && m.recordNumber != requested_)
            return refuseWrongRecord(m.recordNumber);
        ++received_;
        showProgress();
        nextRecord_ = m.recordNumber - 1;
        if (nextRecord_ >= 0) {
            downloadFinished_ = false;
            requestRecord(nextRecord_);
        } else {
            downloadFinished_ = true;
            recordRequested_ = false;
            sendEndOfDownload();
        }
        break;
    case tarvo::TypeOnline:
        lastType_ = tarvo::TypeOnline;
        s.setStatus(QString());
        break;
    case tarvo::TypeShort:
        lastType_ = tarvo::TypeShort;
        s.setStatus(QString());
        view().setValueText(formatPicture(m.shortValue * 1000, QStringLiteral("###0.00")) +
                            QStringLiteral(" mR/h"));
        break;
    default:
        break;
    }
    return m.result;
}

std::optional<Reading> TarvoConversation::parseReading(const QByteArray& bytes) {
    return tarvo::parseReading(bytes, lastType_, probeCode_, clock().now());
}

void TarvoConversation::afterFrameError(int16_t) {
    // A damaged or unusable reply during a download is asked for again by
    // the same request; the instrument never hears another family's bytes.
    // Replies that were understood (the count, the clock) and a wrong record,
    // which has asked again itself, are no reason to ask.
    if (answered_ || !state().downloading || awaiting_ == Awaiting::Nothing)
        return;
    if (state().errorCount <= 3) {
        askAgain();
        return;
    }
    if (awaiting_ == Awaiting::End) {
        // Every record is in; only the answer to the end message was damaged.
        state().downloading = false;
        awaiting_ = Awaiting::Nothing;
        station().setStatus(QStringLiteral("Data downloaded succesfully"));
        return;
    }
    // Damaged again and again: stop asking, keep what came, and let "Get
    // Data" go on from here.
    view().debugLine(QStringLiteral("Download stopped after %1 damaged replies in a row, %2 of %3 "
                                    "received")
                         .arg(state().errorCount)
                         .arg(records(received_))
                         .arg(recordCount_));
    station().setStatus(QStringLiteral("Download was interrupted , press 'Get Data'"));
    state().downloading = false;
    awaiting_ = Awaiting::Nothing;
}

void TarvoConversation::askAgain() {
    switch (awaiting_) {
    case Awaiting::Count:
        sendStartOfDownload();
        break;
    case Awaiting::Record:
        requestRecord(nextRecord_);
        break;
    case Awaiting::End:
        sendEndOfDownload();
        break;
    case Awaiting::Nothing:
        break;
    }
}

void TarvoConversation::sendStartOfDownload() {
    awaiting_ = Awaiting::Count;
    station().send(tarvo::startDownloadFrame());
    // An instrument that does not answer must not leave us downloading.
    station().responseTimeout.start(500);
}

void TarvoConversation::sendEndOfDownload() {
    awaiting_ = Awaiting::End;
    station().send(tarvo::buildTarvoFrame(tarvo::endDownloadPayload()));
    station().responseTimeout.start(500);
}

void TarvoConversation::startDownload() {
    // A new press of "Get Data" has its own three retries.
    state().errorCount = 0;
    if (resumesDownload()) {
        requestRecord(nextRecord_);
        return;
    }
    downloadFinished_ = false;
    recordRequested_ = false;
    received_ = 0;
    unfetched_ = 0;
    view().setDownloadProgress(QString());
    sendStartOfDownload();
}

bool TarvoConversation::resumesDownload() const {
    return recordRequested_ && nextRecord_ >= 0;
}

int16_t TarvoConversation::refuseWrongRecord(int number) {
    answered_ = true;
    view().debugLine(
        QStringLiteral("Record %1 came for the request of record %2").arg(number).arg(requested_));
    if (requested_ > HighestOneByteRecord) {
        // The instrument reads only the last byte of a request: the records
        // above 255 cannot be fetched from it. Go on with those it can give,
        // and say so at the end.
        unfetched_ += requested_ - HighestOneByteRecord;
        nextRecord_ = HighestOneByteRecord;
        requestRecord(nextRecord_);
    } else if (state().errorCount < 3) {
        requestRecord(requested_);
    } else {
        onResponseTimeout();
    }
    // Not a row: the wrong record is counted as a communication error.
    return Result::Nothing;
}

void TarvoConversation::showProgress() {
    view().setDownloadProgress(
        QStringLiteral("Record %1 of %2").arg(received_).arg(recordCount_ - unfetched_));
}

void TarvoConversation::reportUnfetched() {
    const QString text = QStringLiteral("%1 above number %2 could not be fetched: the "
                                        "instrument answers requests for records 0 to %2 only.")
                             .arg(records(unfetched_))
                             .arg(HighestOneByteRecord);
    view().setDownloadProgress(QStringLiteral("%1 not fetched").arg(records(unfetched_)));
    view().debugLine(text);
    // A message box runs its own event loop: it waits until the frame has
    // been dealt with.
    StationView* v = &view();
    QTimer::singleShot(0, &station(),
                       [v, text] { v->information(text, QStringLiteral("Get Data")); });
}

void TarvoConversation::sendTime() {
    station().send(tarvo::buildTarvoFrame(tarvo::setClockPayload(clock().now())));
}

void TarvoConversation::requestRecord(int k) {
    awaiting_ = Awaiting::Record;
    recordRequested_ = true;
    requested_ = k;
    station().send(tarvo::buildTarvoFrame(recordRequest(k)));
    station().responseTimeout.start(500);
}

} // namespace zel
