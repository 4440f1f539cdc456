// zel collecting from zel-sim with its program folder on a small file system
// that fills up and empties again, and on one that is full when a save is
// asked for: every reading reaches the working file exactly once.
#include "support/e2e_fixture.h"
#include "support/full_disk.h"

#include <QLineEdit>

using namespace zel;

namespace {

class FullDiskE2e : public test::SimE2e {
protected:
    QList<QByteArray> readingLines() {
        QFile f(prog() + "/ZelTemp.csv");
        if (!f.open(QIODevice::ReadOnly))
            return {};
        QList<QByteArray> lines = f.readAll().split('\n');
        lines = lines.mid(8);
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        return lines;
    }
    int taken() { return window->data().readingCount(); }
};

TEST_F(FullDiskE2e, ReadingsWhileTheDiskIsFullAreFiledOnceWhenItEmpties) {
    test::FullDisk disk(1024 * 1024);
    ZEL_REQUIRE_FULL_DISK(disk);
    programFolder = disk.file("prog");
    configure(1);
    startSim("tarvo5", {"--push-every", "0.02"});
    startZel();
    ASSERT_TRUE(QTest::qWaitFor([&] { return taken() >= 10; }, 10000));
    disk.fill();
    // The file's last page still takes a few lines; then readings wait.
    ASSERT_TRUE(waitForStatus("Reading not written to ZelTemp.csv", 20000));
    const int whenFull = taken();
    ASSERT_TRUE(QTest::qWaitFor([&] { return taken() >= whenFull + 20; }, 10000));
    EXPECT_LT(readingLines().size(), taken()) << "the disk was full: some readings wait";
    disk.release();
    const int afterFree = taken();
    ASSERT_TRUE(QTest::qWaitFor([&] { return taken() >= afterFree + 10; }, 10000));
    sim.kill();
    sim.waitForFinished(3000);
    QTest::qWait(200); // the last pushed bytes
    const int total = taken();
    const QList<QByteArray> lines = readingLines();
    EXPECT_EQ(lines.size(), total) << "every reading once: none lost, none twice";
    for (const QByteArray& line : lines)
        EXPECT_EQ(line.count(','), 6) << "no line cut by the full disk: " << line.toStdString();
    EXPECT_EQ(messages.filter("could not be written to the working file").size(), 1)
        << "the full disk is told once: " << messages.join("|").toStdString();
    window->data().unsaved = false;
}

} // namespace
