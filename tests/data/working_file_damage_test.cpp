// The working file as a crash, a shared folder or another instrument may
// leave it: a torn last line, a planted link, another family's columns. No
// reading is read from damage, written through a link or filed under the
// wrong columns, and nothing that was in the file is lost.
#include "data/data_files.h"

#include "common/datetime.h"
#include "support/data_file_helpers.h"
#include "support/full_disk.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace zel;
using test::fileBytes;
using test::numberedReading;
using test::writeFileBytes;

namespace {

const QByteArray OrvanSievert = "Americium,Time,Gamma(uSv/h),Neutrons,Cesium,Cobalt,CPS";
const QByteArray OrvanRoentgen = "Americium,Time,Gamma(uR/h),Neutrons,Cesium,Cobalt,CPS";

QByteArray header(const QByteArray& columns = "-", const QString& date = "1/2/2024") {
    Legend legend;
    legend.Date = date;
    return headerLines(legend, QString(), columns);
}

// Every notice the store passes on, in order.
struct NoticeLog {
    explicit NoticeLog(DataStore& store) {
        store.noticeHandler = [this](const QString& text) { notices << text; };
    }
    QStringList notices;
};

class WorkingFileDamage : public ::testing::Test {
protected:
    void SetUp() override { setDateLocale(QLocale(QLocale::English, QLocale::UnitedStates)); }
    QString file(const QString& name) const { return dir.filePath(name); }
    // The files of the folder other than the working file.
    QStringList others() const {
        QStringList names = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
        names.removeAll("ZelTemp.csv");
        return names;
    }

