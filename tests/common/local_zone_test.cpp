// The zone read once: the programs keep the local time right without looking
// at /etc/localtime on every clock reading, and take up a new zone when
// refreshed. /etc/localtime is replaced only inside this test's private mount
// namespace (the test main enters one; it needs root, as CI runs).
#include "common/local_zone.h"
#include "support/full_disk.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <gtest/gtest.h>
#include <sys/mount.h>

namespace {

QByteArray zoneFile(const char* name) {
    QFile f(QStringLiteral("/usr/share/zoneinfo/") + QLatin1String(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Local offset on a summer day, in seconds.
int summerOffset() {
    return QDateTime::fromSecsSinceEpoch(1782907200).offsetFromUtc(); // 2026-07-01 12:00 UTC
}

// Puts TZ and /etc/localtime back whatever the test's end.
struct ZoneRestore {
    QByteArray tz = qgetenv("TZ");
    bool mounted = false;
    ~ZoneRestore() {
        if (mounted)
            ::umount("/etc/localtime");
        if (tz.isNull())
            qunsetenv("TZ");
        else
            qputenv("TZ", tz);
        tzset();
    }
};

// Replaces the content in place, dated a minute later: the C library tells
// a changed file by its time in whole seconds (or a new inode, which a bind
// mount cannot show).
bool overwrite(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    static QDateTime stamp = QDateTime::currentDateTimeUtc();
    stamp = stamp.addSecs(60);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size() &&
           f.flush() && f.setFileTime(stamp, QFileDevice::FileModificationTime);
}

} // namespace

TEST(LocalZone, PinnedZoneKeepsTheSystemsTimeAndTakesUpAChangeWhenRefreshed) {
    const QByteArray berlin = zoneFile("Europe/Berlin"), tokyo = zoneFile("Asia/Tokyo");
    ASSERT_FALSE(berlin.isEmpty() || tokyo.isEmpty()) << "tzdata is installed";

    ZoneRestore restore;
    qputenv("TZ", "Asia/Tokyo");
    EXPECT_FALSE(zel::pinLocalTimeZone()) << "a zone a person set stays";
    EXPECT_EQ(qgetenv("TZ"), "Asia/Tokyo");

    QTemporaryDir dir;
    const QString system = dir.filePath(QStringLiteral("localtime"));
    ASSERT_TRUE(overwrite(system, berlin));
    // The zone file is replaced only in this process's own mount namespace,
    // which needs root (CI runs as root); without it the test cannot prove
    // the refresh, so it fails and says why rather than passing unproven.
    ASSERT_TRUE(zel::test::privateNamespaceProblem().isEmpty())
        << "replacing /etc/localtime privately: "
        << zel::test::privateNamespaceProblem().toStdString();
    ASSERT_EQ(
        ::mount(QFile::encodeName(system).constData(), "/etc/localtime", nullptr, MS_BIND, nullptr),
        0)
        << strerror(errno);
    restore.mounted = true;
    qunsetenv("TZ");
    tzset();
    ASSERT_EQ(summerOffset(), 2 * 3600);

    ASSERT_TRUE(zel::pinLocalTimeZone());
    EXPECT_EQ(summerOffset(), 2 * 3600) << "the same zone as the system's";
    ASSERT_TRUE(overwrite(system, tokyo));
    EXPECT_EQ(summerOffset(), 2 * 3600) << "pinned: the file is not looked at again";
    zel::refreshLocalTimeZone();
    EXPECT_EQ(summerOffset(), 9 * 3600) << "a refresh takes up the new zone";
    EXPECT_EQ(qgetenv("TZ"), ":/etc/localtime");
}
