// zel polling a simulated Orvan on a real pseudo-terminal, with the real
// serial link and real files in a throw-away program folder.
#include "support/e2e_fixture.h"
#include "ui/main_window.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace zel;

namespace {

class OrvanE2e : public test::SimE2e {
protected:
    void SetUp() override { configure(3, "0", "1", "Threshold1=100\r\nThreshold2=500\r\n"); }
    void startSim(const QStringList& extra) { SimE2e::startSim("orvan", extra); }
    QString label(const char* name) { return window->findChild<QLabel*>(name)->text(); }
    QStringList fileLines() {
        QFile f(dir.filePath("prog/ZelTemp.csv"));
        f.open(QIODevice::ReadOnly);
        return QString::fromUtf8(f.readAll()).split("\r\n", Qt::SkipEmptyParts);
    }
};

TEST_F(OrvanE2e, PolledEverySecondTheNumbersLandInTheirColumnsAndFileFields) {
    startSim({"--steady", "--units", "0", "--gm", "12345", "--cps", "42", "--americium", "11",
              "--cesium", "22", "--cobalt", "33", "--neutrons", "44"});
    startZel();
    Station& s = window->station();
    ASSERT_TRUE(QTest::qWaitFor([&] { return s.state().instrumentReady; }, 5000))
        << label("lblTime").toStdString();
    EXPECT_EQ(label("lblTime"), "Instrument Succesfully Connected");
    EXPECT_EQ(window->list().heading(3), "GM uSv/h");
    EXPECT_TRUE(messages.isEmpty()) << messages.join('|').toStdString();

    auto* start = window->findChild<QPushButton*>("btStart");
    ASSERT_TRUE(start->isEnabled());
    start->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->list().rowIndex >= 3; }, 8000));
    const MeasurementList& list = window->list();
    const QString row[] = {"11", "", "42", "  123.45", "       44", "22", "         33"};
    for (int c = 0; c < MeasurementList::Columns; ++c) {
        if (c == 1)
            continue; // the time is the computer's
        EXPECT_EQ(list.cell(1, c), row[c]) << c;
    }
    EXPECT_EQ(label("lblValue"), "123.45 uSv/h");
    EXPECT_EQ(label("lblDose"), "42 cps");

    if (const QByteArray shots = qgetenv("ZEL_SCREENSHOT_DIR"); !shots.isEmpty()) {
        window->resize(1100, 640);
        QTest::qWait(200);
        window->grab().save(QDir(QString::fromLocal8Bit(shots)).filePath("main-window-orvan.png"));
    }

    start->click();
    QTest::qWait(1200); // a reply already on its way still lands
    const QStringList lines = fileLines();
    ASSERT_EQ(lines.size(), 8 + list.rowIndex);
    EXPECT_EQ(lines[7], "Americium,Time,Gamma(uSv/h),Neutrons,Cesium,Cobalt,CPS");
    EXPECT_EQ(lines[8], "11," + list.cell(1, 1) + ",123.45,44,22,33,42");
    EXPECT_EQ(s.state().totalErrors, 0u);
}

TEST_F(OrvanE2e, GarbageIsCountedAndReadingsGoOn) {
    startSim({"--garbage-every", "3", "--error-every", "4"});
    startZel();
    Station& s = window->station();
    ASSERT_TRUE(QTest::qWaitFor([&] { return s.state().instrumentReady; }, 5000));
    window->findChild<QPushButton*>("btStart")->click();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return window->list().rowIndex >= 4 && s.state().totalErrors >= 2; }, 10000))
        << window->list().rowIndex << " rows, " << s.state().totalErrors << " errors";
    EXPECT_TRUE(s.state().instrumentReady);
    bool errorRow = false;
    for (int r = 1; r <= window->list().rowIndex; ++r)
        errorRow = errorRow || window->list().cell(r, 5) == "Ilgl Par";
    EXPECT_TRUE(errorRow);
}

TEST_F(OrvanE2e, SilentOrvanIsAskedThreeTimesThenReportedLost) {
    startSim({"--silent"});
    startZel();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return label("lblTime") == "Instrument not responding"; }, 6000))
        << label("lblTime").toStdString();
    EXPECT_EQ(window->station().state().totalErrors, 3u);
    EXPECT_FALSE(window->findChild<QPushButton*>("btStart")->isEnabled());
}

} // namespace
