#include "telemetry/reading_message.h"

#include "common/datetime.h"
#include "common/text.h"

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

// A quantity as a JSON number; null when its text holds none.
QJsonValue numberOrNull(const QString& text) {
    const double v = leadingNumber(text);
    if (!startsWithNumber(text) || !std::isfinite(v))
        return QJsonValue(QJsonValue::Null);
    return v;
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

QByteArray readingJson(const MeasurementRecord& r, double value, int16_t alarmState,
                       const MessageFields& fields, const QDateTime& received, quint64 seq,
                       const QString& run, const QString& instrumentUnits) {
    QJsonObject o;
    o.insert(QStringLiteral("seq"), double(seq));
    if (!run.isEmpty())
        o.insert(QStringLiteral("run"), run);
    const std::optional<QDateTime> taken = parseGeneralDateTime(r.ReadingTime.trimmed());
    o.insert(QStringLiteral("time"), isoWithOffset(taken ? *taken : received));
    o.insert(QStringLiteral("received"), isoWithOffset(received));
    if (startsWithNumber(r.Value) && std::isfinite(value))
        o.insert(QStringLiteral("value"), value);
    else
        o.insert(QStringLiteral("value"), QJsonValue::Null);
    // Time and value are sent above under their own names.
    const QString* texts[RecordFields] = {&r.InstrumentId, nullptr,     nullptr,    &r.Units,
                                          &r.Status,       &r.Detector, &r.OverMark};
    bool unitsSent = false;
    for (int i = 0; i < RecordFields; ++i) {
        const char* name = fields.names[size_t(i)];
        if (!name || !texts[i])
            continue;
        const QString key = QString::fromLatin1(name);
        unitsSent |= key == QLatin1String("units");
        if (fields.numbers)
            o.insert(key, numberOrNull(*texts[i]));
        else
            o.insert(key, texts[i]->trimmed());
    }
    if (!unitsSent) {
        // The unit is the instrument's own setting, not a field of the
        // reading.
        const QString units = instrumentUnits.trimmed();
        o.insert(QStringLiteral("units"), units.isEmpty() ? QJsonValue() : QJsonValue(units));
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
