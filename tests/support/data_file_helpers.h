#pragma once
// Small helpers of the data-file tests: a numbered reading and whole-file
// reads and writes.
#include "data/measurement_record.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <gtest/gtest.h>

namespace zel::test {

// Reading number `n`: id "ID<n>", value n, in mR/h.
inline MeasurementRecord
numberedReading(int n, const QString& time = QStringLiteral("2024-01-02 10:00:00")) {
    MeasurementRecord r;
    r.InstrumentId = QStringLiteral("ID%1").arg(n);
    r.ReadingTime = time;
    r.Value = QString::number(n);
    r.Units = QStringLiteral("mR/h");
    r.Status = QStringLiteral("OK");
    r.Detector = QStringLiteral("GM");
    r.OverMark = QStringLiteral(" ");
    return r;
}

// The file's bytes, or "<missing>".
inline QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

inline void writeFileBytes(const QString& path, const QByteArray& data) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(data), data.size());
}

} // namespace zel::test
