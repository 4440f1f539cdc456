// The session as the window and zel-monitor start it: what loadSettings()
// finds wrong and in which order, which keys the port key gates, the
// working file of the last run, and the port.
#include "common/datetime.h"
#include "station/session.h"

#include "station/families.h"
#include "support/fake_view.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <optional>

using namespace zel;
using Kind = SettingsProblem::Kind;

namespace {

class SessionTest : public ::testing::Test {
protected:
    SessionTest() { setDateLocale(QLocale(QLocale::English, QLocale::UnitedStates)); }
    SessionPaths paths() const { return SessionPaths{dir.path(), dir.filePath("Zel.ini")}; }
    void write(const QString& name, const QByteArray& text) {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }
    void writeSettings(const QByteArray& common) { write("Zel.ini", "[COMMON]\r\n" + common); }
    void writePort(const QByteArray& communication) {
        write("dax.ini",
              "[Communication]\r\n" + communication + "[Devices]\r\nCOM7=/dev/zel-test\r\n");
    }
    std::unique_ptr<Session> session() {
        return std::make_unique<Session>(paths(), port, clock, view);
    }

    QTemporaryDir dir;
    LoopbackTransport port;
    test::FakeView view;
    FixedClock clock{QDateTime(QDate(2026, 3, 14), QTime(10, 0, 0))};
};

// The monitor reports only the first problem, so the order is part of what
// it promises: the file before its keys, the port file before the family.
TEST_F(SessionTest, EachUnusableSettingIsFoundInItsPlace) {
    struct Case {
        const char* name;
        QByteArray zel; // Zel.ini section COMMON; "-" for no file, "/" for a folder
        QByteArray dax; // dax.ini section Communication
        std::optional<Kind> first;
        const char* file;   // file named by the problem
        const char* detail; // part of its detail
    };
    const QByteArray good = "InsType=1\r\nMinInt=0\r\nSecInt=1\r\n";
    const QByteArray goodPort = "Port=7\r\nBaudRate=9600\r\n";
    const Case cases[] = {
        {"usable", good, goodPort, std::nullopt, "", ""},
        {"no Zel.ini", "-", goodPort, Kind::SettingsMissing, "Zel.ini", "does not exist"},
        {"Zel.ini a folder", "/", goodPort, Kind::SettingsUnreadable, "Zel.ini", "cannot be read"},
        {"no Zel.ini and a bad port", "-", "Port=abc\r\n", Kind::SettingsMissing, "Zel.ini", ""},
        {"Port=abc", good, "Port=abc\r\n", Kind::BadPort, "dax.ini", "Port \"abc\""},
        {"Port=0", good, "Port=0\r\n", Kind::BadPort, "dax.ini", "Port \"0\""},
        {"Port=256", good, "Port=256\r\n", Kind::BadPort, "dax.ini", "(1 to 255)"},
        {"BaudRate=fast", good, "Port=7\r\nBaudRate=fast\r\n", Kind::BadBaudRate, "dax.ini",
         "BaudRate \"fast\""},
        {"BaudRate=-9600", good, "Port=7\r\nBaudRate=-9600\r\n", Kind::BadBaudRate, "dax.ini",
         "\"-9600\""},
        {"Port empty", good, "Port=\r\n", Kind::PortNotNamed, "dax.ini", "the key Port is empty"},
        {"bad port before bad family", "InsType=7\r\nSecInt=1\r\n", "Port=x\r\n", Kind::BadPort,
         "dax.ini", ""},
        {"InsType=7", "InsType=7\r\nSecInt=1\r\n", goodPort, Kind::BadFamily, "Zel.ini",
         "InsType is 7"},
        {"InsType=-1", "InsType=-1\r\nSecInt=1\r\n", goodPort, Kind::BadFamily, "Zel.ini",
         "InsType is -1"},
        {"SecInt=0", "InsType=1\r\nMinInt=0\r\nSecInt=0\r\n", goodPort, Kind::BadInterval,
         "Zel.ini", "MinInt, SecInt"},
        {"SecInt=1e9", "InsType=1\r\nMinInt=0\r\nSecInt=1e9\r\n", goodPort, Kind::BadInterval,
         "Zel.ini", ""},
        {"MinInt=2000", "InsType=1\r\nMinInt=2000\r\nSecInt=1\r\n", goodPort, Kind::BadInterval,
         "Zel.ini", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(dir.filePath("Zel.ini"));
        QDir(dir.path()).rmdir("Zel.ini");
        if (c.zel == "/")
            ASSERT_TRUE(QDir(dir.path()).mkdir("Zel.ini"));
        else if (c.zel != "-")
            writeSettings(c.zel);
        writePort(c.dax);

        const SettingsLoad load = session()->loadSettings();
        if (!c.first) {
            EXPECT_EQ(load.first(), nullptr) << load.first()->detail.toStdString();
            continue;
        }
        ASSERT_NE(load.first(), nullptr);
        EXPECT_EQ(load.first()->kind, *c.first);
        EXPECT_EQ(load.first()->file, dir.filePath(QString::fromLatin1(c.file)));
        EXPECT_TRUE(load.first()->detail.contains(QString::fromLatin1(c.detail)))
            << load.first()->detail.toStdString();
        EXPECT_TRUE(load.has(*c.first));
    }
}

// The window starts whatever was found: an empty port key leaves the
// thresholds and the family unread, a family out of range is Portables.
TEST_F(SessionTest, ThePortKeyGatesTheRestAndAFamilyOutOfRangeIsPortables) {
    writeSettings("FileNumber=12\r\nThreshold1=7\r\nInsType=3\r\nMinInt=2\r\nSecInt=30\r\n");
    writePort("Port=\r\nBaudRate=4800\r\n");
    auto s = session();
    const SettingsLoad unnamed = s->loadSettings();
    EXPECT_FALSE(unnamed.portNamed());
    EXPECT_EQ(s->settings().FileNumber, 12) << "read before the port key";
    EXPECT_EQ(s->settings().Threshold1, 0);
    EXPECT_EQ(s->settings().InstrumentType, 0);
    EXPECT_EQ(s->portSettings().BaudRate, 9600);

    writePort("Port=7\r\nBaudRate=4800\r\n");
    s = session();
    EXPECT_TRUE(s->loadSettings().portNamed());
    EXPECT_EQ(s->settings().Threshold1, 7);
    EXPECT_EQ(s->settings().InstrumentType, 3);
    EXPECT_EQ(s->portSettings().Port, 7);
    EXPECT_EQ(s->portSettings().BaudRate, 4800);
    EXPECT_EQ(s->portDevice(), "/dev/zel-test");
    s->buildStation();
    EXPECT_EQ(s->station().family().id, 3);
    EXPECT_EQ(s->station().interval().Minutes, 2);
    EXPECT_EQ(s->station().interval().Seconds, 30);

    writeSettings("InsType=9\r\nMinInt=0\r\nSecInt=0\r\n");
    s = session();
    EXPECT_TRUE(s->loadSettings().has(Kind::BadFamily));
    EXPECT_EQ(s->settings().InstrumentType, 0);
    s->buildStation();
    EXPECT_EQ(s->station().family().id, 0);
    EXPECT_EQ(s->station().interval().Seconds, MinIntervalSeconds) << "held to what a timer keeps";
}

TEST_F(SessionTest, TheWorkingFileOfTheLastRunKeepsItsReadings) {
    writeSettings("InsType=1\r\nSecInt=1\r\n");
    writePort("Port=7\r\n");
    QByteArray file = "\"Department: \"\r\n\"Date: \"\r\n\"Instrument Type: \"\r\n"
                      "\"Survey location: \"\r\n\"Surveyor: \"\r\n\"Signature:\"\r\n"
                      "\"Chargennummer: \"\r\n-\r\n";
    for (int i = 0; i < 3; ++i)
        file += QStringLiteral("On-Line,3/14/2026 10:0%1:00,1.5,mR/h,OK,DX24,\r\n").arg(i).toUtf8();
    write("ZelTemp.csv", file);

    auto s = session();
    s->loadSettings();
    s->buildStation();
    s->restoreWorkingFile();
    EXPECT_EQ(s->data().readingCount(), 3);
    EXPECT_EQ(view.count, 3);
    QFile kept(dir.filePath("ZelTemp.csv"));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), file) << "read, never rewritten";

