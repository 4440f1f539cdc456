#include "common/strings.h"
#include "ui/main_window.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zel"));
    QApplication::setApplicationVersion(QStringLiteral(ZEL_VERSION_TEXT));
    if (zel::currentLanguage() == zel::Language::Hebrew)
        QApplication::setLayoutDirection(Qt::RightToLeft);
    zel::MainWindow window({QApplication::arguments()});
    window.loadSettingsAndStart();
    window.show();
    return app.exec();
}
