#include "telemetry/reading_message.h"

#include "common/datetime.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <cmath>

namespace zel {

namespace {

// A value text that does not start with a number has no number to send.
bool startsWithNumber(const QString& text) {
    static const QRegularExpression number(QStringLiteral("^\\s*[-+]?(\\d|\\.\\d)"));
    return number.match(text).hasMatch();
}

} // namespace

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

QByteArray readingJson(const MeasurementRecord& r, double value, int16_t alarmState, int16_t family,
                       const QDateTime& received, quint64 seq) {
    QJsonObject o;
    o.insert(QStringLiteral("seq"), double(seq));
    const std::optional<QDateTime> taken = parseGeneralDateTime(r.ReadingTime.trimmed());
    o.insert(QStringLiteral("time"), isoWithOffset(taken ? *taken : received));
    o.insert(QStringLiteral("received"), isoWithOffset(received));
    if (startsWithNumber(r.Value) && std::isfinite(value))
        o.insert(QStringLiteral("value"), value);
    else
        o.insert(QStringLiteral("value"), QJsonValue::Null);
    if (family == 3) {
        o.insert(QStringLiteral("americium"), r.InstrumentId.trimmed());
        o.insert(QStringLiteral("neutrons"), r.Units.trimmed());
        o.insert(QStringLiteral("cesium"), r.Status.trimmed());
        o.insert(QStringLiteral("cobalt"), r.Detector.trimmed());
        o.insert(QStringLiteral("cps"), r.OverMark.trimmed());
    } else {
        o.insert(QStringLiteral("units"), r.Units.trimmed());
        o.insert(QStringLiteral("status"), r.Status.trimmed());
        o.insert(QStringLiteral("detector"), r.Detector.trimmed());
        o.insert(QStringLiteral("instrument"), r.InstrumentId.trimmed());
    }
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
