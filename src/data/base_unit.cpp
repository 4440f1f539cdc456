#include "data/base_unit.h"

namespace zel {

namespace {

struct UnitRow {
    const char* unit;
    BaseUnit base;
};

constexpr double Micro = 1e-6;
constexpr double Milli = 1e-3;

// Every unit the instrument families write, plus the micro sign's spellings
// a person may type. Names follow Prometheus' conventions: plural base
// units, "per" for rates. The working file writes thousands out ("1.2 Kcpm"
// is filed as "1200 cpm", "1.2 Kps" as "1200 ps"), so both forms are here.
const UnitRow Units[] = {
    {"Sv/h", {"sieverts_per_hour", 1, "Sv/h"}},
    {"mSv/h", {"sieverts_per_hour", Milli, "Sv/h"}},
    {"uSv/h", {"sieverts_per_hour", Micro, "Sv/h"}},
    {"\u00b5Sv/h", {"sieverts_per_hour", Micro, "Sv/h"}},
    {"\u03bcSv/h", {"sieverts_per_hour", Micro, "Sv/h"}},
    {"nSv/h", {"sieverts_per_hour", 1e-9, "Sv/h"}},
    {"Sv", {"sieverts", 1, "Sv"}},
    {"mSv", {"sieverts", Milli, "Sv"}},
    {"uSv", {"sieverts", Micro, "Sv"}},
    {"\u00b5Sv", {"sieverts", Micro, "Sv"}},
    {"\u03bcSv", {"sieverts", Micro, "Sv"}},
    {"R/h", {"roentgens_per_hour", 1, "R/h"}},
    {"mR/h", {"roentgens_per_hour", Milli, "R/h"}},
    {"uR/h", {"roentgens_per_hour", Micro, "R/h"}},
    {"\u00b5R/h", {"roentgens_per_hour", Micro, "R/h"}},
    {"\u03bcR/h", {"roentgens_per_hour", Micro, "R/h"}},
    {"R", {"roentgens", 1, "R"}},
    {"mR", {"roentgens", Milli, "R"}},
    {"uR", {"roentgens", Micro, "R"}},
    {"\u00b5R", {"roentgens", Micro, "R"}},
    {"cps", {"counts_per_second", 1, "counts/s"}},
    {"ps", {"counts_per_second", 1, "counts/s"}},
    {"Kps", {"counts_per_second", 1000, "counts/s"}},
    {"Kcps", {"counts_per_second", 1000, "counts/s"}},
    {"cpm", {"counts_per_second", 1.0 / 60, "counts/s"}},
    {"Kcpm", {"counts_per_second", 1000.0 / 60, "counts/s"}},
    {"counts", {"counts", 1, "counts"}},
    {"count", {"counts", 1, "counts"}},
    {"Kcounts", {"counts", 1000, "counts"}},
    {"Bq", {"becquerels", 1, "Bq"}},
    {"dpm", {"becquerels", 1.0 / 60, "Bq"}},
    // The curie is defined as 3.7e10 becquerels.
    {"uCi", {"becquerels", 3.7e4, "Bq"}},
    {"\u00b5Ci", {"becquerels", 3.7e4, "Bq"}},
};

} // namespace

std::optional<BaseUnit> baseUnit(const QString& unit) {
    const QString u = unit.trimmed();
    for (const UnitRow& row : Units)
        if (u == QString::fromUtf8(row.unit))
            return row.base;
    return std::nullopt;
}

} // namespace zel
