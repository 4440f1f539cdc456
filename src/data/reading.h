#pragma once
// One reading as a family parser decodes it: numbers as numbers, the time
// as a date and a wall-clock time without a zone. Its texts (the seven
// fields of a list row and a file line) are made from it in one place,
// recordOf(), where the list and the file are written.
#include "data/measurement_record.h"
#include "data/record_layout.h"

#include <QAnyStringView>
#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QTime>
#include <cstdint>
#include <limits>
#include <optional>

namespace zel {

// How a reading's time is written.
enum class TimeStyle : uint8_t {
    General,          // the locale's short date and "HH:mm:ss"
    WithMilliseconds, // the same and ":zzz"
    SecondsOfDay,     // seconds since midnight, as a number
};

// A quantity a family reads beside its value (the Orvan's americium,
// cesium, ...): the characters the instrument sent, and their number.
struct Quantity {
    QString name; // the key of the quantity in messages and layouts
    QString text;
    double number = std::numeric_limits<double>::quiet_NaN(); // NaN: the text is no number

    // Two quantities without a number are equal when their texts are.
    bool operator==(const Quantity& other) const;
};

struct Reading {
    QString instrumentId;
    QDate date; // as the instrument logged it or as the clock read it
    QTime time;
    TimeStyle timeStyle = TimeStyle::General;
    // The number the reading shows; non-finite when the instrument could
    // not measure ("Infinity", "NaN").
    double value = 0;
    // The picture the value is written with ("0.00"); empty: the shortest
    // text that reads back as the same number.
    QString valuePicture;
    QString unit;
    QString status;
    QString detector;
    QString overMark;
    int16_t alarmCode = 0;
    // The error the instrument replied instead of a reading; empty for a
    // reading. Its value is no measurement.
    QString error;
    QList<Quantity> extras;

    // Sets date and time from a moment of the clock.
    void setTaken(const QDateTime& moment);
    // The reading's moment on this computer's clock; nothing when its wall
    // time does not exist here (the hour a clock change skips).
    std::optional<QDateTime> localMoment() const;
    // The quantity named `name`; null when the reading has none.
    const Quantity* extra(QAnyStringView name) const;

    bool operator==(const Reading&) const = default;
};

// The value and the time as the list and the file write them.
QString valueText(const Reading& r);
QString timeText(const Reading& r);
// The seven texts of the reading's list row and file line, in the family's
// layout.
MeasurementRecord recordOf(const Reading& r, const RecordLayout& layout);
// `value` as `picture` shows it: a reading keeps the number it shows, so the
// alarm, the graph and a restart from the file all see the same number.
double shownNumber(double value, const QString& picture);

} // namespace zel
