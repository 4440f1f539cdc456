#include "common/datetime.h"
#include "protocol/amp.h"
#include "protocol/checksums.h"
#include "protocol/orvan.h"
#include "protocol/portables.h"
#include "protocol/receiver.h"
#include "protocol/tarvo.h"
#include "support/hex_bytes.h"
#include "support/reading_rows.h"

#include <gtest/gtest.h>

using namespace zel;
using namespace zel::tarvo;
using zel::test::hex;
using zel::test::toHex;

namespace {

const QDateTime kNow(QDate(2026, 1, 2), QTime(3, 4, 5));

class TarvoCodec : public ::testing::Test {
protected:
    void SetUp() override { setDateLocale(QLocale(QLocale::English, QLocale::UnitedStates)); }
};

// Payload of a 0x84/0x86 message: bytes 1 .. 27 of the un-escaped frame.
QByteArray recordPayload(uint8_t type, uint8_t b2, uint8_t b3, const char* valueHex, uint8_t units,
                         uint8_t detector, uint8_t status) {
    QByteArray p(27, '\0');
    p[0] = char(type);
    p[1] = char(b2);
    p[2] = char(b3);
    p[15] = 3;  // month (byte 16)
    p[16] = 4;  // day
    p[17] = 26; // year - 2000
    p[18] = 5;  // hour
    p[19] = 6;  // minute
    const QByteArray v = hex(valueHex);
    for (int i = 0; i < 4; ++i)
        p[20 + i] = v[i];
    p[24] = char(units);
    p[25] = char(detector);
    p[26] = char(status);
    return p;
}

// Payload of a 0x10 reading: bytes 1 .. 9.
QByteArray shortPayload(const char* valueHex, uint8_t status, uint8_t units) {
    QByteArray p(9, '\0');
    p[0] = char(TypeShort);
    const QByteArray v = hex(valueHex);
    for (int i = 0; i < 4; ++i)
        p[3 + i] = v[i];
    p[7] = char(status);
    p[8] = char(units);
    return p;
}

QByteArray workOf(const QByteArray& payload) {
    const auto work = unescapeFrame(buildTarvoFrame(payload));
    EXPECT_TRUE(work.has_value());
    return work.value_or(QByteArray());
}

MeasurementRecord parsed(const QByteArray& payload, int probe = 0) {
    const auto r = test::rowOf(parseReading(workOf(payload), probe, kNow), Tarvo5);
    EXPECT_TRUE(r.has_value());
    return r.value_or(MeasurementRecord{});
}

} // namespace

TEST_F(TarvoCodec, FixedFramesAndRequests) {
    EXPECT_EQ(toHex(testFrame()), "02 04 04 03");
    EXPECT_EQ(toHex(pollFrame()), "02 0F 0F 03");
    EXPECT_EQ(toHex(startDownloadFrame()), "02 81 81 03");
    EXPECT_EQ(toHex(buildTarvoFrame(requestRecordPayload(5))), "02 83 00 05 86 03");
    EXPECT_EQ(toHex(buildTarvoFrame(endDownloadPayload())), "02 80 00 00 80 03");
    EXPECT_EQ(toHex(setClockPayload(QDateTime(QDate(2026, 12, 31), QTime(23, 59, 58)))),
              "20 0C 1F 1A 17 3B 3A");
}

TEST_F(TarvoCodec, EscapesPayloadButNotChecksum) {
    // Checksum over the raw payload: 20^02^03^1B^05 = 3F.
    EXPECT_EQ(toHex(buildTarvoFrame(hex("20 02 03 1B 05"))), "02 20 1B 32 1B 33 1B 1B 05 3F 03");
    // Acknowledge of an announce whose bytes 2 and 4 are 02 and 1B: the
    // checksum itself is 1B and goes out raw.
    EXPECT_EQ(toHex(buildTarvoFrame(acknowledgePayload(0x02, 0x1B))),
              "02 1B 33 1B 32 1B 1B 01 1B 03");
}

