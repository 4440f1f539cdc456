// Installing into a fresh prefix puts the programs, the alarm sound, the
// menu entries and icons where a desktop finds them; the programs answer
// --help and --version on the terminal without a display.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct ProcessResult {
    int exitCode = -1;
    QString out;
};

ProcessResult run(const QString& program, const QStringList& args,
                  const QProcessEnvironment& env = {}) {
    QProcess p;
    if (!env.isEmpty())
        p.setProcessEnvironment(env);
    p.start(program, args);
    ProcessResult r;
    if (!p.waitForStarted(5000) || !p.waitForFinished(60000))
        return r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput() + p.readAllStandardError());
    return r;
}

TEST(Install, PutsProgramsSoundEntriesAndIconsUnderThePrefix) {
    QTemporaryDir prefix;
    ASSERT_TRUE(prefix.isValid());
    const ProcessResult install = run(QStringLiteral(CMAKE_COMMAND_PATH),
                                      {"--install", ZEL_BINARY_DIR, "--prefix", prefix.path()});
    ASSERT_EQ(install.exitCode, 0) << install.out.toStdString();

    const QDir root(prefix.path());
    for (const char* file :
         {"bin/zel", "bin/tarvoset", "bin/zel-sim", "bin/zel-archive", "share/zel/Notify.wav",
          "share/applications/zel.desktop", "share/applications/tarvoset.desktop",
          "share/icons/hicolor/scalable/apps/zel.svg",
          "share/icons/hicolor/scalable/apps/tarvoset.svg"})
        EXPECT_TRUE(QFile::exists(root.filePath(file))) << file;

    const QString validator = QStandardPaths::findExecutable("desktop-file-validate");
    if (validator.isEmpty()) {
        ADD_FAILURE() << "desktop-file-validate is missing (package desktop-file-utils)";
    } else {
        for (const char* entry : {"zel.desktop", "tarvoset.desktop"}) {
            const ProcessResult check =
                run(validator, {root.filePath("share/applications/") + entry});
            EXPECT_EQ(check.exitCode, 0) << entry << ": " << check.out.toStdString();
            EXPECT_TRUE(check.out.trimmed().isEmpty()) << check.out.toStdString();
        }
    }

    // No display: a usage answer must not need one.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    struct Case {
        const char* program;
        const char* argument;
        const char* expected;
    };
    for (const Case& c :
         {Case{"zel", "--help", "Usage: "}, Case{"zel", "--version", "zel 4.4.1"},
          Case{"tarvoset", "--help", "Usage: "}, Case{"tarvoset", "-v", "tarvoset 4.4.1"},
          Case{"zel-sim", "--help", "Usage: "}, Case{"zel-archive", "--help", "Usage: "}}) {
        const ProcessResult r = run(root.filePath(QString("bin/") + c.program), {c.argument}, env);
        EXPECT_EQ(r.exitCode, 0) << c.program << " " << c.argument << ": " << r.out.toStdString();
        EXPECT_TRUE(r.out.contains(c.expected))
            << c.program << " " << c.argument << ": " << r.out.toStdString();
    }
}

} // namespace
