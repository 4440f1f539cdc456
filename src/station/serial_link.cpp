#include "station/serial_link.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace zel {

namespace {

// The name a process goes by, from /proc.
QString processName(qint64 pid) {
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    if (!comm.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(comm.readAll()).trimmed();
}

bool processAlive(qint64 pid) {
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

QString holderText(qint64 pid, const QString& name) {
    return name.isEmpty() ? QStringLiteral("process %1").arg(pid)
                          : QStringLiteral("%1, process %2").arg(name).arg(pid);
}

} // namespace

QString deviceHolder(const QString& device) {
    // The UUCP lock file that QSerialPort, minicom and others leave: the
    // holder's process id first, a Qt program's name on the second line.
    // Qt names the file after the whole path ("LCK.._dev_ttyUSB0"), the
    // UUCP convention after the device ("LCK..ttyUSB0").
    QString wholePath = device;
    wholePath.replace(QLatin1Char('/'), QLatin1Char('_'));
    const QString lockNames[] = {QStringLiteral("LCK..") + wholePath,
                                 QStringLiteral("LCK..") + QFileInfo(device).fileName()};
    for (const char* folder : {"/run/lock", "/var/lock", "/tmp", "/var/tmp"})
        for (const QString& lockName : lockNames) {
            QFile lock(QDir(QString::fromLatin1(folder)).filePath(lockName));
            if (!lock.open(QIODevice::ReadOnly))
                continue;
            const QList<QByteArray> lines = lock.read(256).split('\n');
            bool ok = false;
            const qint64 pid = lines.value(0).trimmed().toLongLong(&ok);
            if (ok && processAlive(pid)) {
                QString name = processName(pid);
                if (name.isEmpty())
                    name = QString::fromLocal8Bit(lines.value(1).trimmed());
                return holderText(pid, name);
            }
        }
    // A program that holds the device without a lock file: only the
    // descriptors of processes we may look into can be seen.
    const QString target = QFileInfo(device).canonicalFilePath();
    if (target.isEmpty())
        return {};
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& entry : pids) {
        bool ok = false;
        const qint64 pid = entry.toLongLong(&ok);
        if (!ok)
            continue;
        QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
        for (const QFileInfo& fd : fds.entryInfoList(QDir::System | QDir::NoDotAndDotDot))
            if (fd.symLinkTarget() == target)
                return holderText(pid, processName(pid));
    }
    return {};
}

SerialLink::SerialLink(QObject* parent) : Transport(parent) {
    connect(&port_, &QSerialPort::readyRead, this, [this] {
        readErrors_ = 0;
        emit bytesArrived();
    });
    connect(&port_, &QSerialPort::errorOccurred, this, &SerialLink::onError);
}

SerialLink::~SerialLink() {
    // Closing here, while the signal connections are still alive, would
    // report into a half-destroyed object; disconnect first.
    port_.disconnect(this);
    if (port_.isOpen())
        port_.close();
}

void SerialLink::fail(const QString& what) {
    lastError_ = QStringLiteral("%1: %2").arg(device_, what);
}

bool SerialLink::open(const QString& device, qint32 baudRate) {
    if (port_.isOpen())
        port_.close();
    device_ = device;
    lastError_.clear();
    permission_ = false;
    inUse_ = false;
    lost_ = false;
    readErrors_ = 0;
    port_.setPortName(device);
    if (!port_.open(QIODevice::ReadWrite)) {
        // QSerialPort says "permission" both for a device we may not open
        // and for one another program holds (its lock file, or an exclusive
        // open): only the first is a matter of groups.
        if (port_.error() == QSerialPort::PermissionError) {
            const QString holder = deviceHolder(device);
            const int fd = ::open(QFile::encodeName(device).constData(),
                                  O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
            const int openErrno = fd < 0 ? errno : 0;
            if (fd >= 0)
                ::close(fd);
            inUse_ = !holder.isEmpty() || openErrno == EBUSY || openErrno == 0;
            permission_ = !inUse_;
            if (inUse_) {
                port_.clearError();
                fail(holder.isEmpty()
                         ? QStringLiteral("the device is in use by another program")
                         : QStringLiteral("the device is in use by another program (%1)")
                               .arg(holder));
                return false;
            }
        }
        fail(port_.errorString());
        port_.clearError();
        return false;
    }
    const bool configured = port_.setBaudRate(baudRate) && port_.setDataBits(QSerialPort::Data8) &&
                            port_.setParity(QSerialPort::NoParity) &&
                            port_.setStopBits(QSerialPort::OneStop) &&
                            port_.setFlowControl(QSerialPort::NoFlowControl);
    if (!configured) {
        fail(port_.errorString());
        port_.clearError();
        port_.close();
        return false;
    }
    // Whatever the line brought before we were listening is not a frame.
    port_.clear(QSerialPort::Input);
    return true;
}

void SerialLink::close() {
    if (port_.isOpen())
        port_.close();
}

bool SerialLink::write(const QByteArray& bytes) {
    if (!port_.isOpen())
        return false;
    // With nothing queued in the port, a request goes straight to the
    // driver. QSerialPort would switch its write notifier on and off around
    // every request: two wake-ups of the event loop for each reading. What
    // the driver does not take now, and any failure, takes QSerialPort's
    // own way, behind nothing, in order, reported as before.
    qint64 sent = 0;
    if (port_.bytesToWrite() == 0) {
        const int fd = static_cast<int>(port_.handle());
        while (sent < bytes.size()) {
            const ssize_t n = ::write(fd, bytes.constData() + sent, size_t(bytes.size() - sent));
            if (n > 0)
                sent += n;
            else if (n < 0 && errno == EINTR)
                continue;
            else
                break;
        }
        if (sent == bytes.size())
            return true;
    }
    const QByteArray rest = sent == 0 ? bytes : bytes.mid(sent);
    const qint64 n = port_.write(rest);
    if (n != rest.size()) {
        fail(port_.errorString());
        return false;
    }
    // Hand the bytes to the driver now; a close right after must not lose them.
    port_.flush();
    return true;
}

QByteArray SerialLink::readAll() {
    if (!port_.isOpen())
        return QByteArray();
    return port_.readAll();
}

QByteArrayView SerialLink::readAvailable() {
    if (!port_.isOpen())
        return {};
    // Room for one byte more than is waiting: the port then also looks for
    // more, as readAll() does.
    const qint64 room = port_.bytesAvailable() + 1;
    if (readBuffer_.size() < room)
        readBuffer_.resize(std::max<qint64>(room, MinReadBuffer));
    const qint64 n = port_.read(readBuffer_.data(), readBuffer_.size());
    return n > 0 ? QByteArrayView(readBuffer_.constData(), n) : QByteArrayView();
}

bool SerialLink::hungUp() const {
    const int fd = static_cast<int>(port_.handle());
    if (fd < 0)
        return true;
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 0) < 0)
        return false;
    return (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

void SerialLink::onError(QSerialPort::SerialPortError error) {
    // Only a port that was open can be lost; failures of open() itself are
    // reported through its return value.
    if (!port_.isOpen() || lost_)
        return;
    QString reason;
    switch (error) {
    case QSerialPort::ResourceError:
    case QSerialPort::PermissionError:
    case QSerialPort::DeviceNotFoundError:
        reason = port_.errorString();
        break;
    case QSerialPort::ReadError:
        // A hung-up line stays readable and every read returns nothing: the
        // port reports a read error on each turn of the event loop. Treat a
        // hang-up, or a run of read errors without any data between them,
        // as the port being gone.
        if (hungUp())
            reason = QStringLiteral("the device hung up");
        else if (++readErrors_ >= kMaxReadErrors)
            reason =
                QStringLiteral("the device keeps failing to read (%1)").arg(port_.errorString());
        else
            return;
        break;
    default:
        return;
    }
    lost_ = true;
    fail(reason);
    const QString text = lastError_;
    // Close before telling anyone: a vanished adapter keeps the descriptor
    // readable forever, and a listener must never be woken again by it.
    port_.close();
    emit portLost(text);
}

} // namespace zel
