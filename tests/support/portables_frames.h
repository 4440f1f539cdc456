#pragma once
// Portables replies for tests and benchmarks: the payload between the
// unchecked first byte and the checksum, framed as the instrument sends it.
#include <QByteArray>
#include <QDateTime>
#include <cstdint>

namespace zel::test {

// Byte 0 (not checked), the payload, its two's-complement sum, 0x04.
inline QByteArray portablesFrame(const QByteArray& payload) {
    QByteArray f(1, char(0x02));
    unsigned sum = 0;
    for (char c : payload)
        sum += uint8_t(c);
    f += payload;
    f.append(char((256 - sum % 256) % 256));
    f.append(char(0x04));
    return f;
}

// A reading reply of 26 bytes: identification (12 characters), the logged
// date-time, value code, units, detector and status.
inline QByteArray portablesReading(int valueCode, uint8_t units = 1, uint8_t detector = 255,
                                   uint8_t status = 0, const QByteArray& id = "QR-000012345",
                                   const QDateTime& at = QDateTime(QDate(2026, 3, 14),
                                                                   QTime(9, 30))) {
    QByteArray p = id.leftJustified(12, ' ', true);
    p.append(char(at.date().month())).append(char(at.date().day()));
    p.append(char(at.date().year() / 100)).append(char(at.date().year() % 100));
    p.append(char(at.time().hour())).append(char(at.time().minute()));
    p.append(char(valueCode >> 8)).append(char(valueCode & 0xFF));
    p.append(char(units)).append(char(detector)).append(char(status));
    return portablesFrame(p);
}

// The record after the last one of a log: "*" in byte 1.
inline QByteArray portablesEndOfLog() {
    return portablesFrame(QByteArray("*") + QByteArray(22, '0'));
}

// A calibration reply of 35 bytes.
inline QByteArray portablesCalibration(const QByteArray& meter = "00471123",
                                       const QByteArray& factor = "1250",
                                       const QByteArray& name = "D. Levin",
                                       const QByteArray& due = "15092026") {
    return portablesFrame(meter.leftJustified(8, ' ', true) + factor.leftJustified(4, '0', true) +
                          name.leftJustified(12, ' ', true) + due.leftJustified(8, '0', true));
}

} // namespace zel::test
