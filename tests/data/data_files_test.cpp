#include "data/data_files.h"
#include "protocol/orvan.h"

#include "common/datetime.h"
#include "station/families.h"
#include "support/data_file_helpers.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <ctime>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace zel;

namespace {

const QByteArray EmptyPortablesHeader = "\"Department: \"\r\n"
                                        "\"Date: 1/2/2024\"\r\n"
                                        "\"Instrument Type: \"\r\n"
                                        "\"Survey location: \"\r\n"
                                        "\"Surveyor: \"\r\n"
                                        "\"Signature:\"\r\n"
                                        "\"Chargennummer: \"\r\n"
                                        "-\r\n";

MeasurementRecord reading(int n, const QString& time = QStringLiteral("2024-01-02 10:00:00")) {
    return test::numberedReading(n, time);
}

class DataFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        setDateLocale(QLocale(QLocale::English, QLocale::UnitedStates));
        legend.Date = QStringLiteral("1/2/2024");
    }
    QString file(const QString& name) const { return dir.filePath(name); }
    static QByteArray bytes(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    static void writeBytes(const QString& path, const QByteArray& data) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(f.write(data), data.size());
    }
    QByteArray header() const { return headerLines(legend, QString()); }

    QTemporaryDir dir;
    Legend legend;
};

TEST_F(DataFilesTest, HeaderLinesByFamily) {
    EXPECT_EQ(header(), EmptyPortablesHeader);

    Legend full = legend;
    full.Department = QStringLiteral("Lab");
    full.Detector = QStringLiteral("RDS-31");
    full.Location = QStringLiteral("Hall 2");
    full.Personnel = QStringLiteral("Ann");
    const QByteArray orvan = headerLines(
        full, QStringLiteral("17"), familyOrDefault(Orvan).fileColumnLine(QStringLiteral("uSv/h")));
    EXPECT_EQ(orvan, "\"Department: Lab\"\r\n"
                     "\"Date: 1/2/2024\"\r\n"
                     "\"Instrument Type: RDS-31\"\r\n"
                     "\"Survey location: Hall 2\"\r\n"
                     "\"Surveyor: Ann\"\r\n"
                     "\"Signature:\"\r\n"
                     "\"Chargennummer: 17\"\r\n"
                     "Americium,Time,Gamma(uSv/h),Neutrons,Cesium,Cobalt,CPS\r\n");

    // A typed line break or quote never shifts the eight lines.
    Legend odd = legend;
    odd.Department = QStringLiteral("A\r\nB \"C\"");
    odd.Personnel = QStringLiteral("x\ny");
    const QByteArray h =
        headerLines(odd, QStringLiteral("1\n2"),
                    familyOrDefault(Orvan).fileColumnLine(QStringLiteral("u\r\nS")));
    EXPECT_EQ(h.count("\r\n"), 8);
    EXPECT_EQ(h.count('\n'), 8);
    EXPECT_TRUE(h.startsWith("\"Department: A  B \"\"C\"\"\"\r\n")) << h.constData();
}

TEST_F(DataFilesTest, ReadingLinesAreBareUnlessAFieldNeedsQuotes) {
    EXPECT_EQ(readingLine(reading(7)), "ID7,2024-01-02 10:00:00,7,mR/h,OK,GM, \r\n");
    MeasurementRecord empty;
    EXPECT_EQ(readingLine(empty), ",,,,,,\r\n");

    MeasurementRecord odd = reading(1);
    odd.InstrumentId = QStringLiteral("a,b");
    odd.Status = QStringLiteral("say \"hi\"");
    odd.Detector = QStringLiteral("x\r\ny");
    const QByteArray line = readingLine(odd);
    EXPECT_EQ(line, "\"a,b\",2024-01-02 10:00:00,1,mR/h,\"say \"\"hi\"\"\",\"x\r\ny\", \r\n");
    const QStringList fields = splitDataLine(line.chopped(2));
    EXPECT_EQ(fields, QStringList({"a,b", "2024-01-02 10:00:00", "1", "mR/h", "say \"hi\"",
                                   "x\r\ny", " "}));

    // Lines of older files: a quote inside a bare field is an ordinary character.
    EXPECT_EQ(splitDataLine("ab\"c,d"), QStringList({"ab\"c", "d"}));
    EXPECT_EQ(splitDataLine(""), QStringList({""}));
    EXPECT_EQ(splitDataLine("a,"), QStringList({"a", ""}));
    // Quoting counts only where it is whole; otherwise the commas split.
    EXPECT_EQ(splitDataLine("\"open,never closed"), QStringList({"\"open", "never closed"}));
    EXPECT_EQ(splitDataLine("\"a\"b,c"), QStringList({"\"a\"b", "c"}));
    EXPECT_EQ(splitDataLine("\"a\",\"b,\"\"c\"\"\""), QStringList({"a", "b,\"c\""}));
}