    QTemporaryDir dir;
    QString working = file("ZelTemp.csv");
    QByteArray firstLine = readingLine(numberedReading(1));
};

// A line without its line end, or NUL bytes, is what a crash leaves; it is
// kept aside (without the NULs), cut from the file, said once, and the next
// reading starts a line of its own.
TEST_F(WorkingFileDamage, TornLastLineIsKeptAsideAndNeverReadAsAReading) {
    struct Case {
        const char* name;
        QByteArray tail;
        QByteArray kept; // in ZelTemp-torn.txt; empty: no such file
    } cases[] = {
        {"cut in a value", "ID2,2024-01-02 10:00:01,12.2031",
         "ID2,2024-01-02 10:00:01,12.2031\r\n"},
        {"cut then NULs", QByteArray("ID2,2024-01-02 10:00:01,150.", 29) + QByteArray(600, '\0'),
         "ID2,2024-01-02 10:00:01,150.\r\n"},
        {"NULs after a whole line", QByteArray(4096, '\0'), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(working);
        QFile::remove(file("ZelTemp-torn.txt"));
        writeFileBytes(working, header() + firstLine + c.tail);

        // Read before anything repairs it, the torn line is no reading.
        Series series;
        EXPECT_EQ(readDataFile(working, series, true).value(), 1);

        DataStore store(working);
        NoticeLog log(store);
        const Expected<void> ensured = store.ensureWorkingFile();
        ASSERT_TRUE(ensured) << ensured.error().text.toStdString();
        EXPECT_EQ(store.readDb().value(), 1);
        ASSERT_EQ(log.notices.size(), 1);
        EXPECT_TRUE(log.notices[0].contains(working)) << log.notices[0].toStdString();
        EXPECT_EQ(fileBytes(working), header() + firstLine);
        EXPECT_EQ(fileBytes(file("ZelTemp-torn.txt")),
                  c.kept.isEmpty() ? QByteArray("<missing>") : c.kept);

        ASSERT_TRUE(store.appendReading(numberedReading(3)));
        store.workingFile().close();
        ASSERT_TRUE(store.reopenAppend());
        EXPECT_EQ(log.notices.size(), 1) << "said once";
        EXPECT_EQ(fileBytes(working), header() + firstLine + readingLine(numberedReading(3)));
    }
}

// A NUL-filled block in the middle (a later block reached the disk first)
// is no reading either; lines after it still are.
TEST_F(WorkingFileDamage, LinesWithNulBytesAreNoReadings) {
    writeFileBytes(working, header() + firstLine + QByteArray(50, '\0') +
                                "9,2024-01-02 10:00:02,7\r\n" + readingLine(numberedReading(4)));
    Series series;
    const Expected<int32_t> r = readDataFile(working, series);
    EXPECT_EQ(r.value(), 2);
    EXPECT_EQ(series.lastIndex(), 1);
    EXPECT_EQ(series.values()[1], 4.0);
}

// A link planted at the working file's name is refused with a message
// naming it; its target is never touched.
TEST_F(WorkingFileDamage, PlantedLinkIsNeverWrittenThrough) {
    const QString target = file("target.txt");
    writeFileBytes(target, header() + "precious\r\n");
    ASSERT_TRUE(QFile::link(target, working));
    DataStore store(working);
    EXPECT_FALSE(store.ensureWorkingFile());
    const Expected<void> written = store.appendReading(numberedReading(1));
    ASSERT_FALSE(written);
    const QString why = written.error().text;
    EXPECT_TRUE(why.contains(working)) << why.toStdString();
    EXPECT_TRUE(why.contains("symbolic link")) << why.toStdString();
    EXPECT_EQ(fileBytes(target), header() + "precious\r\n");
}

// Readings are appended only under the column line this instrument writes
// now; otherwise the old file is kept whole under a new name and a new one
// begins. The date line and the other header lines do not count.
TEST_F(WorkingFileDamage, ReadingsAreAppendedOnlyUnderMatchingColumns) {
    struct Case {
        const char* name;
        QByteArray fileColumns;
        QByteArray nowColumns;
        bool appends;
    } cases[] = {
        {"one '-' family after another", "-", "-", true},
        {"Orvan, same unit, another day", OrvanSievert, OrvanSievert, true},
        {"Orvan in roentgen after sievert", OrvanSievert, OrvanRoentgen, false},
        {"Orvan after a '-' family", "-", OrvanSievert, false},
        {"a '-' family after Orvan", OrvanSievert, "-", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const QString& name : QDir(dir.path()).entryList(QDir::Files))
            QFile::remove(file(name));
        const QByteArray old = header(c.fileColumns, "1/1/2024") + firstLine;
        writeFileBytes(working, old);
        DataStore store(working);
        NoticeLog log(store);
        ASSERT_TRUE(store.reopenAppendUnder(header(c.nowColumns)));
        ASSERT_TRUE(store.appendReading(numberedReading(2)));
        store.workingFile().close();
        const QByteArray second = readingLine(numberedReading(2));
        if (c.appends) {
            EXPECT_EQ(fileBytes(working), old + second);
            EXPECT_TRUE(others().isEmpty());
            EXPECT_TRUE(log.notices.isEmpty());
            continue;
        }
        EXPECT_EQ(fileBytes(working), header(c.nowColumns) + second);
        ASSERT_EQ(others().size(), 1) << others().join(' ').toStdString();
        EXPECT_TRUE(others()[0].startsWith("ZelTemp-")) << others()[0].toStdString();
        EXPECT_EQ(fileBytes(file(others()[0])), old);
        ASSERT_EQ(log.notices.size(), 1);
        EXPECT_TRUE(log.notices[0].contains(file(others()[0]))) << log.notices[0].toStdString();
    }
}

// When the new file cannot begin (a full disk), the readings wait rather
// than land under the old columns, and the old file stays where it was.
TEST_F(WorkingFileDamage, ColumnsThatDoNotMatchOnAFullDiskHoldTheReadingsBack) {
    test::FullDisk disk(64 * 1024);
    ZEL_REQUIRE_FULL_DISK(disk);
    const QString path = disk.file("ZelTemp.csv");
    const QByteArray old = header("-") + firstLine;
    writeFileBytes(path, old);
    DataStore store(path);
    disk.fill();
    EXPECT_FALSE(store.reopenAppendUnder(header(OrvanSievert)));
    EXPECT_FALSE(store.appendReading(numberedReading(2)));
    EXPECT_EQ(fileBytes(path), old);
    disk.release();
    const Expected<void> written = store.appendReading(numberedReading(2));
    ASSERT_TRUE(written) << written.error().text.toStdString();
    store.workingFile().close();
    EXPECT_EQ(fileBytes(path), header(OrvanSievert) + readingLine(numberedReading(2)));
    QStringList kept = QDir(disk.path()).entryList({"ZelTemp-*.csv"}, QDir::Files);
    ASSERT_EQ(kept.size(), 1);
    EXPECT_EQ(fileBytes(disk.file(kept[0])), old);
}

} // namespace
