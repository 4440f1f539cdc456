// Every byte stream an amplifier line can carry: cut into frames by the
// receiver with the amplifier's rules, checked, and taken apart as a
// reading or a set-up reply. The input is also taken whole as one frame,
// and its first bytes as a number to encode.
#include "protocol/amp.h"
#include "protocol/receiver.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

void takeApart(const QByteArray& frame) {
    using namespace zel;
    const FrameKind result = amp::classify(frame).kind;
    for (int16_t convert : {int16_t(0), int16_t(1), int16_t(7)}) {
        const auto r = amp::parseReading(frame, convert, QDateTime());
        // A reading needs its 21 characters and the checksum after the LF.
        if (r && frame.size() < 24)
            __builtin_trap();
        if (r)
            (void)amp::readingText(r->value);
    }
    if (result == FrameKind::SetupReply || frame.size() < 64) {
        const int code = amp::replyCode(frame);
        (void)amp::confirmationText(code);
        AmpParams previous;
        previous.Thresholds = {1, 2, 3, 4, 5};
        const auto b = amp::parseParameterBlock(frame, previous);
        if (b && !b->fiveThresholds && b->params.Thresholds[1] != 2)
            __builtin_trap(); // a one-threshold block keeps the other four
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    zel::Receiver rx;
    rx.setRules(zel::amp::Framing);
    rx.feed(input, [](const QByteArray& frame) {
        if (frame.size() > zel::Receiver::BufferSize)
            __builtin_trap();
        takeApart(frame);
        return zel::amp::classify(frame).kind;
    });
    takeApart(input);

    if (size >= sizeof(double)) {
        double v = 0;
        std::memcpy(&v, data, sizeof v);
        for (int16_t convert : {int16_t(0), int16_t(1)}) {
            const zel::amp::Encoded e = zel::amp::encodeNumber(v, convert);
            if (e.ok()) {
                if (e.digits.size() != 5)
                    __builtin_trap();
                for (char c : e.digits)
                    if (c < '0' || c > '9')
                        __builtin_trap();
                // What goes out is what was typed, to the mantissa's four digits.
                const double meter = zel::amp::largeUnit(convert) ? v * 1000 : v;
                const double back = zel::amp::decodeNumber(e.digits, 0);
                if (std::fabs(back - meter) > std::fabs(meter) * 6e-4 + 6e-4)
                    __builtin_trap();
            }
        }
        for (const zel::amp::Encoded& e :
             {zel::amp::encodeInterval(v), zel::amp::encodeSerialNumber(v)})
            if (e.ok() && e.digits.size() != 4 && e.digits.size() != 6)
                __builtin_trap();
    }
    return 0;
}
