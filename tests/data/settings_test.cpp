#include "data/settings.h"

#include "common/text.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <tuple>

using namespace zel;

namespace {

class SettingsTest : public ::testing::Test {
protected:
    QString path() const { return dir.filePath(QStringLiteral("Zel.ini")); }
    void writeFile(const QByteArray& text) {
        QFile f(path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    QByteArray fileText() {
        QFile f(path());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QTemporaryDir dir;
};

TEST_F(SettingsTest, NoFileGivesTheDefaults) {
    SettingsStore store(path());
    Settings s;
    store.readFirst(s);
    store.readRest(s);
    EXPECT_EQ(s.FileNumber, 0);
    EXPECT_EQ(s.CommonFileName, "Data4Excel");
    EXPECT_DOUBLE_EQ(s.Threshold1, 0.2);
    EXPECT_DOUBLE_EQ(s.Threshold2, 5);
    EXPECT_EQ(s.TimeFormat, 0);
    EXPECT_EQ(s.AudioAlarm, 1);
    EXPECT_EQ(s.LostContactInterval, 5);
    EXPECT_EQ(s.AutoArrange, 1);
    EXPECT_EQ(s.InstrumentType, 0);
    EXPECT_EQ(s.ConvertUnits, 0);
    EXPECT_EQ(s.BackTime, 20);
    EXPECT_EQ(s.MeasureTime, 10);

    const Interval interval = store.readInterval();
    EXPECT_DOUBLE_EQ(interval.Minutes, 0);
    EXPECT_DOUBLE_EQ(interval.Seconds, 5);

    const Legend legend = store.readLegend(QStringLiteral("1/2/2024"));
    EXPECT_TRUE(legend.Department.isEmpty());
    EXPECT_TRUE(legend.Location.isEmpty());
    EXPECT_TRUE(legend.Personnel.isEmpty());
    EXPECT_TRUE(legend.Detector.isEmpty());
    EXPECT_EQ(legend.Date, "1/2/2024");
    EXPECT_FALSE(QFile::exists(path())) << "reading must not create the file";
}

TEST_F(SettingsTest, OddValuesAreReadLikeTheProfileFunctions) {
    writeFile("[common]\r\n"
              "AudioAlarm=10\r\n"
              "Threshold1=0.35xyz\r\n"
              "Threshold2=letters\r\n"
              "InsType=2.5\r\n"
              "LostContactInterval=3.5\r\n"
              "TimeFormat=  \r\n"
              "MeasureTime=99999999\r\n"
              "strAutoarrange=0\r\n"
              "CommonFileName=abcdefghijklmnopqrstuvwxyz0123456789\r\n"
              "FileNumber=7\r\n"
              "Department=0123456789012345678901234\r\n"
              "SecInt=0.5\r\n");
    SettingsStore store(path());
    Settings s;
    s.TimeFormat = 1; // an empty value must leave the field as it was
    store.readFirst(s);
    store.readRest(s);
    EXPECT_EQ(s.AudioAlarm, 1); // only the first character fits the buffer
    EXPECT_DOUBLE_EQ(s.Threshold1, 0.35);
    EXPECT_DOUBLE_EQ(s.Threshold2, 0);
    EXPECT_EQ(s.InstrumentType, 2);      // half to even
    EXPECT_EQ(s.LostContactInterval, 4); // half to even
    EXPECT_EQ(s.TimeFormat, 1);
    EXPECT_EQ(s.MeasureTime, 32767); // "99999" cut to 5 characters, clamped to 16 bits
    EXPECT_EQ(s.AutoArrange, 0);
    EXPECT_EQ(s.CommonFileName, "abcdefghijklmnopqrstuvwxyz012");
    EXPECT_EQ(s.FileNumber, 7);
    EXPECT_EQ(store.readLegend({}).Department, "0123456789012345678");
    EXPECT_DOUBLE_EQ(store.readInterval().Seconds, 0.5);
}

TEST_F(SettingsTest, WritersStorePlainNumbersThatReadBack) {
    SettingsStore store(path());
    Settings in;
    in.Threshold1 = 0.25;
    in.Threshold2 = 12;
    in.AudioAlarm = 0;
    in.LostContactInterval = 9;
    in.AutoArrange = 0;
    in.BackTime = 30;
    in.MeasureTime = 15;
    in.TimeFormat = 1;
    ASSERT_TRUE(store.writeParameters(in));
    ASSERT_TRUE(store.writeInstrumentType(3));
    ASSERT_TRUE(store.writeConvertUnits(2));
    ASSERT_TRUE(store.writeInterval(QStringLiteral("01"), QStringLiteral("30")));

    const QByteArray text = fileText();
    EXPECT_TRUE(text.contains("Threshold1=0.25"));
    EXPECT_TRUE(text.contains("Threshold2=12"));
    EXPECT_LT(text.indexOf("Threshold1="), text.indexOf("TimeFormat="));

    Settings out;
    store.readFirst(out);
    store.readRest(out);
    auto fields = [](const Settings& x) {
        return std::tuple(x.Threshold1, x.Threshold2, x.AudioAlarm, x.LostContactInterval,
                          x.AutoArrange, x.BackTime, x.MeasureTime, x.TimeFormat);
    };
    EXPECT_EQ(fields(out), fields(in));
    EXPECT_EQ(out.InstrumentType, 3);
    EXPECT_EQ(out.ConvertUnits, 2);
    EXPECT_DOUBLE_EQ(store.readInterval().Minutes, 1);
    EXPECT_DOUBLE_EQ(store.readInterval().Seconds, 30);
}

// A threshold is in force as the file writes it, however long its text, and
// an unedited one keeps that text when the parameters are written.
TEST_F(SettingsTest, ThresholdsAreReadWholeAndKeptAsWrittenUnlessEdited) {
    const struct {
        const char* text;
        double value;
    } cases[] = {
        {"10000000000", 1e10},
        {"1e10", 1e10},
        {"0.000000000000000000000000000001", 1e-30},
        {"123456789.123456789", 123456789.123456789},
        {"0.30000000000000004", 0.30000000000000004},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const QByteArray line1 = QByteArray("Threshold1=") + c.text;
        const QByteArray line2 = QByteArray("Threshold2=") + c.text;
        writeFile("[COMMON]\r\n" + line1 + "\r\n" + line2 + "\r\n");
        SettingsStore store(path());
        Settings s;
        store.readRest(s);
        EXPECT_EQ(s.Threshold1, c.value);
        EXPECT_EQ(s.Threshold2, c.value);
        ASSERT_TRUE(store.writeParameters(s));
        EXPECT_TRUE(fileText().contains(line1 + "\r\n")) << fileText().constData();
        EXPECT_TRUE(fileText().contains(line2 + "\r\n")) << fileText().constData();
        // Only the edited one is written, and whole.
        s.Threshold1 = c.value * 3;
        ASSERT_TRUE(store.writeParameters(s));
        EXPECT_TRUE(fileText().contains(line2 + "\r\n")) << fileText().constData();
        Settings back;
        store.readRest(back);
        EXPECT_EQ(back.Threshold1, c.value * 3);
        EXPECT_EQ(back.Threshold2, c.value);
        EXPECT_EQ(leadingNumber(settingNumberText(c.value * 3)), c.value * 3);
    }
    EXPECT_EQ(settingNumberText(1e10), "10000000000");
    EXPECT_EQ(settingNumberText(0.25), "0.25");
}

TEST(IntervalRange, UnusableIntervalsAreRefusedOrClamped) {
    struct Case {
        double minutes, seconds;
        bool usable;
        double clampedMinutes, clampedSeconds;
    };
    const Case cases[] = {
        {0, 5, true, 0, 5},           {0, 0.1, true, 0, 0.1},
        {2, 0, true, 2, 0},           {1440, 3600, true, 1440, 3600},
        {0, 3000000, false, 0, 3600}, {0, 1e9, false, 0, 3600},
        {1e9, 5, false, 1440, 5},     {0, 0, false, 0, 0.1},
        {0, -5, false, 0, 0.1},       {-3, 5, false, 0, 5},
        {0, 0.05, false, 0, 0.1},     {0.4, 0, false, 0.4, 0.1}, // 0.4 minutes count as none
    };
    for (const Case& c : cases) {
        const Interval in{c.minutes, c.seconds};
        EXPECT_EQ(intervalUsable(in), c.usable) << c.minutes << " " << c.seconds;
        const Interval out = clampedInterval(in);
        EXPECT_DOUBLE_EQ(out.Minutes, c.clampedMinutes) << c.minutes << " " << c.seconds;
        EXPECT_DOUBLE_EQ(out.Seconds, c.clampedSeconds) << c.minutes << " " << c.seconds;
        EXPECT_TRUE(intervalUsable(out));
    }
}

TEST_F(SettingsTest, FileNumberAdvancesOneSaveAtATime) {
    SettingsStore store(path());
    Settings s;
    store.readFirst(s);
    QStringList suggested;
    for (int save = 0; save < 2; ++save) {
        suggested << QStringLiteral("ZelData") + QString::number(s.FileNumber);
        ++s.FileNumber;
        ASSERT_TRUE(store.writeFileNumber(s.FileNumber));
        store.readFirst(s);
    }
    EXPECT_EQ(suggested, QStringList({"ZelData0", "ZelData1"}));
    EXPECT_EQ(s.FileNumber, 2);
    EXPECT_EQ(store.ini().read("COMMON", "FileNumber", "", 10), "2");
}

TEST_F(SettingsTest, TypedLegendCannotInjectKeysOrSections) {
    SettingsStore store(path());
    Legend legend;
    legend.Department = QStringLiteral("Lab\r\n[COMMON]\r\nInsType=3");
    legend.Location = QStringLiteral("Hall\nAudioAlarm=0");
    legend.Personnel = QStringLiteral("[Other]");
    legend.Detector = QStringLiteral("GM tube");
    ASSERT_TRUE(store.writeLegend(legend));

    Settings s;
    store.readRest(s);
    EXPECT_EQ(s.InstrumentType, 0);
    EXPECT_EQ(s.AudioAlarm, 1);
    const Legend back = store.readLegend({});
    EXPECT_TRUE(back.Department.startsWith("Lab"));
    EXPECT_EQ(back.Department.size(), 19);
    EXPECT_EQ(back.Personnel, "[Other]");
    EXPECT_EQ(back.Detector, "GM tube");
    EXPECT_EQ(fileText().count("\n["), 0) << fileText().constData();
    // Order of the keys as the legend dialog writes them.
    const QByteArray text = fileText();
    EXPECT_LT(text.indexOf("Department="), text.indexOf("Location="));
    EXPECT_LT(text.indexOf("Location="), text.indexOf("Personnel="));
    EXPECT_LT(text.indexOf("Personnel="), text.indexOf("Detector="));
}

} // namespace
