#pragma once
// The base unit of a unit as an instrument writes it: what the metrics, the
// archive and anything else that compares readings of different units
// convert to.
#include <QString>
#include <optional>

namespace zel {

// A unit with an exact base unit: the name part of the series and the factor
// from the instrument's unit to it.
struct BaseUnit {
    const char* name;        // "sieverts_per_hour", "counts_per_second", ...
    double factor;           // base = value * factor
    const char* symbol = ""; // "Sv/h", "counts/s", ...: the base unit as a person writes it
};

// The base unit of a unit as an instrument writes it ("uSv/h", "Kcpm", "R/h",
// ...); none for units without an exact one ("Shield", "mR/h L", a code
// number), which keep a series of their own.
std::optional<BaseUnit> baseUnit(const QString& unit);

} // namespace zel
