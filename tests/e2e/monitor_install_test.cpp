// zel-monitor installed as a service: the program, both units and the
// README they name land under the prefix, systemd accepts the units as
// written, and their hardening keeps the service's exposure low.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Ran {
    int exitCode = -1;
    QString out;
};

Ran run(const QString& program, const QStringList& args) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    Ran r;
    if (!p.waitForStarted(5000) || !p.waitForFinished(60000))
        return r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromLocal8Bit(p.readAll());
    return r;
}

QString unitText(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

TEST(MonitorInstall, UnitsVerifyAndNameTheInstalledProgramAndReadme) {
    QTemporaryDir prefix;
    const Ran install = run(QStringLiteral(CMAKE_COMMAND_PATH),
                            {"--install", ZEL_BINARY_DIR, "--prefix", prefix.path()});
    ASSERT_EQ(install.exitCode, 0) << install.out.toStdString();
    const QDir root(prefix.path());
    const QString units = root.filePath("lib/systemd/system/");
    for (const char* file :
         {"bin/zel-monitor", "share/doc/zel/README.md", "lib/systemd/system/zel-monitor.service",
          "lib/systemd/system/zel-monitor@.service", "share/zel/prometheus/zel-alerts.yml"})
        EXPECT_TRUE(QFile::exists(root.filePath(file))) << file;

    const QString single = unitText(units + "zel-monitor.service");
    EXPECT_TRUE(single.contains("ExecStart=" + root.filePath("bin/zel-monitor") + " "))
        << single.toStdString();
    EXPECT_TRUE(
        single.contains("Documentation=file://" + root.filePath("share/doc/zel/README.md")));
    const QString templ = unitText(units + "zel-monitor@.service");
    EXPECT_TRUE(templ.contains("Environment=ZEL_HOME=/var/lib/zel/%i"));
    for (const QString& text : {single, templ}) {
        EXPECT_TRUE(text.contains("Wants=network-online.target"));
        EXPECT_TRUE(text.contains("After=network-online.target"));
        EXPECT_FALSE(text.contains('@' + QStringLiteral("ZEL_"))) << "every placeholder filled";
    }

    const QString analyze = QStandardPaths::findExecutable("systemd-analyze");
    ASSERT_FALSE(analyze.isEmpty()) << "systemd-analyze is missing (package systemd)";
    // An instance of the template is verified under the name systemd gives it.
    QTemporaryDir instances;
    ASSERT_TRUE(QFile::copy(units + "zel-monitor@.service",
                            instances.filePath("zel-monitor@north.service")));
    for (const QString& unit :
         {units + "zel-monitor.service", instances.filePath("zel-monitor@north.service")}) {
        SCOPED_TRACE(unit.toStdString());
        const Ran verify = run(analyze, {"verify", unit});
        EXPECT_EQ(verify.exitCode, 0) << verify.out.toStdString();
        EXPECT_FALSE(verify.out.contains("zel-monitor")) << verify.out.toStdString();

        const Ran security = run(analyze, {"security", "--offline=yes", unit});
        const QRegularExpressionMatch level =
            QRegularExpression("Overall exposure level for \\S+: (\\d+\\.\\d)").match(security.out);
        ASSERT_TRUE(level.hasMatch()) << security.out.toStdString();
        EXPECT_LT(level.captured(1).toDouble(), 3.0) << security.out.toStdString();
    }
}

} // namespace
