#pragma once
// Name lookup and (without TLS) a plain TCP connect to the broker before the
// MQTT library's own connect: they tell an unknown host from a refused or a
// silent one, and a stop is never stuck behind the library's blocking
// connect.
#include "common/failure.h"

#include <QString>
#include <functional>

namespace zel {

struct BrokerAddress {
    QString host;
    int port = 1883;
    QString endpoint; // "host:port", as messages name the broker
};

// Looks the host up and, when `tcpConnect`, connects to it and hangs up.
// Waits up to `timeoutMs` for the connect; a wake-up on `wakeFd` is taken
// and `stopping` asked again. Stopped before an answer: a failure without
// a text.
Expected<void> probeBroker(const BrokerAddress& broker, bool tcpConnect, int wakeFd,
                           const std::function<bool()>& stopping, int timeoutMs);

// Takes the wake-ups counted on the event descriptor `wakeFd`.
void takeWakeUps(int wakeFd);

} // namespace zel