TEST_F(TarvoCodec, UnescapeRoundTripsEveryAwkwardChecksum) {
    // Payloads whose checksum is each of the bytes with a meaning on the wire.
    for (uint8_t c : {uint8_t(0x02), uint8_t(0x1B), uint8_t(0x00), uint8_t(0x33)}) {
        QByteArray payload = hex("86 02 03 1B");
        payload.append(char(tarvoChecksum(payload) ^ c));
        ASSERT_EQ(tarvoChecksum(payload), c);
        const auto work = unescapeFrame(buildTarvoFrame(payload));
        ASSERT_TRUE(work.has_value()) << int(c);
        EXPECT_EQ(work->mid(1, payload.size()), payload);
        EXPECT_EQ(xorRange(*work, int(work->size()) - 2), 0);
        EXPECT_EQ(uint8_t(work->back()), ETX);
    }
}

TEST_F(TarvoCodec, UnescapeRejectsUnknownEscape) {
    EXPECT_FALSE(unescapeFrame(hex("02 86 1B 78 01 03")).has_value()); // ESC 'x'
    EXPECT_FALSE(unescapeFrame(hex("02 86 1B")).has_value());          // ESC at the end
    EXPECT_FALSE(unescapeFrame(QByteArray()).has_value());
    // A digit after ESC stands for its value.
    EXPECT_EQ(toHex(*unescapeFrame(hex("02 1B 35 05 03"))), "02 05 05 03");
}

TEST_F(TarvoCodec, InterpretsEachMessageType) {
    Message m = interpret(workOf(hex("02 A1 00 07")));
    EXPECT_EQ(m.kind, FrameKind::Ready);
    EXPECT_EQ(m.probeCode, 0xA1);
    EXPECT_EQ(m.echoByte4, 0x07);

    EXPECT_EQ(interpret(workOf(hex("05"))).kind, FrameKind::Ready);
    EXPECT_EQ(interpret(workOf(hex("22"))).kind, FrameKind::NoReading);
    EXPECT_FALSE(interpret(workOf(hex("22"))).tooShort);

    m = interpret(workOf(hex("82 01 02")));
    EXPECT_EQ(m.kind, FrameKind::NoReading);
    EXPECT_EQ(m.recordCount, 257); // 1 x 255 + 2, not 258

    m = interpret(workOf(recordPayload(TypeRecord, 0, 9, "3C 23 D7 0A", 1, 0, 0)));
    EXPECT_EQ(m.kind, FrameKind::Reading);
    EXPECT_EQ(m.recordNumber, 9);

    EXPECT_EQ(interpret(workOf(recordPayload(TypeOnline, 0xFF, 0, "3F 80 00 00", 1, 0, 0))).kind,
              FrameKind::Reading);

    m = interpret(workOf(shortPayload("3F C0 00 00", 0, 1)));
    EXPECT_EQ(m.kind, FrameKind::Reading);
    EXPECT_DOUBLE_EQ(m.shortValue, 1.5);

    m = interpret(workOf(hex("77 01")));
    EXPECT_EQ(m.kind, FrameKind::NoReading);
    EXPECT_FALSE(m.tooShort);
}

TEST_F(TarvoCodec, BadChecksumAndShortFrames) {
    QByteArray work = workOf(hex("82 01 02"));
    work[2] = char(0x11);
    EXPECT_EQ(interpret(work).kind, FrameKind::Damaged);

    // Valid checksum, but fewer bytes than the type's layout: an error,
    // never a reading made of whatever lies beyond the frame.
    for (const char* payload : {"86 FF 00 01", "84 00 03", "10 00 00 3F", "02 A1", "82 01"}) {
        const Message m = interpret(workOf(hex(payload)));
        EXPECT_EQ(m.kind, FrameKind::NoReading) << payload;
        EXPECT_TRUE(m.tooShort) << payload;
        EXPECT_FALSE(parseReading(workOf(hex(payload)), 0, kNow).has_value());
    }
    EXPECT_FALSE(parseReading(workOf(hex("10 00 00 3F")), 0, kNow).has_value());
    EXPECT_EQ(interpret(hex("02")).kind, FrameKind::Damaged);
}

