#pragma once
// A station set up for an amplifier against an in-memory port, shared by
// the conversation and dialog tests.
#include "protocol/amp.h"
#include "station/amp_conversation.h"
#include "support/station_fixture.h"

namespace zel::test {

struct AmpStation : StationRig {
    AmpStation()
        : StationRig(AmpVessa, [](Settings& s) {
              s.Threshold1 = 100;
              s.Threshold2 = 1000;
              s.AudioAlarm = 0;
          }) {
        openPort();
    }
    AmpConversation& amp() { return static_cast<AmpConversation&>(station->conversation()); }
    // What was written, one command character per command.
    QByteArray commandsSent() {
        QByteArray out;
        const QByteArray w = port.takeWritten();
        for (qsizetype i = 0; i + 10 < w.size(); i += 11)
            out += w.at(i + 1);
        return out;
    }
};

// A five-threshold Vessa-1 block: sievert, serial 654321, default threshold
// 2.5, baud 9600, interval 10 s, all options, background 0.15, thresholds 1,
// 20, 300, 0.05.
inline const QByteArray kVessaBlock = "\n93165432125000200107V1.02a  0150010000200013000200500\r";

} // namespace zel::test
