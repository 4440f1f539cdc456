// The order a window's station starts in. Each step needs the one before:
// the family is chosen only once the window shows its option, the port is
// tested only for the family chosen, and the previous run's readings are
// counted only once the family's own start-up state is set.
#include "station/session.h"

namespace zel {

namespace {
void run(const std::function<void()>& step) {
    if (step)
        step();
}
} // namespace

SettingsLoad Session::startWindow(const WindowStartup& window) {
    // The rest of the settings are read only when the port is named.
    const SettingsLoad load = loadSettings();
    if (!load.portNamed())
        view_.critical(QStringLiteral("Port not opened, Use Set Port "),
                       QStringLiteral("Error in Communication"), QString());
    buildStation();
    run(window.stationBuilt);
    // The family, chosen without a click: no port yet, so no test.
    station_->chooseFamily(settings_.InstrumentType);
    if (load.portNamed())
        openPort();
    // Families that announce themselves wait for the instrument; the others
    // are idle.
    station_->enterStartupState();
    run(window.stationStarted);
    restoreWorkingFile();
    run(window.readingsRestored);
    station_->finishStartup();
    return load;
}

} // namespace zel
