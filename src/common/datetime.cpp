#include "common/datetime.h"

#include <QRegularExpression>
#include <QStringList>
#include <array>
#include <cmath>
#include <optional>
#include <type_traits>
#include <vector>

namespace zel {

namespace {

QLocale& storedLocale() {
    static QLocale locale = QLocale::system();
    return locale;
}

// Counts the changes of the date locale, so that what was learned about
// the old one is learned again.
unsigned& localeGeneration() {
    static unsigned generation = 0;
    return generation;
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

// ---------------------------------------------------------------- own form
//
// The general parser tries many forms and costs tens of microseconds; the
// working file holds ten thousand texts of one form, the one this program
// writes, and the reading intake writes and reads one per reading. When the
// locale's short date is all numbers ("M/d/yyyy", "dd.MM.yyyy",
// "yyyy. MM. dd."), that form is written and read here by hand.

struct DatePart {
    enum Kind { Day, Month, Year, Text } kind = Text;
    bool twoDigits = false; // "dd", "MM": always two digits
    QString text;           // the literal of a Text part
    QByteArray utf8;        // the same as UTF-8
};

struct OwnForm {
    unsigned generation = ~0u;
    bool numeric = false;
    std::vector<DatePart> parts;
    QString format;
    bool dayFirst = false;
};

void addText(std::vector<DatePart>& parts, QChar c) {
    if (parts.empty() || parts.back().kind != DatePart::Text)
        parts.push_back(DatePart{});
    parts.back().text += c;
}

// Splits a date format into numbers and literal texts; false when it holds
// anything else (month names, week days).
bool splitFormat(const QString& format, std::vector<DatePart>& parts) {
    const qsizetype n = format.size();
    for (qsizetype i = 0; i < n;) {
        const QChar c = format[i];
        if (c == u'\'') {
            // Quoted literal; two quotes stand for one.
            ++i;
            if (i < n && format[i] == u'\'') {
                addText(parts, u'\'');
                ++i;
                continue;
            }
            while (i < n) {
                if (format[i] == u'\'') {
                    if (i + 1 < n && format[i + 1] == u'\'') {
                        addText(parts, u'\'');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                addText(parts, format[i++]);
            }
            continue;
        }
        if (!c.isLetter()) {
            addText(parts, c);
            ++i;
            continue;
        }
        qsizetype run = 1;
        while (i + run < n && format[i + run] == c)
            ++run;
        i += run;
        DatePart part;
        if (c == u'd' && run <= 2)
            part.kind = DatePart::Day;
        else if (c == u'M' && run <= 2)
            part.kind = DatePart::Month;
        else if (c == u'y' && run == 4)
            part.kind = DatePart::Year;
        else
            return false;
        part.twoDigits = run == 2;
        parts.push_back(part);
    }
    int days = 0, months = 0, years = 0;
    for (DatePart& p : parts) {
        days += p.kind == DatePart::Day;
        months += p.kind == DatePart::Month;
        years += p.kind == DatePart::Year;
        if (p.kind == DatePart::Text) {
            // A digit or blank inside a literal would make the numbers
            // around it ambiguous.
            for (QChar c : std::as_const(p.text))
                if (c.isDigit() || c.isSpace())
                    if (c != u' ')
                        return false;
            p.utf8 = p.text.toUtf8();
        }
    }
    return days == 1 && months == 1 && years == 1;
}

const OwnForm& ownForm() {
    static thread_local OwnForm form;
    if (form.generation != localeGeneration()) {
        const QLocale locale = dateLocale();
        form = OwnForm{};
        form.generation = localeGeneration();
        form.format = fourDigitYearFormat(locale);
        form.dayFirst = dayFirst(form.format);
        // Locales that write other digits go the general way.
        form.numeric =
            locale.zeroDigit() == QStringLiteral("0") && splitFormat(form.format, form.parts);
        if (!form.numeric)
            form.parts.clear();
    }
    return form;
}

void appendNumber(QString& out, int value, bool twoDigits) {
    if (value >= 10 || twoDigits)
        out += QChar(u'0' + (value / 10) % 10);
    out += QChar(u'0' + value % 10);
}

// The own form of `date`, or a null string when it has none.
QString ownDateText(const QDate& date) {
    const OwnForm& form = ownForm();
    if (!form.numeric || date.year() < 1000 || date.year() > 9999)
        return {};
    QString out;
    out.reserve(20);
    for (const DatePart& p : form.parts) {
        switch (p.kind) {
        case DatePart::Day:
            appendNumber(out, date.day(), p.twoDigits);
            break;
        case DatePart::Month:
            appendNumber(out, date.month(), p.twoDigits);
            break;
        case DatePart::Year:
            appendNumber(out, date.year() / 100, true);
            appendNumber(out, date.year() % 100, true);
            break;
        case DatePart::Text:
            out += p.text;
            break;
        }
    }
    return out;
}

template <typename Char> int digitAt(const Char* p, qsizetype n, qsizetype i) {
    return i < n && p[i] >= '0' && p[i] <= '9' ? int(p[i] - '0') : -1;
}

struct Fields {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// Reads the own form followed by one space and "H:mm:ss" or "HH:mm:ss",
// blanks around it allowed. Char is char16_t (QString) or char (UTF-8).
template <typename Char> bool readOwnForm(const Char* p, qsizetype n, Fields& f) {
    const OwnForm& form = ownForm();
    if (!form.numeric)
        return false;
    qsizetype i = 0;
    while (i < n && p[i] == ' ')
        ++i;
    while (n > i && p[n - 1] == ' ')
        --n;
    for (const DatePart& part : form.parts) {
        if (part.kind == DatePart::Text) {
            const qsizetype len = sizeof(Char) == 1 ? part.utf8.size() : part.text.size();
            if (n - i < len)
                return false;
            for (qsizetype k = 0; k < len; ++k) {
                const int want = sizeof(Char) == 1 ? uint8_t(part.utf8[k]) : part.text[k].unicode();
                if (int(std::make_unsigned_t<Char>(p[i + k])) != want)
                    return false;
            }
            i += len;
            continue;
        }
        const int a = digitAt(p, n, i);
        if (a < 0)
            return false;
        int value = a;
        ++i;
        const int digits = part.kind == DatePart::Year ? 4 : 2;
        const int least = part.kind == DatePart::Year || part.twoDigits ? digits : 1;
        int count = 1;
        while (count < digits) {
            const int b = digitAt(p, n, i);
            if (b < 0)
                break;
            value = value * 10 + b;
            ++i;
            ++count;
        }
        if (count < least || digitAt(p, n, i) >= 0)
            return false;
        (part.kind == DatePart::Day     ? f.day
         : part.kind == DatePart::Month ? f.month
                                        : f.year) = value;
    }
    // One space, then the time.
    if (i >= n || p[i] != ' ')
        return false;
    ++i;
    const qsizetype rest = n - i;
    if (rest != 7 && rest != 8)
        return false;
    const Char* t = p + i;
    qsizetype k = 0;
    f.hour = digitAt(t, rest, k++);
    if (f.hour < 0)
        return false;
    if (rest == 8) {
        const int b = digitAt(t, rest, k++);
        if (b < 0)
            return false;
        f.hour = f.hour * 10 + b;
    }
    if (t[k] != ':' || t[k + 3] != ':')
        return false;
    const int m1 = digitAt(t, rest, k + 1), m2 = digitAt(t, rest, k + 2);
    const int s1 = digitAt(t, rest, k + 4), s2 = digitAt(t, rest, k + 5);
    if (m1 < 0 || m2 < 0 || s1 < 0 || s2 < 0)
        return false;
    f.minute = m1 * 10 + m2;
    f.second = s1 * 10 + s2;
    return f.hour < 24 && f.minute < 60 && f.second < 60 && QDate::isValid(f.year, f.month, f.day);
}

// ---------------------------------------------------------------- general forms

// Two-digit years: 30 to 99 are 1930 to 1999, 00 to 29 are 2000 to 2029.
int widenYear(int year, qsizetype digits) {
    if (digits != 2)
        return year;
    return year < 30 ? 2000 + year : 1900 + year;
}

// An all-digit word of 1 to 4 digits, or -1.
int wordNumber(QStringView word) {
    if (word.isEmpty() || word.size() > 4)
        return -1;
    int value = 0;
    for (QChar c : word) {
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + (c.unicode() - '0');
    }
    return value;
}

// Three numbers with one separator ("/", "." or "-"): year first when it
// has four digits, otherwise day and month in the locale's order (day first
// for "."), the other order when that is no date. The year has two or four
// digits.
QDate numericDate(QStringView text, bool localeDayFirst) {
    QChar sep;
    for (QChar c : text) {
        if (c == u'/' || c == u'.' || c == u'-') {
            sep = c;
            break;
        }
    }
    if (sep.isNull())
        return {};
    const QList<QStringView> parts = text.split(sep);
    if (parts.size() != 3)
        return {};
    int n[3];
    for (int i = 0; i < 3; ++i) {
        n[i] = wordNumber(parts[i]);
        if (n[i] < 0)
            return {};
    }
    if (parts[0].size() == 4) {
        if (parts[1].size() > 2 || parts[2].size() > 2)
            return {};
        return QDate(n[0], n[1], n[2]);
    }
    if (parts[0].size() > 2 || parts[1].size() > 2 ||
        (parts[2].size() != 2 && parts[2].size() != 4))
        return {};
    const int year = widenYear(n[2], parts[2].size());
    const bool first = sep == u'.' || localeDayFirst;
    QDate date = first ? QDate(year, n[1], n[0]) : QDate(year, n[0], n[1]);
    if (!date.isValid() && sep != u'.')
        date = first ? QDate(year, n[0], n[1]) : QDate(year, n[1], n[0]);
    return date;
}

// 1 .. 12 for an English month name or abbreviation ("Mar", "march") or one
// of the locale's own, else 0.
int monthNumber(QStringView word, const QLocale& locale) {
    static const std::array<const char*, 12> english = {
        "January", "February", "March",     "April",   "May",      "June",
        "July",    "August",   "September", "October", "November", "December"};
    if (word.endsWith(u'.'))
        word.chop(1);
    if (word.size() < 3)
        return 0;
    for (int m = 1; m <= 12; ++m) {
        const QString full = QString::fromLatin1(english[size_t(m - 1)]);
        if (word.compare(full, Qt::CaseInsensitive) == 0 ||
            word.compare(QStringView(full).left(3), Qt::CaseInsensitive) == 0)
            return m;
        for (QLocale::FormatType type : {QLocale::ShortFormat, QLocale::LongFormat})
            if (word.compare(locale.monthName(m, type), Qt::CaseInsensitive) == 0 ||
                word.compare(locale.standaloneMonthName(m, type), Qt::CaseInsensitive) == 0)
                return m;
    }
    return 0;
}

// "7 Mar 2024", "7-Mar-24", "Mar 7, 2024": a month name between or before
// two numbers, the year with two or four digits.
QDate namedMonthDate(QStringView text, const QLocale& locale) {
    QList<QStringView> words;
    qsizetype start = -1;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        const bool sep = i == text.size() || text[i] == u' ' || text[i] == u'-' || text[i] == u',';
        if (sep) {
            if (start >= 0)
                words << text.mid(start, i - start);
            start = -1;
        } else if (start < 0) {
            start = i;
        }
    }
    if (words.size() != 3)
        return {};
    int day = -1, month = 0;
    if ((month = monthNumber(words[1], locale)) > 0)
        day = wordNumber(words[0]);
    else if ((month = monthNumber(words[0], locale)) > 0)
        day = wordNumber(words[1]);
    const int year = wordNumber(words[2]);
    if (month == 0 || day < 0 || year < 0 || (words[2].size() != 2 && words[2].size() != 4))
        return {};
    return QDate(widenYear(year, words[2].size()), month, day);
}

QDate parseDate(const QString& text, const QLocale& locale) {
    if (text.isEmpty())
        return {};
    const OwnForm& form = ownForm();
    QDate date = locale.toDate(text, form.format);
    if (date.isValid())
        return date;
    date = numericDate(text, form.dayFirst);
    if (date.isValid())
        return date;
    return namedMonthDate(text, locale);
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
    // Readings polled faster than once a second carry their milliseconds.
    return QTime::fromString(text, QStringLiteral("H:mm:ss:zzz"));
}

bool isAmPm(const QString& token, const QLocale& locale) {
    return token.compare(QStringLiteral("AM"), Qt::CaseInsensitive) == 0 ||
           token.compare(QStringLiteral("PM"), Qt::CaseInsensitive) == 0 ||
           token.compare(locale.amText(), Qt::CaseInsensitive) == 0 ||
           token.compare(locale.pmText(), Qt::CaseInsensitive) == 0;
}

// A date and a clock time as a text names them, before any time zone.
struct WallTime {
    QDate date;
    QTime time;
};

std::optional<WallTime> wall(const QDate& date, const QTime& time) {
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return WallTime{date, time};
}

// "H:mm:ss" or "HH:mm:ss" and nothing else.
bool readClock(QStringView t, int& h, int& m, int& s) {
    const qsizetype n = t.size();
    if (n != 7 && n != 8)
        return false;
    Fields f;
    const char16_t* p = reinterpret_cast<const char16_t*>(t.utf16());
    qsizetype k = 0;
    f.hour = digitAt(p, n, k++);
    if (f.hour < 0)
        return false;
    if (n == 8) {
        const int b = digitAt(p, n, k++);
        if (b < 0)
            return false;
        f.hour = f.hour * 10 + b;
    }
    if (p[k] != u':' || p[k + 3] != u':')
        return false;
    const int m1 = digitAt(p, n, k + 1), m2 = digitAt(p, n, k + 2);
    const int s1 = digitAt(p, n, k + 4), s2 = digitAt(p, n, k + 5);
    if (m1 < 0 || m2 < 0 || s1 < 0 || s2 < 0)
        return false;
    h = f.hour;
    m = m1 * 10 + m2;
    s = s1 * 10 + s2;
    return h < 24 && m < 60 && s < 60;
}

// Whole days from day 0 plus the time as the fraction of a day, away from
// zero before day 0. Pure calendar arithmetic: a wall time inside a
// spring-forward gap counts as written, and the repeated hour of autumn
// counts the same both times.
double wallDayCount(const QDate& date, int msecsOfDay) {
    const double day = double(kDayZero.daysTo(date));
    const double fraction = double(msecsOfDay) / kMsPerDay;
    return day < 0 ? day - fraction : day + fraction;
}

// The wall time of a moment: a local or UTC date-time is taken as it reads
// (UTC is how day counts come back, see fromDayCount); one with another zone
// or offset is first seen on this computer's clock.
WallTime wallOf(const QDateTime& moment) {
    const Qt::TimeSpec kind = moment.timeSpec();
    const QDateTime m = kind == Qt::LocalTime || kind == Qt::UTC ? moment : moment.toLocalTime();
    return {m.date(), m.time()};
}

} // namespace

QLocale dateLocale() {
    return storedLocale();
}

void setDateLocale(const QLocale& locale) {
    storedLocale() = locale;
    ++localeGeneration();
}

QString formatGeneralDateTime(const QDateTime& moment) {
    if (!moment.isValid())
        return {};
    const WallTime w = wallOf(moment);
    return formatGeneralDateTime(w.date, w.time);
}

QString formatGeneralDateTime(const QDate& date, const QTime& time) {
    if (!date.isValid() || !time.isValid())
        return {};
    QString text = formatShortDate(date);
    text.reserve(text.size() + 9);
    text += u' ';
    appendNumber(text, time.hour(), true);
    text += u':';
    appendNumber(text, time.minute(), true);
    text += u':';
    appendNumber(text, time.second(), true);
    return text;
}

std::optional<LoggedTime> loggedDateTime(int year, int month, int day, int hour, int minute) {
    if (year < 1930 || year > 2099 || !QDate::isValid(year, month, day) || hour < 0 || hour > 23 ||
        minute < 0 || minute > 59)
        return std::nullopt;
    return LoggedTime{QDate(year, month, day), QTime(hour, minute)};
}

QString invalidLoggedDateNote(int year, int month, int day, int hour, int minute) {
    return QStringLiteral("logged date %1/%2/%3 %4:%5 invalid")
        .arg(month)
        .arg(day)
        .arg(year)
        .arg(hour)
        .arg(minute, 2, 10, QLatin1Char('0'));
}

QString formatShortDate(const QDate& date) {
    if (!date.isValid())
        return {};
    QString own = ownDateText(date);
    if (!own.isNull())
        return own;
    return dateLocale().toString(date, ownForm().format);
}

static std::optional<WallTime> parseWall(const QString& input) {
    if (input.size() > kMaxDateTextLength + 16)
        return std::nullopt;
    Fields own;
    if (readOwnForm(reinterpret_cast<const char16_t*>(input.utf16()), input.size(), own))
        return wall(QDate(own.year, own.month, own.day), QTime(own.hour, own.minute, own.second));
    const QString text = input.trimmed();
    if (text.isEmpty() || text.size() > kMaxDateTextLength)
        return std::nullopt;
    const QLocale locale = dateLocale();

    // ISO with a 'T' between date and time.
    const qsizetype t = text.indexOf(u'T');
    if (t == 10) {
        const auto iso = wall(QDate::fromString(text.left(t), QStringLiteral("yyyy-MM-dd")),
                              parseTime(text.mid(t + 1)));
        if (iso)
            return iso;
    }

    // A date alone means midnight.
    const QDate alone = parseDate(text, locale);
    if (alone.isValid())
        return wall(alone, QTime(0, 0));

    // Otherwise the time is the last word, or the last two with AM/PM. The
    // date itself may hold blanks ("7 Mar 2024"). A time alone is that time
    // of day 0, as a time without a date always counted.
    QStringList words = text.split(u' ', Qt::SkipEmptyParts);
    int timeWords = 1;
    if (words.size() >= 2 && isAmPm(words.last(), locale))
        timeWords = 2;
    QStringList timeList = words.mid(words.size() - timeWords);
    if (timeWords == 2) {
        // Qt reads only "AM"/"PM"; the locale's own texts map to them.
        QString& marker = timeList.last();
        if (marker.compare(locale.pmText(), Qt::CaseInsensitive) == 0)
            marker = QStringLiteral("PM");
        else if (marker.compare(locale.amText(), Qt::CaseInsensitive) == 0)
            marker = QStringLiteral("AM");
    }
    const QTime time = parseTime(timeList.join(u' '));
    if (!time.isValid())
        return std::nullopt;
    if (words.size() == timeWords)
        return wall(kDayZero, time);
    // Rebuild the date part from the original text to keep its own spacing.
    QString dateText = text;
    for (int i = 0; i < timeWords; ++i) {
        const qsizetype space = dateText.lastIndexOf(u' ');
        dateText = dateText.left(space).trimmed();
    }
    return wall(parseDate(dateText, locale), time);
}

std::optional<QDateTime> parseGeneralDateTime(const QString& input) {
    const std::optional<WallTime> w = parseWall(input);
    if (!w)
        return std::nullopt;
    // A moment of this computer's clock: none exists inside a clock change's gap.
    QDateTime moment(w->date, w->time, Qt::LocalTime);
    if (!moment.isValid())
        return std::nullopt;
    return moment;
}

double toDayCount(const QDateTime& moment) {
    if (!moment.isValid())
        return -1;
    const WallTime w = wallOf(moment);
    return wallDayCount(w.date, w.time.msecsSinceStartOfDay());
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
    // UTC has no gaps and no repeated hours: every day count comes back as
    // the date and time it counts.
    return QDateTime(date, QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms)), Qt::UTC);
}

// ---------------------------------------------------------------- DayCounter

std::optional<double> DayCounter::countOf(const QDate& date, int h, int m, int s) {
    if (!date.isValid())
        return std::nullopt;
    return wallDayCount(date, (h * 3600 + m * 60 + s) * 1000);
}

std::optional<double> DayCounter::dayCount(QStringView text) {
    Fields f;
    if (text.size() <= kMaxDateTextLength + 16 &&
        readOwnForm(reinterpret_cast<const char16_t*>(text.utf16()), text.size(), f))
        return countOf(QDate(f.year, f.month, f.day), f.hour, f.minute, f.second);
    return general(text);
}

std::optional<double> DayCounter::dayCount(QByteArrayView utf8) {
    Fields f;
    if (utf8.size() <= kMaxDateTextLength + 16 && readOwnForm(utf8.data(), utf8.size(), f))
        return countOf(QDate(f.year, f.month, f.day), f.hour, f.minute, f.second);
    if (utf8.size() > 4 * (kMaxDateTextLength + 16))
        return std::nullopt; // too long to be a date in any encoding
    return general(QString::fromUtf8(utf8));
}

std::optional<double> DayCounter::general(QStringView field) {
    // Lines of one file share their date text and differ in the time: the
    // date of a text is learned once and reused while it repeats. The time
    // is read here when it is "H:mm:ss", or "h:mm:ss" with AM or PM as the
    // original writes it; any other form goes through the general parser
    // every time.
    const QStringView text = field.trimmed();
    int h = 0, m = 0, s = 0;
    QStringView dateText;
    bool clock = false;
    if (field.size() <= kMaxDateTextLength + 16 && text.size() <= kMaxDateTextLength) {
        const qsizetype space = text.lastIndexOf(u' ');
        if (space > 0 && readClock(text.mid(space + 1), h, m, s)) {
            clock = true;
            dateText = text.left(space).trimmed();
        } else if (space > 0) {
            const QStringView marker = text.mid(space + 1);
            const QStringView rest = text.left(space).trimmed();
            const qsizetype before = rest.lastIndexOf(u' ');
            const QLocale locale = dateLocale();
            const bool am = marker.compare(u"AM", Qt::CaseInsensitive) == 0 ||
                            marker.compare(locale.amText(), Qt::CaseInsensitive) == 0;
            const bool pm = marker.compare(u"PM", Qt::CaseInsensitive) == 0 ||
                            marker.compare(locale.pmText(), Qt::CaseInsensitive) == 0;
            if ((am || pm) && before > 0 && readClock(rest.mid(before + 1), h, m, s) && h >= 1 &&
                h <= 12) {
                clock = true;
                h = h % 12 + (pm ? 12 : 0);
                dateText = rest.left(before).trimmed();
            }
        }
    }
    // An ISO date with its 'T' takes another road in the parser.
    if (clock && textDate_.isValid() && textLocale_ == localeGeneration() &&
        dateText == dateText_ && !(dateText.size() > 10 && dateText[10] == u'T'))
        return countOf(textDate_, h, m, s);
    const std::optional<WallTime> full = parseWall(field.toString());
    if (!full)
        return std::nullopt;
    // Learn the date only when the parser kept the time as read here, so a
    // reused date gives the count the parser would.
    if (clock && full->time == QTime(h, m, s)) {
        dateText_ = dateText.toString();
        textDate_ = full->date;
        textLocale_ = localeGeneration();
    }
    return wallDayCount(full->date, full->time.msecsSinceStartOfDay());
}

} // namespace zel
