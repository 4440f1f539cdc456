#pragma once
#include <cstdint>

namespace zel {

// The instrument family, stored as "InsType".
enum InstrumentType : int16_t {
    Portables = 0,
    Tarvo5 = 1,
    AmpVessa = 2,
    Orvan = 3,
};

// Result codes a family checker hands to the dispatcher.
namespace Result {
constexpr int16_t Nothing = 0;      // nothing to store; counted as an error
constexpr int16_t Reading = 1;      // a reading
constexpr int16_t BadChecksum = 2;  // checksum wrong
constexpr int16_t NoReading = 3;    // short or count reply; counted as an error
constexpr int16_t Ready = 5;        // Tarvo-5 announce answered / initialised
constexpr int16_t Calibration = 10; // Portables calibration record
constexpr int16_t AmpReading = 15;  // amplifier on-line reading
constexpr int16_t AmpSetup = 20;    // amplifier reply to a set-up command
constexpr int16_t OrvanConnected = 91;
constexpr int16_t OrvanError0 = 95;
constexpr int16_t OrvanError1 = 96;
} // namespace Result

} // namespace zel
