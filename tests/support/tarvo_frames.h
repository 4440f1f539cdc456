#pragma once
// Tarvo-5 reading messages for tests and benchmarks.
#include <QByteArray>
#include <cstdint>
#include <cstring>

namespace zel::test {

// A 0x86 (or 0x84) payload: record number bytes b2/b3 (0xFF = on line), a
// fixed logged date 2026-03-14 09:30, the value as a big-endian float, units,
// detector and status.
inline QByteArray readingPayload(uint8_t type, float value, uint8_t units, uint8_t status = 0,
                                 uint8_t b2 = 0xFF, uint8_t b3 = 0, uint8_t detector = 161) {
    QByteArray p(27, '\0');
    p[0] = char(type);
    p[1] = char(b2);
    p[2] = char(b3);
    p[15] = 3;  // month
    p[16] = 14; // day
    p[17] = 26; // year - 2000
    p[18] = 9;  // hour
    p[19] = 30; // minute
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    p[20] = char(bits >> 24);
    p[21] = char(bits >> 16);
    p[22] = char(bits >> 8);
    p[23] = char(bits);
    p[24] = char(units);
    p[25] = char(detector);
    p[26] = char(status);
    return p;
}

} // namespace zel::test
