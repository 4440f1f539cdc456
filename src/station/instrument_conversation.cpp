#include "station/instrument_conversation.h"

#include "common/text.h"
#include "data/measurement_list.h"
#include "data/settings.h"
#include "station/clock.h"

namespace zel {

bool InstrumentConversation::sendLogged(const QByteArray& bytes, const QString& logText) {
    const bool sent = link_.send(bytes);
    if (view().showAll())
        view().debugLine(QStringLiteral("Send ") +
                         (logText.isNull() ? cnvStrToHex(int(bytes.size()), bytes) : logText));
    return sent;
}

int pollMilliseconds(double seconds) {
    return seconds > 0 ? std::max(1, int(roundHalfEven(seconds * 1000))) : 1;
}

void InstrumentConversation::enterStartupState() {
    state().onlineIdle = true;
}

void InstrumentConversation::onResponseTimeout() {
    link_.setStatus(QStringLiteral("Instrument not responding"));
}

Readouts InstrumentConversation::readouts(const Reading& r) const {
    // The dose read-out carries the dose unit: the rate unit without its
    // "/h". A unit of one or two characters leaves nothing after the dose.
    return {valueText(r) + QLatin1Char(' ') + r.unit,
            shortestText(dose_) + QLatin1Char(' ') +
                r.unit.left(std::max<qsizetype>(0, r.unit.size() - 2))};
}

} // namespace zel
