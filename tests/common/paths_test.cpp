#include "common/paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Sets an environment variable for one test and restores it afterwards.
class EnvGuard {
public:
    EnvGuard(const char* name, const QByteArray& value)
        : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name)) {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    ~EnvGuard() {
        if (had_)
            qputenv(name_, old_);
        else
            qunsetenv(name_);
    }

private:
    const char* name_;
    bool had_;
    QByteArray old_;
};

} // namespace

TEST(Paths, ZelHomeWinsAndIsCreated) {
    QTemporaryDir tmp;
    const QString home = tmp.filePath("a/b/zelhome");
    EnvGuard guard("ZEL_HOME", home.toUtf8());
    EXPECT_EQ(zel::programFolder(), home);
    EXPECT_TRUE(QFileInfo(home).isDir());
    EXPECT_EQ(zel::programFile("ZelTemp.csv"), home + "/ZelTemp.csv");
    EXPECT_EQ(zel::portSettingsFilePath(), home + "/dax.ini");
}

TEST(Paths, WithoutZelHomeTheExecutableFolderOrDataHome) {
    QTemporaryDir tmp;
    EnvGuard home("ZEL_HOME", QByteArray());
    EnvGuard data("XDG_DATA_HOME", tmp.path().toUtf8());
    const QString appDir = QCoreApplication::applicationDirPath();
    if (QFileInfo(appDir).isWritable())
        EXPECT_EQ(zel::programFolder(), QDir::cleanPath(appDir));
    else
        EXPECT_EQ(zel::programFolder(), tmp.path() + "/zel");
}

TEST(Paths, SettingsFileFollowsXdgConfigHome) {
    QTemporaryDir tmp;
    {
        EnvGuard config("XDG_CONFIG_HOME", tmp.path().toUtf8());
        EXPECT_EQ(zel::settingsFilePath(), tmp.path() + "/zel/Zel.ini");
        EXPECT_TRUE(QFileInfo(tmp.path() + "/zel").isDir());
    }
    {
        EnvGuard config("XDG_CONFIG_HOME", QByteArray());
        EnvGuard fakeHome("HOME", tmp.path().toUtf8());
        EXPECT_EQ(zel::settingsFilePath(), tmp.path() + "/.config/zel/Zel.ini");
    }
}
