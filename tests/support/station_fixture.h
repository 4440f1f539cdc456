#pragma once
// A Station of any family against an in-memory port, a recording view, a
// pinned clock and real files in a throw-away folder.
#include "common/datetime.h"
#include "station/families.h"
#include "station/station.h"
#include "support/fake_view.h"

#include <QFile>
#include <QTemporaryDir>
#include <memory>

namespace zel::test {

struct StationRig {
    explicit StationRig(int16_t family)
        : store(dir.filePath("Zel.ini")), portFile(dir.filePath("dax.ini")),
          data(dir.filePath("ZelTemp.csv")), list(familyOrDefault(family).list) {
        setDateLocale(QLocale(QLocale::English, QLocale::UnitedStates));
        settings.InstrumentType = family;
        settings.Threshold1 = 0.2;
        settings.Threshold2 = 5;
        settings.AudioAlarm = 1;
        settings.LostContactInterval = 5;
        settings.CommonFileName = "Data4Excel";
        station = std::make_unique<Station>(
            Station::Parts{port, view, clock, settings, store, ports, portFile, data, list});
        data.headerProvider = [this] { return station->currentHeader(); };
        data.ensureWorkingFile();
    }

    bool openPort() {
        const bool ok = station->openPortAtStartup();
        port.takeWritten();
        return ok;
    }
    static QStringList linesOf(const QString& path) {
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        return QString::fromUtf8(f.readAll()).split("\r\n", Qt::SkipEmptyParts);
    }
    QStringList fileLines() const { return linesOf(data.workingFile().path()); }

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