TEST_F(TarvoCodec, ChecksumOfEtxCutsFrameButReadingSurvives) {
    // Byte 4 is unused: choose it so that the checksum comes out as 03.
    QByteArray payload = recordPayload(TypeOnline, 0xFF, 0, "3C 23 D7 0A", 1, 0, 0);
    payload[3] = char(tarvoChecksum(payload) ^ 0x03);
    ASSERT_EQ(tarvoChecksum(payload), 0x03);
    const QByteArray frame = buildTarvoFrame(payload);
    const QByteArray next = buildTarvoFrame(hex("05"));

    for (bool oneBatch : {true, false}) {
        Receiver rx;
        rx.setRules(tarvo::Framing);
        QList<Message> seen;
        QList<MeasurementRecord> readings;
        auto onFrame = [&](const QByteArray& f) -> FrameKind {
            const auto work = unescapeFrame(f);
            if (!work)
                return FrameKind::Damaged;
            const Message m = interpret(*work);
            seen.append(m);
            if (m.kind == FrameKind::Reading)
                readings.append(test::rowOf(*parseReading(*work, 0, kNow), Tarvo5));
            return m.kind;
        };
        if (oneBatch) {
            rx.feed(frame + next, onFrame);
        } else {
            rx.feed(frame, onFrame);
            rx.feed(next, onFrame);
        }
        // The receiver stops at the checksum; the ETX behind it is left over.
        ASSERT_EQ(seen.size(), 2) << oneBatch;
        EXPECT_EQ(seen[0].kind, FrameKind::Reading);
        ASSERT_EQ(readings.size(), 1);
        EXPECT_EQ(readings[0].Value, "10");
        EXPECT_EQ(seen[1].kind, FrameKind::Ready);
        EXPECT_EQ(seen[1].type, TypeInitialised);
    }
}

TEST_F(TarvoCodec, TwoBitDamageIsNeverTakenForACutFrame) {
    // 0.01 mR/h with the value's top byte XOR 03 reads 0.64: the damaged
    // frame XORs to 03 over payload and checksum, which once passed as a
    // frame cut at a checksum of 03 with the ETX taken for that checksum.
    const QByteArray reading = recordPayload(TypeOnline, 0xFF, 0, "3C 23 D7 0A", 1, 0, 0);
    QByteArray work = workOf(reading);
    work[21] = char(work.at(21) ^ 0x03);
    EXPECT_EQ(interpret(work).kind, FrameKind::Damaged);

    // Bits 0 and 1 of any one byte, payload or checksum, of each message type.
    const QByteArray messages[] = {reading,
                                   recordPayload(TypeRecord, 0, 9, "3F 80 00 00", 1, 0, 0),
                                   shortPayload("3F C0 00 00", 0, 1),
                                   hex("02 A1 00 07 05 00"),
                                   hex("82 01 02"),
                                   hex("05"),
                                   hex("22")};
    for (const QByteArray& payload : messages) {
        const QByteArray good = workOf(payload);
        ASSERT_NE(uint8_t(good.at(good.size() - 2)), ETX);
        for (int i = 1; i < good.size() - 1; ++i) {
            QByteArray bad = good;
            bad[i] = char(bad.at(i) ^ 0x03);
            EXPECT_EQ(interpret(bad).kind, FrameKind::Damaged)
                << toHex(payload).toStdString() << " byte " << i;
        }
    }
}

TEST_F(TarvoCodec, FrameCutAtAChecksumOf03ReadsForEachTypeOfKnownLength) {
    // Payload and the index of a byte the program does not read, set so
    // that the checksum comes out as 03.
    const struct {
        QByteArray payload;
        int spare;
        FrameKind kind;
    } cases[] = {
        {recordPayload(TypeOnline, 0xFF, 0, "3C 23 D7 0A", 1, 0, 0), 3, FrameKind::Reading},
        {recordPayload(TypeRecord, 0, 9, "3C 23 D7 0A", 1, 0, 0), 3, FrameKind::Reading},
        {shortPayload("3F C0 00 00", 0, 1), 1, FrameKind::Reading},
        {hex("02 A1 00 07 05 00"), 5, FrameKind::Ready},
        {hex("82 01 00"), 2, FrameKind::NoReading}};
    for (const auto& c : cases) {
        QByteArray payload = c.payload;
        payload[c.spare] = char(payload.at(c.spare) ^ tarvoChecksum(payload) ^ 0x03);
        ASSERT_EQ(tarvoChecksum(payload), 0x03);
        // The receiver ends the frame at the checksum; the ETX comes later.
        const auto work = unescapeFrame(buildTarvoFrame(payload).chopped(1));
        ASSERT_TRUE(work.has_value());
        const Message m = interpret(*work);
        EXPECT_EQ(m.kind, c.kind) << toHex(payload).toStdString();
        EXPECT_FALSE(m.tooShort);
    }
}

