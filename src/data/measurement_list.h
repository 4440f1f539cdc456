#pragma once
// The list of readings shown in the main window: 7 columns, a heading row
// and 300 data rows; once full, row 300 is rewritten by every reading.
#include "data/measurement_record.h"
#include "data/record_layout.h"
#include <QAbstractTableModel>
#include <QStringList>
#include <array>
#include <vector>

namespace zel {

class MeasurementList : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int ListCapacity = 300;
    static constexpr int Columns = RecordFields;

    // The layout follows the family chosen when the window loads and is not
    // rebuilt when the family changes later.
    explicit MeasurementList(const ListLayout& layout, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Column headings and widths (twips; 1 means hidden) of this layout.
    QString heading(int column) const;
    int columnWidthTwips(int column) const;
    bool columnHidden(int column) const;

    // Writes the seven texts into row rowIndex (PadLeft on value, units and
    // detector). Does not change rowIndex.
    void addToGrid(const MeasurementRecord& r);
    // Empties rows 1..300, rowIndex = 0.
    void clearGrid();

    // The list step of the reading intake: automatic-mode probe number as
    // id, rowIndex (held at 300), then addToGrid.
    void listStep(MeasurementRecord& r, bool autoMode, const QString& probeNumber);

    int16_t rowIndex = 0;

    // Cell text of a data row (1..300) for tests and printing; empty outside
    // the list.
    QString cell(int row, int column) const;

    // Retitles one column while the program runs (the Orvan checker puts its
    // units into column 3).
    void setHeading(int column, const QString& text);

private:
    std::array<QString, Columns> headings_;
    std::array<int, Columns> widths_;
    // Data rows 1..300; row 0 is the heading row, shown as the view header.
    std::vector<std::array<QString, Columns>> rows_;
};

} // namespace zel
