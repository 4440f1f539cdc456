#include "link/serial_link.h"

namespace zel {

SerialLink::SerialLink(QObject* parent) : Transport(parent) {
    connect(&port_, &QSerialPort::readyRead, this, &Transport::bytesArrived);
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

void SerialLink::onError(QSerialPort::SerialPortError error) {
    switch (error) {
    case QSerialPort::ResourceError:
    case QSerialPort::PermissionError:
    case QSerialPort::DeviceNotFoundError:
        break;
    default:
        return;
    }
    // Only a port that was open can be lost; failures of open() itself are
    // reported through its return value.
    if (!port_.isOpen() || lost_)
        return;
    lost_ = true;
    fail(port_.errorString());
    const QString reason = lastError_;
    // Close before telling anyone: a vanished adapter keeps the descriptor
    // readable forever, and a listener must never be woken again by it.
    port_.close();
    emit portLost(reason);
}

} // namespace zel
