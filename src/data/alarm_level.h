#pragma once
// The alarm level is a plain value beside the reading it belongs to: what
// the station decides, and what the window, the journal, MQTT and the
// exporter tell from it.
#include <cstdint>

namespace zel {

// How a station stands, on one scale everywhere: the window, the journal,
// MQTT's "level" and the exporter's zel_alarm_level all use these numbers.
enum class AlarmLevel : int16_t {
    Normal = 0,      // at or below the first threshold
    High1 = 1,       // above the first threshold
    High2 = 2,       // above the second threshold
    Fault = 3,       // the instrument reported a fault, an error or a value it cannot measure
    LostContact = 4, // no reading for too long, or the port went away
};

// Both of the instrument's own alarms: a reading that raises one after the
// other is no new alarm for the ear.
inline bool isFaultOrLost(AlarmLevel level) {
    return level == AlarmLevel::Fault || level == AlarmLevel::LostContact;
}

} // namespace zel
