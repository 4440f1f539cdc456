#include "telemetry/broker_probe.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zel {

namespace {

using SteadyClock = std::chrono::steady_clock;

// Connects a non-blocking socket to `a`: 0 or the error number.
int connectOnce(const addrinfo* a, int wakeFd, const std::function<bool()>& stopping,
                int timeoutMs) {
    const int s =
        ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
    if (s < 0)
        return errno;
    int err = 0;
    if (::connect(s, a->ai_addr, a->ai_addrlen) != 0) {
        err = errno;
        if (err == EINPROGRESS) {
            err = ETIMEDOUT;
            const auto until = SteadyClock::now() + std::chrono::milliseconds(timeoutMs);
            while (!stopping()) {
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    until - SteadyClock::now());
                if (left.count() <= 0)
                    break;
                pollfd fds[2] = {{s, POLLOUT, 0}, {wakeFd, POLLIN, 0}};
                if (::poll(fds, 2, int(left.count())) <= 0)
                    continue;
                if (fds[1].revents)
                    takeWakeUps(wakeFd);
                if (fds[0].revents) {
                    socklen_t len = sizeof err;
                    ::getsockopt(s, SOL_SOCKET, SO_ERROR, &err, &len);
                    break;
                }
            }
        }
    }
    ::close(s);
    return err;
}

} // namespace

void takeWakeUps(int wakeFd) {
    quint64 count = 0;
    [[maybe_unused]] const ssize_t n = ::read(wakeFd, &count, sizeof count);
}

Expected<void> probeBroker(const BrokerAddress& broker, bool tcpConnect, int wakeFd,
                           const std::function<bool()>& stopping, int timeoutMs) {
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const QByteArray host = broker.host.toUtf8();
    const QByteArray port = QByteArray::number(broker.port);
    const int gai = ::getaddrinfo(host.constData(), port.constData(), &hints, &found);
    if (gai != 0)
        return fail(Failure::Kind::NotFound,
                    QStringLiteral("MQTT: unknown broker host %1 (%2)")
                        .arg(broker.host, QString::fromLocal8Bit(gai_strerror(gai))));
    int err = tcpConnect ? ENOTCONN : 0;
    for (const addrinfo* a = found; a && err != 0 && !stopping(); a = a->ai_next)
        err = connectOnce(a, wakeFd, stopping, timeoutMs);
    ::freeaddrinfo(found);
    if (err == 0)
        return {};
    if (stopping())
        return fail(Failure::Kind::Other, QString());
    const QString why =
        err == ETIMEDOUT ? QStringLiteral("no answer") : QString::fromLocal8Bit(std::strerror(err));
    return fail(failureKindOf(err),
                QStringLiteral("MQTT: cannot reach broker %1: %2").arg(broker.endpoint, why));
}

} // namespace zel