TEST_F(TarvoCodec, ValueScalingAndUnits) {
    MeasurementRecord r = parsed(recordPayload(TypeOnline, 0xFF, 0, "3C 23 D7 0A", 1, 0, 0));
    EXPECT_EQ(r.Value, "10");
    EXPECT_EQ(r.Units, "mR/h");
    r = parsed(recordPayload(TypeOnline, 0xFF, 0, "3F 80 00 00", 1, 0, 0));
    EXPECT_EQ(r.Value, "1000"); // 1000 is not above 1000
    EXPECT_EQ(r.Units, "mR/h");
    r = parsed(recordPayload(TypeOnline, 0xFF, 0, "3F C0 00 00", 1, 0, 0));
    EXPECT_EQ(r.Value, "1.5");
    EXPECT_EQ(r.Units, "R/h");
    // Codes 3 and 4 scale by a million: 0.0015 Sv/h -> 1.5 mSv/h.
    r = parsed(recordPayload(TypeOnline, 0xFF, 0, "3A C4 9B A6", 3, 0, 0));
    EXPECT_EQ(r.Value, "1.5");
    EXPECT_EQ(r.Units, "mSv/h");
    // Counts are not scaled, but large counts still switch to the K name.
    r = parsed(recordPayload(TypeOnline, 0xFF, 0, "44 FA 20 00", 6, 0, 0));
    EXPECT_EQ(r.Value, "2.001");
    EXPECT_EQ(r.Units, "Kcounts");
    r = parsed(recordPayload(TypeOnline, 0xFF, 0, "40 00 00 00", 99, 0, 0));
    EXPECT_EQ(r.Value, "2");
    EXPECT_EQ(r.Units, "99");

    EXPECT_EQ(unitsText(11, false, true), "KShield");
    EXPECT_EQ(unitsText(11, true, false), "11");
    EXPECT_EQ(unitsText(17, false, false), "17");
    EXPECT_EQ(unitsText(17, true, true), "R/h L");
    EXPECT_EQ(unitsText(20, true, false), "uSv L");
    EXPECT_EQ(unitsText(128, false, true), "Kps");
}

TEST_F(TarvoCodec, StatusAndDetectorTexts) {
    EXPECT_EQ(statusText(0), "OK");
    EXPECT_EQ(statusText(6), "Battery fail"); // bit 2 before the value 4
    EXPECT_EQ(statusText(4), "Overflow");
    EXPECT_EQ(statusText(8), "Overflow");
    EXPECT_EQ(statusText(16), "No pulse");
    EXPECT_EQ(statusText(32), "Bit Failure");
    EXPECT_EQ(statusText(72), "Underflow");
    EXPECT_EQ(statusText(128), "No pulse");
    EXPECT_EQ(statusText(5), "5");
    EXPECT_EQ(statusText(0xA1), "A1");

    MeasurementRecord r = parsed(recordPayload(TypeRecord, 0, 1, "3F 80 00 00", 1, 161, 72));
    EXPECT_EQ(r.Detector, "DX24");
    EXPECT_EQ(r.Status, "Underflow");
    EXPECT_EQ(r.AlarmCode, 72);
    EXPECT_EQ(parsed(recordPayload(TypeRecord, 0, 1, "3F 80 00 00", 1, 7, 0)).Detector, "7");

    r = parsed(shortPayload("3F 80 00 00", 6, 1), 161);
    EXPECT_EQ(r.Detector, "DX23");
    EXPECT_EQ(r.Status, "Battery fail");
    EXPECT_EQ(parsed(shortPayload("3F 80 00 00", 0, 1), 7).Detector, "Unknown");
    EXPECT_EQ(detectorText(160, true), "Internal");
    EXPECT_EQ(detectorText(162, false), "DX23");
    EXPECT_EQ(detectorText(165, true), "DX21");
}

