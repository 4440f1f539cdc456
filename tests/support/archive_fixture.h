#pragma once
// A throw-away program folder for the archive's tests, with data files
// written the way the station writes them.
#include "archive/archive.h"
#include "archive/archive_files.h"
#include "common/datetime.h"
#include "data/data_files.h"
#include "data/settings.h"

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <vector>

namespace zel::test {

// A reading line at a wall time of this computer's clock.
inline MeasurementRecord lineAt(const QDateTime& wall, const QString& value,
                                const QString& unit = QStringLiteral("uSv/h"),
                                const QString& id = QStringLiteral("T5-0042")) {
    MeasurementRecord r;
    r.InstrumentId = id;
    r.ReadingTime = formatGeneralDateTime(wall.date(), wall.time());
    r.Value = value;
    r.Units = unit;
    r.Status = QStringLiteral("OK");
    r.Detector = QStringLiteral("GM");
    r.OverMark = QStringLiteral(" ");
    return r;
}

// The archived reading of such a line, of a known family.
inline ArchivedReading archivedAt(const QDateTime& wall, const QString& value,
                                  const QString& unit = QStringLiteral("uSv/h")) {
    FiledLine line;
    line.record = lineAt(wall, value, unit);
    line.family = QStringLiteral("Tarvo-5");
    return *archivedReading(line);
}

// A wall time in January, far from any clock change.
inline QDateTime wallAt(int day, int hour, int minute, int second) {
    return QDateTime(QDate(2026, 1, day), QTime(hour, minute, second));
}

class ArchiveFolder {
public:
    ArchiveFolder() { EXPECT_TRUE(dir_.isValid()); }

    QString path() const { return dir_.path(); }
    QString file(const QString& name) const { return dir_.filePath(name); }
    QString archivePath() const { return Archive::pathIn(dir_.path()); }

    // A data file with the header of an empty legend and these lines.
    QString writeDataFile(const QString& name, const std::vector<MeasurementRecord>& lines,
                          const QByteArray& columnLine = QByteArrayLiteral("-")) const {
        QByteArray bytes = headerLines(Legend{}, QString(), columnLine);
        for (const MeasurementRecord& r : lines)
            bytes += readingLine(r);
        writeBytes(name, bytes);
        return file(name);
    }
    void appendLines(const QString& name, const std::vector<MeasurementRecord>& lines) const {
        QFile f(file(name));
        EXPECT_TRUE(f.open(QIODevice::Append));
        for (const MeasurementRecord& r : lines)
            f.write(readingLine(r));
    }
    void writeBytes(const QString& name, const QByteArray& bytes) const {
        QFile f(file(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(f.write(bytes), bytes.size());
    }

    // Readings in the archive, counted by a fresh connection.
    qint64 archivedCount() const {
        Archive a;
        if (!a.open(archivePath(), Archive::OpenMode::Inspect)) {
            // A file whose first transaction never finished is no archive yet.
            if (a.lastError().contains(QLatin1String("no archive yet")))
                return 0;
            ADD_FAILURE() << a.lastError().toStdString();
            return -1;
        }
        return qint64(a.readings(std::numeric_limits<qint64>::min() / 512,
                                 std::numeric_limits<qint64>::max() / 512)
                          .size());
    }

private:
    QTemporaryDir dir_;
};

// Every reading of an open archive.
inline std::vector<ArchivedReading> allReadings(const Archive& a) {
    return a.readings(std::numeric_limits<qint64>::min() / 512,
                      std::numeric_limits<qint64>::max() / 512);
}

} // namespace zel::test
