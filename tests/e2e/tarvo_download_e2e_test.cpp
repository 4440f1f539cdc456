// zel downloads the log of a simulated Tarvo-5 that stops answering part-way;
// "Get Data" resumes where it stopped and nothing is lost or doubled.
#include "support/e2e_fixture.h"

#include <QPushButton>

using namespace zel;

namespace {

class TarvoDownloadE2e : public test::SimE2e {
protected:
    void SetUp() override { configure(Tarvo5); }
};

TEST_F(TarvoDownloadE2e, InterruptedDownloadIsResumed) {
    startSim("tarvo5", {"--steady", "--records", "10", "--stop-after-record", "5"});
    startZel();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->station().state().instrumentReady; }, 6000))
        << status().toStdString();
    auto* btGetData = window->findChild<QPushButton*>("btGetData");
    ASSERT_TRUE(QTest::qWaitFor([&] { return btGetData->isEnabled(); }, 3000));
    window->data().unsaved = false;

    btGetData->click();
    ASSERT_TRUE(waitForStatus("Download was interrupted , press 'Get Data'", 6000))
        << status().toStdString();
    EXPECT_EQ(window->list().rowIndex, 5);
    EXPECT_EQ(fileReadings(), 5);
    EXPECT_EQ(window->findChild<QLabel*>("lblDownload")->text(), "Record 5 of 10");
    const int asked = int(questions.size());

    btGetData->click();
    ASSERT_TRUE(waitForStatus("Data downloaded succesfully", 6000)) << status().toStdString();
    EXPECT_EQ(questions.size(), asked) << "a resume appends without asking";
    ASSERT_EQ(window->list().rowIndex, 10);
    EXPECT_EQ(fileReadings(), 10);
    for (int row = 1; row <= 10; ++row)
        EXPECT_EQ(window->list().cell(row, 0), QString::number(10 - row)) << row;
    EXPECT_FALSE(window->station().state().downloading);
    window->data().unsaved = false;
}

} // namespace
