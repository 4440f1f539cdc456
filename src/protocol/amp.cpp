#include "protocol/amp.h"

#include "protocol/instrument.h"

namespace zel {

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Byte value of the two hex digits at 1-based position p of s; -1 if they
// are not hex digits.
int hexPair(const QByteArray& s, int p) {
    const int hi = hexDigit(s.at(p - 1));
    const int lo = hexDigit(s.at(p));
    return (hi < 0 || lo < 0) ? -1 : hi * 16 + lo;
}

} // namespace

int16_t checkAmp(const QByteArray& frame) {
    // The text after the LF, closing CR included; positions count from 1.
    const QByteArray s = frame.mid(1);
    const int len = static_cast<int>(s.size());
    if (len < 10)
        return Result::NoReading;
    if (len >= 26)
        return Result::AmpSetup;
    int sum = 0;
    for (int p = 1; p <= len - 4; p += 2) {
        const int v = hexPair(s, p);
        // Line noise, not a reading: never let it pass as one.
        if (v < 0)
            return Result::BadChecksum;
        sum += v;
    }
    const int check = hexPair(s, len - 2);
    if (check < 0 || check != (256 - (sum % 256)) % 256)
        return Result::BadChecksum;
    return Result::AmpReading;
}

QByteArray buildAmpCommand(char command, const QByteArray& params6) {
    QByteArray out;
    out.reserve(11);
    out.append(char(0x0A));
    out.append(command);
    for (int i = 0; i < 6; ++i)
        out.append(i < params6.size() ? params6.at(i) : '0');
    out.append(char(0x0F));
    out.append(char(0x0F));
    out.append(char(0x0D));
    return out;
}

} // namespace zel
