#pragma once
// Amp + Vessa codec: the 11-byte command and the reply check.
#include <QByteArray>
#include <cstdint>

namespace zel {

// Checks a reply frame (LF, text, CR): 3 when the text with its CR is
// shorter than 10 characters, 20 for a set-up reply (26 or more), else 15
// when the hex-pair checksum holds and 2 when it does not.
int16_t checkAmpReply(const QByteArray& frame);

// 0A, command, six parameter characters, 0F 0F 0D. Missing parameters are
// "0"; parameters beyond the sixth are not sent.
QByteArray buildAmpCommand(char command, const QByteArray& params6);

} // namespace zel
