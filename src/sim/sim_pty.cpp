#include "sim/sim_pty.h"
#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace zel::sim {

namespace {

// More than this waiting for a reader that never comes is thrown away: an
// instrument talking to an unplugged cable loses its words too.
constexpr qsizetype MaxPending = 64 * 1024;

QString osError(const char* what) {
    return QStringLiteral("%1: %2").arg(QString::fromLatin1(what),
                                        QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace

SimPty::SimPty(SimInstrument& instrument, QObject* parent)
    : QObject(parent), instrument_(instrument) {
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, [this] {
        discardUnread();
        send(instrument_.onTimer());
    });
}

SimPty::~SimPty() {
    removeLink();
    delete readNotifier_;
    delete writeNotifier_;
    if (slave_ >= 0)
        ::close(slave_);
    if (master_ >= 0)
        ::close(master_);
}

bool SimPty::open() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0) {
        error_ = osError("posix_openpt");
        return false;
    }
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
        error_ = osError("grantpt/unlockpt");
        return false;
    }
    char name[128] = {};
    if (::ptsname_r(master_, name, sizeof name) != 0) {
        error_ = osError("ptsname");
        return false;
    }
    slaveName_ = QString::fromLocal8Bit(name);
    slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave_ < 0) {
        error_ = osError("open slave");
        return false;
    }
    // Raw line: no echo, no CR/LF translation, no signal characters, every
    // byte passed through as it is.
    termios tio{};
    if (::tcgetattr(slave_, &tio) != 0) {
        error_ = osError("tcgetattr");
        return false;
    }
    ::cfmakeraw(&tio);
    if (::tcsetattr(slave_, TCSANOW, &tio) != 0) {
        error_ = osError("tcsetattr");
        return false;
    }
    const int flags = ::fcntl(master_, F_GETFL);
    ::fcntl(master_, F_SETFL, flags | O_NONBLOCK);

    readNotifier_ = new QSocketNotifier(master_, QSocketNotifier::Read);
    connect(readNotifier_, &QSocketNotifier::activated, this, [this] { readMaster(); });
    writeNotifier_ = new QSocketNotifier(master_, QSocketNotifier::Write);
    writeNotifier_->setEnabled(false);
    connect(writeNotifier_, &QSocketNotifier::activated, this, [this] { flush(); });

    syncTimer();
    return true;
}

void SimPty::syncTimer() {
    const int ms = instrument_.timerIntervalMs();
    if (ms <= 0)
        timer_.stop();
    else if (!timer_.isActive() || timer_.interval() != ms)
        timer_.start(ms);
}

void SimPty::readMaster() {
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(master_, buf, sizeof buf);
        if (n > 0) {
            const QByteArray batch(buf, int(n));
            log(QStringLiteral("line rx %1").arg(hexBytes(batch)));
            const QByteArray answer = instrument_.receive(batch);
            if (replyDelayMs_ > 0 && !answer.isEmpty())
                QTimer::singleShot(replyDelayMs_, this, [this, answer] { send(answer); });
            else
                send(answer);
            syncTimer();
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        // EAGAIN: all read. EIO cannot happen while our slave stays open;
        // should it anyway, wait for the next notification.
        return;
    }
}

void SimPty::send(const QByteArray& bytes) {
    if (bytes.isEmpty() || master_ < 0)
        return;
    if (pending_.size() + bytes.size() > MaxPending) {
        dropped_ += pending_.size();
        log(QStringLiteral("nobody reads the line: %1 bytes dropped").arg(pending_.size()));
        pending_.clear();
    }
    log(QStringLiteral("line tx %1").arg(hexBytes(bytes)));
    pending_ += bytes;
    flush();
}

void SimPty::flush() {
    while (!pending_.isEmpty()) {
        const ssize_t n = ::write(master_, pending_.constData(), size_t(pending_.size()));
        if (n > 0) {
            pending_.remove(0, qsizetype(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break; // EAGAIN: the line is full; wait until it drains
    }
    if (writeNotifier_)
        writeNotifier_->setEnabled(!pending_.isEmpty());
}

void SimPty::discardUnread() {
    if (slave_ < 0)
        return;
    // Bytes that stay unread for seconds mean the port is closed. A real line
    // would have lost them; a station opening the port later must not
    // receive a backlog of old readings. A station that is only slow for a
    // moment (a busy machine) still gets every byte.
    int waiting = 0;
    if (::ioctl(slave_, FIONREAD, &waiting) != 0 || waiting <= 0 || waiting < unreadBytes_) {
        unreadBytes_ = 0;
        unreadSince_.invalidate();
        return;
    }
    unreadBytes_ = waiting;
    if (!unreadSince_.isValid()) {
        unreadSince_.start();
        return;
    }
    if (unreadSince_.elapsed() < kUnreadForMs)
        return;
    ::tcflush(slave_, TCIFLUSH);
    dropped_ += waiting + pending_.size();
    log(QStringLiteral("nobody reads the line: %1 bytes dropped").arg(waiting + pending_.size()));
    pending_.clear();
    unreadBytes_ = 0;
    unreadSince_.invalidate();
    if (writeNotifier_)
        writeNotifier_->setEnabled(false);
}

bool SimPty::createLink(const QString& path) {
    if (slaveName_.isEmpty()) {
        error_ = QStringLiteral("no device to link to");
        return false;
    }
    const QByteArray target = QFile::encodeName(slaveName_);
    const QByteArray where = QFile::encodeName(path);
    struct stat st {};
    if (::lstat(where.constData(), &st) == 0 && !S_ISLNK(st.st_mode)) {
        error_ = QStringLiteral("%1 exists and is not a symbolic link; not replaced").arg(path);
        return false;
    }
    // Made under a temporary name and renamed over the old link, so the path
    // never points nowhere while a station is looking for it.
    const QByteArray tmp = where + ".zel-sim." + QByteArray::number(::getpid());
    ::unlink(tmp.constData());
    if (::symlink(target.constData(), tmp.constData()) != 0) {
        error_ = osError("symlink");
        return false;
    }
    if (::rename(tmp.constData(), where.constData()) != 0) {
        error_ = osError("rename");
        ::unlink(tmp.constData());
        return false;
    }
    link_ = path;
    return true;
}

void SimPty::removeLink() {
    if (link_.isEmpty())
        return;
    const QByteArray where = QFile::encodeName(link_);
    char buf[512] = {};
    const ssize_t n = ::readlink(where.constData(), buf, sizeof buf - 1);
    if (n > 0 && QFile::decodeName(QByteArray(buf, int(n))) == slaveName_)
        ::unlink(where.constData());
    link_.clear();
}

// --- termination signals ---------------------------------------------------

namespace {
int signalPipe[2] = {-1, -1};

void onSignal(int) {
    const char b = 1;
    const int saved = errno;
    [[maybe_unused]] ssize_t r = ::write(signalPipe[0], &b, 1);
    errno = saved;
}
} // namespace

bool quitOnTerminationSignals(QCoreApplication& app) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return false;
    auto* notifier = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [&app] {
        char b;
        [[maybe_unused]] ssize_t r = ::read(signalPipe[1], &b, 1);
        app.quit();
    });
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(sig, &sa, nullptr);
    return true;
}

} // namespace zel::sim
