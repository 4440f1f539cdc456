#pragma once
// "Zel.ini", section "COMMON": every choice of the user that survives a
// restart. Each key is written the moment its value changes.
#include "common/ini_file.h"
#include <QString>
#include <cstdint>

namespace zel {

struct Settings {
    int16_t FileNumber = 0;
    QString CommonFileName;
    double Threshold1 = 0;
    int16_t TimeFormat = 0;
    double Threshold2 = 0;
    int16_t AudioAlarm = 0;
    int16_t LostContactInterval = 0;
    int16_t AutoArrange = 0;
    int16_t InstrumentType = 0;
    int16_t ConvertUnits = 0;
    int16_t BackTime = 20;
    int16_t MeasureTime = 10;
};

// The on-line interval (minutes and seconds; seconds below 1 are tenths).
struct Interval {
    double Minutes = 0;
    double Seconds = 0;
};

// The intervals a timer can hold and an instrument can follow: whole
// minutes up to a day, seconds up to an hour, and at least 0.1 s in all.
inline constexpr double MaxIntervalMinutes = 1440;
inline constexpr double MaxIntervalSeconds = 3600;
inline constexpr double MinIntervalSeconds = 0.1;
bool intervalUsable(const Interval& interval);
// The nearest usable interval: each part held in its range, and a total
// below 0.1 s raised to 0.1 s.
Interval clampedInterval(const Interval& interval);

// The report legend that heads every data file. Date is not stored: it is
// today's date when the legend is first used in a run.
struct Legend {
    QString Department;
    QString Date;
    QString Detector;
    QString Location;
    QString Personnel;
};

// A setting's number as the file and the parameters dialog show it: plain
// decimal text with a point, with as many digits as it takes to read back
// as the same number.
QString settingNumberText(double value);

class SettingsStore {
public:
    explicit SettingsStore(const QString& path);

    IniFile& ini() { return ini_; }

    // "FileNumber" and "CommonFileName": read before the port settings.
    void readFirst(Settings& s);
    // "Threshold1" .. "MeasureTime", in their order: read after the port
    // key gave a non-empty value.
    void readRest(Settings& s);

    // "MinInt"/"SecInt" (defaults "00"/"05"), read when the interval is
    // first needed.
    Interval readInterval();
    // The four legend keys (19 characters at most, empty when missing);
    // Date is set to today's short date.
    Legend readLegend(const QString& today);

    bool writeFileNumber(int16_t fileNumber);
    bool writeInstrumentType(int16_t type);
    // "Threshold1", "Threshold2", "AudioAlarm", "LostContactInterval",
    // "strAutoarrange", "BackTime", "MeasureTime", "TimeFormat", in order. A
    // threshold whose value the file already holds is left as written there.
    bool writeParameters(const Settings& s);
    bool writeConvertUnits(int16_t convertUnits);
    bool writeInterval(const QString& minutesText, const QString& secondsText);
    // "Department", "Location", "Personnel", "Detector", in order.
    bool writeLegend(const Legend& legend);

private:
    bool writeThreshold(const QString& key, const QString& defaultText, double value);

    IniFile ini_;
};

} // namespace zel
