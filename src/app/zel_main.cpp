#include "app/program_identity.h"
#include "common/folder_lock.h"
#include "common/local_zone.h"
#include "common/paths.h"
#include "ui/command_line.h"
#include "ui/main_window.h"
#include "ui/translations.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>

int main(int argc, char** argv) {
    // Before any thread exists: it sets the environment.
    zel::pinLocalTimeZone();
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
    zel::watchLocalTimeZone(&app);
    zel::setProgramIdentity(QStringLiteral("Zel"));
    QApplication::setApplicationVersion(QStringLiteral(ZEL_VERSION_TEXT));
    zel::useLocale(QLocale::system());
    // The program folder is this window's before any file of it is opened:
    // a second program on it would rewrite the first one's files.
    const QString folder = zel::programFolder();
    zel::FolderLock folderLock(folder);
    const zel::FolderLock::Result locked = folderLock.tryLock(QStringLiteral("zel"));
    if (locked != zel::FolderLock::Result::Taken) {
        const QString text =
            locked == zel::FolderLock::Result::Busy
                ? QCoreApplication::translate("zel", "The program folder %1 is in use by %2.\n\n"
                                                     "Zel closes now; start it again once the "
                                                     "other program has ended.")
                      .arg(QDir::toNativeSeparators(folder), folderLock.holder().text())
                : QCoreApplication::translate("zel", "The program folder %1 cannot be locked: "
                                                     "%2\n\nZel closes now.")
                      .arg(QDir::toNativeSeparators(folder), folderLock.error());
        QMessageBox::critical(nullptr, QStringLiteral("Zel"), text);
        return locked == zel::FolderLock::Result::Busy ? zel::kFolderInUseExitCode : 1;
    }
    zel::MainWindow window({QApplication::arguments()});
    window.loadSettingsAndStart();
    window.show();
    return app.exec();
}
