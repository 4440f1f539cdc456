#include "data/measurement_list.h"

#include "common/text.h"

namespace zel {

namespace {

constexpr int HiddenWidth = 1;

} // namespace

MeasurementList::MeasurementList(const ListLayout& layout, QObject* parent)
    : QAbstractTableModel(parent), widths_(layout.widths), rows_(ListCapacity) {
    for (int c = 0; c < Columns; ++c)
        headings_[size_t(c)] = QString::fromUtf8(layout.headings[size_t(c)]);
}

int MeasurementList::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ListCapacity;
}

int MeasurementList::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Columns;
}

QVariant MeasurementList::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() < 0 ||
        index.row() >= ListCapacity || index.column() < 0 || index.column() >= Columns)
        return {};
    return rows_[size_t(index.row())][size_t(index.column())];
}

QVariant MeasurementList::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal) {
        if (section < 0 || section >= Columns)
            return {};
        return headings_[size_t(section)];
    }
    // Model row r - 1 is data row r of the list.
    return section + 1;
}

QString MeasurementList::heading(int column) const {
    if (column < 0 || column >= Columns)
        return {};
    return headings_[size_t(column)];
}

int MeasurementList::columnWidthTwips(int column) const {
    if (column < 0 || column >= Columns)
        return 0;
    return widths_[size_t(column)];
}

bool MeasurementList::columnHidden(int column) const {
    return columnWidthTwips(column) <= HiddenWidth;
}

void MeasurementList::setHeading(int column, const QString& text) {
    if (column < 0 || column >= Columns || headings_[size_t(column)] == text)
        return;
    headings_[size_t(column)] = text;
    emit headerDataChanged(Qt::Horizontal, column, column);
}

void MeasurementList::addToGrid(const MeasurementRecord& r) {
    // Row 0 is the heading row: with an empty list there is nothing to write.
    if (rowIndex < 1 || rowIndex > ListCapacity)
        return;
    auto& row = rows_[size_t(rowIndex - 1)];
    row[0] = r.InstrumentId;
    row[1] = r.ReadingTime;
    row[2] = r.OverMark;
    row[3] = padLeft(r.Value, 7);
    row[4] = padLeft(r.Units, 8);
    row[5] = r.Status;
    row[6] = padLeft(r.Detector, 10);
    emit dataChanged(index(rowIndex - 1, 0), index(rowIndex - 1, Columns - 1), {Qt::DisplayRole});
}

void MeasurementList::clearGrid() {
    beginResetModel();
    for (auto& row : rows_)
        for (auto& text : row)
            text.clear();
    rowIndex = 0;
    endResetModel();
}

void MeasurementList::listStep(MeasurementRecord& r, bool autoMode, const QString& probeNumber) {
    if (autoMode)
        r.InstrumentId = probeNumber;
    // Once the list is full every further reading rewrites the last row; the
    // working file still receives them all.
    if (rowIndex < ListCapacity)
        ++rowIndex;
    else
        rowIndex = ListCapacity;
    addToGrid(r);
}

QString MeasurementList::cell(int row, int column) const {
    if (row < 1 || row > ListCapacity || column < 0 || column >= Columns)
        return {};
    return rows_[size_t(row - 1)][size_t(column)];
}

} // namespace zel
