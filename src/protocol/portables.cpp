#include "protocol/portables.h"

#include "common/datetime.h"
#include "common/text.h"
#include "protocol/checksums.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace zel {

namespace {

uint8_t at(const QByteArray& a, int i) {
    return static_cast<uint8_t>(a.at(i));
}

// Last payload index of a checked frame: the checksum and the 0x04 follow it.
int payloadEnd(const QByteArray& frame) {
    return static_cast<int>(frame.size()) - 3;
}

QString characters(const QByteArray& frame, int first, int count) {
    return QString::fromLatin1(frame.mid(first, count));
}

} // namespace

namespace portables {

Verdict classify(const QByteArray& frame) {
    const int k = static_cast<int>(frame.size());
    if (k < 20)
        return {FrameKind::NoReading, frame};
    // Payload 1 .. k-3, checksum at k-2: the two's complement of the sum.
    if (twosComplementSum(QByteArrayView(frame).sliced(1, k - 3)) !=
        static_cast<uint8_t>(frame.at(k - 2)))
        return {FrameKind::Damaged, frame};
    if (k > 30)
        return {FrameKind::Calibration, frame};
    if (frame.at(1) == EndOfLog)
        return {FrameKind::EndOfLog, frame};
    return {FrameKind::Reading, frame};
}

} // namespace portables

QByteArray buildPortableCommand(uint8_t command, const QByteArray& params) {
    QByteArray out;
    out.reserve(10);
    out.append(char(0x01));
    out.append(char(command));
    for (int i = 0; i < 7; ++i)
        out.append(i < params.size() ? params.at(i) : '0');
    out.append(char(0x04));
    return out;
}

QByteArray buildOnlineStartCommand(double minutes, double seconds) {
    const QString picture = QStringLiteral("##00");
    QByteArray params = formatPicture(minutes, picture).left(2).toLatin1();
    params += formatPicture(seconds, picture).left(2).toLatin1();
    params += "000";
    return buildPortableCommand(9, params);
}

QByteArray buildSetClockCommand(const QDateTime& now) {
    const QDate d = now.date();
    const QTime t = now.time();
    QByteArray b;
    b.reserve(10);
    b.append(char(0x01)).append(char(0x20));
    b.append(char(d.month())).append(char(d.day()));
    b.append(char(d.year() / 100)).append(char(d.year() % 100));
    b.append(char(t.hour())).append(char(t.minute())).append(char(t.second()));
    b.append(char(0x04));
    return b;
}

QString portablesUnitsText(int code) {
    const int unit = code & ~16;
    const char* name = nullptr;
    switch (unit) {
    case 1:
        name = "mR/h";
        break;
    case 2:
        name = "mR";
        break;
    case 4:
        name = "uSv/h";
        break;
    case 8:
        name = "uSv";
        break;
    case 32:
        name = "dpm";
        break;
    case 64:
        name = "cpm";
        break;
    case 96:
        name = "Bq";
        break;
    case 128:
        name = "cps";
        break;
    case 192:
        name = "count";
        break;
    case 224:
        name = "uCi";
        break;
    default:
        break;
    }
    QString text = name ? QString::fromLatin1(name) : QString::number(unit);
    if (code & 16)
        text += QLatin1Char('f');
    return text;
}

QString portablesDetectorText(int code) {
    if (code == 0)
        return QStringLiteral("Internal");
    if (code >= 1 && code <= 10) {
        // Made once: every reading names its detector.
        static const std::array<QString, 10> probes = [] {
            std::array<QString, 10> names;
            for (int i = 0; i < 10; ++i)
                names[size_t(i)] = QStringLiteral("DX%1").arg(11 + i);
            return names;
        }();
        return probes[size_t(code - 1)];
    }
    if (code == 254)
        return QStringLiteral("Skylance");
    if (code == 255)
        return QStringLiteral("QUORIN");
    return QString::number(code);
}

QString portablesStatusText(int s) {
    if (s < 0)
        return QString::number(s);
    if (s == 0)
        return QStringLiteral("OK");
    if (s == 1)
        return QStringLiteral("LowBat");
    if (s <= 3)
        return QStringLiteral("DetFail");
    if (s <= 7)
        return QStringLiteral("OvrThrDose");
    if (s <= 15)
        return QStringLiteral("OvrThrRate");
    if (s <= 31)
        return QStringLiteral("OvrFlwRate");
    return QStringLiteral("OvrFlwDose");
}

double portablesValue(int code) {
    // Codes below 10000 have fewer digits: the missing characters read as
    // nothing, which is 0, as the instrument's own reader takes them.
    // The code's last five decimal digits (leading zeros kept when there
    // are more), read from the left.
    const int whole = std::max(code, 0);
    int length = 1;
    for (int rest = whole; rest >= 10 && length < 5; rest /= 10)
        ++length;
    if (whole >= 100000)
        length = 5;
    const int digits = whole % 100000;
    const auto digitAt = [&](int i) {
        int d = digits;
        for (int k = length - 1; k > i; --k)
            d /= 10;
        return i < length ? d % 10 : 0;
    };
    const int sign = digitAt(0);
    const int exponent = digitAt(1);
    const double mantissa = length > 2 ? digits % (length == 5 ? 1000 : length == 4 ? 100 : 10) : 0;
    return sign == 5 ? mantissa * std::pow(10.0, exponent) : mantissa * std::pow(10.0, -exponent);
}

namespace portables {

std::optional<Reading> parseReading(const QByteArray& frame, bool logged, const QDateTime& now) {
    if (payloadEnd(frame) < portables::LastReadingByte)
        return std::nullopt;
    Reading r;
    r.instrumentId = characters(frame, portables::IdFirst, portables::IdLength);
    const int status = at(frame, 23);
    r.status = portablesStatusText(status);
    // The logged date as the instrument wrote it. Fields that make no date
    // (a clock never set, an erased log) are not turned into another date:
    // the record is filed at its arrival and says so.
    const int year = at(frame, 15) * 100 + at(frame, 16), month = at(frame, 13);
    const int day = at(frame, 14), hour = at(frame, 17), minute = at(frame, 18);
    const std::optional<LoggedTime> loggedTime =
        logged ? loggedDateTime(year, month, day, hour, minute) : std::nullopt;
    if (loggedTime) {
        r.date = loggedTime->date;
        r.time = loggedTime->time;
    } else {
        r.setTaken(now);
        if (logged)
            r.status +=
                QStringLiteral("; ") + invalidLoggedDateNote(year, month, day, hour, minute);
    }
    r.valuePicture = QStringLiteral("##0.00");
    r.value = shownNumber(portablesValue(at(frame, 19) * 256 + at(frame, 20)), r.valuePicture);
    r.unit = portablesUnitsText(at(frame, 21));
    r.detector = portablesDetectorText(at(frame, 22));
    r.alarmCode = static_cast<int16_t>(status);
    // Over a dose or a rate threshold.
    r.overMark = (status & (4 | 8)) ? QStringLiteral("*") : QStringLiteral(" ");
    return r;
}

std::optional<PortablesCalibration> parseCalibration(const QByteArray& frame) {
    if (payloadEnd(frame) < portables::LastCalibrationByte)
        return std::nullopt;
    PortablesCalibration c;
    c.meter = characters(frame, 1, 8);
    c.factor = shortestText(leadingNumber(characters(frame, 9, 4)) / 1000);
    c.name = characters(frame, 13, 12);
    c.due = characters(frame, 25, 2) + QLatin1Char('/') + characters(frame, 27, 2) +
            QLatin1Char('/') + characters(frame, 29, 4);
    return c;
}

} // namespace portables
} // namespace zel
