#include "graph/graph_history.h"

#include "archive/archive.h"
#include "common/datetime.h"

#include <QCoreApplication>
#include <QDateTime>
#include <algorithm>
#include <cmath>

namespace zel::graph {

namespace {

constexpr qint64 MsPerDay = 86'400'000;

// The points with the readings themselves: a gap the archive recorded
// between two of them gets an empty point, so no line is drawn across it.
void takeReadings(HistorySeries& h, const std::vector<ArchivedReading>& readings,
                  const std::vector<ArchiveGap>& gaps) {
    size_t gap = 0;
    for (const ArchivedReading& r : readings) {
        while (gap < gaps.size() && gaps[gap].toMs <= r.instantMs) {
            if (!h.times.empty() && gaps[gap].fromMs >= msOfDayCount(h.times.back())) {
                h.times.push_back(dayCountOfMs(gaps[gap].fromMs));
                h.mean.push_back(Missing);
                h.minimum.push_back(Missing);
                h.maximum.push_back(Missing);
            }
            ++gap;
        }
        const double v = std::isfinite(r.value) && r.value >= 0 ? r.value : Missing;
        h.times.push_back(dayCountOfMs(r.instantMs));
        h.mean.push_back(v);
        h.minimum.push_back(v);
        h.maximum.push_back(v);
    }
}

void takeSteps(HistorySeries& h, const std::vector<Archive::Step>& steps) {
    for (const Archive::Step& s : steps) {
        const bool held = s.count > 0;
        h.times.push_back(dayCountOfMs(s.fromMs + (s.toMs - s.fromMs) / 2));
        h.mean.push_back(held ? s.mean : Missing);
        h.minimum.push_back(held ? s.min : Missing);
        h.maximum.push_back(held ? s.max : Missing);
    }
}

} // namespace

double dayCountOfMs(qint64 ms) {
    return toDayCount(QDateTime::fromMSecsSinceEpoch(ms));
}

qint64 msOfDayCount(double days) {
    return fromDayCount(days).toMSecsSinceEpoch();
}

HistoryRange historyRangeOf(HistorySpan span, qint64 nowMs, qint64 firstMs) {
    switch (span) {
    case HistorySpan::LastDay:
        return {nowMs - MsPerDay, nowMs};
    case HistorySpan::LastWeek:
        return {nowMs - 7 * MsPerDay, nowMs};
    case HistorySpan::LastMonth:
        return {QDateTime::fromMSecsSinceEpoch(nowMs).addMonths(-1).toMSecsSinceEpoch(), nowMs};
    case HistorySpan::LastYear:
        return {QDateTime::fromMSecsSinceEpoch(nowMs).addYears(-1).toMSecsSinceEpoch(), nowMs};
    case HistorySpan::All:
        break;
    }
    return {std::min(firstMs, nowMs), nowMs};
}

LoadRequest HistorySeries::request() const {
    LoadRequest r;
    r.seriesSlots[0].name = QStringLiteral("History");
    r.seriesSlots[0].units = unit;
    r.times = times;
    r.values[0] = mean;
    r.lastIndex = int32_t(times.size()) - 1;
    r.activeSeries = 0;
    return r;
}

Expected<HistorySeries> readHistory(const QString& archivePath, const HistoryRange& range,
                                    int steps) {
    Archive archive;
    if (!archive.open(archivePath, Archive::OpenMode::Inspect))
        return fail(Failure::Kind::NotFound, archive.lastError());
    HistorySeries h;
    h.range = range;
    const Archive::Reduced reduced = archive.reduced(range.fromMs, range.toMs, steps);
    h.unit = reduced.unit;
    for (const Archive::Step& s : reduced.steps) {
        if (s.count <= 0)
            continue;
        h.rangeMinimum = h.readings == 0 ? s.min : std::min(h.rangeMinimum, s.min);
        h.rangeMaximum = h.readings == 0 ? s.max : std::max(h.rangeMaximum, s.max);
        h.rangeMean += s.mean * double(s.count);
        h.readings += s.count;
    }
    if (h.readings > 0)
        h.rangeMean /= double(h.readings);
    // Few enough readings for the graph's width: every one of them.
    const std::vector<ArchivedReading> readings =
        h.readings <= steps ? archive.readings(range.fromMs, range.toMs, {}, steps + 1)
                            : std::vector<ArchivedReading>{};
    if (!readings.empty() && qint64(readings.size()) <= steps) {
        h.singleReadings = true;
        takeReadings(h, readings, archive.gaps(range.fromMs, range.toMs));
    } else {
        takeSteps(h, reduced.steps);
    }
    if (h.readings == 0)
        return fail(Failure::Kind::NotFound,
                    QCoreApplication::translate("zel::graph::GraphWindow",
                                                "The archive holds no readings in this range."));
    return h;
}

} // namespace zel::graph
