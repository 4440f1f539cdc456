#pragma once
// Direct writers of a reading's value and time texts. Every reading passes
// through them, and the general formatters (formatPicture, shortestText,
// formatShortDate) build their texts from several temporary arrays. These
// write the same characters into a fixed buffer, for the pictures and
// magnitudes readings have; anything else is left to the general formatter
// (the writers then say false).
#include <QDate>
#include <QLocale>
#include <QString>
#include <QStringView>
#include <cstdint>

namespace zel {

// The characters of a number text, ASCII only.
struct NumberChars {
    char text[80];
    int size = 0;

    QString toString() const { return QString::fromLatin1(text, size); }
};

// `value` as formatPicture(value, picture) writes it, for pictures of digit
// places and at most one point ("0.00", "##0.00", "###0.00", "0", "##00")
// and a finite value below 1e21. False for anything else.
bool writeFixedPicture(double value, QStringView picture, NumberChars& out);

// `value` as shortestText(value) writes it; false for a value that is not
// finite.
bool writeShortest(double value, NumberChars& out);

// The short date texts of the days readings fall on: the date changes once
// a day, so its text is made once per day (and again when the date locale
// changes).
class DateTextCache {
public:
    // formatShortDate(date) for a valid date.
    const QString& text(const QDate& date);

private:
    qint64 day_ = 0;
    bool known_ = false;
    QLocale locale_;
    QString text_;
};

} // namespace zel
