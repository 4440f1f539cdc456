#include "protocol/amp.h"

#include "protocol/checksums.h"
#include "protocol/instrument.h"

namespace zel {

int16_t checkAmpReply(const QByteArray& frame) {
    // The text after the LF, closing CR included; positions count from 1.
    const QByteArray s = frame.mid(1);
    const int len = static_cast<int>(s.size());
    if (len < 10)
        return Result::NoReading;
    if (len >= 26)
        return Result::AmpSetup;
    int sum = 0;
    for (int p = 1; p <= len - 4; p += 2) {
        const int v = hexPairValue(s, p - 1);
        // Line noise, not a reading: never let it pass as one.
        if (v < 0)
            return Result::BadChecksum;
        sum += v;
    }
    const int check = hexPairValue(s, len - 3);
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