TEST_F(DataFilesTest, NewWorkingFileThenReadingsAreExactBytes) {
    DataStore store(file("ZelTemp.csv"));
    ASSERT_TRUE(store.openNewTempFile(header()));
    EXPECT_EQ(store.readingCount(), 0);
    EXPECT_EQ(store.series().lastIndex(), -1);
    ASSERT_TRUE(store.appendReading(reading(1)));
    // Flushed at once: another reader sees the line while the file is open.
    EXPECT_EQ(bytes(file("ZelTemp.csv")),
              EmptyPortablesHeader + "ID1,2024-01-02 10:00:00,1,mR/h,OK,GM, \r\n");
    // The feed finds the line by where it ends: the file's size, not asked again.
    EXPECT_EQ(store.workingFile().lastLineEnd(), bytes(file("ZelTemp.csv")).size());
}

TEST_F(DataFilesTest, QuotedFieldsReadBack) {
    DataStore store(file("ZelTemp.csv"));
    ASSERT_TRUE(store.openNewTempFile(header()));
    MeasurementRecord odd = reading(2);
    odd.InstrumentId = QStringLiteral("id,\"x\"\r\nmore");
    odd.Units = QStringLiteral("c,p\ns");
    ASSERT_TRUE(store.appendReading(reading(1)));
    ASSERT_TRUE(store.appendReading(odd));
    ASSERT_TRUE(store.appendReading(reading(3)));
    const Expected<int32_t> r = store.readDb();
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(r.value(), 3);
    EXPECT_EQ(store.series().lastIndex(), 2);
    EXPECT_EQ(store.series().titleId, odd.InstrumentId);
    EXPECT_EQ(store.series().units, odd.Units);
    EXPECT_DOUBLE_EQ(store.series().values()[2], 3);
}

TEST_F(DataFilesTest, SaveCopiesRestartsAndReadsBackPastTheHeader) {
    DataStore store(file("ZelTemp.csv"));
    ASSERT_TRUE(store.openNewTempFile(header()));
    const QDateTime t0(QDate(2024, 1, 2), QTime(10, 0, 0));
    for (int n = 0; n < 10; ++n) {
        store.takeReading(0, 0);
        ASSERT_TRUE(store.appendReading(reading(n, formatGeneralDateTime(t0.addSecs(n)))));
    }
    EXPECT_EQ(store.readingCount(), 10);
    EXPECT_TRUE(store.unsaved);
    const QByteArray before = bytes(file("ZelTemp.csv"));

    Legend next = legend;
    next.Department = QStringLiteral("New");
    const QByteArray fresh = headerLines(next, QString());
    const auto outcome = store.saveToFile(file("ZelData0.csv"), file("Data4Excel.csv"), fresh);
    ASSERT_TRUE(outcome.has_value()) << outcome.error().text.toStdString();
    EXPECT_FALSE(store.unsaved);
    EXPECT_EQ(bytes(file("ZelData0.csv")), before);
    EXPECT_EQ(bytes(file("Data4Excel.csv")), before);
    EXPECT_EQ(bytes(file("ZelTemp.csv")), fresh);
    EXPECT_EQ(store.readingCount(), 10); // the counters are the caller's until a new file

    // The fresh working file is open: the next reading lands after its header.
    ASSERT_TRUE(store.appendReading(reading(42)));
    EXPECT_EQ(bytes(file("ZelTemp.csv")), fresh + readingLine(reading(42)));

    Series series;
    const Expected<int32_t> r = readDataFile(file("ZelData0.csv"), series);
    EXPECT_EQ(r.value(), 10);
    ASSERT_EQ(series.lastIndex(), 9);
    EXPECT_DOUBLE_EQ(series.values()[0], 0);
    EXPECT_DOUBLE_EQ(series.values()[9], 9);
    EXPECT_NEAR(series.times()[9] - series.times()[0], 9.0 / 86400, 1e-9);
    EXPECT_DOUBLE_EQ(series.times()[0], toDayCount(t0));
    EXPECT_EQ(series.units, "mR/h");
    EXPECT_EQ(series.titleId, "ID1");

    // A second save overwrites the common file.
    ASSERT_TRUE(store.saveToFile(file("ZelData1.csv"), file("Data4Excel.csv"), fresh).has_value());
    EXPECT_EQ(bytes(file("Data4Excel.csv")), fresh + readingLine(reading(42)));
}