TEST_F(TarvoCodec, RecordNumberAndTimes) {
    MeasurementRecord r = parsed(recordPayload(TypeRecord, 0x01, 0x02, "3F 80 00 00", 1, 0, 0));
    EXPECT_EQ(r.InstrumentId, "257");
    EXPECT_EQ(r.ReadingTime, formatGeneralDateTime(QDateTime(QDate(2026, 3, 4), QTime(5, 6, 0))));
    EXPECT_TRUE(r.OverMark.isEmpty());

    r = parsed(recordPayload(TypeOnline, 0xFF, 0x02, "3F 80 00 00", 1, 0, 0));
    EXPECT_EQ(r.InstrumentId, "On-Line");
    EXPECT_EQ(r.ReadingTime, formatGeneralDateTime(kNow));

    // The short form always reads "now"; value at 4..7, status 8, units 9.
    r = parsed(shortPayload("3C 23 D7 0A", 0, 17));
    EXPECT_EQ(r.InstrumentId, "On-Line");
    EXPECT_EQ(r.ReadingTime, formatGeneralDateTime(kNow));
    EXPECT_EQ(r.Value, "0.01");
    EXPECT_EQ(r.Units, "mR/h L"); // 17 is not a scaled code
    r = parsed(shortPayload("3C 23 D7 0A", 0, 1));
    EXPECT_EQ(r.Value, "10");

    // Date fields that name no date within 1930..2099 are not turned into
    // another date: the record is filed at its arrival and says so.
    const struct {
        int month, day, year, hour, minute;
        const char* time;
        const char* status;
    } dates[] = {
        {0, 0, 0, 0, 0, "", "OK; logged date 0/0/2000 0:00 invalid"},
        {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, "", "OK; logged date 255/255/2255 255:255 invalid"},
        {13, 4, 26, 25, 6, "", "OK; logged date 13/4/2026 25:06 invalid"},
        {12, 31, 99, 23, 59, "12/31/2099 23:59:00", "OK"},
        {3, 29, 26, 2, 30, "3/29/2026 02:30:00", "OK"}, // a wall time, whatever the zone
    };
    for (const auto& d : dates) {
        QByteArray p = recordPayload(TypeRecord, 0, 1, "3F 80 00 00", 1, 0, 0);
        const int fields[] = {d.month, d.day, d.year, d.hour, d.minute};
        for (int i = 0; i < 5; ++i)
            p[15 + i] = char(fields[i]);
        r = parsed(p);
        EXPECT_EQ(r.ReadingTime, *d.time ? QString(d.time) : formatGeneralDateTime(kNow))
            << d.status;
        EXPECT_EQ(r.Status, d.status);
        EXPECT_EQ(r.InstrumentId, "1");
    }
}

TEST(PortablesCodec, CommandFrame) {
    EXPECT_EQ(toHex(buildPortableCommand(9, "1205")), "01 09 31 32 30 35 30 30 30 04");
    EXPECT_EQ(toHex(buildPortableCommand(5)), "01 05 30 30 30 30 30 30 30 04");
    EXPECT_EQ(buildPortableCommand(6, "123456789").size(), 10);
}

