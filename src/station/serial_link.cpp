#include "station/serial_link.h"

#include <poll.h>

namespace zel {

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
    lost_ = false;
    readErrors_ = 0;
    port_.setPortName(device);
    if (!port_.open(QIODevice::ReadWrite)) {
        permission_ = port_.error() == QSerialPort::PermissionError;
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
    const qint64 n = port_.write(bytes);
    if (n != bytes.size()) {
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
