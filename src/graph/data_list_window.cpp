#include "graph/data_list_window.h"

#include "graph/data_list.h"
#include "widgets/window_arrangement.h"

#include <QHeaderView>
#include <QScreen>
#include <QTableView>
#include <QVBoxLayout>

namespace zel::graph {

DataListWindow::DataListWindow(QWidget* owner) : QWidget(owner, Qt::Window) {
    setObjectName(QStringLiteral("DataGraph"));
    setWindowTitle(tr(" Data Graph"));
    model_ = new DataListModel(this);
    grid_ = new QTableView(this);
    grid_->setObjectName(QStringLiteral("Grid1"));
    grid_->setAccessibleName(tr("Data list"));
    grid_->setModel(model_);
    // Times and numbers read left to right in every language.
    grid_->setLayoutDirection(Qt::LeftToRight);
    grid_->setAlternatingRowColors(true);
    grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->verticalHeader()->setDefaultSectionSize(grid_->fontMetrics().height() + 6);
    grid_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    // The time column is as wide as a date-time; the series share the rest.
    QHeaderView* header = grid_->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Stretch);
    header->setSectionResizeMode(0, QHeaderView::Fixed);
    header->resizeSection(
        0, fontMetrics().horizontalAdvance(QStringLiteral("00/00/0000 00:00:00")) + 16);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(grid_);
    resize(header->sectionSize(0) + 2 * 110 + 60, 480);
}

void DataListWindow::updateColumns() {
    for (int s = 0; s < SlotCount; ++s)
        grid_->setColumnHidden(s + 1, !model_->isNamed(s));
}

void DataListWindow::placeBeside(const QWidget* owner) {
    if (!owner)
        return;
    const QScreen* screen = owner->screen();
    move(zel::placeBeside(owner->frameGeometry(), frameGeometry().size(),
                          screen ? screen->availableGeometry() : QRect()));
    // Beside is measured without the frame of a window not shown yet.
    keepOnScreen(*this);
}

} // namespace zel::graph
