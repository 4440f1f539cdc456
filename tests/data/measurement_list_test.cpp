#include "data/measurement_list.h"
#include "protocol/amp.h"
#include "protocol/orvan.h"
#include "protocol/portables.h"
#include "station/families.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace zel;

namespace {

MeasurementRecord reading(int n) {
    MeasurementRecord r;
    r.InstrumentId = QString::number(n);
    r.ReadingTime = QStringLiteral("2024-01-02 10:00:00");
    r.Value = QStringLiteral("2.5");
    r.Units = QStringLiteral("mR/h");
    r.Status = QStringLiteral("OK");
    r.Detector = QString();
    r.OverMark = QStringLiteral(" ");
    return r;
}

TEST(MeasurementList, LayoutFollowsTheFamily) {
    MeasurementList portables(familyOrDefault(Portables).list);
    EXPECT_EQ(portables.rowCount(), 300);
    EXPECT_EQ(portables.columnCount(), 7);
    const QStringList headings = {"Id", "Time", "Over", "Value", "Units", "Status", "Detector"};
    const int widths[] = {1335, 2265, 1, 1095, 735, 1365, 1335};
    for (int c = 0; c < 7; ++c) {
        EXPECT_EQ(portables.heading(c), headings[c]);
        EXPECT_EQ(portables.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(), headings[c]);
        EXPECT_EQ(portables.columnWidthTwips(c), widths[c]);
        EXPECT_EQ(portables.columnHidden(c), c == 2);
    }

    MeasurementList amp(familyOrDefault(AmpVessa).list);
    EXPECT_TRUE(amp.columnHidden(6));
    EXPECT_TRUE(amp.columnHidden(2));
    EXPECT_EQ(amp.heading(6), "Detector");

    MeasurementList orvan(familyOrDefault(Orvan).list);
    EXPECT_EQ(orvan.heading(0), "Americium");
    EXPECT_EQ(orvan.heading(1), "Time");
    EXPECT_EQ(orvan.heading(2), "CPS");
    EXPECT_EQ(orvan.heading(3), "GM Rate");
    EXPECT_EQ(orvan.heading(4), "Neutrons");
    EXPECT_EQ(orvan.heading(5), "Cesium");
    EXPECT_EQ(orvan.heading(6), "Cobalt");
    EXPECT_FALSE(orvan.columnHidden(2));
    EXPECT_EQ(orvan.columnWidthTwips(2), 765);
    EXPECT_FALSE(orvan.columnHidden(6));

    QSignalSpy headerSpy(&orvan, &QAbstractItemModel::headerDataChanged);
    orvan.setHeading(3, QStringLiteral("uSv/h"));
    EXPECT_EQ(orvan.heading(3), "uSv/h");
    EXPECT_EQ(headerSpy.count(), 1);
}

TEST(MeasurementList, CellsArePaddedAsTheListShowsThem) {
    MeasurementList list(familyOrDefault(Portables).list);
    MeasurementRecord r = reading(1);
    list.listStep(r, false, {});
    EXPECT_EQ(list.cell(1, 0), "1");
    EXPECT_EQ(list.cell(1, 1), "2024-01-02 10:00:00");
    EXPECT_EQ(list.cell(1, 2), " ");
    EXPECT_EQ(list.cell(1, 3), "     2.5");
    EXPECT_EQ(list.cell(1, 4), "     mR/h");
    EXPECT_EQ(list.cell(1, 5), "OK");
    EXPECT_EQ(list.cell(1, 6), QString(11, QLatin1Char(' ')));
    EXPECT_EQ(list.data(list.index(0, 3), Qt::DisplayRole).toString(), list.cell(1, 3));
    EXPECT_FALSE(list.data(list.index(0, 3), Qt::FontRole).isValid());

    r.Value = QStringLiteral("12345678");
    list.listStep(r, false, {});
    EXPECT_EQ(list.cell(2, 3), "12345678");
    EXPECT_TRUE(list.cell(0, 0).isEmpty());
    EXPECT_TRUE(list.cell(301, 0).isEmpty());
    EXPECT_TRUE(list.cell(1, 7).isEmpty());
}

TEST(MeasurementList, FullListRewritesTheLastRow) {
    MeasurementList list(familyOrDefault(Portables).list);
    QSignalSpy changed(&list, &QAbstractItemModel::dataChanged);
    QSignalSpy reset(&list, &QAbstractItemModel::modelReset);
    for (int n = 1; n <= 301; ++n) {
        MeasurementRecord r = reading(n);
        list.listStep(r, false, {});
    }
    EXPECT_EQ(list.rowIndex, 300);
    EXPECT_EQ(list.cell(299, 0), "299");
    EXPECT_EQ(list.cell(300, 0), "301");
    EXPECT_EQ(changed.count(), 301);
    // One row per reading, never the whole list.
    const auto last = changed.last();
    EXPECT_EQ(last[0].toModelIndex().row(), 299);
    EXPECT_EQ(last[1].toModelIndex().row(), 299);
    EXPECT_EQ(reset.count(), 0);

    list.clearGrid();
    EXPECT_EQ(list.rowIndex, 0);
    EXPECT_EQ(reset.count(), 1);
    EXPECT_TRUE(list.cell(300, 0).isEmpty());
    EXPECT_TRUE(list.cell(1, 3).isEmpty());
    MeasurementRecord r = reading(5);
    list.listStep(r, false, {});
    EXPECT_EQ(list.rowIndex, 1);
    EXPECT_EQ(list.cell(1, 0), "5");
}

TEST(MeasurementList, AutomaticModeShowsTheProbeNumber) {
    MeasurementList list(familyOrDefault(Portables).list);
    MeasurementRecord r = reading(9);
    list.listStep(r, true, QStringLiteral("P-17"));
    EXPECT_EQ(r.InstrumentId, "P-17"); // the file line gets it too
    EXPECT_EQ(list.cell(1, 0), "P-17");

    // addToGrid on an empty list has no row to write.
    MeasurementList empty(familyOrDefault(Portables).list);
    empty.addToGrid(reading(1));
    EXPECT_EQ(empty.rowIndex, 0);
    EXPECT_TRUE(empty.cell(1, 0).isEmpty());
}

} // namespace
