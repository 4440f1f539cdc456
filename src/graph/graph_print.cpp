#include "graph/graph_print.h"

#include "common/text.h"

#include <algorithm>

namespace zel::graph {

PrintBand printBand(int index, int count) {
    const double band = 1.0 / (std::max(count, 1) + 0.5);
    const double top = (index + 0.25) * band;
    return {top, top + band};
}

int printLevelCount(int count) {
    return int(roundHalfEven(10.0 / std::max(count, 1)));
}

std::vector<PrintLevel> printLevels(const SlotScale& scale, int count, bool exponent) {
    const int n = std::max(printLevelCount(count), 2);
    const double step = (scale.max - scale.min) / (n - 1);
    // The texts are chosen over every level, the unlabelled bottom one too,
    // so that the lowest label differs from the frame line's value.
    std::vector<double> values;
    for (int i = 0; i < n; ++i)
        values.push_back(scale.max - i * step);
    const std::vector<QString> texts = levelTexts(values, exponent);
    std::vector<PrintLevel> levels;
    for (int i = 0; i <= n - 2; ++i)
        levels.push_back({double(i) / (n - 1), texts[size_t(i)]});
    return levels;
}

} // namespace zel::graph
