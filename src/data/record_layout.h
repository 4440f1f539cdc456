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

// Where each of the seven texts of a row and a line comes from: "id",
// "time", "value", "unit", "status", "detector", "over", or the name of
// one of the family's quantities ("americium"). "cesium|status" takes the
// first of the two that has a text.
struct RecordLayout {
    std::array<const char*, RecordFields> sources{};
};

} // namespace zel