TEST(PortablesCodec, ReplyCheck) {
    auto reply = [](int k) {
        QByteArray f(k, '\0');
        f[0] = char(0x99);
        unsigned sum = 0;
        for (int i = 1; i <= k - 3; ++i) {
            f[i] = char(0x30 + i);
            sum += uint8_t(f[i]);
        }
        f[k - 2] = char((256 - sum % 256) % 256);
        f[k - 1] = char(0x04);
        return f;
    };
    EXPECT_EQ(portables::classify(reply(26)).kind, FrameKind::Reading);
    EXPECT_EQ(portables::classify(reply(30)).kind, FrameKind::Reading);
    EXPECT_EQ(portables::classify(reply(31)).kind, FrameKind::Calibration);
    EXPECT_EQ(portables::classify(reply(20)).kind, FrameKind::Reading);
    EXPECT_EQ(portables::classify(reply(19)).kind, FrameKind::NoReading);
    QByteArray bad = reply(26);
    bad[5] = char(bad[5] + 1);
    EXPECT_EQ(portables::classify(bad).kind, FrameKind::Damaged);
    bad = reply(31);
    bad[0] = 0; // byte 0 is not part of the sum
    EXPECT_EQ(portables::classify(bad).kind, FrameKind::Calibration);
}

TEST(AmpCodec, CommandFrame) {
    EXPECT_EQ(toHex(buildAmpCommand('T', "000123")), "0A 54 30 30 30 31 32 33 0F 0F 0D");
    EXPECT_EQ(buildAmpCommand('S', "").size(), 11);
}

TEST(AmpCodec, ReplyCheck) {
    // Pairs 12 34 56 00 00 00 12 30 12 30 sum to 0x120; the 21st character
    // is outside the sum; the checksum is 0x100 - 0x20 = E0.
    const QByteArray good = "\n123456000000123012300E0\r";
    EXPECT_EQ(amp::classify(good).kind, FrameKind::ReadingWhileCollecting);
    EXPECT_EQ(amp::classify("\n123456000000123012300e0\r").kind, FrameKind::ReadingWhileCollecting);
    EXPECT_EQ(amp::classify("\n123456000000123012309E0\r").kind, FrameKind::ReadingWhileCollecting);
    EXPECT_EQ(amp::classify("\n123456000000123012310E0\r").kind, FrameKind::Damaged);
    EXPECT_EQ(amp::classify("\n123456000000123012300E1\r").kind, FrameKind::Damaged);
    // Noise in place of hex digits is an error, not a reading.
    EXPECT_EQ(amp::classify("\n12345600000012301230\xff"
                            "E0\r")
                  .kind,
              FrameKind::ReadingWhileCollecting);
    EXPECT_EQ(amp::classify("\n1234560000001230123Z0E0\r").kind, FrameKind::Damaged);
    EXPECT_EQ(amp::classify("\n123456000000123012300G0\r").kind, FrameKind::Damaged);

    EXPECT_EQ(amp::classify("\n12345678\r").kind, FrameKind::NoReading); // 9 with the CR
    EXPECT_EQ(amp::classify("\n123456064\r").kind,
              FrameKind::ReadingWhileCollecting); // 10 is checked
    EXPECT_EQ(amp::classify(QByteArray("\n") + QByteArray(25, 'Z') + "\r").kind,
              FrameKind::SetupReply);
    EXPECT_EQ(amp::classify(QByteArray("\n") + QByteArray(24, 'Z') + "\r").kind,
              FrameKind::Damaged);
    EXPECT_EQ(amp::classify(QByteArray()).kind, FrameKind::NoReading);
}

TEST(OrvanCodec, CommandFrame) {
    EXPECT_EQ(toHex(buildOrvanCommand("G11")), "02 47 31 31 03");
}

TEST(Checksums, KnownValues) {
    EXPECT_EQ(xorChecksum(QByteArray::fromHex("0F")), 0x0F);
    EXPECT_EQ(xorChecksum(QByteArray::fromHex("830002")), 0x81);
    EXPECT_EQ(twosComplementSum(QByteArray::fromHex("")), 0);
    EXPECT_EQ(twosComplementSum(QByteArray::fromHex("01FF")), 0);
    EXPECT_EQ(twosComplementSum(QByteArray::fromHex("0102")), 0xFD);
    EXPECT_EQ(hexPairValue("x3Fz", 1), 0x3F);
    EXPECT_EQ(hexPairValue("af", 0), 0xAF);
    EXPECT_EQ(hexPairValue("G0", 0), -1);
    EXPECT_EQ(hexPairValue("A", 0), -1) << "a pair cut by the end of the text";
}
