#pragma once
// A settings write as one value: done, or why Zel.ini did not take it (the
// file's own error text, its name and the system's reason in it).
#include "common/failure.h"
#include "data/settings.h"

namespace zel {

inline Expected<void> settingsWritten(bool written, SettingsStore& store) {
    if (written)
        return {};
    return fail(Failure::Kind::Other, store.ini().lastError());
}

} // namespace zel
