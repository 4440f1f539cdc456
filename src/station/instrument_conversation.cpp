#include "station/instrument_conversation.h"

#include "common/text.h"
#include "station/station.h"

namespace zel {

StationState& InstrumentConversation::state() {
    return station_.state_;
}

StationView& InstrumentConversation::view() {
    return station_.view();
}

const Clock& InstrumentConversation::clock() const {
    return station_.clock();
}

const Settings& InstrumentConversation::settings() const {
    return station_.settings_;
}

MeasurementList& InstrumentConversation::list() {
    return station_.list_;
}

bool InstrumentConversation::sendLogged(const QByteArray& bytes, const QString& logText) {
    const bool sent = station_.send(bytes);
    if (view().showAll())
        view().debugLine(QStringLiteral("Send ") +
                         (logText.isNull() ? cnvStrToHex(int(bytes.size()), bytes) : logText));
    return sent;
}

int pollMilliseconds(double seconds) {
    return seconds > 0 ? std::max(1, int(roundHalfEven(seconds * 1000))) : 1;
}

void InstrumentConversation::startIntervalPolling() {
    const Interval& interval = station_.interval();
    // Whole minutes, rounded half to even like every other whole number.
    state().minuteCountdown = toInt32(interval.Minutes);
    if (state().minuteCountdown > 0)
        station_.minuteTimer.start(60000);
    else
        station_.minuteTimer.stop();
    station_.pollTimer.start(pollMilliseconds(interval.Seconds));
}

void InstrumentConversation::stopIntervalPolling() {
    station_.pollTimer.stop();
    station_.minuteTimer.stop();
}

void InstrumentConversation::enterStartupState() {
    state().onlineIdle = true;
}

void InstrumentConversation::onResponseTimeout() {
    station_.setStatus(QStringLiteral("Instrument not responding"));
}

Readouts InstrumentConversation::readouts(const Reading& r) const {
    // The dose read-out carries the dose unit: the rate unit without its
    // "/h". A unit of one or two characters leaves nothing after the dose.
    return {valueText(r) + QLatin1Char(' ') + r.unit,
            shortestText(dose_) + QLatin1Char(' ') +
                r.unit.left(std::max<qsizetype>(0, r.unit.size() - 2))};
}

} // namespace zel
