#include "protocol/receiver.h"

namespace zel {

int Receiver::frameBegin() const {
    if (rules_.frameStartInside < 0)
        return 0;
    // The byte before the end byte is the checksum: it may carry the start
    // byte's value without starting anything.
    for (int i = count_ - 3; i > 0; --i)
        if (static_cast<uint8_t>(buffer_[i]) == rules_.frameStartInside)
            return i;
    return 0;
}

void Receiver::feed(QByteArrayView batch,
                    const std::function<FrameKind(const QByteArray&)>& onFrame,
                    QString* debugText) {
    if (debugText)
        *debugText = QStringLiteral("Part ");
    for (char ch : batch) {
        const auto b = static_cast<uint8_t>(ch);
        if (debugText) {
            debugText->append(QLatin1Char(' '));
            debugText->append(QString::number(b, 16).toUpper());
        }
        // A full buffer means we lost the frame boundary: start again with
        // the next batch rather than guess where a frame begins.
        if (count_ >= BufferSize - 1) {
            count_ = 0;
            return;
        }
        if (rules_.frameStart >= 0 && b == rules_.frameStart)
            count_ = 0;
        buffer_[count_++] = ch;
        if (b == rules_.frameEnd && count_ > rules_.frameMinLength) {
            const int from = frameBegin();
            const QByteArray frame(buffer_ + from, count_ - from);
            count_ = 0;
            const FrameKind kind = onFrame ? onFrame(frame) : FrameKind::NoReading;
            // A damaged frame tells nothing about the bytes after it; where
            // a start byte marks the next frame, it is still found.
            const bool canResync = rules_.frameStart >= 0 || rules_.frameStartInside >= 0;
            if (kind == FrameKind::Damaged && !canResync)
                return;
        }
    }
}

} // namespace zel
