#pragma once
#include <QString>

namespace zel::graph {

// A value with its units for the read-out: large values move the units'
// prefix letter on ("num KMXXXX": 25000 "uSv/h" -> "25.0 mSv/h"). Decimals 99
// gives the scientific form "0.00E+00" without units. A value too small to
// show a digit at `decimals` gets as many as its first two significant
// digits need (3e-6 reads "0.0000030").
QString formatValue(double value, int decimals, const QString& units);

} // namespace zel::graph
