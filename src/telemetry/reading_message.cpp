#include "telemetry/reading_message.h"

#include "common/datetime.h"
#include "common/text.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>

namespace zel {

QString alarmStateText(int16_t state, bool lostContact) {
    switch (state) {
    case 0:
        return QStringLiteral("normal");
    case 1:
        return QStringLiteral("high1");
    case 2:
        return QStringLiteral("high2");
    default:
        return lostContact ? QStringLiteral("lost-contact") : QStringLiteral("fault");
    }
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

QByteArray readingJson(const Reading& r, int16_t alarmState, const MessageFields& fields,
                       const QDateTime& received, quint64 seq, const QString& run) {
    QJsonObject o;
    o.insert(QStringLiteral("seq"), double(seq));
    if (!run.isEmpty())
        o.insert(QStringLiteral("run"), run);
    const std::optional<QDateTime> taken = r.localMoment();
    o.insert(QStringLiteral("time"), isoWithOffset(taken ? *taken : received));
    o.insert(QStringLiteral("received"), isoWithOffset(received));
    o.insert(QStringLiteral("value"), std::isfinite(r.value) ? QJsonValue(r.value) : QJsonValue());
    const QString units = r.unit.trimmed();
    if (fields.details) {
        o.insert(QStringLiteral("units"), units);
        o.insert(QStringLiteral("status"), r.status.trimmed());
        o.insert(QStringLiteral("detector"), r.detector.trimmed());
        o.insert(QStringLiteral("instrument"), r.instrumentId.trimmed());
    } else {
        o.insert(QStringLiteral("units"), units.isEmpty() ? QJsonValue() : QJsonValue(units));
    }
    for (const Quantity& q : r.extras)
        o.insert(q.name, std::isfinite(q.number) ? QJsonValue(q.number) : QJsonValue());
    o.insert(QStringLiteral("alarm"), alarmStateText(alarmState));
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QByteArray alarmJson(int16_t alarmState, bool lostContact, const QDateTime& when) {
    QJsonObject o;
    o.insert(QStringLiteral("alarm"), alarmStateText(alarmState, lostContact));
    o.insert(QStringLiteral("level"), int(alarmState));
    o.insert(QStringLiteral("time"), isoWithOffset(when));
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

} // namespace zel
