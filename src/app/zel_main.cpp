#include "app/program_identity.h"
#include "ui/command_line.h"
#include "ui/main_window.h"
#include "ui/translations.h"

#include <QApplication>

int main(int argc, char** argv) {
    const int answered = zel::answerUsageQuestions(
        argc, argv,
        {QStringLiteral("zel"),
         QStringLiteral("Station program for radiation-measurement instruments: collects the "
                        "readings of one instrument on a serial port."),
         QStringLiteral("[dbg]"),
         QStringLiteral("An argument containing \"dbg\" shows the debug window's button.")});
    if (answered >= 0)
        return answered;
    QApplication app(argc, argv);
    zel::setProgramIdentity(QStringLiteral("Zel"));
    QApplication::setApplicationVersion(QStringLiteral(ZEL_VERSION_TEXT));
    zel::useLocale(QLocale::system());
    zel::MainWindow window({QApplication::arguments()});
    window.loadSettingsAndStart();
    window.show();
    return app.exec();
}
