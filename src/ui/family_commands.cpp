#include "ui/family_commands.h"

#include "data/settings.h"
#include "protocol/amp.h"
#include "station/amp_conversation.h"
#include "station/station.h"
#include "ui/amp_setup_dialog.h"
#include "ui/settings_written.h"

#include <iterator>

namespace zel {

namespace {

// The meter is quiet while it is set up; closing the dialog starts it.
void setUpAmplifier(const FamilySetupContext& c) {
    auto* amp = c.station.conversationAs<AmpConversation>();
    if (!amp)
        return;
    amp->sendStop();
    AmpSetupDialog dialog(*amp, c.diagnostic, c.parent);
    dialog.setPrompts(c.prompts);
    dialog.exec();
    const Expected<void> written = settingsWritten(
        c.settingsStore.writeConvertUnits(c.settings.ConvertUnits), c.settingsStore);
    if (!written)
        c.station.reportSettingNotSaved(written.error().text);
}

void startAmplifier(Station& station) {
    if (auto* amp = station.conversationAs<AmpConversation>())
        amp->sendStart();
}

void stopAmplifier(Station& station) {
    if (auto* amp = station.conversationAs<AmpConversation>())
        amp->sendStop();
}

const FamilyCommandsRow rows[] = {
    {AmpVessa, &setUpAmplifier, &startAmplifier, &stopAmplifier},
};

} // namespace

const FamilyCommandsRow* familyCommandsOf(int16_t family) {
    for (const FamilyCommandsRow& row : rows)
        if (row.family == family)
            return &row;
    return nullptr;
}

} // namespace zel
