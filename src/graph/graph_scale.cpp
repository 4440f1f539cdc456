#include "graph/graph_scale.h"

#include "common/text.h"

#include <algorithm>
#include <cmath>

namespace zel::graph {

namespace {

constexpr double NoMinimum = 9999999;
constexpr double LargeScale = 100000;

double roundTo(double value, int decimals) {
    const double factor = std::pow(10.0, decimals);
    const double scaled = value * factor;
    if (!std::isfinite(scaled) || std::abs(scaled) > 1e15)
        return value; // already beyond the places that would be rounded
    return roundHalfEven(scaled) / factor;
}

} // namespace

QString roundedText(double value, int decimals) {
    return shortestText(roundTo(value, decimals));
}

bool computeScale(const GraphStore& store, const ScaleRequest& request, Scales& scales) {
    bool any = false;
    for (bool d : request.displayed)
        any = any || d;
    if (!any)
        return false;

    const int32_t count = std::max(store.displayCount(), 0);
    scales.first = store.displayX(0);
    scales.last = store.displayX(count);
    for (QString& t : scales.autoTopText)
        t.clear();

    for (int s = 0; s < SlotCount; ++s) {
        SlotScale& sc = scales.slot[size_t(s)];
        switch (request.mode) {
        case ScaleMode::Auto: {
            double lo = NoMinimum, hi = 0;
            bool found = false;
            // The point at the base time does not count: a spike that opens
            // the window must not squash the rest of the picture.
            for (int32_t k = 0; k <= count; ++k) {
                const double v = store.displayY(s, k);
                if (store.displayX(k) == 0 || !isValue(v))
                    continue;
                found = true;
                lo = std::min(lo, v);
                hi = std::max(hi, v);
            }
            if (s == 0 && request.firstSlotExtremes) {
                found = true;
                lo = std::min(lo, request.firstSlotExtremes->first);
                hi = std::max(hi, request.firstSlotExtremes->second);
            }
            if (!found) {
                // No reading at all: an empty range of 0..1, not an upside
                // down one.
                lo = 0;
                hi = 0;
            }
            if (lo == hi)
                hi = lo + 1;
            sc.min = lo * 0.8;
            sc.max = hi * 1.1;
            scales.autoTopText[size_t(s)] = scaleTopText(sc.max);
            break;
        }
        case ScaleMode::Manual:
            sc.min = 0;
            sc.max = request.manualTop;
            break;
        case ScaleMode::Range10:
            sc.min = 0;
            sc.max = 10;
            break;
        case ScaleMode::Range100:
            sc.min = 0;
            sc.max = 100;
            break;
        case ScaleMode::Range1000:
            sc.min = 0;
            sc.max = 1000;
            break;
        case ScaleMode::Specific: {
            const double top = request.specificTops[size_t(s)];
            sc.min = 0;
            sc.max = top > 0 ? top : 1;
            break;
        }
        }
        // A manual top of 0 or a huge auto range would leave no height to
        // divide by.
        if (!(sc.max > sc.min) || !std::isfinite(sc.max - sc.min))
            sc.max = sc.min + 1;
        sc.labelDivisor = sc.max < LargeScale ? 1 : 1000;
    }
    return true;
}

double onFirstScale(const Scales& s, int slot, double value) {
    if (slot == 0)
        return value;
    const SlotScale& own = s.slot[size_t(slot)];
    const SlotScale& first = s.slot[0];
    return (value - own.min) * (first.max - first.min) / (own.max - own.min) + first.min;
}

LineRuns lineRuns(const double* values, int32_t count) {
    constexpr int MissingBeforeWarning = 2;
    LineRuns runs;
    int missing = 0;
    int32_t previous = -1;
    for (int32_t j = 1; j <= count; ++j) {
        if (!isValue(values[j])) {
            ++missing;
            continue;
        }
        if (previous >= 0) {
            std::vector<int32_t>& run = missing < MissingBeforeWarning ? runs.normal : runs.warned;
            if (run.empty() || run.back() != previous)
                run.push_back(previous);
            run.push_back(j);
        }
        previous = j;
    }
    return runs;
}

QString valueLabelText(const SlotScale& scale, int row, int rows) {
    const std::vector<QString> texts = valueLabelTexts(scale, rows);
    return texts.at(size_t(std::clamp(row, 0, int(texts.size()) - 1)));
}

namespace {

bool readable(const std::vector<double>& values, const std::vector<QString>& texts) {
    for (size_t i = 0; i < texts.size(); ++i) {
        if (i > 0 && texts[i] == texts[i - 1] && values[i] != values[i - 1])
            return false;
        if (values[i] != 0 && (texts[i] == QLatin1String("0") || texts[i] == QLatin1String("-0")))
            return false;
    }
    return true;
}

QString exponentText(double value, int significant) {
    if (!std::isfinite(value))
        return shortestText(value);
    if (value == 0)
        return QStringLiteral("0");
    QString text = QString::number(value, 'E', significant - 1);
    // "1.50E+12" -> "1.5E+12": trailing zeros of the mantissa say nothing.
    const qsizetype e = text.indexOf(u'E');
    qsizetype end = e;
    while (end > 0 && text.at(end - 1) == u'0')
        --end;
    if (end > 0 && text.at(end - 1) == u'.')
        --end;
    return text.left(end) + text.mid(e);
}

// "3.04E+08": the mantissa with `decimals` places over a power of ten that
// the whole column shares.
QString columnExponentText(double mantissa, int decimals, int exponent) {
    QString text = QString::number(mantissa, 'f', decimals);
    text += exponent < 0 ? QStringLiteral("E-") : QStringLiteral("E+");
    text += QString::number(std::abs(exponent)).rightJustified(2, u'0');
    return text;
}

// Levels in the exponent form read as a column: one power of ten for all,
// the same number of places in every mantissa, and enough of them that the
// steps between neighbours read as they are: each shown step within 1% of
// the true one, so equal steps read equal ("3.30, 3.04, 2.78", not "3.3,
// 3.0, 2.8"). False when the values are no such column (none finite and not
// zero).
bool exponentColumn(const std::vector<double>& values, std::vector<QString>& texts) {
    double largest = 0;
    for (double v : values) {
        if (!std::isfinite(v))
            return false;
        largest = std::max(largest, std::abs(v));
    }
    if (largest == 0)
        return false;
    constexpr int MostDecimals = 14;
    constexpr double StepTolerance = 0.01;
    for (int decimals = 1; decimals <= MostDecimals; ++decimals) {
        int exponent = int(std::floor(std::log10(largest)));
        // 9.96E+08 at one place would read "10.0E+08": one power up instead.
        if (std::abs(roundTo(largest / std::pow(10.0, exponent), decimals)) >= 10)
            ++exponent;
        const double power = std::pow(10.0, exponent);
        std::vector<double> shown(values.size());
        for (size_t i = 0; i < values.size(); ++i)
            shown[i] = roundTo(values[i] / power, decimals) + 0.0; // no "-0.00"
        bool steady = true;
        for (size_t i = 1; i < values.size() && steady; ++i) {
            const double step = (values[i - 1] - values[i]) / power;
            const double read = shown[i - 1] - shown[i];
            steady =
                std::abs(read - step) <= StepTolerance * std::abs(step) || (step == 0 && read == 0);
        }
        if (!steady && decimals < MostDecimals)
            continue;
        for (size_t i = 0; i < values.size(); ++i)
            texts[i] = values[i] == 0 ? QStringLiteral("0")
                                      : columnExponentText(shown[i], decimals, exponent);
        return true;
    }
    return false;
}

} // namespace

std::vector<QString> levelTexts(const std::vector<double>& values, bool exponent) {
    std::vector<QString> texts(values.size());
    bool plain = !exponent;
    for (double v : values)
        plain = plain && std::isfinite(v) && std::abs(v) < 1e15;
    if (plain) {
        constexpr int MostDecimals = 12;
        for (int decimals = 2; decimals <= MostDecimals; ++decimals) {
            for (size_t i = 0; i < values.size(); ++i)
                texts[i] = roundedText(values[i], decimals);
            if (readable(values, texts))
                return texts;
        }
    }
    if (exponentColumn(values, texts))
        return texts;
    for (int significant = 2; significant <= 15; ++significant) {
        for (size_t i = 0; i < values.size(); ++i)
            texts[i] = exponentText(values[i], significant);
        if (readable(values, texts))
            break;
    }
    return texts;
}

std::vector<QString> valueLabelTexts(const SlotScale& scale, int rows, bool exponent) {
    rows = std::max(rows, 2);
    const double step = (scale.max - scale.min) / (rows - 1);
    std::vector<double> values;
    for (int i = 0; i < rows; ++i)
        values.push_back((scale.max - i * step) / scale.labelDivisor);
    std::vector<QString> texts = levelTexts(values, exponent);
    for (QString& t : texts)
        t += QLatin1Char('-');
    return texts;
}

QString scaleTopText(double top) {
    int decimals = 1;
    if (top != 0 && std::isfinite(top) && std::abs(top) < 1)
        decimals = std::min(15, int(std::floor(-std::log10(std::abs(top)))) + 3);
    return roundedText(top, decimals);
}

} // namespace zel::graph
