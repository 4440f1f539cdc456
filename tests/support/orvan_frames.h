#pragma once
// Orvan replies laid out column by column as the instrument sends them
// (character 1 is the STX), for the codec, station and simulator tests.
#include <QByteArray>

namespace zel::test {

// A five-character field, right-aligned with zeros.
inline QByteArray orvanField(int value) {
    return QByteArray::number(value).rightJustified(5, '0');
}

// "R11": characters 5 to 28 are free text, character 29 the units digit.
inline QByteArray orvanR11(char unitsDigit) {
    return "\x02R11" + QByteArray("ORVAN TEST UNIT 1.0     ").left(24) + unitsDigit + "\x03";
}

// "R19" with the fields at their columns; characters 20-24 and 35-37 are not
// read.
inline QByteArray orvanR19(const QByteArray& americium, const QByteArray& cesium,
                           const QByteArray& cobalt, const QByteArray& countRate,
                           const QByteArray& neutrons, const QByteArray& gm) {
    return "\x02R19" + americium + cesium + cobalt + "xxxxx" + countRate + neutrons + "yyy" + gm +
           "\x03";
}

inline QByteArray orvanR19(int americium, int cesium, int cobalt, int countRate, int neutrons,
                           int gm) {
    return orvanR19(orvanField(americium), orvanField(cesium), orvanField(cobalt),
                    orvanField(countRate), orvanField(neutrons), orvanField(gm));
}

} // namespace zel::test
