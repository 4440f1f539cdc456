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
