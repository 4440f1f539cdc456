#pragma once
// The computer's time zone, read once instead of at every clock reading.
//
// Without TZ in the environment the C library looks at /etc/localtime again
// (a file-system lookup) each time Qt turns a moment into local time, which
// the station does more than a dozen times a reading: at 100 readings a
// second that lookup alone was a large part of the monitor's processor time.
// With TZ naming that same file the library reads it once and keeps it.
// Summer time needs nothing more (its rules are in the file); a change of
// the computer's zone is taken up by refreshLocalTimeZone(), which the
// long-running programs call once a minute.
#include <QObject>

namespace zel {

// Call first in main, before any thread starts. Leaves a TZ that is set (a
// person's or a test's choice) as it is; says whether it pinned the zone.
bool pinLocalTimeZone();

// When the zone was pinned: reads /etc/localtime again if it changed (one
// lookup), so a zone set while the program runs takes effect within a
// minute. Call on the main thread.
void refreshLocalTimeZone();

// Calls refreshLocalTimeZone() once a minute while `owner` lives, when the
// zone was pinned.
void watchLocalTimeZone(QObject* owner);

} // namespace zel
