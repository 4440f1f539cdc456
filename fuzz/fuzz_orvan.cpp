// Every byte stream an Orvan line can carry: the first byte picks the GM
// factor and the reading-time form, the rest is cut into batches (a length
// byte, then that many bytes) and fed through the receiver with the Orvan
// frame rules into the reply check and the reading parser. The whole input
// also goes to the codec as one reply, framed or not.
#include "protocol/orvan.h"
#include "protocol/receiver.h"

#include <QDateTime>
#include <cstddef>
#include <cstdint>

namespace {

using namespace zel;

FrameKind checkAndParse(const QByteArray& frame, double factor, OrvanTimeForm form) {
    static const QDateTime now(QDate(2026, 1, 2), QTime(3, 4, 5, 678));
    const orvan::Reply reply = orvan::readReply(frame);
    const auto reading = orvan::parseReading(frame, factor, now, form);
    switch (reply.kind) {
    case FrameKind::Reading:
        // An accepted reading parses, with its count rate.
        if (!reading || !orvan::countRateOf(*reading))
            __builtin_trap();
        break;
    case FrameKind::InstrumentError:
        if (!reading || orvan::countRateOf(*reading))
            __builtin_trap();
        break;
    case FrameKind::Connected:
        if (reading || reply.unitText.isEmpty())
            __builtin_trap();
        break;
    case FrameKind::NoReading:
        // Anything else is no row.
        if (reading)
            __builtin_trap();
        break;
    default:
        __builtin_trap();
    }
    return reply.kind;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const double factor = data[0] & 1 ? 0.01 : 1.0;
    const auto form = static_cast<OrvanTimeForm>((data[0] >> 1) % 3);

    const QByteArray whole(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    checkAndParse(whole, factor, form);
    checkAndParse("\x02" + whole + "\x03", factor, form);

    Receiver rx;
    rx.setRules(orvan::Framing);
    auto onFrame = [&](const QByteArray& frame) {
        if (frame.size() > Receiver::BufferSize)
            __builtin_trap();
        return checkAndParse(frame, factor, form);
    };
    size_t pos = 1;
    while (pos < size) {
        const size_t len = std::min<size_t>(data[pos] % 128 + 1, size - pos - 1);
        ++pos;
        const QByteArray batch(reinterpret_cast<const char*>(data + pos), qsizetype(len));
        pos += len;
        rx.feed(batch, onFrame);
        if (rx.receiveCount() < 0 || rx.receiveCount() >= Receiver::BufferSize)
            __builtin_trap();
    }
    return 0;
}
