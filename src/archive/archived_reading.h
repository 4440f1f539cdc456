#pragma once
// What the station's record keeps of one filed reading, and the events that
// mark where collection stopped. A reading is made from the seven texts of
// its line as filed (whether it comes from the live path, the working file
// or an imported data file), so the three roads agree on every field and a
// reading filed twice is recognised as the same reading.
#include "data/measurement_record.h"
#include "data/reading.h"

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QTime>
#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

namespace zel {

// Where a reading came from.
enum class ReadingSource : uint8_t {
    Online = 0,      // taken on line
    Download = 1,    // an instrument's logged record, fetched by "Get Data"
    Import = 2,      // a data file given to zel-archive import
    WorkingFile = 3, // caught up from the working file after a stop
};

// Quality of a reading, as bits.
enum QualityFlag : uint8_t {
    QualityFault = 1,             // an alarm code or the fault alarm
    QualityOverRange = 2,         // the over-mark is set
    QualityInvalidLoggedDate = 4, // the instrument logged no usable date
    QualityNotANumber = 8,        // the value text is no number
};

// The alarm level as the station decided it; Unknown for readings whose
// level was never decided here (imported files do not carry it).
inline constexpr int8_t AlarmLevelUnknown = -1;

struct ArchivedReading {
    // The instant in UTC, milliseconds since 1970. It is the moment of the
    // wall time as shown on this computer's clock, so the live path, the
    // working file and a saved copy give the same instant.
    qint64 instantMs = 0;
    // The instrument's wall time as shown: instant + wallOffsetS seconds.
    int32_t wallOffsetS = 0;
    TimeStyle timeStyle = TimeStyle::General;
    QString family; // the family's caption; empty when not known (an imported file)
    QString instrumentId;
    // The value as filed: its number (NaN when the text is no number) and
    // its text, kept exactly.
    double value = std::numeric_limits<double>::quiet_NaN();
    QString valueText;
    QString unit; // as written
    QString status;
    QString detector;
    QString overMark;
    // The Orvan's further columns as filed (americium, neutrons, cesium,
    // cobalt, count rate), joined by ','; empty for the other families.
    QString extras;
    int8_t alarmLevel = AlarmLevelUnknown; // 0 normal, 1 high 1, 2 high 2, 3 fault
    ReadingSource source = ReadingSource::Online;
    uint8_t flags = 0; // QualityFlag bits
    QString run;       // the publisher's run of this start, empty when none
    qint64 seq = -1;   // the publisher's sequence number, -1 when none
    // How many readings equal to this one in every stored field precede it
    // in the same run of lines with this time in its file: two genuine equal
    // readings are 0 and 1, a second copy of either is again 0 or 1.
    uint16_t occurrence = 0;

    // The value in its base unit (Sv/h, R/h, counts/s, ...); NaN when the
    // unit has no exact base unit or the value is no number.
    double baseValue() const;
    // The wall time as shown, as a date and a time of day.
    QDate wallDate() const;
    QTime wallTime() const;
    // Equal as a reading of the station: every stored field but the source,
    // the alarm level, run, seq and occurrence (those say how it arrived).
    // An unknown family matches any.
    bool sameReadingAs(const ArchivedReading& other) const;
};

// Gives each reading its rank (ArchivedReading::occurrence) as readings
// come in the order of their file: equal readings in one run of the same
// instant are ranked 0, 1, 2, ...
class OccurrenceRanker {
public:
    void rank(ArchivedReading& r);
    void clear() { run_.clear(); }

private:
    std::vector<ArchivedReading> run_;
};

// a / b rounded towards minus infinity (times before 1970 are negative).
qint64 floorDivision(qint64 a, qint64 b);

// The data-file column line an Orvan file carries; its readings hold other
// quantities in the seven fields.
bool isOrvanColumnLine(const QByteArray& columnLine);
// The unit an Orvan column line names ("Gamma(<unit>)").
QString orvanColumnUnit(const QByteArray& columnLine);
QByteArray orvanColumnLine(const QString& unit);

// One filed line as an archived reading. `wall` is the wall time of the
// reading when the caller has it (the live path); otherwise the time text
// of the line is read. Nothing when the time does not read as a date and
// time. `columnLine` is line 8 of the file the reading was written under.
struct FiledLine {
    MeasurementRecord record;
    QByteArray columnLine = QByteArrayLiteral("-");
    std::optional<QDate> wallDate;
    std::optional<QTime> wallTime;
    TimeStyle timeStyle = TimeStyle::General;
    QString family;
    int8_t alarmLevel = AlarmLevelUnknown;
    ReadingSource source = ReadingSource::Online;
    QString run;
    qint64 seq = -1;
};
std::optional<ArchivedReading> archivedReading(const FiledLine& line);

// The live path: a reading as the Station filed it (units already written
// out), with what the Station knows beside it.
struct FiledReading {
    Reading reading;
    MeasurementRecord record; // the seven texts as written to the working file
    QByteArray columnLine = QByteArrayLiteral("-");
    QString family;
    int8_t alarmLevel = AlarmLevelUnknown;
    ReadingSource source = ReadingSource::Online;
    QString run;
    qint64 seq = -1;
};
std::optional<ArchivedReading> archivedReading(const FiledReading& filed);

// The instant (UTC milliseconds) of a wall time on this computer's clock. A
// wall time that a clock change skips is read with the offset of the hour
// before it, so it is kept (in order) rather than dropped.
qint64 instantOfWallTime(const QDate& date, const QTime& time, int32_t* wallOffsetS = nullptr);

// The seven texts of the archived reading's line, as a data file holds it.
MeasurementRecord recordOf(const ArchivedReading& r);

// Events that open and close the gaps of the record.
enum class ArchiveEventKind : uint8_t {
    CollectionStarted = 1,
    CollectionStopped = 2,
    ContactLost = 3,
    ContactBack = 4,
    PortLost = 5,
    PortBack = 6,
    ProgramStarted = 7,
    ProgramStopped = 8,      // a clean stop
    ProgramEndedUnclean = 9, // found at the next start: the program ended without stopping
    DiskFull = 10,
    DiskBack = 11,
};
// "collection started", "lost contact", ...
QString eventKindText(ArchiveEventKind kind);

struct ArchiveEvent {
    qint64 instantMs = 0;
    ArchiveEventKind kind = ArchiveEventKind::ProgramStarted;
    QString detail;
};

// A stretch of time without collection: from the event that opened it to
// the one that closed it (or the end of the range asked for).
struct ArchiveGap {
    qint64 fromMs = 0;
    qint64 toMs = 0;
    ArchiveEventKind why = ArchiveEventKind::CollectionStopped;
};

} // namespace zel
