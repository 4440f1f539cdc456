#include "sim/sim_family.h"
#include <QCommandLineParser>
#include <cmath>

namespace zel::sim {

SimOptionReader::SimOptionReader(const QCommandLineParser& parser, QString family)
    : parser_(parser), family_(std::move(family)) {}

bool SimOptionReader::isSet(const QString& name) const {
    return parser_.isSet(name);
}

QString SimOptionReader::value(const QString& name) const {
    return parser_.value(name);
}

int SimOptionReader::whole(const QString& name, int lo, int hi, int fallback, int base) {
    if (!isSet(name))
        return fallback;
    bool ok = false;
    const int v = value(name).toInt(&ok, base);
    if (!ok || v < lo || v > hi) {
        refuse(QStringLiteral("--%1 wants a whole number from %2 to %3, not '%4'")
                   .arg(name)
                   .arg(lo)
                   .arg(hi)
                   .arg(value(name)));
        return fallback;
    }
    return v;
}

double SimOptionReader::real(const QString& name, double lo, double fallback) {
    if (!isSet(name))
        return fallback;
    bool ok = false;
    const double v = value(name).toDouble(&ok);
    if (!ok || !std::isfinite(v) || v < lo) {
        refuse(QStringLiteral("--%1 wants a number, not '%2'").arg(name, value(name)));
        return fallback;
    }
    return v;
}

void SimOptionReader::refuse(const QString& text) {
    if (!failure_)
        failure_ = Failure{Failure::Kind::Settings, text};
}

Expected<void> SimOptionReader::verdict() const {
    if (failure_)
        return tl::unexpected<Failure>(*failure_);
    return {};
}

} // namespace zel::sim