TEST_F(DataFilesTest, FailedSaveLeavesTheWorkingFileAsItWas) {
    DataStore store(file("ZelTemp.csv"));
    ASSERT_TRUE(store.openNewTempFile(header()));
    store.takeReading(0, 0);
    ASSERT_TRUE(store.appendReading(reading(1)));
    const QByteArray before = bytes(file("ZelTemp.csv"));

    // Missing folder for the saved file.
    auto outcome = store.saveToFile(file("no/such/dir/a.csv"), file("Data4Excel.csv"), "X\r\n");
    EXPECT_FALSE(outcome.has_value());
    EXPECT_FALSE(outcome.error().text.isEmpty());
    EXPECT_TRUE(store.unsaved);
    EXPECT_EQ(bytes(file("ZelTemp.csv")), before);
    EXPECT_FALSE(QFile::exists(file("Data4Excel.csv")));

    // The saved copy succeeds but the common file cannot be written.
    outcome = store.saveToFile(file("a.csv"), file("gone/Data4Excel.csv"), "X\r\n");
    EXPECT_FALSE(outcome.has_value());
    EXPECT_EQ(bytes(file("ZelTemp.csv")), before);

    // Saving onto the working file itself would wipe the only copy.
    outcome = store.saveToFile(file("ZelTemp.csv"), file("Data4Excel.csv"), "X\r\n");
    EXPECT_FALSE(outcome.has_value());
    EXPECT_EQ(bytes(file("ZelTemp.csv")), before);

    // A target that is a folder, and one below a plain file.
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder"));
    EXPECT_FALSE(store.saveToFile(file("folder"), file("Data4Excel.csv"), "X\r\n").has_value());
    EXPECT_FALSE(
        store.saveToFile(file("a.csv/b.csv"), file("Data4Excel.csv"), "X\r\n").has_value());
    EXPECT_EQ(bytes(file("ZelTemp.csv")), before);

    // A read-only folder (root ignores permissions, so only as a user).
    if (geteuid() != 0) {
        ASSERT_TRUE(QDir(dir.path()).mkdir("ro"));
        writeBytes(file("ro/old.csv"), "old");
        QFile::setPermissions(file("ro"), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        outcome = store.saveToFile(file("ro/old.csv"), file("Data4Excel.csv"), "X\r\n");
        QFile::setPermissions(file("ro"), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                              QFileDevice::ExeOwner);
        EXPECT_FALSE(outcome.has_value());
        EXPECT_EQ(bytes(file("ro/old.csv")), "old");
        EXPECT_EQ(bytes(file("ZelTemp.csv")), before);
    }

    // The channel was reopened: readings keep reaching the file.
    ASSERT_TRUE(store.appendReading(reading(2)));
    EXPECT_EQ(bytes(file("ZelTemp.csv")), before + readingLine(reading(2)));
}

TEST_F(DataFilesTest, SeriesKeepsTheNewest10001OfManyReadings) {
    QByteArray data = header();
    data.reserve(200000 * 40);
    for (int n = 0; n < 200000; ++n)
        data += "ID," + QByteArray("2024-01-02 10:00:00,") + QByteArray::number(n) + ",cps,,, \r\n";
    writeBytes(file("big.csv"), data);
    Series series;
    const Expected<int32_t> r = readDataFile(file("big.csv"), series);
    EXPECT_EQ(r.value(), 200000);
    ASSERT_EQ(series.lastIndex(), 10000);
    EXPECT_DOUBLE_EQ(series.values()[0], 189999);
    EXPECT_DOUBLE_EQ(series.values()[10000], 199999);
    // Units and title still come from the file's second reading.
    EXPECT_EQ(series.units, "cps");

    // Live readings past the capacity push the oldest out.
    for (int n = 0; n < 3; ++n)
        series.append(50000 + n, 200000 + n);
    EXPECT_EQ(series.lastIndex(), 10000);
    EXPECT_DOUBLE_EQ(series.values()[0], 190002);
    EXPECT_DOUBLE_EQ(series.values()[10000], 200002);
    EXPECT_DOUBLE_EQ(series.times()[10000], 50002);
    // Hours of live readings slide the held ones along and back again: after
    // every reading the series is still the newest 10001, oldest first.
    for (int n = 3; n < 40000; ++n) {
        series.append(50000 + n, 200000 + n);
        ASSERT_EQ(series.lastIndex(), 10000) << n;
        ASSERT_DOUBLE_EQ(series.values()[0], 200000 + n - 10000) << n;
        ASSERT_DOUBLE_EQ(series.times()[10000], 50000 + n) << n;
    }
    for (int k = 0; k <= 10000; ++k)
        ASSERT_DOUBLE_EQ(series.values()[size_t(k)], 200000 + 40000 - 10001 + k) << k;

    // Exactly full and one short of it stay in file order.
    for (int lines : {10000, 10001, 10002}) {
        QByteArray some = header();
        for (int n = 0; n < lines; ++n)
            some += "ID,2024-01-02 10:00:00," + QByteArray::number(n) + "\r\n";
        writeBytes(file("some.csv"), some);
        readDataFile(file("some.csv"), series);
        ASSERT_EQ(series.lastIndex(), std::min(lines, 10001) - 1) << lines;
        EXPECT_DOUBLE_EQ(series.values()[0], std::max(0, lines - 10001)) << lines;
        EXPECT_DOUBLE_EQ(series.values()[size_t(series.lastIndex())], lines - 1) << lines;
    }
}

TEST_F(DataFilesTest, UnusableLinesAreCountedNotStored) {
    writeBytes(file("mixed.csv"), header() + "A,2024-01-02 10:00:00,1.5x,cps\r\n" // stored
                                             "\r\n"                               // empty: counted
                                             "B,not a date,2\r\n"                 // counted
                                             "C,2024-01-02 10:00:01\r\n"          // too few fields
                                             "D,2024-01-02 10:00:02,3,uSv/h\n"    // LF only: stored
                                             "E,2024-01-02 10:00:03,4");          // no line end
    Series series;
    series.units = QStringLiteral("stale");
    const Expected<int32_t> r = readDataFile(file("mixed.csv"), series);
    EXPECT_EQ(r.value(), 6);
    ASSERT_EQ(series.lastIndex(), 2);
    EXPECT_DOUBLE_EQ(series.values()[0], 1.5);
    EXPECT_DOUBLE_EQ(series.values()[1], 3);
    EXPECT_DOUBLE_EQ(series.values()[2], 4);
    EXPECT_EQ(series.units, "uSv/h");
    EXPECT_EQ(series.titleId, "D");

    // Eight lines or fewer: no readings, the series empty.
    writeBytes(file("short.csv"), header());
    EXPECT_EQ(readDataFile(file("short.csv"), series).value(), 0);
    EXPECT_EQ(series.lastIndex(), -1);

    // A file that cannot be opened leaves the series alone.
    for (int n = 0; n < 5; ++n)
        series.append(n, n);
    EXPECT_FALSE(readDataFile(file("absent.csv"), series).has_value());
    EXPECT_EQ(series.lastIndex(), 4);
}

// The reader reuses a repeated date; every answer must still be the date
// parser's own, also on the days the clock changes.
void expectParserTimes(const QString& path, const QStringList& times) {
    Series series;
    ASSERT_EQ(readDataFile(path, series).value(), times.size());
    int entry = 0;
    for (const QString& t : times) {
        const auto parsed = parseGeneralDateTime(t);
        if (!parsed)
            continue;
        ASSERT_LE(entry, series.lastIndex()) << t.toStdString();
        EXPECT_DOUBLE_EQ(series.times()[size_t(entry)], toDayCount(*parsed)) << t.toStdString();
        ++entry;
    }
    EXPECT_EQ(entry, series.lastIndex() + 1);
}

TEST_F(DataFilesTest, TimesReadAsTheDateParserReadsThem) {
    const QStringList times = {
        "1/2/2024 08:00:00",   "1/2/2024 8:00:01",    "1/2/2024 23:59:59",   "1/2/2024 24:00:00",
        "1/2/2024 08:60:00",   "1/3/2024 00:00:00",   "1/2/2024 08:00:02",   "13/2/2024 08:00:00",
        "13/2/2024 08:00:01",  "1/2/2024  08:00:03",  " 1/2/2024 08:00:04 ", "1/2/2024 8:00 PM",
        "2024-01-02 10:00:00", "2024-01-02T10:00:00", "2024-01-02 10:00:01", "1/2/2024",
        "junk 08:00:00",       "junk 08:00:01",       "1/2/2024 08:00:0x",   "02.01.2024 07:00:00",
    };
    QByteArray data = header();
    for (const QString& t : times)
        data += "I," + t.toUtf8() + ",1\r\n";
    writeBytes(file("times.csv"), data);
    expectParserTimes(file("times.csv"), times);

    const QByteArray oldTz = qgetenv("TZ");
    qputenv("TZ", "Europe/Berlin");
    tzset();
    const QStringList clockChange = {"3/31/2024 01:59:59",  "3/31/2024 02:30:00",
                                     "3/31/2024 03:00:00",  "10/27/2024 02:30:00",
                                     "10/27/2024 03:30:00", "1/2/2024 12:00:00"};
    data = header();
    for (const QString& t : clockChange)
        data += "I," + t.toUtf8() + ",1\r\n";
    writeBytes(file("dst.csv"), data);
    // The days the clock changes count as the calendar says: the skipped
    // half past two is kept, neither dropped nor moved.
    Series series;
    ASSERT_EQ(readDataFile(file("dst.csv"), series).value(), clockChange.size());
    ASSERT_EQ(series.lastIndex(), clockChange.size() - 1);
    for (int i = 0; i < clockChange.size(); ++i) {
        const QDateTime wall = QDateTime::fromString(clockChange[i], "M/d/yyyy HH:mm:ss");
        EXPECT_DOUBLE_EQ(series.times()[size_t(i)],
                         QDate(1899, 12, 30).daysTo(wall.date()) +
                             wall.time().msecsSinceStartOfDay() / 86400000.0)
            << clockChange[i].toStdString();
    }
    if (oldTz.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", oldTz);
    tzset();
}

// Working files as other systems write them: their own date forms, the
// original's "h:mm:ss AM" times, a status text that begins with a quote and
// another with quotes inside, values with an exponent. Each reads whole in
// every locale.
TEST_F(DataFilesTest, FilesWrittenElsewhereReadBackWhole) {
    const QDateTime first(QDate(2026, 3, 14), QTime(9, 59, 59));
    const QDir files(QStringLiteral(ZEL_TEST_FILES));
    const QStringList names = files.entryList({"*.csv"}, QDir::Files);
    ASSERT_GE(names.size(), 8);
    for (const char* locale : {"en_US", "de_DE", "he_IL", "C"}) {
        setDateLocale(QLocale(QString::fromLatin1(locale)));
        for (const QString& name : names) {
            const std::string where = std::string(locale) + " " + name.toStdString();
            Series series;
            const Expected<int32_t> r = readDataFile(files.filePath(name), series);
            EXPECT_EQ(r.value(), 10) << where;
            EXPECT_EQ(series.lastIndex(), 9) << where;
            if (series.lastIndex() != 9)
                continue;
            for (int k = 0; k < 10; ++k) {
                const QDateTime moment = first.addSecs(k * (3600 + 17 * 60 + 3));
                EXPECT_DOUBLE_EQ(series.times()[size_t(k)], toDayCount(moment))
                    << where << " reading " << k;
                const double value = name == "iso.csv" ? (k + 0.25) * 1e-20 : k + 0.25;
                EXPECT_DOUBLE_EQ(series.values()[size_t(k)], value) << where;
            }
            EXPECT_EQ(series.units, "mR/h") << where;
            EXPECT_EQ(series.titleId, "On-Line") << where;
        }
    }
}

TEST_F(DataFilesTest, GarbageBinaryAndHugeLinesNeverHurt) {
    // One 5 MB line, then a good reading.
    QByteArray huge =
        header() + QByteArray(5 * 1024 * 1024, 'x') + "\r\n" + "G,2024-01-02 10:00:00,7,cps\r\n";
    writeBytes(file("huge.csv"), huge);
    Series series;
    Expected<int32_t> r = readDataFile(file("huge.csv"), series);
    EXPECT_EQ(r.value(), 2);
    ASSERT_EQ(series.lastIndex(), 0);
    EXPECT_DOUBLE_EQ(series.values()[0], 7);

    // An unclosed quote cannot swallow more than the line limit.
    QByteArray open = header() + "\"unclosed,2024-01-02 10:00:00,1\r\n";
    for (int n = 0; n < 5000; ++n)
        open += "Q,2024-01-02 10:00:00," + QByteArray::number(n) + ",cps\r\n";
    writeBytes(file("open.csv"), open);
    r = readDataFile(file("open.csv"), series);
    EXPECT_GT(r.value(), 1);
    EXPECT_GT(series.lastIndex(), 0);
}

TEST_F(DataFilesTest, WorkingFileAtStartUp) {
    DataStore store(file("ZelTemp.csv"));
    store.headerProvider = [this] { return header(); };

    // Missing: created with its header before anything is appended.
    ASSERT_TRUE(store.ensureWorkingFile());
    EXPECT_EQ(bytes(file("ZelTemp.csv")), header());
    ASSERT_TRUE(store.appendReading(reading(1)));
    store.workingFile().close();

    // Present with readings: kept as it is.
    const QByteArray withReading = bytes(file("ZelTemp.csv"));
    ASSERT_TRUE(store.ensureWorkingFile());
    EXPECT_EQ(bytes(file("ZelTemp.csv")), withReading);
    store.workingFile().close();

    // A stub shorter than a header holds no reading: it gets a header.
    writeBytes(file("ZelTemp.csv"), "\"Department: \"\r\n");
    ASSERT_TRUE(store.ensureWorkingFile());
    ASSERT_TRUE(store.appendReading(reading(2)));
    EXPECT_EQ(store.readDb().value(), 1);

    // A last line cut short inside the header gets its line end: cutting it
    // would make the next readings header lines.
    store.workingFile().close();
    writeBytes(file("ZelTemp.csv"), header().left(header().size() - 2));
    ASSERT_TRUE(store.reopenAppend());
    ASSERT_TRUE(store.appendReading(reading(3)));
    EXPECT_EQ(bytes(file("ZelTemp.csv")), header() + readingLine(reading(3)));

    // readDb of a missing working file creates it for the readings to come.
    store.workingFile().close();
    QFile::remove(file("ZelTemp.csv"));
    const Expected<int32_t> r = store.readDb();
    EXPECT_FALSE(r.has_value());
    EXPECT_TRUE(store.workingFile().isOpen());
    EXPECT_EQ(bytes(file("ZelTemp.csv")), header());
}

TEST_F(DataFilesTest, CountersStayInsideTheSeries) {
    DataStore store(file("ZelTemp.csv"));
    for (int n = 0; n < Series::Capacity + 50; ++n)
        store.takeReading(0, 0);
    EXPECT_EQ(store.series().lastIndex(), Series::Capacity - 1);
    EXPECT_EQ(store.readingCount(), Series::Capacity + 50);
}

} // namespace
