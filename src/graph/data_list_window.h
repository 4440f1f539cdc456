#pragma once
// The data list " Data Graph": the display points of the graph's window as
// rows, newest first, beside the graph window that owns it.
#include <QWidget>

class QTableView;

namespace zel::graph {

class DataListModel;

class DataListWindow : public QWidget {
    Q_OBJECT
public:
    explicit DataListWindow(QWidget* owner);

    DataListModel* model() const { return model_; }
    QTableView* grid() const { return grid_; }
    // Shows only the columns of named series.
    void updateColumns();
    // Places the window beside `owner`, inside the screen.
    void placeBeside(const QWidget* owner);

private:
    DataListModel* model_;
    QTableView* grid_;
};

} // namespace zel::graph
