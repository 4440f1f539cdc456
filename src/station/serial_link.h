#pragma once
// The real serial port, over QSerialPort: 8N1, no flow control, raw bytes.
#include "station/transport.h"
#include <QSerialPort>

namespace zel {

// Who holds `device`, as far as this system tells: "zel, process 1234"
// from the lock file Qt programs leave in /run/lock and from /proc for our
// own processes; empty when nobody can be named.
QString deviceHolder(const QString& device);

class SerialLink final : public Transport {
    Q_OBJECT
public:
    explicit SerialLink(QObject* parent = nullptr);
    ~SerialLink() override;

    bool open(const QString& device, qint32 baudRate) override;
    void close() override;
    bool isOpen() const override { return port_.isOpen(); }
    bool write(const QByteArray& bytes) override;
    QByteArray readAll() override;
    QByteArrayView readAvailable() override;
    QString lastError() const override { return lastError_; }
    bool lastErrorIsPermission() const override { return permission_; }
    bool lastErrorIsInUse() const override { return inUse_; }

    QString device() const { return device_; }

private:
    void onError(QSerialPort::SerialPortError error);
    void fail(const QString& what);
    bool hungUp() const;

    static constexpr int kMaxReadErrors = 10;
    // What a read of a few milliseconds of a fast line brings at most.
    static constexpr qint64 MinReadBuffer = 4096;

    QSerialPort port_;
    // What readAvailable() hands over; it keeps its size between reads.
    QByteArray readBuffer_;
    QString device_;
    QString lastError_;
    bool permission_ = false;
    bool inUse_ = false;
    bool lost_ = false;
    int readErrors_ = 0;
};

} // namespace zel
