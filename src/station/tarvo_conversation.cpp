#include "station/tarvo_conversation.h"

#include "common/text.h"
#include "data/measurement_list.h"
#include "data/settings.h"
#include "protocol/tarvo.h"
#include "station/clock.h"
#include "station/families.h"

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
    const bool sent = link().send(frame);
    if (sent && view().showAll())
        view().debugLine(QStringLiteral("Send ") + cnvStrToHex(int(frame.size()), frame));
    link().armReplyWait();
    return sent;
}

void TarvoConversation::testConnection() {
    state().errorCount = 0;
    sendTestFrame();
}

void TarvoConversation::enterStartupState() {
    // The instrument announces itself; until it does, it counts as lost.
    link().connectionLost();
}

void TarvoConversation::finishStartup() {
    if (link().portOpen())
        link().send(tarvo::testFrame());
}

void TarvoConversation::startOnline() {
    link().startIntervalPolling();
}

void TarvoConversation::stopOnline() {
    link().stopIntervalPolling();
}

void TarvoConversation::onPollTick() {
    if (state().minuteCountdown >= 1) {
        link().holdPolling();
        return;
    }
    sendLogged(tarvo::pollFrame());
    link().armResponseTimeout();
    state().minuteCountdown = toInt32(link().interval().Minutes);
    link().countMinutesAgain();
}

void TarvoConversation::onReplyTimeout() {
    if (state().errorCount > 2) {
        link().setStatus(QStringLiteral("Instrument not responding"), StatusKind::Problem);
        link().stopReplyWait();
    }
}

void TarvoConversation::onResponseTimeout() {
    if (resumesDownload())
        link().setStatus(QStringLiteral("Download was interrupted , press 'Get Data'"));
    else
        link().setStatus(QStringLiteral("Instrument not responding"));
    // Nothing runs any more: the next "Get Data" resumes or starts afresh.
    state().downloading = false;
    awaiting_ = Awaiting::Nothing;
}

Verdict TarvoConversation::classify(const QByteArray& frame) const {
    Verdict verdict = tarvo::classify(frame);
    // Not a row: the wrong record is counted as a communication error.
    if (verdict.kind == FrameKind::Reading && isWrongRecord(tarvo::interpret(verdict.bytes)))
        verdict.kind = FrameKind::NoReading;
    return verdict;
}

bool TarvoConversation::isWrongRecord(const tarvo::Message& m) const {
    return m.type == tarvo::TypeRecord && recordRequested_ && m.recordNumber != requested_;
}

void TarvoConversation::onFrame(const Verdict& verdict) {
    link().stopReplyWait();
    // Any frame that arrived answers the pending request, a damaged one too:
    // the damage is counted as an error, not as a missing reply.
    link().stopResponseTimeout();
    answered_ = false;
    if (verdict.kind == FrameKind::Damaged)
        return;
    const tarvo::Message m = tarvo::interpret(verdict.bytes);
    if (!m.tooShort)
        actOn(m);
}

void TarvoConversation::actOn(const tarvo::Message& m) {
    switch (m.type) {
    case tarvo::TypeAnnounce:
        probeCode_ = m.probeCode;
        link().send(tarvo::buildTarvoFrame(tarvo::acknowledgePayload(m.probeCode, m.echoByte4)));
        link().armResponseTimeout();
        break;
    case tarvo::TypeInitialised:
        link().setStatus(QStringLiteral("Tarvo 5 has succesfully initialized"),
                         StatusKind::Success);
        state().instrumentReady = true;
        link().applyFrameRules();
        view().refreshControls();
        view().enableCommand(Command::GetData, true);
        link().stopReplyWait();
        break;
    case tarvo::TypeClockSet:
        answered_ = true;
        link().setStatus(QStringLiteral("Time Recieved"));
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
            link().setStatus(downloadFinished_ ? QStringLiteral("Data downloaded succesfully")
                                               : QStringLiteral("No data in instrument"));
            if (downloadFinished_ && unfetched_ > 0)
                reportUnfetched();
        }
        break;
    case tarvo::TypeRecord:
        link().setStatus(QString());
        if (isWrongRecord(m)) {
            refuseWrongRecord(m.recordNumber);
            break;
        }
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
        link().setStatus(QString());
        break;
    case tarvo::TypeShort:
        link().setStatus(QString());
        view().setValueText(formatPicture(m.shortValue * 1000, QStringLiteral("###0.00")) +
                            QStringLiteral(" mR/h"));
        break;
    default:
        break;
    }
}

std::optional<Reading> TarvoConversation::parseReading(const QByteArray& bytes) const {
    return tarvo::parseReading(bytes, probeCode_, clock().now());
}

void TarvoConversation::afterFrameError() {
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
        link().setStatus(QStringLiteral("Data downloaded succesfully"));
        return;
    }
    // Damaged again and again: stop asking, keep what came, and let "Get
    // Data" go on from here.
    view().debugLine(QStringLiteral("Download stopped after %1 damaged replies in a row, %2 of %3 "
                                    "received")
                         .arg(state().errorCount)
                         .arg(records(received_))
                         .arg(recordCount_));
    link().setStatus(QStringLiteral("Download was interrupted , press 'Get Data'"));
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
    link().send(tarvo::startDownloadFrame());
    // An instrument that does not answer must not leave us downloading.
    link().armResponseTimeout();
}

void TarvoConversation::sendEndOfDownload() {
    awaiting_ = Awaiting::End;
    link().send(tarvo::buildTarvoFrame(tarvo::endDownloadPayload()));
    link().armResponseTimeout();
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

void TarvoConversation::refuseWrongRecord(int number) {
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
    link().later([v, text] { v->information(text, QStringLiteral("Get Data")); });
}

void TarvoConversation::sendTime() {
    link().send(tarvo::buildTarvoFrame(tarvo::setClockPayload(clock().now())));
}

void TarvoConversation::requestRecord(int k) {
    awaiting_ = Awaiting::Record;
    recordRequested_ = true;
    requested_ = k;
    link().send(tarvo::buildTarvoFrame(recordRequest(k)));
    link().armResponseTimeout();
}

Family tarvoFamily() {
    Family f;
    f.id = Tarvo5;
    f.caption = QStringLiteral("Tarvo-5");
    f.simulatorName = QStringLiteral("tarvo5");
    f.frameRules = tarvo::Framing;
    f.commands = {.download = true, .clock = true, .interval = true};
    f.makeConversation = &makeConversationOf<TarvoConversation>;
    return f;
}

} // namespace zel