    // Without one a working file with its header is begun.
    ASSERT_TRUE(QFile::remove(dir.filePath("ZelTemp.csv")));
    s = session();
    s->loadSettings();
    s->buildStation();
    s->restoreWorkingFile();
    EXPECT_EQ(s->data().readingCount(), 0);
    EXPECT_TRUE(QFile::exists(dir.filePath("ZelTemp.csv")));
}

TEST_F(SessionTest, APortThatDoesNotOpenIsReportedOnceAndClosedAtTheEnd) {
    writeSettings("InsType=1\r\nSecInt=1\r\n");
    writePort("Port=7\r\nBaudRate=4800\r\n");
    auto s = session();
    s->loadSettings();
    s->buildStation();

    port.setFailOpen(true);
    EXPECT_FALSE(s->openPort());
    EXPECT_EQ(view.criticals, QStringList{"Error in Opening Comm. port, Use Set Port "});
    QString detail;
    EXPECT_FALSE(s->reopenPort(&detail));
    EXPECT_EQ(detail, "refused");
    EXPECT_EQ(view.criticals.size(), 1) << "a quiet re-open says nothing itself";
    EXPECT_TRUE(port.takeWritten().isEmpty());

    port.setFailOpen(false);
    EXPECT_TRUE(s->openPort());
    EXPECT_EQ(port.openedDevice(), "/dev/zel-test");
    EXPECT_EQ(port.openedBaud(), 4800);
    EXPECT_FALSE(port.takeWritten().isEmpty()) << "the connection test went out";
    EXPECT_TRUE(s->reopenPort(nullptr));
    EXPECT_TRUE(port.takeWritten().isEmpty()) << "no test on a quiet re-open";

    s.reset();
    EXPECT_FALSE(port.isOpen());
}

} // namespace
