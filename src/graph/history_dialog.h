#pragma once
// "History": the range of the station's archive the graph shows, typed as
// from and to or chosen as the last day, week, month, year or all of it.
#include "graph/graph_history.h"

#include <QDialog>
#include <optional>

class QDateTimeEdit;
class QLabel;

namespace zel::graph {

class HistoryDialog : public QDialog {
    Q_OBJECT
public:
    // `firstMs`: the archive's first reading, where "All" begins.
    HistoryDialog(const HistoryRange& initial, qint64 firstMs, QWidget* parent = nullptr);

    // Shows the dialog; the range chosen, or nothing when cancelled. A range
    // whose from is not before its to is not taken: the dialog says so and
    // stays open.
    static std::optional<HistoryRange> ask(QWidget* parent, const HistoryRange& initial,
                                           qint64 firstMs);

    HistoryRange range() const;

private:
    void choose(HistorySpan span);
    void acceptRange();

    QDateTimeEdit* from_;
    QDateTimeEdit* to_;
    QLabel* problem_;
    qint64 firstMs_;
};

} // namespace zel::graph
