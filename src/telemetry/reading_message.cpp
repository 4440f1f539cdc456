#include "telemetry/reading_message.h"

#include "common/datetime.h"
#include "common/text.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>
#include <limits>

namespace zel {

QString alarmLevelName(AlarmLevel level) {
    switch (level) {
    case AlarmLevel::Normal:
        return QStringLiteral("normal");
    case AlarmLevel::High1:
        return QStringLiteral("high1");
    case AlarmLevel::High2:
        return QStringLiteral("high2");
    case AlarmLevel::Fault:
        return QStringLiteral("fault");
    case AlarmLevel::LostContact:
        return QStringLiteral("lost-contact");
    }
    return QStringLiteral("fault");
}

double filedValue(const Reading& r) {
    if (!r.error.isEmpty() || !std::isfinite(r.value))
        return std::numeric_limits<double>::quiet_NaN();
    bool ok = false;
    const double number = valueText(r).toDouble(&ok);
    return ok ? number : r.value;
}

namespace {

// A quantity as the file holds it: its number read back from its text.
QJsonValue quantityValue(const Quantity& q) {
    if (!std::isfinite(q.number))
        return QJsonValue();
    bool ok = false;
    const double number = shortestText(q.number).toDouble(&ok);
    return ok ? QJsonValue(number) : QJsonValue(q.number);
}

} // namespace

QDateTime readingMoment(const Reading& r, const QDateTime& received) {
    if (const std::optional<QDateTime> taken = r.localMoment())
        return *taken;
    if (!r.date.isValid() || !r.time.isValid())
        return received;
    // The wall time does not exist here: the clock jumped over it. The
    // offset before the jump is the one of the last wall time before it
    // that exists (a jump is never longer than a few hours).
    const QDateTime wall(r.date, r.time, Qt::UTC); // the wall time, as plain numbers
    for (int back = 15; back <= 24 * 60; back += 15) {
        const QDateTime earlier = wall.addSecs(-60 * back);
        const QDateTime local(earlier.date(), earlier.time());
        if (local.isValid() && local.date() == earlier.date() && local.time() == earlier.time())
            return QDateTime(r.date, r.time, Qt::OffsetFromUTC, local.offsetFromUtc());
    }
    return received;
}

QString isoWithOffset(const QDateTime& moment) {
    const QDateTime fixed = moment.toOffsetFromUtc(moment.offsetFromUtc());
    QString text = fixed.toString(Qt::ISODateWithMs);
    // Qt writes a zero offset as "Z"; "+00:00" reads the same everywhere and
    // keeps the field one shape.
    if (text.endsWith(QLatin1Char('Z')))
        text.replace(text.size() - 1, 1, QStringLiteral("+00:00"));
    return text;
}

QByteArray readingJson(const Reading& r, AlarmLevel level, const QDateTime& received, quint64 seq,
                       const QString& run) {
    QJsonObject o;
    o.insert(QStringLiteral("seq"), double(seq));
    if (!run.isEmpty())
        o.insert(QStringLiteral("run"), run);
    o.insert(QStringLiteral("time"), isoWithOffset(readingMoment(r, received)));
    o.insert(QStringLiteral("received"), isoWithOffset(received));
    const double value = filedValue(r);
    o.insert(QStringLiteral("value"), std::isfinite(value) ? QJsonValue(value) : QJsonValue());
    if (!r.error.isEmpty())
        o.insert(QStringLiteral("error"), r.error.trimmed());
    // Every reading names the same keys, whatever the family fills in.
    const QString units = r.unit.trimmed();
    o.insert(QStringLiteral("units"), units.isEmpty() ? QJsonValue() : QJsonValue(units));
    o.insert(QStringLiteral("status"), r.status.trimmed());
    o.insert(QStringLiteral("detector"), r.detector.trimmed());
    o.insert(QStringLiteral("instrument"), r.instrumentId.trimmed());
    for (const Quantity& q : r.extras)
        o.insert(q.name, quantityValue(q));
    o.insert(QStringLiteral("alarm"), alarmLevelName(level));
    o.insert(QStringLiteral("level"), int(level));
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QByteArray alarmJson(AlarmLevel level, const QDateTime& when) {
    QJsonObject o;
    o.insert(QStringLiteral("alarm"), alarmLevelName(level));
    o.insert(QStringLiteral("level"), int(level));
    o.insert(QStringLiteral("time"), isoWithOffset(when));
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QByteArray offlineAlarmJson(const QDateTime& when) {
    QJsonObject o;
    o.insert(QStringLiteral("alarm"), QStringLiteral("offline"));
    o.insert(QStringLiteral("time"), isoWithOffset(when));
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

} // namespace zel
