#include "common/local_zone.h"

#include <QTimer>
#include <QtGlobal>
#include <ctime>

namespace zel {

namespace {

// The colon form is the one Qt's QTimeZone knows to mean "the system's zone".
constexpr char PinnedZone[] = ":/etc/localtime";
bool pinned = false;

} // namespace

bool pinLocalTimeZone() {
    if (qEnvironmentVariableIsSet("TZ"))
        return false;
    qputenv("TZ", PinnedZone);
    tzset();
    pinned = true;
    return true;
}

void refreshLocalTimeZone() {
    if (!pinned)
        return;
    // Without TZ the library compares /etc/localtime with what it read and
    // reads it again if it changed; putting the same TZ back afterwards keeps
    // what it read, since the name it remembers is that same file's.
    qunsetenv("TZ");
    tzset();
    qputenv("TZ", PinnedZone);
    tzset();
}

void watchLocalTimeZone(QObject* owner) {
    if (!pinned)
        return;
    auto* timer = new QTimer(owner);
    timer->setInterval(60 * 1000);
    timer->setTimerType(Qt::VeryCoarseTimer);
    QObject::connect(timer, &QTimer::timeout, timer, &refreshLocalTimeZone);
    timer->start();
}

} // namespace zel
