// The family table: a family of the test's own, registered here and nowhere
// else, goes through the whole station as a built-in one does. It is the
// proof that a new family needs a row and its own files, and nothing else.
#include "station/families.h"

#include "common/datetime.h"
#include "station/instrument_conversation.h"
#include "station/station.h"
#include "support/station_fixture.h"

#include <QRegularExpression>
#include <gtest/gtest.h>
#include <set>

using namespace zel;

namespace {

constexpr int16_t LineMeterId = 42;

// "Line meter": it answers "?" with "OK" and a poll "P" with one text line
// "<value> <unit>", each between 0x02 and 0x03.
class LineMeterConversation final : public InstrumentConversation {
public:
    using InstrumentConversation::InstrumentConversation;
    void testConnection() override { sendLogged("\x02?\x03"); }
    void startOnline() override { link().startIntervalPolling(); }
    void stopOnline() override { link().stopIntervalPolling(); }
    void onPollTick() override { sendLogged("\x02P\x03"); }
    void onReplyTimeout() override {}
    bool offersDownload() const override { return false; }
    Verdict classify(const QByteArray& frame) const override {
        const QByteArray body = frame.mid(1, frame.size() - 2);
        if (body == "OK")
            return {FrameKind::Ready, body};
        return {body.contains(' ') ? FrameKind::Reading : FrameKind::NoReading, body};
    }
    std::optional<Reading> parseReading(const QByteArray& bytes) const override {
        const QList<QByteArray> parts = bytes.split(' ');
        Reading r;
        r.instrumentId = QStringLiteral("LM-1");
        r.setTaken(clock().now());
        r.value = parts.value(0).toDouble();
        r.unit = QString::fromLatin1(parts.value(1));
        r.status = QStringLiteral("OK");
        return r;
    }
};

const bool lineMeterRegistered = [] {
    Family f;
    f.id = LineMeterId;
    f.caption = QStringLiteral("Line meter");
    f.simulatorName = QStringLiteral("linemeter");
    f.frameRules = FrameRules{0x02, 0x03, 1};
    f.commands.interval = true;
    f.fileColumns = QStringLiteral("Id,Time,Value(%1),Units,Status,Detector,Over");
    f.makeConversation = &makeConversationOf<LineMeterConversation>;
    return registerFamily(f);
}();

} // namespace

TEST(Families, EveryRowIsCompleteAndDistinct) {
    ASSERT_TRUE(lineMeterRegistered);
    std::set<int16_t> ids;
    std::set<QString> captions, simulators;
    for (const Family& f : families()) {
        SCOPED_TRACE(f.caption.toStdString());
        EXPECT_TRUE(ids.insert(f.id).second);
        EXPECT_TRUE(captions.insert(f.caption).second);
        EXPECT_TRUE(simulators.insert(f.simulatorName).second);
        EXPECT_NE(f.makeConversation, nullptr);
        EXPECT_GE(f.frameRules.frameMinLength, 1);
        for (const char* heading : f.list.headings)
            EXPECT_NE(heading, nullptr);
        // Every place of a row has its source, and time and value are where
        // the files and the graph look for them.
        for (const char* source : f.record.sources)
            EXPECT_NE(source, nullptr);
        EXPECT_STREQ(f.record.sources[1], "time");
        EXPECT_STREQ(f.record.sources[2], "value");
    }
    // An id taken is refused; an unknown id falls back to the first row.
    Family again;
    again.id = families().back().id;
    EXPECT_FALSE(registerFamily(again));
    EXPECT_EQ(findFamily(99), nullptr);
    EXPECT_EQ(familyOrDefault(99).id, families().front().id);
    EXPECT_EQ(familyChoicesText(), "0 (Portables), 1 (Tarvo-5), 2 (Amp + Vessa), 3 (Orvan) or "
                                   "42 (Line meter)");
}

TEST(Families, ARegisteredFamilyRunsThroughTheStation) {
    ASSERT_TRUE(lineMeterRegistered);
    test::StationRig rig(LineMeterId);
    ASSERT_TRUE(rig.openPort());
    Station& s = *rig.station;
    EXPECT_EQ(s.family().id, LineMeterId);
    EXPECT_EQ(s.receiver().rules().frameStart, 0x02);

    // The test command goes out, the answer makes the instrument ready.
    s.testConnection();
    EXPECT_EQ(rig.port.takeWritten(), QByteArray("\x02?\x03"));
    rig.port.inject("\x02OK\x03");
    EXPECT_TRUE(s.state().instrumentReady);
    EXPECT_TRUE(s.state().onlineIdle);

    // On line: a poll per interval, each reply a row, a file line, a read-out.
    s.setInterval(Interval{0, 1});
    s.toggleOnline();
    s.onPollTick();
    EXPECT_EQ(rig.port.takeWritten(), QByteArray("\x02P\x03"));
    rig.port.inject("noise\x02"
                    "0.7 uSv/h\x03");
    rig.port.inject("\x02"
                    "6.5 uSv/h\x03");
    EXPECT_EQ(rig.list.rowIndex, 2);
    EXPECT_EQ(rig.list.cell(2, 0), "LM-1");
    EXPECT_EQ(rig.view.valueText, "6.5 uSv/h");
    EXPECT_EQ(s.alarmLevel(), AlarmLevel::High2);
    const QStringList lines = rig.fileLines();
    ASSERT_EQ(lines.size(), 10);
    EXPECT_EQ(lines[7], "Id,Time,Value(),Units,Status,Detector,Over");
    EXPECT_EQ(lines[8], "LM-1," + formatGeneralDateTime(rig.clock.now()) + ",0.7,uSv/h,OK,,");
    EXPECT_EQ(lines[9], "LM-1," + formatGeneralDateTime(rig.clock.now()) + ",6.5,uSv/h,OK,,");
}
