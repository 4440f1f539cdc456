#pragma once
// Cuts the incoming byte stream into frames by the family's rules. Pure
// state machine: no port, no timers.
#include "protocol/verdict.h"
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <functional>

namespace zel {

struct FrameRules {
    int frameStart = -1; // -1: the family has no start byte
    uint8_t frameEnd = 0x03;
    int16_t frameMinLength = 1;
    // A byte that begins every frame and never occurs unescaped inside its
    // payload, although the unescaped checksum before the end byte may take
    // its value (-1: none). A complete frame is taken from the last such byte
    // before the checksum, so noise before a frame costs nothing.
    int frameStartInside = -1;
};

class Receiver {
public:
    static constexpr int BufferSize = 101; // indexes 0 .. 100

    void setRules(const FrameRules& rules) { rules_ = rules; }
    const FrameRules& rules() const { return rules_; }

    // Feeds one batch of received bytes. Each complete frame (buffer bytes
    // 0 .. ReceiveCount-1) goes to `onFrame`, which returns what the frame
    // was; a damaged one drops the rest of the batch when the family has no
    // start byte to find the next frame by, an overflow always does. When
    // `debugText` is given it receives "Part " and " XX" for every byte of
    // the batch (upper-case hex, no leading zero).
    // The batch is only read during the call: a port may hand over the
    // array it reads into again.
    void feed(QByteArrayView batch, const std::function<FrameKind(const QByteArray&)>& onFrame,
              QString* debugText = nullptr);

    int receiveCount() const { return count_; }
    QByteArray held() const { return QByteArray(buffer_, count_); }
    void reset() { count_ = 0; }

private:
    // Index of the first byte of the frame that ends at count_ - 1.
    int frameBegin() const;

    FrameRules rules_;
    char buffer_[BufferSize] = {};
    int count_ = 0;
};

} // namespace zel
