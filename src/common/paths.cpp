#include "common/paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace zel {

namespace {

QString homeBased(const char* variable, const QString& fallbackUnderHome) {
    const QString value = qEnvironmentVariable(variable);
    // The XDG rules ignore relative paths in these variables.
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return value;
    return QDir::homePath() + u'/' + fallbackUnderHome;
}

QString ensured(const QString& folder) {
    QDir().mkpath(folder);
    return QDir::cleanPath(folder);
}

} // namespace

QString programFolder() {
    const QString home = qEnvironmentVariable("ZEL_HOME");
    if (!home.isEmpty())
        return ensured(QDir(home).absolutePath());
    if (QCoreApplication::instance()) {
        const QString appDir = QCoreApplication::applicationDirPath();
        const QFileInfo info(appDir);
        if (!appDir.isEmpty() && info.isDir() && info.isWritable())
            return QDir::cleanPath(appDir);
    }
    return ensured(homeBased("XDG_DATA_HOME", QStringLiteral(".local/share")) +
                   QStringLiteral("/zel"));
}

QString programFile(const QString& name) {
    return programFolder() + u'/' + name;
}

QString settingsFilePath() {
    const QString folder =
        ensured(homeBased("XDG_CONFIG_HOME", QStringLiteral(".config")) + QStringLiteral("/zel"));
    return folder + QStringLiteral("/Zel.ini");
}

QString portSettingsFilePath() {
    return programFile(QStringLiteral("dax.ini"));
}

} // namespace zel
