#pragma once
// The check bytes the instrument families use, named after their algorithm,
// shared by the codecs and the simulator.
#include <QByteArrayView>
#include <cstdint>

namespace zel {

// XOR of every byte (Tarvo-5).
uint8_t xorChecksum(QByteArrayView bytes);

// The byte that brings the sum of `bytes` to 0 modulo 256: 256 - (sum mod 256),
// 0 when the sum is already a multiple of 256 (Portables, and the amplifier's
// hex pairs).
uint8_t twosComplementSum(QByteArrayView bytes);

// Value of the hex-digit pair at `bytes[index]`, `bytes[index + 1]` (either
// case); -1 when either is no hex digit or the pair is not inside `bytes`.
int hexPairValue(QByteArrayView bytes, qsizetype index);

} // namespace zel
