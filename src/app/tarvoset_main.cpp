// tarvoset: initialises a Tarvo-5 on the port named in "dax.ini".
#include "app/program_identity.h"
#include "common/local_zone.h"
#include "common/paths.h"
#include "setup/tarvoset_controller.h"
#include "setup/tarvoset_window.h"
#include "station/port_settings.h"
#include "station/serial_link.h"
#include "ui/command_line.h"
#include "ui/translations.h"
#include <QApplication>

int main(int argc, char** argv) {
    // Before any thread exists: it sets the environment.
    zel::pinLocalTimeZone();
    const int answered = zel::answerUsageQuestions(
        argc, argv,
        {QStringLiteral("tarvoset"),
         QStringLiteral("Initialises a Tarvo-5 on the serial port named in dax.ini."),
         QStringLiteral("[anything]"),
         QStringLiteral("Any argument also shows the next step in zel once the instrument is "
                        "ready.")});
    if (answered >= 0)
        return answered;
    QApplication app(argc, argv);
    zel::setProgramIdentity(QStringLiteral("tarvoset"));
    zel::useLocale(QLocale::system());

    // Whoever starts us with anything on the command line gets the hint
    // about the next step once the instrument is ready.
    const bool startedByCaller = app.arguments().size() > 1;

    zel::PortSettingsFile portFile(zel::portSettingsFilePath());
    zel::SerialLink link;
    zel::TarvosetController controller(link, portFile);
    zel::TarvosetWindow window(controller);
    controller.start(startedByCaller);
    window.show();
    return app.exec();
}
