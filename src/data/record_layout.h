#pragma once
// How a family's readings are laid out where they are shown and sent: the
// list's columns and the names of the fields in a message. The family table
// holds one of each per family.
#include <array>

namespace zel {

// A reading has seven fields: id, time, value, units, status, detector and
// over-mark, in the order of the file.
inline constexpr int RecordFields = 7;

struct ListLayout {
    // Column headings, left to right; the list shows the over-mark in its
    // third column.
    std::array<const char*, RecordFields> headings{};
    // Widths in twips; 1 hides the column.
    std::array<int, RecordFields> widths{};
};

// The message key of each field of a reading (id, time, value, units,
// status, detector, over-mark); null leaves the field out. Time and value
// are always sent under "time" and "value". A family whose units are not
// a field of the reading (none is named "units") sends the unit the
// instrument reported for itself.
struct MessageFields {
    std::array<const char*, RecordFields> names{};
    // The fields are quantities: sent as numbers, null when not one.
    bool numbers = false;
};

} // namespace zel
