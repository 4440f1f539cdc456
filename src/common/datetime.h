#pragma once
// The one formatter and the one parser of date-time text. Reading times are
// stored as text in the data files and must read back in any locale.
#include <QByteArrayView>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringView>
#include <optional>

namespace zel {

// Locale used for date texts. Defaults to the system locale; tests pin it.
QLocale dateLocale();
void setDateLocale(const QLocale& locale);

// General date-time text of a moment: the locale's short date with a
// four-digit year, one space, 24-hour time "HH:mm:ss". A local or UTC
// date-time is written as it reads (day counts come back as UTC, see
// fromDayCount); other zones are first converted to this computer's clock.
QString formatGeneralDateTime(const QDateTime& moment);
// The same for a date and a wall-clock time as an instrument logged them,
// taken as they are (no time-zone lookup, which costs far more than the text).
QString formatGeneralDateTime(const QDate& date, const QTime& time);

// The date and wall-clock time an instrument logged with a record, or
// nothing when its fields name no moment within the years 1930 to 2099 (a
// clock that was never set logs zeros, an erased log 0xFF bytes). No zone
// is applied: a time in the hour a clock change skips is kept as logged.
struct LoggedTime {
    QDate date;
    QTime time;
};
std::optional<LoggedTime> loggedDateTime(int year, int month, int day, int hour, int minute);
// What the status column says of such fields, e.g.
// "logged date 0/0/2000 0:00 invalid", so they are never silently taken for
// another date.
QString invalidLoggedDateNote(int year, int month, int day, int hour, int minute);

// Short date text (used in file headers and the legend): the locale's short
// date with a four-digit year.
QString formatShortDate(const QDate& date);

// Reads back everything formatGeneralDateTime wrote, in the current date
// locale, plus ISO "yyyy-MM-dd HH:mm:ss", "yyyy-MM-ddTHH:mm:ss", a date
// alone (midnight), a time alone (that time on day 0, 1899-12-30), the
// common numeric forms with "/", "." or "-" and a two- or four-digit year
// (two digits mean 1930 to 2029), and dates with English month names
// ("7 Mar 2024", as the C locale writes them) in every locale. Returns
// nothing for text that is not a date. The result is a moment of this
// computer's clock, so a wall time that a clock change skips gives nothing
// here; DayCounter reads such a text all the same.
std::optional<QDateTime> parseGeneralDateTime(const QString& text);

// Day counts with the time as fraction of a day (day 0 = 1899-12-30), as the
// graph stores keep them. A day count names a date and a wall-clock time,
// never a moment in a time zone: the readings of the hour a spring-forward
// skips, and of the autumn hour that repeats, count as written.
// toDayCount takes a local or UTC date-time as it reads (other zones on this
// computer's clock); an invalid moment gives -1 (the stores' "missing").
// fromDayCount hands the date and time back as a UTC date-time, which no
// clock change can shift or drop; a count that is not a finite number within
// years 100..9999 gives an invalid QDateTime.
double toDayCount(const QDateTime& moment);
QDateTime fromDayCount(double days);

// Reads date-time texts into day counts, with the dates and times
// parseGeneralDateTime reads, but without any time zone (so also inside a
// clock change's gap), and fast for a run of texts: the program's own form is
// read without building a date-time, and a date text that repeats is parsed
// once. It remembers the last date text it saw, so keep one for one file or
// one run.
class DayCounter {
public:
    std::optional<double> dayCount(QStringView text);
    // UTF-8 text, as the data files hold it.
    std::optional<double> dayCount(QByteArrayView utf8);

private:
    std::optional<double> countOf(const QDate& date, int h, int m, int s);
    std::optional<double> general(QStringView text);

    // The last date text the general parser read, its date, and the date
    // locale it was read in.
    QString dateText_;
    QDate textDate_;
    unsigned textLocale_ = 0;
};

} // namespace zel
