// The log download of a Tarvo-5: from the highest record down, the end
// message, interruptions and their resume, and logs too large for the
// one-byte request.
#include "protocol/tarvo.h"
#include "station/tarvo_conversation.h"
#include "support/station_fixture.h"

#include "support/tarvo_frames.h"
#include <gtest/gtest.h>

#include <QCoreApplication>

using namespace zel;
using test::readingPayload;

namespace {

QByteArray hex(const char* h) {
    return QByteArray::fromHex(h);
}

QByteArray request(int b2, int b3) {
    return tarvo::buildTarvoFrame(QByteArray::fromHex("83") + char(b2) + char(b3));
}

class TarvoDownload : public ::testing::Test, public test::StationRig {
protected:
    TarvoDownload() : StationRig(Tarvo5) {}

    // Reading lines of the working file, after its header of 8 lines.
    QStringList fileReadings() const { return fileLines().mid(8); }

    void receive(const QByteArray& payload) { port.inject(tarvo::buildTarvoFrame(payload)); }
    void becomeReady() {
        ASSERT_TRUE(openPort());
        receive(hex("021B001B0000"));
        receive(hex("05"));
        port.takeWritten();
        view.statusHistory.clear();
    }
    // Logged record number b2 x 255 + b3.
    void record(int number) {
        receive(readingPayload(0x84, 0.01f, 1, 0, uint8_t(number / 255), uint8_t(number % 255)));
    }
};

} // namespace

TEST_F(TarvoDownload, ThreeRecordsFromTheHighestDownThenTheEndMessage) {
    becomeReady();
    view.answers.push_back(Answer::No);
    station->getData();
    EXPECT_TRUE(station->state().downloading);
    EXPECT_EQ(port.takeWritten(), hex("02818103"));
    receive(hex("820003"));
    // The count reply counts as an error; the instrument hears only its own
    // record request.
    EXPECT_EQ(port.takeWritten(), request(0, 2));
    EXPECT_EQ(station->state().totalErrors, 1u);
    for (int r = 2; r >= 0; --r) {
        record(r);
        if (r > 0) {
            EXPECT_EQ(port.takeWritten(), request(0, r - 1));
        }
    }
    EXPECT_EQ(view.downloadProgress, "Record 3 of 3");
    EXPECT_EQ(port.takeWritten(), tarvo::buildTarvoFrame(hex("800000")));
    receive(hex("820000"));
    EXPECT_EQ(view.status, "Data downloaded succesfully");
    EXPECT_FALSE(station->state().downloading);
    EXPECT_EQ(list.RowIndex, 3);
    EXPECT_EQ(list.cell(1, 0), "2");
    EXPECT_EQ(fileReadings().size(), 3);
    // A finished download starts afresh.
    station->getData();
    EXPECT_EQ(port.takeWritten(), hex("02818103"));
}

TEST_F(TarvoDownload, EmptyLogAndSilentInstrument) {
    becomeReady();
    station->getData();
    receive(hex("820000"));
    EXPECT_EQ(view.status, "No data in instrument");
    EXPECT_EQ(list.RowIndex, 0);

    // The first request has its time-out too: no answer ends the download.
    station->getData();
    EXPECT_TRUE(station->responseTimeout.isActive());
    station->onResponseTimeout();
    EXPECT_EQ(view.status, "Instrument not responding");
    EXPECT_FALSE(station->state().downloading);
}

TEST_F(TarvoDownload, InterruptedDownloadResumesAndKeepsEveryRecord) {
    becomeReady();
    view.answers.push_back(Answer::No);
    station->getData();
    receive(hex("82000A"));
    for (int r = 9; r >= 5; --r)
        record(r);
    EXPECT_TRUE(station->responseTimeout.isActive());
    station->onResponseTimeout();
    EXPECT_EQ(view.status, "Download was interrupted , press 'Get Data'");
    EXPECT_FALSE(station->state().downloading);
    EXPECT_EQ(view.downloadProgress, "Record 5 of 10");
    port.takeWritten();

    const int questions = int(view.questions.size());
    station->getData();
    EXPECT_EQ(port.takeWritten(), request(0, 4));
    EXPECT_EQ(view.questions.size(), questions) << "a resume appends without asking";
    for (int r = 4; r >= 1; --r)
        record(r);
    // Interrupted again with only record 0 left: that too is resumed, not
    // fetched afresh from the top.
    station->onResponseTimeout();
    EXPECT_EQ(view.status, "Download was interrupted , press 'Get Data'");
    port.takeWritten();
    station->getData();
    EXPECT_EQ(port.takeWritten(), request(0, 0));
    record(0);
    receive(hex("820000"));
    EXPECT_EQ(view.status, "Data downloaded succesfully");
    EXPECT_EQ(list.RowIndex, 10);
    EXPECT_EQ(fileReadings().size(), 10);
}

TEST_F(TarvoDownload, RecordsAbove254AreAskedForInTheInstrumentsNumbering) {
    becomeReady();
    station->getData();
    port.takeWritten();
    receive(hex("82012D")); // 1 x 255 + 45 = 300 records
    EXPECT_EQ(port.takeWritten(), request(1, 44)) << "record 299";
    record(299);
    EXPECT_EQ(port.takeWritten(), request(1, 43));
    station->onResponseTimeout();
    port.takeWritten();
    station->getData();
    EXPECT_EQ(port.takeWritten(), request(1, 43));
    for (int r = 298; r >= 255; --r)
        record(r);
    EXPECT_EQ(port.takeWritten().right(request(0, 254).size()), request(0, 254));
    EXPECT_EQ(list.RowIndex, 45);
}

TEST_F(TarvoDownload, AnInstrumentThatReadsOneByteGivesWhatItCanAndTheRestIsReported) {
    becomeReady();
    station->getData();
    receive(hex("82012D"));
    port.takeWritten();
    // Asked for 299 (01 2C), it sends record 44: never taken for 299.
    record(44);
    EXPECT_EQ(list.RowIndex, 0);
    EXPECT_EQ(port.takeWritten(), request(0, 254));
    for (int r = 254; r >= 0; --r)
        record(r);
    receive(hex("820000"));
    EXPECT_EQ(view.status, "Data downloaded succesfully");
    EXPECT_EQ(list.RowIndex, 255);
    EXPECT_EQ(view.downloadProgress, "45 records not fetched");
    QCoreApplication::processEvents();
    ASSERT_EQ(view.infos.size(), 1);
    EXPECT_TRUE(view.infos[0].startsWith("45 records above number 254"))
        << view.infos[0].toStdString();
}

TEST_F(TarvoDownload, AWrongOrDamagedRecordIsAskedForAgain) {
    becomeReady();
    station->getData();
    receive(hex("820005"));
    port.takeWritten();
    record(2); // asked for 4
    EXPECT_EQ(port.takeWritten(), request(0, 4));
    EXPECT_EQ(list.RowIndex, 0);
    QByteArray bad = tarvo::buildTarvoFrame(readingPayload(0x84, 0.01f, 1, 0, 0, 4));
    bad[bad.size() - 2] = char(bad.at(bad.size() - 2) ^ 0x40);
    port.inject(bad);
    EXPECT_EQ(port.takeWritten(), request(0, 4));
    record(4);
    EXPECT_EQ(port.takeWritten(), request(0, 3));
    EXPECT_EQ(list.RowIndex, 1);
}
