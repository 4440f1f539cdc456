#pragma once
#include <QString>

namespace zel::graph {

// A value with its units for the read-out: large values move the units'
// prefix letter on ("num KMXXXX": 25000 "uSv/h" -> "25.0 mSv/h"). Decimals 99
// gives the scientific form "0.00E+00" without units.
QString formatValue(double value, int decimals, const QString& units);

} // namespace zel::graph
