#include "station/tarvo_conversation.h"

#include "common/text.h"
#include "protocol/tarvo.h"
#include "station/station.h"

namespace zel {

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
    if (nextRecord_ < 1)
        station().setStatus(QStringLiteral("Instrument not responding"));
    else
        station().setStatus(QStringLiteral("Download was interrupted , press 'Get Data'"));
}

CheckedFrame TarvoConversation::checkFrame(const QByteArray& frame) {
    station().replyTimer.stop();
    // Any frame that arrived answers the pending request, a damaged one too:
    // the damage is counted as an error, not as a missing reply.
    station().responseTimeout.stop();
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
        s.setStatus(QStringLiteral("Time Recieved"));
        break;
    case tarvo::TypeRecordCount:
        recordCount_ = m.recordCount;
        nextRecord_ = recordCount_ - 1;
        if (recordCount_ > 0) {
            requestRecord(nextRecord_);
        } else {
            state().downloading = false;
            s.setStatus(downloadFinished_ ? QStringLiteral("Data downloaded succesfully")
                                          : QStringLiteral("No data in instrument"));
        }
        break;
    case tarvo::TypeRecord:
        lastType_ = tarvo::TypeOnline;
        s.setStatus(QString());
        nextRecord_ = m.recordNumber - 1;
        if (nextRecord_ >= 0) {
            downloadFinished_ = false;
            requestRecord(nextRecord_);
        } else {
            downloadFinished_ = true;
            recordRequested_ = false;
            s.send(tarvo::buildTarvoFrame(tarvo::endDownloadPayload()));
            s.responseTimeout.start(500);
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

std::optional<MeasurementRecord> TarvoConversation::parseReading(const QByteArray& bytes) {
    return tarvo::parseReading(bytes, lastType_, probeCode_, clock().now());
}

void TarvoConversation::afterFrameError(int16_t result) {
    // A damaged record during a download is asked for again by its own
    // request; the instrument never hears another family's bytes. The count
    // reply also arrives here (it is no reading) and has asked already.
    if (result == Result::BadChecksum && state().downloading && recordRequested_ &&
        state().errorCount <= 3)
        requestRecord(nextRecord_);
}

void TarvoConversation::startDownload() {
    if (nextRecord_ > 0) {
        requestRecord(nextRecord_);
    } else {
        downloadFinished_ = false;
        recordRequested_ = false;
        station().send(tarvo::startDownloadFrame());
    }
}

void TarvoConversation::sendTime() {
    station().send(tarvo::buildTarvoFrame(tarvo::setClockPayload(clock().now())));
}

void TarvoConversation::requestRecord(int k) {
    recordRequested_ = true;
    station().send(tarvo::buildTarvoFrame(tarvo::requestRecordPayload(uint8_t(k))));
    station().responseTimeout.start(500);
}

} // namespace zel
