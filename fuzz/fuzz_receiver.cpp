// Every byte stream the receiver can see, for every family: the first byte
// picks the family, the rest is cut into batches (a length byte, then that
// many bytes) and fed through the receiver into the family's checker and,
// for the Tarvo-5, both reading parsers.
#include "common/datetime.h"
#include "protocol/amp.h"
#include "protocol/portables.h"
#include "protocol/receiver.h"
#include "protocol/tarvo.h"
#include "station/families.h"

#include <QDateTime>
#include <cstddef>
#include <cstdint>

namespace {

zel::FrameKind checkFrame(int16_t family, const QByteArray& frame) {
    using namespace zel;
    switch (family) {
    case Portables:
        return portables::classify(frame).kind;
    case Tarvo5: {
        const auto work = tarvo::unescapeFrame(frame);
        if (!work)
            return FrameKind::Damaged;
        const tarvo::Message m = tarvo::interpret(*work);
        static const QDateTime now(QDate(2026, 1, 2), QTime(3, 4, 5));
        const auto reading = tarvo::parseReading(*work, m.probeCode, now);
        // A frame the checker accepts as a reading must parse in its layout.
        if (m.kind == FrameKind::Reading && !m.tooShort && !reading)
            __builtin_trap();
        return m.kind;
    }
    case AmpVessa:
        return amp::classify(frame).kind;
    default:
        return FrameKind::NoReading;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const auto family = static_cast<int16_t>(data[0] % 4);
    zel::Receiver rx;
    rx.setRules(zel::familyOrDefault(family).frameRules);
    auto onFrame = [family](const QByteArray& frame) {
        if (frame.size() > zel::Receiver::BufferSize)
            __builtin_trap();
        return checkFrame(family, frame);
    };
    QString debug;
    size_t pos = 1;
    while (pos < size) {
        const size_t len = std::min<size_t>(data[pos] % 128 + 1, size - pos - 1);
        ++pos;
        const QByteArray batch(reinterpret_cast<const char*>(data + pos),
                               static_cast<qsizetype>(len));
        pos += len;
        rx.feed(batch, onFrame, &debug);
        if (rx.receiveCount() < 0 || rx.receiveCount() >= zel::Receiver::BufferSize)
            __builtin_trap();
    }
    return 0;
}
