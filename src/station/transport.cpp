#include "station/transport.h"

namespace zel {

bool LoopbackTransport::open(const QString& device, qint32 baudRate) {
    if (failOpen_) {
        open_ = false;
        return false;
    }
    device_ = device;
    baud_ = baudRate;
    open_ = true;
    ++openCount_;
    return true;
}

bool LoopbackTransport::write(const QByteArray& bytes) {
    if (!open_)
        return false;
    written_.append(bytes);
    writes_.append(bytes);
    return true;
}

QByteArray LoopbackTransport::readAll() {
    QByteArray out;
    out.swap(pending_);
    return out;
}

void LoopbackTransport::inject(const QByteArray& bytes) {
    pending_.append(bytes);
    emit bytesArrived();
}

QByteArray LoopbackTransport::takeWritten() {
    QByteArray out;
    out.swap(written_);
    return out;
}

} // namespace zel
