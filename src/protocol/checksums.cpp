#include "protocol/checksums.h"

namespace zel {

uint8_t xorChecksum(QByteArrayView bytes) {
    uint8_t c = 0;
    for (char b : bytes)
        c ^= static_cast<uint8_t>(b);
    return c;
}

uint8_t twosComplementSum(QByteArrayView bytes) {
    unsigned sum = 0;
    for (char b : bytes)
        sum += static_cast<uint8_t>(b);
    return static_cast<uint8_t>((256 - (sum % 256)) % 256);
}

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
} // namespace

int hexPairValue(QByteArrayView bytes, qsizetype index) {
    if (index < 0 || index + 1 >= bytes.size())
        return -1;
    const int hi = hexDigit(bytes[index]);
    const int lo = hexDigit(bytes[index + 1]);
    return (hi < 0 || lo < 0) ? -1 : hi * 16 + lo;
}

} // namespace zel
