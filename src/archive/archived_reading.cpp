#include "archive/archived_reading.h"

#include "common/datetime.h"
#include "data/base_unit.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QStringList>
#include <cmath>

namespace zel {

namespace {

constexpr qint64 MsPerDay = 86400000;
constexpr qint64 JulianDayOf1970 = 2440588;
const QChar ExtrasSeparator(0x1f);

qint64 wallMsOf(const QDate& date, const QTime& time) {
    return (date.toJulianDay() - JulianDayOf1970) * MsPerDay + time.msecsSinceStartOfDay();
}

// This computer's offset from UTC at a wall time, in seconds; nothing when
// the wall time does not exist here.
std::optional<int32_t> offsetAt(const QDate& date, const QTime& time) {
    const QDateTime local(date, time);
    if (!local.isValid() || local.date() != date || local.time() != time)
        return std::nullopt;
    return local.offsetFromUtc();
}

// The offset of a whole wall-clock hour, remembered: a file of readings
// asks for the same hour thousands of times, and each answer from the zone
// database costs more than the rest of the reading.
int32_t offsetOfHour(const QDate& date, int hour) {
    thread_local qint64 cachedKey = std::numeric_limits<qint64>::min();
    thread_local int32_t cachedOffset = 0;
    const qint64 key = date.toJulianDay() * 24 + hour;
    if (key == cachedKey)
        return cachedOffset;
    const QTime start(hour, 0);
    std::optional<int32_t> offset = offsetAt(date, start);
    if (!offset) {
        // An hour the clock skips: read it with the offset before the change.
        const QDateTime before = QDateTime(date, start, Qt::UTC).addSecs(-3 * 3600);
        offset = offsetAt(before.date(), before.time());
    }
    cachedKey = key;
    cachedOffset = offset.value_or(0);
    return cachedOffset;
}

bool looksLikeInvalidLoggedDate(const QString& status) {
    return status.contains(QLatin1String("logged date")) &&
           status.contains(QLatin1String("invalid"));
}

// "dd.MM.yyyy HH:mm:ss:zzz": the general form with milliseconds.
bool splitMilliseconds(const QString& text, QString* general, int* ms) {
    static const QRegularExpression withMs(QStringLiteral(R"(^(.*\d:\d\d):(\d{3})$)"));
    const QRegularExpressionMatch m = withMs.match(text);
    if (!m.hasMatch())
        return false;
    *general = m.captured(1);
    *ms = m.captured(2).toInt();
    return true;
}

double numberOfValueText(const QString& text) {
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    return ok ? v : std::numeric_limits<double>::quiet_NaN();
}

} // namespace

double ArchivedReading::baseValue() const {
    const std::optional<BaseUnit> base = baseUnit(unit);
    if (!base || !std::isfinite(value))
        return std::numeric_limits<double>::quiet_NaN();
    return value * base->factor;
}

QDate ArchivedReading::wallDate() const {
    const qint64 wall = instantMs + qint64(wallOffsetS) * 1000;
    return QDate::fromJulianDay(floorDivision(wall, MsPerDay) + JulianDayOf1970);
}

QTime ArchivedReading::wallTime() const {
    const qint64 wall = instantMs + qint64(wallOffsetS) * 1000;
    return QTime::fromMSecsSinceStartOfDay(int(wall - floorDivision(wall, MsPerDay) * MsPerDay));
}

bool ArchivedReading::sameReadingAs(const ArchivedReading& o) const {
    return instantMs == o.instantMs && wallOffsetS == o.wallOffsetS && timeStyle == o.timeStyle &&
           (family.isEmpty() || o.family.isEmpty() || family == o.family) &&
           instrumentId == o.instrumentId && valueText == o.valueText && unit == o.unit &&
           status == o.status && detector == o.detector && overMark == o.overMark &&
           extras == o.extras;
}

qint64 floorDivision(qint64 a, qint64 b) {
    const qint64 q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

void OccurrenceRanker::rank(ArchivedReading& r) {
    // More equal readings at one instant than this is no instrument's doing;
    // the rank is kept for this many.
    constexpr size_t Remembered = 1024;
    if (!run_.empty() && run_.front().instantMs != r.instantMs)
        run_.clear();
    uint16_t rank = 0;
    for (const ArchivedReading& earlier : run_)
        if (earlier.sameReadingAs(r))
            ++rank;
    r.occurrence = rank;
    if (run_.size() < Remembered)
        run_.push_back(r);
}

bool isOrvanColumnLine(const QByteArray& columnLine) {
    return columnLine.startsWith("Americium,Time,Gamma(");
}

QString orvanColumnUnit(const QByteArray& columnLine) {
    const QString line = QString::fromUtf8(columnLine);
    const qsizetype open = line.indexOf(QLatin1Char('('));
    const qsizetype close = line.indexOf(QLatin1String("),Neutrons"));
    return open >= 0 && close > open ? line.mid(open + 1, close - open - 1) : QString();
}

QByteArray orvanColumnLine(const QString& unit) {
    return "Americium,Time,Gamma(" + unit.toUtf8() + "),Neutrons,Cesium,Cobalt,CPS";
}

qint64 instantOfWallTime(const QDate& date, const QTime& time, int32_t* wallOffsetS) {
    const int32_t offset = offsetOfHour(date, time.hour());
    if (wallOffsetS)
        *wallOffsetS = offset;
    return wallMsOf(date, time) - qint64(offset) * 1000;
}

std::optional<ArchivedReading> archivedReading(const FiledLine& line) {
    const MeasurementRecord& rec = line.record;
    ArchivedReading r;
    QDate date;
    QTime time;
    r.timeStyle = line.timeStyle;
    if (line.wallDate && line.wallTime) {
        date = *line.wallDate;
        time = *line.wallTime;
    } else {
        QString general = rec.ReadingTime;
        int ms = 0;
        if (splitMilliseconds(rec.ReadingTime, &general, &ms))
            r.timeStyle = TimeStyle::WithMilliseconds;
        else
            r.timeStyle = TimeStyle::General;
        // One counter per thread: it remembers the last date text, which a
        // file repeats line after line.
        thread_local DayCounter counter;
        const std::optional<double> days = counter.dayCount(QStringView(general));
        if (!days)
            return std::nullopt;
        const QDateTime wall = fromDayCount(*days);
        if (!wall.isValid())
            return std::nullopt;
        date = wall.date();
        time = wall.time().addMSecs(ms);
    }
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    r.instantMs = instantOfWallTime(date, time, &r.wallOffsetS);
    r.family = line.family;
    r.valueText = rec.Value;
    r.value = numberOfValueText(rec.Value);
    if (isOrvanColumnLine(line.columnLine)) {
        r.unit = orvanColumnUnit(line.columnLine);
        r.extras =
            QStringList{rec.InstrumentId, rec.Units, rec.Status, rec.Detector, rec.OverMark}.join(
                ExtrasSeparator);
    } else {
        r.instrumentId = rec.InstrumentId;
        r.unit = rec.Units;
        r.status = rec.Status;
        r.detector = rec.Detector;
        r.overMark = rec.OverMark;
    }
    r.alarmLevel = line.alarmLevel;
    r.source = line.source;
    r.run = line.run;
    r.seq = line.seq;
    if (!std::isfinite(r.value))
        r.flags |= QualityNotANumber;
    if (line.alarmLevel == 3)
        r.flags |= QualityFault;
    if (!r.overMark.trimmed().isEmpty())
        r.flags |= QualityOverRange;
    if (looksLikeInvalidLoggedDate(r.status))
        r.flags |= QualityInvalidLoggedDate;
    return r;
}

std::optional<ArchivedReading> archivedReading(const FiledReading& filed) {
    FiledLine line;
    line.record = filed.record;
    line.columnLine = filed.columnLine;
    if (filed.reading.date.isValid() && filed.reading.time.isValid() &&
        filed.reading.timeStyle != TimeStyle::SecondsOfDay) {
        line.wallDate = filed.reading.date;
        // The file keeps whole seconds: a catch-up of the same line must
        // find the same instant, or the reading would be archived twice.
        const QTime t = filed.reading.time;
        line.wallTime = QTime(t.hour(), t.minute(), t.second());
        line.timeStyle = filed.reading.timeStyle;
    }
    line.family = filed.family;
    line.alarmLevel = filed.alarmLevel;
    line.source = filed.source;
    line.run = filed.run;
    line.seq = filed.seq;
    std::optional<ArchivedReading> r = archivedReading(line);
    if (r && filed.reading.alarmCode != 0 && filed.reading.alarmCode != 48)
        r->flags |= QualityFault;
    return r;
}

MeasurementRecord recordOf(const ArchivedReading& r) {
    Reading shown;
    shown.date = r.wallDate();
    shown.time = r.wallTime();
    shown.timeStyle = r.timeStyle;
    MeasurementRecord out;
    out.ReadingTime = timeText(shown);
    out.Value = r.valueText;
    if (!r.extras.isEmpty()) {
        const QStringList x = r.extras.split(ExtrasSeparator);
        out.InstrumentId = x.value(0);
        out.Units = x.value(1);
        out.Status = x.value(2);
        out.Detector = x.value(3);
        out.OverMark = x.value(4);
        return out;
    }
    out.InstrumentId = r.instrumentId;
    out.Units = r.unit;
    out.Status = r.status;
    out.Detector = r.detector;
    out.OverMark = r.overMark;
    return out;
}

QString eventKindText(ArchiveEventKind kind) {
    switch (kind) {
    case ArchiveEventKind::CollectionStarted:
        return QStringLiteral("collection started");
    case ArchiveEventKind::CollectionStopped:
        return QStringLiteral("collection stopped");
    case ArchiveEventKind::ContactLost:
        return QStringLiteral("lost contact");
    case ArchiveEventKind::ContactBack:
        return QStringLiteral("contact back");
    case ArchiveEventKind::PortLost:
        return QStringLiteral("port lost");
    case ArchiveEventKind::PortBack:
        return QStringLiteral("port back");
    case ArchiveEventKind::ProgramStarted:
        return QStringLiteral("program started");
    case ArchiveEventKind::ProgramStopped:
        return QStringLiteral("program stopped");
    case ArchiveEventKind::ProgramEndedUnclean:
        return QStringLiteral("program ended without stopping");
    case ArchiveEventKind::DiskFull:
        return QStringLiteral("disk full");
    case ArchiveEventKind::DiskBack:
        return QStringLiteral("disk space back");
    }
    return QStringLiteral("event %1").arg(int(kind));
}

} // namespace zel
