#include "graph/format_value.h"

#include "common/text.h"

#include <algorithm>
#include <cmath>

namespace zel::graph {

QString formatValue(double value, int decimals, const QString& units) {
    if (decimals == 99)
        return formatPicture(value, QStringLiteral("0.00E+00"));
    static const QString mask = QStringLiteral("#############0.000000000000000");
    static const QString prefixes = QStringLiteral("num KMXXXX");
    decimals = std::clamp(decimals, 0, 5);
    // A reading too small for the decimals asked for would read "0.0":
    // show its first two significant digits instead.
    if (value != 0 && std::isfinite(value) && std::abs(value) < std::pow(10.0, -decimals))
        decimals = std::min(15, int(std::floor(-std::log10(std::abs(value)))) + 2);
    const QString picture = mask.left(decimals + 15);
    QString text = units.trimmed();
    if (!text.isEmpty()) {
        const qsizetype letter = prefixes.indexOf(text.at(0));
        if (letter >= 0) {
            double divisor = 1;
            int places = 0;
            if (value >= 1e11) {
                divisor = 1e9;
                places = 3;
            } else if (value >= 1e7) {
                divisor = 1e6;
                places = 2;
            } else if (value >= 10000) {
                divisor = 1000;
                places = 1;
            }
            // A letter already at the end of the list has nowhere to move:
            // the value keeps its units unscaled rather than losing them.
            if (places > 0 && letter + places < prefixes.size()) {
                value /= divisor;
                text.replace(text.indexOf(prefixes.at(letter)), 1, prefixes.at(letter + places));
            }
        }
    }
    return formatPicture(value, picture) + QLatin1Char(' ') + text;
}

} // namespace zel::graph
