#pragma once
// The one formatter and the one parser of date-time text. Reading times are
// stored as text in the data files and must read back in any locale.
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <optional>

namespace zel {

// Locale used for date texts. Defaults to the system locale; tests pin it.
QLocale dateLocale();
void setDateLocale(const QLocale& locale);

// General date-time text of a moment: the locale's short date with a
// four-digit year, one space, 24-hour time "HH:mm:ss".
QString formatGeneralDateTime(const QDateTime& moment);
// The same for a date and a wall-clock time as an instrument logged them,
// taken as they are (no time-zone lookup, which costs far more than the text).
QString formatGeneralDateTime(const QDate& date, const QTime& time);

// Short date text (used in file headers and the legend): the locale's short
// date with a four-digit year.
QString formatShortDate(const QDate& date);

// Reads back everything formatGeneralDateTime wrote, in the current date
// locale, plus ISO "yyyy-MM-dd HH:mm:ss", "yyyy-MM-ddTHH:mm:ss", a date
// alone, and the common US and European numeric forms. Returns nothing for
// text that is not a date.
std::optional<QDateTime> parseGeneralDateTime(const QString& text);

// Day counts with the time as fraction of a day (day 0 = 1899-12-30), as the
// graph stores keep them. Local date and clock time, no time-zone shifts. An
// invalid moment gives -1 (the stores' "missing"); a count that is not a
// finite number within years 100..9999 gives an invalid QDateTime.
double toDayCount(const QDateTime& moment);
QDateTime fromDayCount(double days);

} // namespace zel
