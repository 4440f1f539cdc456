#pragma once
// Portables codec: the fixed 10-byte command and the reply check.
#include <QByteArray>
#include <cstdint>

namespace zel {

// Checks a reply frame (bytes 0 .. k-1, closing 0x04 included): 3 when it is
// shorter than 20 bytes, 2 on a wrong checksum, 10 for a calibration record
// (more than 30 bytes), 1 for a reading.
int16_t checkPortablesReply(const QByteArray& frame);

// 01, command, seven parameter characters, 04. Missing parameters are "0";
// parameters beyond the seventh are not sent.
QByteArray buildPortableCommand(uint8_t command, const QByteArray& params = QByteArray());

} // namespace zel
