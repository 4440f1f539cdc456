// zel-monitor started on a working file another instrument began: its
// readings are kept whole under a new name and the Orvan's go to a new
// working file under their own columns, with a line that says so.
#include "support/e2e_fixture.h"

namespace {

using zel::test::MonitorE2e;

TEST_F(MonitorE2e, WorkingFileOfAnotherFamilyIsKeptWholeAndANewOneBegins) {
    const QByteArray tarvoRun =
        "\"Department: \"\r\n\"Date: 3/1/2026\"\r\n\"Instrument Type: \"\r\n"
        "\"Survey location: \"\r\n\"Surveyor: \"\r\n\"Signature:\"\r\n"
        "\"Chargennummer: \"\r\n-\r\n"
        "On-Line,3/1/2026 09:00:00,0.12,mR/h,OK,DX24, \r\n";
    QFile old(prog() + "/ZelTemp.csv");
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write(tarvoRun);
    old.close();
    writeSettings("InsType=3\r\nMinInt=0\r\nSecInt=1\r\n");
    startSim("orvan", {});
    startMonitor();
    ASSERT_TRUE(waitFor("reading", 2, 20000)) << output.toStdString();
    EXPECT_EQ(stopMonitor(), 0) << output.toStdString();

    const QStringList kept = QDir(prog()).entryList({"ZelTemp-*.csv"}, QDir::Files);
    ASSERT_EQ(kept.size(), 1) << output.toStdString();
    QFile keptFile(prog() + '/' + kept[0]);
    ASSERT_TRUE(keptFile.open(QIODevice::ReadOnly));
    EXPECT_EQ(keptFile.readAll(), tarvoRun);
    EXPECT_EQ(mentions("kept whole as " + prog() + '/' + kept[0]), 1) << output.toStdString();
    QFile now(prog() + "/ZelTemp.csv");
    ASSERT_TRUE(now.open(QIODevice::ReadOnly));
    EXPECT_TRUE(now.readAll().split('\n').value(7).startsWith("Americium,Time,Gamma("));
    EXPECT_EQ(fileReadings(), count("reading"));
}

} // namespace
