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
    EXPECT_EQ(list.rowIndex, 3);
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
    EXPECT_EQ(list.rowIndex, 0);

    // The first request has its time-out too: no answer ends the download.
    station->getData();
    EXPECT_TRUE(station->responseTimeout().isActive());
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
    EXPECT_TRUE(station->responseTimeout().isActive());
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
    EXPECT_EQ(list.rowIndex, 10);
    EXPECT_EQ(fileReadings().size(), 10);
}

TEST_F(TarvoDownload, RecordsAbove255AreAskedForInTheInstrumentsNumbering) {
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
    for (int r = 298; r >= 256; --r)
        record(r);
    // Record 255 still fits the one byte of the request.
    EXPECT_EQ(port.takeWritten().right(request(0, 255).size()), request(0, 255));
    record(255);
    EXPECT_EQ(port.takeWritten(), request(0, 254));
    EXPECT_EQ(list.rowIndex, 45);
}

TEST_F(TarvoDownload, ALogOf256RecordsIsFetchedWholeWithOneByteRequests) {
    becomeReady();
    station->getData();
    port.takeWritten();
    receive(hex("820101")); // 256 records
    EXPECT_EQ(port.takeWritten(), request(0, 255));
    record(255);
    EXPECT_EQ(list.rowIndex, 1);
    EXPECT_EQ(list.cell(1, 0), "255");
    for (int r = 254; r >= 0; --r)
        record(r);
    receive(hex("820000"));
    EXPECT_EQ(view.status, "Data downloaded succesfully");
    EXPECT_EQ(list.rowIndex, 256);
    EXPECT_EQ(view.downloadProgress, "Record 256 of 256");
    EXPECT_TRUE(view.infos.empty());
}

TEST_F(TarvoDownload, AnInstrumentThatReadsOneByteGivesWhatItCanAndTheRestIsReported) {
    const struct {
        const char* count;
        int asked, answered, unfetched;
        const char* progress;
        const char* info;
    } cases[] = {
        {"82012D", 299, 44, 44, "44 records not fetched", "44 records above number 255"},
        {"820102", 256, 1, 1, "1 record not fetched", "1 record above number 255"},
    };
    becomeReady();
    for (const auto& c : cases) {
        station->getData();
        port.takeWritten();
        receive(QByteArray::fromHex(c.count));
        EXPECT_EQ(port.takeWritten(), request(c.asked / 255, c.asked % 255));
        // Asked for a record above 255, it sends the record of the last byte:
        // never taken for the one asked for.
        list.clearGrid();
        record(c.answered);
        EXPECT_EQ(list.rowIndex, 0);
        EXPECT_EQ(port.takeWritten(), request(0, 255));
        for (int r = 255; r >= 0; --r)
            record(r);
        receive(hex("820000"));
        EXPECT_EQ(view.status, "Data downloaded succesfully");
        EXPECT_EQ(list.rowIndex, 256);
        EXPECT_EQ(view.downloadProgress, c.progress);
        QCoreApplication::processEvents();
        ASSERT_EQ(view.infos.size(), 1);
        EXPECT_TRUE(view.infos[0].startsWith(c.info)) << view.infos[0].toStdString();
        view.infos.clear();
        view.answers.push_back(Answer::Yes);
    }
}

TEST_F(TarvoDownload, AWrongOrDamagedRecordIsAskedForAgain) {
    becomeReady();
    station->getData();
    receive(hex("820005"));
    port.takeWritten();
    record(2); // asked for 4
    EXPECT_EQ(port.takeWritten(), request(0, 4));
    EXPECT_EQ(list.rowIndex, 0);
    QByteArray bad = tarvo::buildTarvoFrame(readingPayload(0x84, 0.01f, 1, 0, 0, 4));
    bad[bad.size() - 2] = char(bad.at(bad.size() - 2) ^ 0x40);
    port.inject(bad);
    EXPECT_EQ(port.takeWritten(), request(0, 4));
    record(4);
    EXPECT_EQ(port.takeWritten(), request(0, 3));
    EXPECT_EQ(list.rowIndex, 1);
}

namespace {
QByteArray damaged(const QByteArray& payload) {
    QByteArray f = tarvo::buildTarvoFrame(payload);
    f[f.size() - 2] = char(f.at(f.size() - 2) ^ 0x40);
    return f;
}
} // namespace

// A damaged count reply is asked for again; a damaged answer to the end
// message too, and when it stays damaged the records are all in: done.
// (Damaged records against the simulator: tests/sim.)
TEST_F(TarvoDownload, DamagedCountAndEndRepliesAreAskedForAgain) {
    becomeReady();
    view.answers.push_back(Answer::No);
    station->getData();
    port.takeWritten();
    // The count reply: the start is sent again.
    port.inject(damaged(hex("820002")));
    EXPECT_EQ(port.takeWritten(), hex("02818103"));
    EXPECT_TRUE(station->responseTimeout().isActive());
    receive(hex("820002"));
    record(1);
    record(0);
    EXPECT_TRUE(port.takeWritten().endsWith(tarvo::buildTarvoFrame(hex("800000"))));
    // The answer to the end message damaged: the end is sent again; damaged
    // four times, the records are all in and the download is done.
    for (int n = 0; n < 4; ++n)
        port.inject(damaged(hex("820000")));
    EXPECT_EQ(port.takeWritten(), tarvo::buildTarvoFrame(hex("800000")).repeated(3));
    EXPECT_EQ(view.status, "Data downloaded succesfully");
    EXPECT_FALSE(station->state().downloading);
    EXPECT_EQ(list.rowIndex, 2);
}
