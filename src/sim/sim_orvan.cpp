#include "sim/sim_orvan.h"

#include <algorithm>
#include <cmath>

namespace zel::sim {

namespace {

constexpr char Stx = 0x02;
constexpr char Etx = 0x03;

QByteArray framed(const QByteArray& text) {
    return Stx + text + Etx;
}

// A five-character field: whole number, zero-padded, held within what five
// characters can show.
QByteArray field(double value) {
    const long v = std::lround(std::clamp(value, 0.0, 99999.0));
    return QByteArray::number(qlonglong(v)).rightJustified(5, '0');
}

} // namespace

// --- OrvanCommandCutter ------------------------------------------------------

QList<QByteArray> OrvanCommandCutter::feed(const QByteArray& bytes) {
    QList<QByteArray> out;
    for (char b : bytes) {
        if (b == Stx) {
            inFrame_ = true;
            text_.clear();
        } else if (!inFrame_) {
            continue;
        } else if (b == Etx) {
            out.append(text_);
            inFrame_ = false;
            text_.clear();
        } else if (text_.size() >= MaxText) {
            inFrame_ = false;
            text_.clear();
        } else {
            text_.append(b);
        }
    }
    return out;
}

// --- SimOrvan ------------------------------------------------------------------

SimOrvan::SimOrvan(OrvanOptions options, const Clock* clock) : options_(options), clock_(clock) {
    if (!clock_) {
        ownClock_ = std::make_unique<SystemClock>();
        clock_ = ownClock_.get();
    }
    started_ = clock_->now();
}

double SimOrvan::drift(double base, double period) const {
    if (options_.steady)
        return base;
    const double t = started_.msecsTo(clock_->now()) / 1000.0;
    return base * (1.0 + 0.3 * std::sin(t / period));
}

QByteArray SimOrvan::identificationReply() const {
    // Characters 5 to 28 name the instrument; 29 is the units digit.
    const QByteArray name = QByteArray("ORVAN SIM 1.0").leftJustified(24, ' ');
    return framed("R11" + name + QByteArray::number(std::clamp(options_.unitsDigit, 0, 9)));
}

QByteArray SimOrvan::readingReply() const {
    // Americium 5-9, Cesium 10-14, Cobalt 15-19, spare 20-24, count rate
    // 25-29, neutrons 30-34, spare 35-37, GM rate 38-42.
    return framed("R19" + field(options_.americium) + field(options_.cesium) +
                  field(options_.cobalt) + "00000" + field(drift(options_.countRate, 15)) +
                  field(options_.neutrons) + "000" + field(drift(options_.gm, 20)));
}

QByteArray SimOrvan::errorReply(int number) {
    return framed("E" + QByteArray::number(number).rightJustified(2, '0'));
}

QByteArray SimOrvan::garbageReply(int k) {
    switch (k % 3) {
    case 0:
        return framed("R1900003000120000500000000420000200"); // ends before the GM rate
    case 1:
        return framed("C19");
    default:
        return QByteArray("\x7f?R19!") + Etx; // no start byte
    }
}

QByteArray SimOrvan::answer(const QByteArray& text) {
    if (text == "G11")
        return identificationReply();
    if (text == "G19") {
        ++polls_;
        if (options_.errorEvery > 0 && polls_ % options_.errorEvery == 0) {
            log(QStringLiteral("answering poll %1 with an error report").arg(polls_));
            return errorReply(1);
        }
        return readingReply();
    }
    // A "G" with a number it does not know is an illegal parameter; any
    // other letter an illegal command.
    return errorReply(text.startsWith('G') ? 1 : 0);
}

QByteArray SimOrvan::receive(const QByteArray& bytes) {
    QByteArray out;
    for (const QByteArray& text : cutter_.feed(bytes)) {
        ++recognised_;
        log(QStringLiteral("rx %1").arg(QString::fromLatin1(text)));
        const bool mute =
            options_.silent || (options_.stopAfter >= 0 && heard_ >= options_.stopAfter);
        ++heard_;
        if (mute) {
            log(QStringLiteral("quiet: no answer"));
            continue;
        }
        QByteArray reply = answer(text);
        ++answers_;
        if (options_.garbageEvery > 0 && answers_ % options_.garbageEvery == 0)
            reply = garbageReply(garbageSent_++);
        log(QStringLiteral("tx %1").arg(hexBytes(reply)));
        out += reply;
    }
    return out;
}

// --- command line ------------------------------------------------------------

namespace {

struct NumberOption {
    const char* name;
    const char* help;
    double OrvanOptions::*member;
};

const NumberOption kNumbers[] = {
    {"gm", "Orvan GM rate as sent (hundredths of uSv/h or uR/h; default 15).", &OrvanOptions::gm},
    {"cps", "Orvan count rate (default 42).", &OrvanOptions::countRate},
    {"americium", "Orvan Americium value (default 3).", &OrvanOptions::americium},
    {"cesium", "Orvan Cesium value (default 12).", &OrvanOptions::cesium},
    {"cobalt", "Orvan Cobalt value (default 5).", &OrvanOptions::cobalt},
    {"neutrons", "Orvan neutron value (default 2).", &OrvanOptions::neutrons},
};

QList<QCommandLineOption> orvanCommandLineOptions() {
    QList<QCommandLineOption> out;
    for (const NumberOption& n : kNumbers)
        out.append(QCommandLineOption(QString::fromLatin1(n.name), QString::fromLatin1(n.help),
                                      QStringLiteral("N")));
    out.append(QCommandLineOption(QStringLiteral("error-every"),
                                  QStringLiteral("Orvan: answer every N-th poll with \"E01\"."),
                                  QStringLiteral("N")));
    out.append(QCommandLineOption(QStringLiteral("garbage-every"),
                                  QStringLiteral("Orvan: send garbage instead of every N-th "
                                                 "answer."),
                                  QStringLiteral("N")));
    return out;
}

// Orvan's own options and the shared --units (its units digit), --steady,
// --silent and --stop-after. They are read only when the Orvan runs: --units
// means a digit here and a code byte elsewhere.
OrvanOptions readOrvanOptions(SimOptionReader& read) {
    OrvanOptions o;
    if (read.family() != QLatin1String("orvan"))
        return o;
    for (const NumberOption& n : kNumbers) {
        const QString name = QString::fromLatin1(n.name);
        if (!read.isSet(name))
            continue;
        bool ok = false;
        const double v = read.value(name).toDouble(&ok);
        if (!ok || !std::isfinite(v) || v < 0 || v > 99999) {
            read.refuse(QStringLiteral("--%1 wants a number from 0 to 99999, not '%2'")
                            .arg(name, read.value(name)));
            return o;
        }
        o.*n.member = v;
    }
    o.steady = read.isSet(QStringLiteral("steady"));
    o.silent = read.isSet(QStringLiteral("silent"));
    // Decimal only, as the Orvan's digits are written.
    o.unitsDigit = read.whole(QStringLiteral("units"), 0, 9, o.unitsDigit, 10);
    o.errorEvery = read.whole(QStringLiteral("error-every"), 0, 1000000, o.errorEvery, 10);
    o.garbageEvery = read.whole(QStringLiteral("garbage-every"), 0, 1000000, o.garbageEvery, 10);
    o.stopAfter = read.whole(QStringLiteral("stop-after"), 0, 1000000000, o.stopAfter, 10);
    return o;
}

} // namespace

SimFamily orvanSimulator() {
    return simFamily<SimOrvan, readOrvanOptions>("orvan", orvanCommandLineOptions);
}

} // namespace zel::sim
