#include "station/serial_link.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <cstdlib>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

using namespace zel;

namespace {

// The instrument's end of a pseudo-terminal.
class PtyPeer {
public:
    PtyPeer() {
        fd_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (fd_ >= 0 && grantpt(fd_) == 0 && unlockpt(fd_) == 0)
            name_ = QString::fromLocal8Bit(ptsname(fd_));
    }
    ~PtyPeer() { closeMaster(); }
    bool ok() const { return fd_ >= 0 && !name_.isEmpty(); }
    QString slaveName() const { return name_; }
    void send(const QByteArray& b) { ASSERT_EQ(::write(fd_, b.constData(), b.size()), b.size()); }
    QByteArray receive(int expected, int timeoutMs = 3000) {
        QByteArray got;
        QDeadlineTimer deadline(timeoutMs);
        while (got.size() < expected && !deadline.hasExpired()) {
            QCoreApplication::processEvents();
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 20) > 0 && (p.revents & POLLIN)) {
                char buf[256];
                const ssize_t n = ::read(fd_, buf, sizeof buf);
                if (n > 0)
                    got.append(buf, n);
            }
        }
        return got;
    }
    void closeMaster() {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
    QString name_;
};

} // namespace

TEST(SerialLink, CarriesRawBytesBothWays) {
    PtyPeer peer;
    ASSERT_TRUE(peer.ok());
    SerialLink link;
    ASSERT_TRUE(link.open(peer.slaveName(), 9600)) << link.lastError().toStdString();
    EXPECT_TRUE(link.isOpen());

    // Every byte value must pass untouched: no CR/LF mapping, no XON/XOFF.
    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all.append(char(i));
    QSignalSpy arrived(&link, &Transport::bytesArrived);
    peer.send(all);
    QByteArray got;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            got.append(link.readAll());
            return got.size() >= all.size();
        },
        3000));
    EXPECT_EQ(got, all);
    EXPECT_GE(arrived.count(), 1);

    ASSERT_TRUE(link.write(all));
    EXPECT_EQ(peer.receive(all.size()), all);

    link.close();
    EXPECT_FALSE(link.isOpen());
    EXPECT_FALSE(link.write("x"));
}

// The receive path reads into the link's own array: each read hands over
// what waits, a longer read after a short one and a short one after a long
// one alike, and nothing once the port is closed.
TEST(SerialLink, ReadsIntoTheArrayItKeeps) {
    PtyPeer peer;
    ASSERT_TRUE(peer.ok());
    SerialLink link;
    ASSERT_TRUE(link.open(peer.slaveName(), 9600)) << link.lastError().toStdString();
    for (const QByteArray& sent :
         {QByteArray("\x02R19 00012\x03"), QByteArray(6000, '\x7f'), QByteArray("AB")}) {
        peer.send(sent);
        QByteArray got;
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                got.append(link.readAvailable());
                return got.size() >= sent.size();
            },
            3000));
        EXPECT_EQ(got, sent);
    }
    link.close();
    EXPECT_TRUE(link.readAvailable().isEmpty());
}

TEST(SerialLink, LostPortIsReportedOnceAndClosed) {
    PtyPeer peer;
    ASSERT_TRUE(peer.ok());
    SerialLink link;
    ASSERT_TRUE(link.open(peer.slaveName(), 9600)) << link.lastError().toStdString();
    QSignalSpy lost(&link, &Transport::portLost);
    QSignalSpy arrived(&link, &Transport::bytesArrived);
    // Hanging up the other end is what a pulled USB adapter looks like.
    peer.closeMaster();
    EXPECT_TRUE(QTest::qWaitFor([&] { return lost.count() > 0; }, 3000));
    // Give a spinning notifier the chance to show itself.
    QTest::qWait(200);
    EXPECT_EQ(lost.count(), 1);
    EXPECT_FALSE(link.isOpen());
    EXPECT_LT(arrived.count(), 5);
    ASSERT_EQ(lost.count(), 1);
    EXPECT_TRUE(lost.at(0).at(0).toString().contains(peer.slaveName()));
}

TEST(SerialLink, FailedOpenNamesDeviceAndCause) {
    SerialLink link;
    EXPECT_FALSE(link.open(QStringLiteral("/dev/zel-no-such-port"), 9600));
    EXPECT_FALSE(link.isOpen());
    EXPECT_TRUE(link.lastError().contains("/dev/zel-no-such-port"));
    EXPECT_FALSE(link.lastErrorIsPermission());
    EXPECT_FALSE(link.write("x"));
    EXPECT_TRUE(link.readAll().isEmpty());
}

// A device another program holds is in use, not a permission problem: no
// group would help, and it may be free a moment later. The holder is named.
TEST(SerialLink, ADeviceHeldElsewhereIsInUseAndItsHolderNamed) {
    PtyPeer peer;
    ASSERT_TRUE(peer.ok());
    SerialLink holder;
    ASSERT_TRUE(holder.open(peer.slaveName(), 9600)) << holder.lastError().toStdString();
    SerialLink second;
    EXPECT_FALSE(second.open(peer.slaveName(), 9600));
    EXPECT_TRUE(second.lastErrorIsInUse());
    EXPECT_FALSE(second.lastErrorIsPermission());
    EXPECT_TRUE(second.lastError().contains("in use by another program"))
        << second.lastError().toStdString();
    EXPECT_TRUE(second.lastError().contains(QStringLiteral("process %1").arg(::getpid())))
        << second.lastError().toStdString();
    holder.close();
    EXPECT_TRUE(second.open(peer.slaveName(), 9600)) << "free again, it opens";
}

TEST(SerialLink, RefusedOpenIsAPermissionError) {
    QTemporaryDir dir;
    const QString locked = dir.filePath("locked");
    {
        QFile f(locked);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    QFile::setPermissions(locked, QFileDevice::Permissions());
    // Root opens any file: the open is tried in a child that has become an
    // ordinary user (nobody), as a station user without the dialout group.
    auto openAsUser = [&] {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            std::_Exit(3);
        SerialLink link;
        const bool refused = !link.open(locked, 9600);
        const bool permission = link.lastErrorIsPermission() && !link.lastErrorIsInUse();
        const bool named = link.lastError().contains(locked);
        std::_Exit(refused && permission && named ? 0 : 1);
    };
    EXPECT_EXIT(openAsUser(), ::testing::ExitedWithCode(0), "");
}
