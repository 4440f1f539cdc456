#pragma once
// What the main window offers for one family beyond the commands every
// family shares: a set-up dialog, and the hidden Start and Stop of an
// installation that keeps its meter quiet by hand. The window looks a
// family up here by its id, so it never names a family's conversation.
#include <QtGlobal>

class QWidget;

namespace zel {

class Prompts;
class Station;
class SettingsStore;
struct Settings;

// Where a set-up dialog opens and what it may change.
struct FamilySetupContext {
    Station& station;
    SettingsStore& settingsStore;
    const Settings& settings;
    Prompts& prompts;
    QWidget* parent;
    bool diagnostic; // the command line was exactly "dbg"
};

struct FamilyCommandsRow {
    int16_t family;
    // Opens the family's set-up dialog and keeps what it changed.
    void (*setUp)(const FamilySetupContext& context);
    void (*start)(Station& station);
    void (*stop)(Station& station);
};

// The row of `family`; null when it offers nothing beyond the shared
// commands.
const FamilyCommandsRow* familyCommandsOf(int16_t family);

} // namespace zel
