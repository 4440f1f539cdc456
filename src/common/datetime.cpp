#include "common/datetime.h"

#include <QRegularExpression>
#include <QStringList>
#include <cmath>
#include <optional>

namespace zel {

namespace {

QLocale& storedLocale() {
    static QLocale locale = QLocale::system();
    return locale;
}

// A date text longer than this is not a date; rejecting it early keeps the
// parser fast on garbage lines.
constexpr qsizetype kMaxDateTextLength = 64;

// First day of the day count.
const QDate kDayZero(1899, 12, 30);
constexpr double kMsPerDay = 86400000.0;

// The locale's short date format, with a two-digit year widened to four so
// that a date text never loses its century.
QString fourDigitYearFormat(const QLocale& locale) {
    QString format = locale.dateFormat(QLocale::ShortFormat);
    if (!format.contains(QStringLiteral("yyyy"))) {
        static const QRegularExpression twoDigitYear(QStringLiteral("(?<!y)yy(?!y)"));
        format.replace(twoDigitYear, QStringLiteral("yyyy"));
    }
    return format;
}

bool dayFirst(const QString& format) {
    const qsizetype d = format.indexOf(u'd');
    const qsizetype m = format.indexOf(u'M');
    return d >= 0 && m >= 0 && d < m;
}

QDate parseDate(const QString& text, const QLocale& locale) {
    if (text.isEmpty())
        return {};
    const QString localFormat = fourDigitYearFormat(locale);
    QDate date = locale.toDate(text, localFormat);
    if (date.isValid())
        return date;
    QStringList formats{QStringLiteral("yyyy-M-d"), QStringLiteral("d.M.yyyy")};
    if (dayFirst(localFormat))
        formats << QStringLiteral("d/M/yyyy") << QStringLiteral("M/d/yyyy");
    else
        formats << QStringLiteral("M/d/yyyy") << QStringLiteral("d/M/yyyy");
    for (const QString& format : std::as_const(formats)) {
        date = QDate::fromString(text, format);
        if (date.isValid())
            return date;
    }
    return {};
}

QTime parseTime(const QString& text) {
    static const QStringList formats{QStringLiteral("H:mm:ss"),     QStringLiteral("H:mm"),
                                     QStringLiteral("h:mm:ss AP"),  QStringLiteral("h:mm AP"),
                                     QStringLiteral("H:mm:ss.zzz"), QStringLiteral("h:mm:ssAP"),
                                     QStringLiteral("h:mmAP")};
    for (const QString& format : formats) {
        const QTime time = QTime::fromString(text, format);
        if (time.isValid())
            return time;
    }
    return {};
}

bool isAmPm(const QString& token, const QLocale& locale) {
    return token.compare(QStringLiteral("AM"), Qt::CaseInsensitive) == 0 ||
           token.compare(QStringLiteral("PM"), Qt::CaseInsensitive) == 0 ||
           token.compare(locale.amText(), Qt::CaseInsensitive) == 0 ||
           token.compare(locale.pmText(), Qt::CaseInsensitive) == 0;
}

std::optional<QDateTime> combine(const QDate& date, const QTime& time) {
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    QDateTime moment(date, time, Qt::LocalTime);
    if (!moment.isValid())
        return std::nullopt;
    return moment;
}

} // namespace

QLocale dateLocale() {
    return storedLocale();
}

void setDateLocale(const QLocale& locale) {
    storedLocale() = locale;
}

QString formatGeneralDateTime(const QDateTime& moment) {
    if (!moment.isValid())
        return {};
    const QDateTime local = moment.timeSpec() == Qt::LocalTime ? moment : moment.toLocalTime();
    return formatGeneralDateTime(local.date(), local.time());
}

QString formatGeneralDateTime(const QDate& date, const QTime& time) {
    if (!date.isValid() || !time.isValid())
        return {};
    return formatShortDate(date) + u' ' + time.toString(QStringLiteral("HH:mm:ss"));
}

QString formatShortDate(const QDate& date) {
    if (!date.isValid())
        return {};
    const QLocale locale = dateLocale();
    return locale.toString(date, fourDigitYearFormat(locale));
}

std::optional<QDateTime> parseGeneralDateTime(const QString& input) {
    if (input.size() > kMaxDateTextLength + 16)
        return std::nullopt;
    const QString text = input.trimmed();
    if (text.isEmpty() || text.size() > kMaxDateTextLength)
        return std::nullopt;
    const QLocale locale = dateLocale();

    // ISO with a 'T' between date and time.
    const qsizetype t = text.indexOf(u'T');
    if (t == 10) {
        const auto iso = combine(QDate::fromString(text.left(t), QStringLiteral("yyyy-MM-dd")),
                                 parseTime(text.mid(t + 1)));
        if (iso)
            return iso;
    }

    // A date alone means midnight.
    const QDate alone = parseDate(text, locale);
    if (alone.isValid())
        return combine(alone, QTime(0, 0));

    // Otherwise the time is the last word, or the last two with AM/PM. The
    // locale's date itself may hold blanks ("7 Mar 2024").
    QStringList words = text.split(u' ', Qt::SkipEmptyParts);
    if (words.size() < 2)
        return std::nullopt;
    int timeWords = 1;
    if (words.size() >= 3 && isAmPm(words.last(), locale))
        timeWords = 2;
    QStringList timeList = words.mid(words.size() - timeWords);
    QString timeText = timeList.join(u' ');
    if (timeWords == 2) {
        // Qt reads only "AM"/"PM"; the locale's own texts map to them.
        QString& marker = timeList.last();
        if (marker.compare(locale.pmText(), Qt::CaseInsensitive) == 0)
            marker = QStringLiteral("PM");
        else if (marker.compare(locale.amText(), Qt::CaseInsensitive) == 0)
            marker = QStringLiteral("AM");
        timeText = timeList.join(u' ');
    }
    const QTime time = parseTime(timeText);
    if (!time.isValid())
        return std::nullopt;
    // Rebuild the date part from the original text to keep its own spacing.
    QString dateText = text;
    for (int i = 0; i < timeWords; ++i) {
        const qsizetype space = dateText.lastIndexOf(u' ');
        dateText = dateText.left(space).trimmed();
    }
    return combine(parseDate(dateText, locale), time);
}

double toDayCount(const QDateTime& moment) {
    if (!moment.isValid())
        return -1;
    const QDateTime local = moment.timeSpec() == Qt::LocalTime ? moment : moment.toLocalTime();
    const double day = static_cast<double>(kDayZero.daysTo(local.date()));
    const double fraction = local.time().msecsSinceStartOfDay() / kMsPerDay;
    // Before day 0 the count is negative but the time still adds its
    // fraction away from zero, as the automation dates do.
    return day < 0 ? day - fraction : day + fraction;
}

QDateTime fromDayCount(double days) {
    // Beyond year 9999 or NaN: not a moment.
    if (!std::isfinite(days) || days < -657434.0 || days >= 2958466.0)
        return {};
    double whole = std::trunc(days);
    double fraction = std::fabs(days - whole);
    qint64 ms = std::llround(fraction * kMsPerDay);
    if (ms >= static_cast<qint64>(kMsPerDay)) {
        ms -= static_cast<qint64>(kMsPerDay);
        whole += 1; // rounded up to the next midnight
    }
    const QDate date = kDayZero.addDays(static_cast<qint64>(whole));
    return QDateTime(date, QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms)), Qt::LocalTime);
}

} // namespace zel
