#include "graph/data_list.h"

#include "common/datetime.h"
#include "graph/graph_scale.h"

namespace zel::graph {

namespace {

constexpr int UnitsRows = 1; // model row 0: the units

} // namespace

DataListModel::DataListModel(QObject* parent) : QAbstractTableModel(parent) {}

void DataListModel::start(const GraphStore& store) {
    beginResetModel();
    slots_ = store.seriesSlots;
    points_.clear();
    rows_.clear();
    filled_ = 0;
    const int active = std::clamp(store.activeSeries, 0, SlotCount - 1);
    for (int32_t k = store.displayCount(); k >= 0 && int(points_.size()) < MaxPoints; --k) {
        if (!isValue(store.displayY(active, k)))
            continue;
        Point p;
        p.time = store.baseTime() + store.displayX(k);
        for (int s = 0; s < SlotCount; ++s)
            p.values[size_t(s)] = store.displayY(s, k);
        points_.push_back(p);
    }
    rows_.reserve(points_.size());
    endResetModel();
}

int DataListModel::fillSome(int count) {
    const int n = std::min(std::max(count, 0), pending());
    if (n == 0)
        return 0;
    const int first = UnitsRows + filled_;
    beginInsertRows({}, first, first + n - 1);
    for (int i = 0; i < n; ++i) {
        const Point& p = points_[size_t(filled_ + i)];
        Row row;
        row.time = formatGeneralDateTime(fromDayCount(p.time));
        for (int s = 0; s < SlotCount; ++s) {
            const double v = p.values[size_t(s)];
            if (slots_[size_t(s)].isNamed() && isValue(v))
                row.values[size_t(s)] = roundedText(v, 2);
        }
        rows_.push_back(std::move(row));
    }
    filled_ += n;
    endInsertRows();
    return n;
}

int DataListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : UnitsRows + filled_;
}

int DataListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 1 + SlotCount;
}

QVariant DataListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    const int column = index.column();
    const int row = index.row();
    if (role == Qt::TextAlignmentRole) {
        if (row < UnitsRows)
            return int(Qt::AlignCenter);
        return column == 0 ? int(Qt::AlignLeft | Qt::AlignVCenter)
                           : int(Qt::AlignRight | Qt::AlignVCenter);
    }
    if (role != Qt::DisplayRole)
        return {};
    if (row < UnitsRows)
        return column == 0 ? QVariant() : QVariant(slots_[size_t(column - 1)].units.trimmed());
    const Row& r = rows_[size_t(row - UnitsRows)];
    return column == 0 ? r.time : r.values[size_t(column - 1)];
}

QVariant DataListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1; // grid rows as the list counts them: units at 1
    if (section == 0)
        return tr("Time");
    return slots_[size_t(section - 1)].name;
}

} // namespace zel::graph
