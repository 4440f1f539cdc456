#include "station/orvan_conversation.h"

#include "common/text.h"
#include "data/measurement_list.h"
#include "data/settings.h"
#include "protocol/orvan.h"
#include "station/clock.h"
#include "station/families.h"

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

Verdict OrvanConversation::classify(const QByteArray& frame) const {
    return orvan::classify(frame);
}

void OrvanConversation::onFrame(const Verdict& verdict) {
    link().stopReplyWait();
    if (verdict.kind == FrameKind::Connected) {
        // The answer to the test names the unit of the GM rate.
        units_ = orvan::readReply(verdict.bytes).unitText;
        list().setHeading(3, QStringLiteral("GM ") + units_);
    }
}

std::optional<Reading> OrvanConversation::parseReading(const QByteArray& bytes) const {
    const Interval& interval = link().interval();
    const OrvanTimeForm form =
        orvanTimeForm(interval.Minutes * 60 + interval.Seconds, settings().TimeFormat);
    std::optional<Reading> reading =
        orvan::parseReading(bytes, orvan::gmFactor(units_), clock().now(), form);
    // The unit of the GM rate is the one the instrument named in its answer
    // to the test.
    if (reading)
        reading->unit = units_;
    return reading;
}

void OrvanConversation::noteReading(const QByteArray&, const Reading& reading) {
    // An error report carries no count rate: the read-out keeps the last.
    if (const std::optional<double> countRate = orvan::countRateOf(reading))
        dose_ = *countRate;
}

Readouts OrvanConversation::readouts(const Reading& r) const {
    // The dose read-out shows the count rate.
    return {valueText(r) + QLatin1Char(' ') + r.unit, shortestText(dose_) + QStringLiteral(" cps")};
}

Family orvanFamily() {
    // The Orvan's list and file carry its quantities: americium first, the
    // GM rate as the value, then neutrons, cesium and cobalt, and the count
    // rate in the over-mark's place, whose column it shows. Its messages
    // name each quantity too.
    Family f;
    f.id = Orvan;
    f.caption = QStringLiteral("Orvan");
    f.simulatorName = QStringLiteral("orvan");
    f.frameRules = orvan::Framing;
    f.commands = {.interval = true};
    f.list = {{"Americium", "Time", "CPS", "GM Rate", "Neutrons", "Cesium", "Cobalt"},
              {1335, 2265, 765, 1095, 735, 1365, 1335}};
    // An error report has no quantities; its status stands in the cesium's
    // place.
    f.record = {{orvan::AmericiumName, "time", "value", orvan::NeutronsName, "cesium|status",
                 orvan::CobaltName, orvan::CountRateName}};
    f.readouts = {"Americium", "Cesium", "Cobalt"};
    f.fileColumns = QStringLiteral("Americium,Time,Gamma(%1),Neutrons,Cesium,Cobalt,CPS");
    f.makeConversation = &makeConversationOf<OrvanConversation>;
    return f;
}

} // namespace zel
