#pragma once
// The rows of the data list: the display points of the window on screen,
// newest first, as date-time text and values rounded to 2 decimals. The
// header holds "Time" and the series names, the first row their units.
#include "graph/graph_store.h"

#include <QAbstractTableModel>
#include <QString>
#include <array>
#include <vector>

namespace zel::graph {

class DataListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // The list ends at this row, counting the names (0) and units (1).
    static constexpr int LastRow = 1000;
    static constexpr int MaxPoints = LastRow - 1;

    explicit DataListModel(QObject* parent = nullptr);

    // Empties the list and chooses the points to list: from the newest down
    // to point 0, those where the active series has a value, at most
    // MaxPoints. Their values are copied; rows appear with fillSome.
    void start(const GraphStore& store);
    int pending() const { return int(points_.size()) - filled_; }
    int planned() const { return int(points_.size()); }
    int filled() const { return filled_; }
    // Adds up to `count` rows; returns how many were added.
    int fillSome(int count);

    bool isNamed(int slot) const { return slots_[size_t(slot)].isNamed(); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    struct Point {
        double time = 0; // date-time as a day count
        std::array<double, SlotCount> values{};
    };
    struct Row {
        QString time;
        std::array<QString, SlotCount> values;
    };

    std::array<GraphSlot, SlotCount> slots_;
    std::vector<Point> points_;
    std::vector<Row> rows_;
    int filled_ = 0;
};

} // namespace zel::graph
