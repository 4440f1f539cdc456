#pragma once
// A range of the station's archive as the graph draws it: one point per
// step of the graph's width with the step's minimum, maximum and mean, so a
// one-second spike in a year still stands out, and steps without readings
// left empty, so a gap is drawn as a gap.
#include "common/failure.h"
#include "graph/graph_store.h"

#include <QString>
#include <cstdint>
#include <vector>

namespace zel::graph {

struct HistoryRange {
    qint64 fromMs = 0; // UTC milliseconds since 1970
    qint64 toMs = 0;
    bool operator==(const HistoryRange&) const = default;
};

// The quick choices of the "History…" command.
enum class HistorySpan { LastDay, LastWeek, LastMonth, LastYear, All };
// The range a choice stands for, ending now; All begins at the archive's
// first reading.
HistoryRange historyRangeOf(HistorySpan span, qint64 nowMs, qint64 firstMs);

struct HistorySeries {
    HistoryRange range;
    QString unit;
    bool singleReadings = false; // the points are the readings themselves
    // Per point: the time (a day count), the mean as the line, and the
    // extremes drawn as a bar; Missing where the step held no reading.
    std::vector<double> times, mean, minimum, maximum;
    // The range's true figures, from the summaries.
    qint64 readings = 0;
    double rangeMean = 0, rangeMinimum = 0, rangeMaximum = 0;

    // The points as a load of the graph's store (slot 0); the request
    // refers to this series' vectors.
    LoadRequest request() const;
};

// Reads `range` from the archive at `archivePath`, opened for reading only
// (WAL lets it read while the station writes), in `steps` steps.
Expected<HistorySeries> readHistory(const QString& archivePath, const HistoryRange& range,
                                    int steps);

// The day count of an archive instant and back.
double dayCountOfMs(qint64 ms);
qint64 msOfDayCount(double days);

} // namespace zel::graph
