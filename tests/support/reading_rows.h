#pragma once
// A parsed reading as the list and the file write it, so codec tests check
// the very texts that are filed.
#include "data/reading.h"
#include "station/families.h"

#include <optional>

namespace zel::test {

inline MeasurementRecord rowOf(const Reading& r, int16_t family) {
    return recordOf(r, familyOrDefault(family).record);
}

inline std::optional<MeasurementRecord> rowOf(const std::optional<Reading>& r, int16_t family) {
    if (!r)
        return std::nullopt;
    return rowOf(*r, family);
}

} // namespace zel::test
