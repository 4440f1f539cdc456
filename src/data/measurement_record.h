#pragma once
#include <QString>
#include <cstdint>

namespace zel {

// One reading, exactly as a family parser produced it. For the Orvan family
// the fields carry other quantities (see the list headings).
struct MeasurementRecord {
    QString InstrumentId;
    QString ReadingTime;
    QString Value;
    QString Units;
    QString Status;
    QString Detector;
    QString OverMark;
    int16_t AlarmCode = 0;

    bool operator==(const MeasurementRecord&) const = default;
};

} // namespace zel
