#include "protocol/tarvo.h"

#include "protocol/checksums.h"

#include "common/datetime.h"
#include "common/text.h"

#include <initializer_list>

namespace zel::tarvo {

namespace {

uint8_t at(const QByteArray& a, int i) {
    return static_cast<uint8_t>(a.at(i));
}

QByteArray bytes(std::initializer_list<int> values) {
    QByteArray out;
    out.reserve(static_cast<qsizetype>(values.size()));
    for (int v : values)
        out.append(static_cast<char>(v & 0xFF));
    return out;
}

// Last payload index each message type needs; -1 for types we do not read.
int lastIndexNeeded(uint8_t type) {
    switch (type) {
    case TypeAnnounce:
        return 4;
    case TypeInitialised:
    case TypeClockSet:
        return 1;
    case TypeRecordCount:
        return 3;
    case TypeRecord:
    case TypeOnline:
        return 27;
    case TypeShort:
        return 9;
    default:
        return 1;
    }
}

// Payload length of the message types whose length is fixed; 0 when the
// program does not know it.
int fixedPayloadLength(uint8_t type) {
    switch (type) {
    case TypeInitialised:
    case TypeClockSet:
        return 1;
    case TypeRecordCount:
        return 3;
    case TypeAnnounce:
        return 6;
    case TypeShort:
        return 9;
    case TypeRecord:
    case TypeOnline:
        return 27;
    default:
        return 0;
    }
}

// Index of the checksum byte of a valid un-escaped frame, or -1.
//
// The instrument sends its checksum unescaped, so a checksum of 0x03 looks
// like the frame's end and the receiver cuts the frame there: the work array
// then ends with the checksum instead of the ETX. Throwing such frames away
// would lose one reading in 256. But a whole frame damaged so that payload
// and checksum XOR to 03 checks out the same way with its ETX taken for the
// checksum, so only the length tells the two apart: a cut frame's payload
// has its type's length, a whole frame's payload is one byte shorter than
// the bytes before its ETX.
int checksumIndex(const QByteArray& work) {
    const int m = static_cast<int>(work.size());
    if (m < 3)
        return -1;
    if (xorRange(work, m - 2) == 0)
        return m - 2;
    if (at(work, m - 1) == ETX && xorRange(work, m - 1) == 0 &&
        fixedPayloadLength(at(work, 1)) == m - 2)
        return m - 1;
    return -1;
}

// For frames that fail the check we still need a bound for the parsers:
// assume the ordinary layout.
int payloadEnd(const QByteArray& work) {
    const int c = checksumIndex(work);
    return c >= 0 ? c : static_cast<int>(work.size()) - 2;
}

int recordNumberOf(const QByteArray& work) {
    return at(work, 2) * 255 + at(work, 3);
}

double valueAt(const QByteArray& work, int msb) {
    return myRetDouble(at(work, msb + 3), at(work, msb + 2), at(work, msb + 1), at(work, msb));
}

} // namespace

uint8_t tarvoChecksum(const QByteArray& payload) {
    return xorChecksum(payload);
}

QByteArray buildTarvoFrame(const QByteArray& payload) {
    QByteArray frame;
    frame.reserve(payload.size() * 2 + 3);
    frame.append(char(STX));
    for (char ch : payload) {
        const auto b = static_cast<uint8_t>(ch);
        if (b == STX) {
            frame.append(char(ESC));
            frame.append('2');
        } else if (b == ETX) {
            frame.append(char(ESC));
            frame.append('3');
        } else if (b == ESC) {
            frame.append(char(ESC));
            frame.append(char(ESC));
        } else {
            frame.append(ch);
        }
    }
    frame.append(char(tarvoChecksum(payload)));
    frame.append(char(ETX));
    return frame;
}

QByteArray testFrame() {
    return buildTarvoFrame(QByteArray(1, '\x04'));
}
QByteArray pollFrame() {
    return buildTarvoFrame(QByteArray(1, '\x0F'));
}
QByteArray startDownloadFrame() {
    return buildTarvoFrame(QByteArray(1, char(0x81)));
}

QByteArray requestRecordPayload(uint8_t k) {
    return bytes({0x83, 0x00, k});
}

QByteArray endDownloadPayload() {
    return bytes({0x80, 0x00, 0x00});
}

QByteArray acknowledgePayload(uint8_t b2, uint8_t b4) {
    return bytes({0x03, b2, b4, 0x01});
}

QByteArray setClockPayload(const QDateTime& now) {
    const QDate d = now.date();
    const QTime t = now.time();
    return bytes({0x20, d.month(), d.day(), d.year() - 2000, t.hour(), t.minute(), t.second()});
}

std::optional<QByteArray> unescapeFrame(const QByteArray& frame) {
    if (frame.isEmpty())
        return std::nullopt;
    int start = 0;
    // A raw STX never occurs inside a frame (payload STX is escaped, and the
    // checksum is never the first byte after the start), so an STX at index
    // 1 means index 0 is a stray byte: the ETX left over from a previous
    // frame that was cut at a 0x03 checksum. Start at the real STX.
    if (frame.size() > 1 && at(frame, 0) != STX && at(frame, 1) == STX)
        start = 1;

    const int n = static_cast<int>(frame.size());
    // Written in place: the unescaped frame is never longer than the frame.
    QByteArray work(n - start, Qt::Uninitialized);
    char* out = work.data();
    *out++ = frame.at(start);
    for (int i = start + 1; i < n; ++i) {
        const uint8_t b = at(frame, i);
        if (b != ESC) {
            *out++ = char(b);
            continue;
        }
        // The checksum goes out unescaped: an ESC directly before the
        // closing ETX is a checksum of 0x1B, not an escape.
        if (i == n - 2 && at(frame, n - 1) == ETX) {
            *out++ = char(b);
            continue;
        }
        if (i + 1 >= n)
            return std::nullopt;
        const uint8_t next = at(frame, i + 1);
        if (next == ESC)
            *out++ = char(ESC);
        else if (next >= '0' && next <= '9')
            *out++ = char(next - '0');
        else
            return std::nullopt; // no rule for it: treat as a damaged frame
        ++i;
    }
    work.truncate(out - work.constData());
    return work;
}

uint8_t xorRange(const QByteArray& work, int last) {
    uint8_t x = 0;
    const int end = std::min(last, static_cast<int>(work.size()) - 1);
    for (int i = 1; i <= end; ++i)
        x ^= at(work, i);
    return x;
}

Message interpret(const QByteArray& work) {
    Message msg;
    const int csum = checksumIndex(work);
    if (csum < 0) {
        msg.kind = FrameKind::Damaged;
        return msg;
    }
    if (csum < 2) { // no type byte at all
        msg.kind = FrameKind::NoReading;
        msg.tooShort = true;
        return msg;
    }
    msg.type = at(work, 1);
    // Payload occupies 1 .. csum-1.
    if (lastIndexNeeded(msg.type) > csum - 1) {
        msg.kind = FrameKind::NoReading;
        msg.tooShort = true;
        return msg;
    }
    switch (msg.type) {
    case TypeAnnounce:
        msg.probeCode = at(work, 2);
        msg.echoByte4 = at(work, 4);
        msg.kind = FrameKind::Ready;
        break;
    case TypeInitialised:
        msg.kind = FrameKind::Ready;
        break;
    case TypeClockSet:
        msg.kind = FrameKind::NoReading;
        break;
    case TypeRecordCount:
        msg.recordCount = recordNumberOf(work);
        msg.kind = FrameKind::NoReading;
        break;
    case TypeRecord:
        msg.recordNumber = recordNumberOf(work);
        msg.kind = FrameKind::Reading;
        break;
    case TypeOnline:
        msg.kind = FrameKind::Reading;
        break;
    case TypeShort:
        msg.shortValue = valueAt(work, 4);
        msg.kind = FrameKind::Reading;
        break;
    default:
        msg.kind = FrameKind::NoReading;
        break;
    }
    return msg;
}

QString unitsText(int code, bool shortForm, bool large) {
    const char* name = nullptr;
    switch (code) {
    case 1:
        name = large ? "R/h" : "mR/h";
        break;
    case 2:
        name = large ? "R" : "mR";
        break;
    case 3:
        name = large ? "mSv/h" : "uSv/h";
        break;
    case 4:
        name = large ? "mSv" : "uSv";
        break;
    case 6:
        name = large ? "Kcounts" : "counts";
        break;
    case 11:
        if (!shortForm)
            name = large ? "KShield" : "Shield";
        break;
    case 17:
        if (shortForm)
            name = large ? "R/h L" : "mR/h L";
        break;
    case 18:
        if (shortForm)
            name = large ? "R L" : "mR L";
        break;
    case 19:
        if (shortForm)
            name = large ? "mSv/h L" : "uSv/h L";
        break;
    case 20:
        if (shortForm)
            name = large ? "mSv L" : "uSv L";
        break;
    case 64:
        name = large ? "Kcpm" : "cpm";
        break;
    case 128:
        name = large ? "Kps" : "cps";
        break;
    default:
        break;
    }
    return name ? QString::fromLatin1(name) : QString::number(code);
}

QString statusText(int s) {
    if (s == 0)
        return QStringLiteral("OK");
    if (s & 2)
        return QStringLiteral("Battery fail");
    if (s == 4 || s == 8)
        return QStringLiteral("Overflow");
    if (s == 16)
        return QStringLiteral("No pulse");
    if (s == 32)
        return QStringLiteral("Bit Failure");
    if (s & 64)
        return QStringLiteral("Underflow");
    if (s == 128)
        return QStringLiteral("No pulse");
    return QString::number(s, 16).toUpper();
}

QString detectorText(int code, bool shortForm) {
    switch (code) {
    case 0:
    case 160:
        return QStringLiteral("Internal");
    case 161:
        return shortForm ? QStringLiteral("DX23") : QStringLiteral("DX24");
    case 162:
        return shortForm ? QStringLiteral("DX24") : QStringLiteral("DX23");
    case 163:
        return QStringLiteral("DX22");
    case 165:
        return QStringLiteral("DX21");
    default:
        return shortForm ? QStringLiteral("Unknown") : QString::number(code);
    }
}

Verdict classify(const QByteArray& frame) {
    const std::optional<QByteArray> work = unescapeFrame(frame);
    if (!work)
        return {FrameKind::Damaged, frame};
    return {interpret(*work).kind, *work};
}

std::optional<Reading> parseReading(const QByteArray& work, int probeCode, const QDateTime& now) {
    // The record (0x84) and the on-line reading (0x86) share the long layout.
    const bool longForm = work.size() >= 2 && at(work, 1) != TypeShort;
    const int need = longForm ? lastIndexNeeded(TypeOnline) : lastIndexNeeded(TypeShort);
    if (work.size() < 2 || need > payloadEnd(work) - 1)
        return std::nullopt;

    const int valueMsb = longForm ? 21 : 4;
    const int unitsCode = at(work, longForm ? 25 : 9);
    const int status = at(work, longForm ? 27 : 8);

    double v = valueAt(work, valueMsb);
    if (unitsCode == 1 || unitsCode == 2 || unitsCode == 11)
        v *= 1000;
    else if (unitsCode == 3 || unitsCode == 4)
        v *= 1000000;
    const bool large = v > 1000;
    if (large)
        v /= 1000;

    Reading r;
    r.value = v;
    r.unit = unitsText(unitsCode, !longForm, large);
    r.status = statusText(status);
    r.detector = longForm ? detectorText(at(work, 26), false) : detectorText(probeCode, true);
    r.alarmCode = static_cast<int16_t>(status);

    if (longForm && at(work, 2) != 0xFF) {
        r.instrumentId = QString::number(recordNumberOf(work));
        // The logged date as the instrument wrote it, without any time zone.
        // Fields that make no date (a clock never set) are not turned into
        // another date: the record is filed at its arrival and says so.
        const int year = 2000 + at(work, 18), month = at(work, 16), day = at(work, 17);
        const int hour = at(work, 19), minute = at(work, 20);
        if (const std::optional<LoggedTime> logged =
                loggedDateTime(year, month, day, hour, minute)) {
            r.date = logged->date;
            r.time = logged->time;
        } else {
            r.setTaken(now);
            r.status +=
                QStringLiteral("; ") + invalidLoggedDateNote(year, month, day, hour, minute);
        }
    } else {
        r.instrumentId = QStringLiteral("On-Line");
        r.setTaken(now);
    }
    return r;
}

} // namespace zel::tarvo
