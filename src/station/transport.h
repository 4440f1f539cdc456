#pragma once
// The byte pipe to the instrument. SerialLink is the real port; the
// loopback double lets tests feed bytes and see what was written.
#include <QByteArray>
#include <QByteArrayView>
#include <QObject>
#include <QString>

namespace zel {

class Transport : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~Transport() override = default;

    // Opens `device` at `baudRate`, 8N1, no flow control. On failure returns
    // false and leaves a description in lastError().
    virtual bool open(const QString& device, qint32 baudRate) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Writes every byte; false when the port is closed or the write failed.
    virtual bool write(const QByteArray& bytes) = 0;
    // All bytes waiting now.
    virtual QByteArray readAll() = 0;
    // The same, in an array the transport keeps and fills again on the next
    // read: the view is valid until then. Bytes arrive a few at a time, and
    // a new array for each read cost more than cutting them into frames.
    // Without a buffer of its own a transport hands over readAll()'s array.
    virtual QByteArrayView readAvailable() {
        lastRead_ = readAll();
        return lastRead_;
    }
    virtual QString lastError() const = 0;
    // True when the last failed open was refused for lack of permission.
    virtual bool lastErrorIsPermission() const { return false; }
    // True when the last failed open found the device held by another
    // program: no setting is wrong, it may be free a moment later.
    virtual bool lastErrorIsInUse() const { return false; }

signals:
    // At least one byte is waiting.
    void bytesArrived();
    // The port went away under us (adapter pulled out, device error).
    void portLost(const QString& reason);

private:
    QByteArray lastRead_;
};

// In-memory transport for tests: records every write, delivers injected
// bytes through bytesArrived().
class LoopbackTransport final : public Transport {
    Q_OBJECT
public:
    using Transport::Transport;

    bool open(const QString& device, qint32 baudRate) override;
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    bool write(const QByteArray& bytes) override;
    QByteArray readAll() override;
    QString lastError() const override { return failOpen_ ? QStringLiteral("refused") : QString(); }

    // Test controls.
    void inject(const QByteArray& bytes); // queues bytes and emits bytesArrived()
    void setFailOpen(bool fail) { failOpen_ = fail; }
    QByteArray takeWritten(); // everything written since the last take
    const QList<QByteArray>& writes() const { return writes_; }
    void clearWrites() { writes_.clear(); }
    QString openedDevice() const { return device_; }
    qint32 openedBaud() const { return baud_; }
    int openCount() const { return openCount_; }

private:
    bool open_ = false;
    bool failOpen_ = false;
    QByteArray pending_;
    QByteArray written_;
    QList<QByteArray> writes_;
    QString device_;
    qint32 baud_ = 0;
    int openCount_ = 0;
};

} // namespace zel
