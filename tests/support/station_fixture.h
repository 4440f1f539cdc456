#pragma once
// A station over an in-memory port, a recording view and a pinned clock, in
// a throw-away folder, for the conversation tests of one family.
#include "common/datetime.h"
#include "station/station.h"
#include "support/fake_view.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace zel::test {

class StationFixture : public ::testing::Test {
protected:
    explicit StationFixture(int16_t family)
        : store(dir.filePath("Zel.ini")), portFile(dir.filePath("dax.ini")),
          data(dir.filePath("ZelTemp.csv")), list(family) {
        setDateLocale(QLocale(QLocale::English, QLocale::UnitedStates));
        settings.InstrumentType = family;
        settings.Threshold1 = 0.2;
        settings.Threshold2 = 5;
        settings.AudioAlarm = 1;
        settings.LostContactInterval = 5;
        station = std::make_unique<Station>(
            Station::Parts{port, view, clock, settings, store, ports, portFile, data, list});
        data.headerProvider = [this] { return station->currentHeader(); };
        data.ensureWorkingFile();
    }

    void openPort() {
        ASSERT_TRUE(station->openPortAtStartup());
        port.takeWritten();
    }
    // Reading lines of the working file (the header has 8 lines).
    QStringList fileReadings() {
        QFile f(data.workingFile().path());
        f.open(QIODevice::ReadOnly);
        return QString::fromUtf8(f.readAll()).split("\r\n", Qt::SkipEmptyParts).mid(8);
    }

    QTemporaryDir dir;
    LoopbackTransport port;
    FakeView view;
    FixedClock clock{QDateTime(QDate(2026, 3, 14), QTime(10, 0, 0))};
    Settings settings;
    SettingsStore store;
    PortSettings ports;
    PortSettingsFile portFile;
    DataStore data;
    MeasurementList list;
    std::unique_ptr<Station> station;
};

} // namespace zel::test
