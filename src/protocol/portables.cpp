#include "protocol/portables.h"

#include "protocol/checksums.h"
#include "protocol/instrument.h"

namespace zel {

int16_t checkPortablesReply(const QByteArray& frame) {
    const int k = static_cast<int>(frame.size());
    if (k < 20)
        return Result::NoReading;
    // Payload 1 .. k-3, checksum at k-2: the two's complement of the sum.
    if (twosComplementSum(QByteArrayView(frame).sliced(1, k - 3)) !=
        static_cast<uint8_t>(frame.at(k - 2)))
        return Result::BadChecksum;
    if (k > 30)
        return Result::Calibration;
    return Result::Reading;
}

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

} // namespace zel
