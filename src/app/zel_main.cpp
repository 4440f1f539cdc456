#include "ui/main_window.h"
#include "ui/translations.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zel"));
    QApplication::setApplicationVersion(QStringLiteral(ZEL_VERSION_TEXT));
    zel::useLocale(QLocale::system());
    zel::MainWindow window({QApplication::arguments()});
    window.loadSettingsAndStart();
    window.show();
    return app.exec();
}
