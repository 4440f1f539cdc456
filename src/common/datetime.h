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
// four-digit year, one space, 24-hour time "HH:mm:ss".
QString formatGeneralDateTime(const QDateTime& moment);

// Short date text (used in file headers and the legend): the locale's short
// date with a four-digit year.
QString formatShortDate(const QDate& date);

// Reads back everything formatGeneralDateTime wrote, in the current date
// locale, plus ISO "yyyy-MM-dd HH:mm:ss", "yyyy-MM-ddTHH:mm:ss", a date
// alone (midnight), a time alone (that time on day 0, 1899-12-30), the
// common numeric forms with "/", "." or "-" and a two- or four-digit year
// (two digits mean 1930 to 2029), and dates with English month names
// ("7 Mar 2024", as the C locale writes them) in every locale. Returns
// nothing for text that is not a date.
std::optional<QDateTime> parseGeneralDateTime(const QString& text);

// Day counts with the time as fraction of a day (day 0 = 1899-12-30), as the
// graph stores keep them. Local date and clock time, no time-zone shifts. An
// invalid moment gives -1 (the stores' "missing"); a count that is not a
// finite number within years 100..9999 gives an invalid QDateTime.
double toDayCount(const QDateTime& moment);
QDateTime fromDayCount(double days);

// Reads date-time texts into day counts, with the same answers as
// toDayCount(parseGeneralDateTime(text)), but fast for a run of texts: the
// program's own form is read without building a date-time, and a date text
// that repeats is parsed once. It remembers the last dates it saw, so keep
// one for one file or one run; a change of the system's time zone during
// its life is not seen.
class DayCounter {
public:
    std::optional<double> dayCount(QStringView text);
    // UTF-8 text, as the data files hold it.
    std::optional<double> dayCount(QByteArrayView utf8);

private:
    std::optional<double> countOf(const QDate& date, int h, int m, int s);
    std::optional<double> general(QStringView text);

    // The last date of a moment, and whether its day has no clock change.
    QDate plainDate_;
    bool plain_ = false;
    // The last date text the general parser read, its date, and the date
    // locale it was read in.
    QString dateText_;
    QDate textDate_;
    unsigned textLocale_ = 0;
};

} // namespace zel
