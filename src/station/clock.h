#pragma once
#include <QDateTime>

namespace zel {

// The one source of "now" for the station and the parsers, so tests can pin
// time.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

class SystemClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

class FixedClock final : public Clock {
public:
    explicit FixedClock(QDateTime t = QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5))) : t_(t) {}
    QDateTime now() const override { return t_; }
    void set(const QDateTime& t) { t_ = t; }
    void advanceSeconds(int s) { t_ = t_.addSecs(s); }

private:
    QDateTime t_;
};

} // namespace zel
