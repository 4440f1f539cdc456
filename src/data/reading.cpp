#include "data/reading.h"

#include "common/datetime.h"
#include "common/text.h"

#include <cmath>

namespace zel {

bool Quantity::operator==(const Quantity& other) const {
    const bool sameNumber =
        number == other.number || (std::isnan(number) && std::isnan(other.number));
    return name == other.name && text == other.text && sameNumber;
}

void Reading::setTaken(const QDateTime& moment) {
    // A local or UTC moment is taken as it reads; another zone is first put
    // on this computer's clock, as the date-time texts are.
    const Qt::TimeSpec kind = moment.timeSpec();
    const QDateTime wall = kind == Qt::LocalTime || kind == Qt::UTC ? moment : moment.toLocalTime();
    date = wall.date();
    time = wall.time();
}

std::optional<QDateTime> Reading::localMoment() const {
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    const QDateTime local(date, time);
    if (!local.isValid() || local.date() != date || local.time() != time)
        return std::nullopt;
    return local;
}

const Quantity* Reading::extra(QAnyStringView name) const {
    for (const Quantity& q : extras)
        if (QAnyStringView::compare(q.name, name) == 0)
            return &q;
    return nullptr;
}

QString valueText(const Reading& r) {
    return r.valuePicture.isEmpty() ? shortestText(r.value)
                                    : formatPicture(r.value, r.valuePicture);
}

QString timeText(const Reading& r) {
    switch (r.timeStyle) {
    case TimeStyle::WithMilliseconds:
        return formatGeneralDateTime(r.date, r.time) + QLatin1Char(':') +
               QStringLiteral("%1").arg(r.time.msec(), 3, 10, QLatin1Char('0'));
    case TimeStyle::SecondsOfDay:
        return shortestText(r.time.msecsSinceStartOfDay() / 1000.0);
    case TimeStyle::General:
    default:
        return formatGeneralDateTime(r.date, r.time);
    }
}

namespace {

QString singleSourceText(const Reading& r, QLatin1StringView s) {
    if (s == QLatin1String("id"))
        return r.instrumentId;
    if (s == QLatin1String("time"))
        return timeText(r);
    if (s == QLatin1String("value"))
        return valueText(r);
    if (s == QLatin1String("unit"))
        return r.unit;
    if (s == QLatin1String("status"))
        return r.status;
    if (s == QLatin1String("detector"))
        return r.detector;
    if (s == QLatin1String("over"))
        return r.overMark;
    const Quantity* q = r.extra(s);
    return q ? q->text : QString();
}

// "cesium|status": the first of the sources that has a text.
QString sourceText(const Reading& r, const char* source) {
    if (!source)
        return {};
    QLatin1StringView rest(source);
    while (true) {
        const qsizetype bar = rest.indexOf(QLatin1Char('|'));
        const QString text = singleSourceText(r, bar < 0 ? rest : rest.left(bar));
        if (bar < 0 || !text.isEmpty())
            return text;
        rest = rest.mid(bar + 1);
    }
}

} // namespace

MeasurementRecord recordOf(const Reading& r, const RecordLayout& layout) {
    MeasurementRecord out;
    QString* fields[RecordFields] = {&out.InstrumentId, &out.ReadingTime, &out.Value,   &out.Units,
                                     &out.Status,       &out.Detector,    &out.OverMark};
    for (int i = 0; i < RecordFields; ++i)
        *fields[i] = sourceText(r, layout.sources[size_t(i)]);
    out.AlarmCode = r.alarmCode;
    return out;
}

double shownNumber(double value, const QString& picture) {
    if (!std::isfinite(value) || picture.isEmpty())
        return value;
    return leadingNumber(formatPicture(value, picture));
}

} // namespace zel
