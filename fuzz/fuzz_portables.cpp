// Portables replies of every shape: the first byte chooses whether the rest
// is a byte stream cut into batches and fed through the receiver, or one
// reply handed straight to the checker, the reading parser (on line and
// logged) and the calibration parser. Nothing may crash or read past the
// frame, and a reply that is long enough for its layout must parse.
#include "protocol/portables.h"
#include "protocol/receiver.h"

#include <QDateTime>
#include <cstddef>
#include <cstdint>

namespace {

const QDateTime kNow(QDate(2026, 1, 2), QTime(3, 4, 5));

zel::FrameKind checkAndParse(const QByteArray& frame) {
    using namespace zel;
    const FrameKind result = portables::classify(frame).kind;
    for (bool logged : {false, true}) {
        const auto r = portables::parseReading(frame, logged, kNow);
        // The payload ends two bytes before the frame: a reply of 26 bytes
        // and up reaches the status byte.
        if (r.has_value() != (frame.size() >= 26))
            __builtin_trap();
        if (r && (r->overMark.size() != 1 || r->instrumentId.size() != 12))
            __builtin_trap();
    }
    const auto c = portables::parseCalibration(frame);
    if (c.has_value() != (frame.size() >= 35))
        __builtin_trap();
    if (c && (c->meter.size() != 8 || c->name.size() != 12 || c->due.size() != 10))
        __builtin_trap();
    return result;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const QByteArray rest(reinterpret_cast<const char*>(data + 1),
                          static_cast<qsizetype>(size - 1));
    if (data[0] & 1) {
        checkAndParse(rest);
        if (rest.size() >= 2) {
            const int code = (uint8_t(rest[0]) << 8) | uint8_t(rest[1]);
            zel::portablesValue(code);
            zel::portablesUnitsText(uint8_t(rest[0]));
            zel::portablesDetectorText(uint8_t(rest[1]));
            zel::portablesStatusText(uint8_t(rest[0]));
        }
        return 0;
    }
    zel::Receiver rx;
    rx.setRules(zel::portables::Framing);
    auto onFrame = [](const QByteArray& frame) {
        if (frame.size() > zel::Receiver::BufferSize)
            __builtin_trap();
        return checkAndParse(frame);
    };
    size_t pos = 0;
    while (pos < size_t(rest.size())) {
        const size_t len =
            std::min<size_t>(uint8_t(rest[qsizetype(pos)]) % 64 + 1, size_t(rest.size()) - pos - 1);
        ++pos;
        rx.feed(rest.mid(qsizetype(pos), qsizetype(len)), onFrame);
        pos += len;
        if (rx.receiveCount() < 0 || rx.receiveCount() >= zel::Receiver::BufferSize)
            __builtin_trap();
    }
    return 0;
}
