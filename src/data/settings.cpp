#include "data/settings.h"

#include "common/text.h"

#include <algorithm>
#include <cmath>

namespace zel {

namespace {

const QString Section = QStringLiteral("COMMON");
// The thresholds are read whole, however long their text: a number cut to
// its first nine characters ("10000000000" as 100000000) would sound the
// alarm a hundred times too early.
constexpr int WholeNumberBuffer = 401;
const QString Threshold1Key = QStringLiteral("Threshold1");
const QString Threshold2Key = QStringLiteral("Threshold2");
const QString Threshold1Default = QStringLiteral("0.2");
const QString Threshold2Default = QStringLiteral("5");

// One key with its default and buffer size. The field is assigned only when
// characters came back: a key present but empty leaves it as it was, as the
// profile functions behave.
bool readText(const IniFile& ini, const QString& key, const QString& defaultValue, int size,
              QString& out) {
    bool gotAny = false;
    QString value = ini.read(Section, key, defaultValue, size, &gotAny);
    if (!gotAny || value.isEmpty())
        return false;
    out = value;
    return true;
}

void readInt16(const IniFile& ini, const QString& key, const QString& defaultValue, int size,
               int16_t& field) {
    QString text;
    if (readText(ini, key, defaultValue, size, text))
        field = leadingInt16(text);
}

void readDouble(const IniFile& ini, const QString& key, const QString& defaultValue, int size,
                double& field) {
    QString text;
    if (readText(ini, key, defaultValue, size, text))
        field = leadingNumber(text);
}

} // namespace

QString settingNumberText(double value) {
    const QString shortest = plainNumber(value);
    if (leadingNumber(shortest) == value || !std::isfinite(value))
        return shortest;
    // Fifteen digits are not always enough to come back as the same double;
    // seventeen always are.
    const QString sixteen = QString::number(value, 'g', 16);
    return leadingNumber(sixteen) == value ? sixteen : QString::number(value, 'g', 17);
}

bool intervalUsable(const Interval& i) {
    // The minute count that polling uses is the minutes rounded; with none
    // left the seconds alone set the pace.
    const bool minutesOk = i.Minutes >= 0 && i.Minutes <= MaxIntervalMinutes;
    const bool secondsOk = i.Seconds >= 0 && i.Seconds <= MaxIntervalSeconds;
    return minutesOk && secondsOk && (toInt32(i.Minutes) >= 1 || i.Seconds >= MinIntervalSeconds);
}

Interval clampedInterval(const Interval& i) {
    Interval out;
    out.Minutes = std::isnan(i.Minutes) ? 0 : std::clamp(i.Minutes, 0.0, MaxIntervalMinutes);
    out.Seconds = std::isnan(i.Seconds) ? 0 : std::clamp(i.Seconds, 0.0, MaxIntervalSeconds);
    if (toInt32(out.Minutes) < 1 && out.Seconds < MinIntervalSeconds)
        out.Seconds = MinIntervalSeconds;
    return out;
}

SettingsStore::SettingsStore(const QString& path) : ini_(path) {}

void SettingsStore::readFirst(Settings& s) {
    readInt16(ini_, QStringLiteral("FileNumber"), QStringLiteral("00"), 10, s.FileNumber);
    readText(ini_, QStringLiteral("CommonFileName"), QStringLiteral("Data4Excel"), 30,
             s.CommonFileName);
}

void SettingsStore::readRest(Settings& s) {
    readDouble(ini_, Threshold1Key, Threshold1Default, WholeNumberBuffer, s.Threshold1);
    readInt16(ini_, QStringLiteral("TimeFormat"), QStringLiteral("0"), 10, s.TimeFormat);
    readDouble(ini_, Threshold2Key, Threshold2Default, WholeNumberBuffer, s.Threshold2);
    readInt16(ini_, QStringLiteral("AudioAlarm"), QStringLiteral("1"), 2, s.AudioAlarm);
    readInt16(ini_, QStringLiteral("LostContactInterval"), QStringLiteral("5"), 10,
              s.LostContactInterval);
    readInt16(ini_, QStringLiteral("strAutoarrange"), QStringLiteral("1"), 2, s.AutoArrange);
    readInt16(ini_, QStringLiteral("InsType"), QStringLiteral("0"), 6, s.InstrumentType);
    readInt16(ini_, QStringLiteral("ConvertUnits"), QStringLiteral("0"), 6, s.ConvertUnits);
    readInt16(ini_, QStringLiteral("BackTime"), QStringLiteral("20"), 6, s.BackTime);
    readInt16(ini_, QStringLiteral("MeasureTime"), QStringLiteral("10"), 6, s.MeasureTime);
}

Interval SettingsStore::readInterval() {
    Interval interval;
    readDouble(ini_, QStringLiteral("MinInt"), QStringLiteral("00"), 10, interval.Minutes);
    readDouble(ini_, QStringLiteral("SecInt"), QStringLiteral("05"), 10, interval.Seconds);
    return interval;
}

Legend SettingsStore::readLegend(const QString& today) {
    Legend legend;
    readText(ini_, QStringLiteral("Department"), QString(), 20, legend.Department);
    readText(ini_, QStringLiteral("Location"), QString(), 20, legend.Location);
    readText(ini_, QStringLiteral("Personnel"), QString(), 20, legend.Personnel);
    readText(ini_, QStringLiteral("Detector"), QString(), 20, legend.Detector);
    legend.Date = today;
    return legend;
}

bool SettingsStore::writeFileNumber(int16_t fileNumber) {
    return ini_.write(Section, QStringLiteral("FileNumber"), QString::number(fileNumber));
}

bool SettingsStore::writeInstrumentType(int16_t type) {
    return ini_.write(Section, QStringLiteral("InsType"), QString::number(type));
}

bool SettingsStore::writeThreshold(const QString& key, const QString& defaultText, double value) {
    // A threshold the file already holds keeps its own text ("1e10" stays
    // "1e10"): only an edited one is written.
    double stored = 0;
    readDouble(ini_, key, defaultText, WholeNumberBuffer, stored);
    if (stored == value)
        return true;
    return ini_.write(Section, key, settingNumberText(value));
}

bool SettingsStore::writeParameters(const Settings& s) {
    // Every key is attempted even when one fails, so one unwritable moment
    // does not silently drop the rest.
    bool ok = true;
    ok &= writeThreshold(Threshold1Key, Threshold1Default, s.Threshold1);
    ok &= writeThreshold(Threshold2Key, Threshold2Default, s.Threshold2);
    ok &= ini_.write(Section, QStringLiteral("AudioAlarm"), QString::number(s.AudioAlarm));
    ok &= ini_.write(Section, QStringLiteral("LostContactInterval"),
                     QString::number(s.LostContactInterval));
    ok &= ini_.write(Section, QStringLiteral("strAutoarrange"), QString::number(s.AutoArrange));
    ok &= ini_.write(Section, QStringLiteral("BackTime"), QString::number(s.BackTime));
    ok &= ini_.write(Section, QStringLiteral("MeasureTime"), QString::number(s.MeasureTime));
    ok &= ini_.write(Section, QStringLiteral("TimeFormat"), QString::number(s.TimeFormat));
    return ok;
}

bool SettingsStore::writeConvertUnits(int16_t convertUnits) {
    return ini_.write(Section, QStringLiteral("ConvertUnits"), QString::number(convertUnits));
}

bool SettingsStore::writeInterval(const QString& minutesText, const QString& secondsText) {
    bool ok = ini_.write(Section, QStringLiteral("MinInt"), minutesText);
    ok &= ini_.write(Section, QStringLiteral("SecInt"), secondsText);
    return ok;
}

bool SettingsStore::writeLegend(const Legend& legend) {
    bool ok = ini_.write(Section, QStringLiteral("Department"), legend.Department);
    ok &= ini_.write(Section, QStringLiteral("Location"), legend.Location);
    ok &= ini_.write(Section, QStringLiteral("Personnel"), legend.Personnel);
    ok &= ini_.write(Section, QStringLiteral("Detector"), legend.Detector);
    return ok;
}

} // namespace zel
