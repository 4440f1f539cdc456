#include "station/orvan_conversation.h"

#include "common/text.h"
#include "data/measurement_list.h"
#include "data/settings.h"
#include "protocol/orvan.h"
#include "station/clock.h"

namespace zel {

void OrvanConversation::sendCommand(const QByteArray& text) {
    link().resetReceiver();
    if (!link().portOpen())
        return;
    sendLogged(buildOrvanCommand(text), QString::fromLatin1(text));
    link().armReplyWait();
}

void OrvanConversation::testConnection() {
    sendCommand("G11");
}

void OrvanConversation::startOnline() {
    link().startIntervalPolling();
}

void OrvanConversation::stopOnline() {
    link().stopIntervalPolling();
}

void OrvanConversation::onPollTick() {
    // Whole minutes are counted down first, as for the Tarvo-5: without that
    // an interval of whole minutes would poll at every 1 ms tick.
    if (state().minuteCountdown >= 1) {
        link().holdPolling();
        return;
    }
    // A poll every second or faster restarts the reply timer before it can
    // fire: a reply still awaited now is a missed one.
    if (link().replyAwaited()) {
        link().stopReplyWait();
        link().countError();
        link().setStatus(QStringLiteral("Testing Connection ") +
                             QString::number(state().errorCount),
                         StatusKind::Progress);
        if (state().errorCount >= 3)
            reportNotResponding();
    }
    sendCommand("G19");
    state().minuteCountdown = toInt32(link().interval().Minutes);
    if (state().minuteCountdown > 0)
        link().countMinutesAgain();
}

void OrvanConversation::onReplyTimeout() {
    if (state().errorCount < 3)
        sendCommand("G11");
    else
        reportNotResponding();
}

void OrvanConversation::reportNotResponding() {
    link().setStatus(QStringLiteral("Instrument not responding"), StatusKind::Problem);
    link().connectionLost();
    link().stopReplyWait();
}

CheckedFrame OrvanConversation::checkFrame(const QByteArray& frame) {
    link().stopReplyWait();
    const OrvanReply reply = checkOrvanReply(frame);
    if (reply.result == Result::OrvanConnected) {
        // The answer to the test names the unit of the GM rate.
        units_ = reply.unitText;
        list().setHeading(3, QStringLiteral("GM ") + reply.unitText);
    }
    return {reply.result, frame};
}

std::optional<Reading> OrvanConversation::parseReading(const QByteArray& bytes) {
    const Interval& interval = link().interval();
    const OrvanTimeForm form =
        orvanTimeForm(interval.Minutes * 60 + interval.Seconds, settings().TimeFormat);
    std::optional<OrvanReading> reading =
        parseOrvanReading(bytes, orvan::gmFactor(units_), clock().now(), form);
    if (!reading)
        return std::nullopt;
    if (reading->countRate)
        dose_ = *reading->countRate;
    // The unit of the GM rate is the one the instrument named in its answer
    // to the test.
    reading->reading.unit = units_;
    return reading->reading;
}

Readouts OrvanConversation::readouts(const Reading& r) const {
    // The dose read-out shows the count rate.
    return {valueText(r) + QLatin1Char(' ') + r.unit, shortestText(dose_) + QStringLiteral(" cps")};
}

} // namespace zel
