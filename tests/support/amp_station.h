#pragma once
// A station set up for an amplifier against an in-memory port, shared by
// the conversation and dialog tests.
#include "common/datetime.h"
#include "protocol/amp.h"
#include "station/amp_conversation.h"
#include "station/families.h"
#include "station/station.h"
#include "support/fake_view.h"

#include <QTemporaryDir>
#include <memory>

namespace zel::test {

struct AmpStation {
    AmpStation()
        : store(dir.filePath("Zel.ini")), portFile(dir.filePath("dax.ini")),
          data(dir.filePath("ZelTemp.csv")), list(familyOrDefault(AmpVessa).list) {
        setDateLocale(QLocale(QLocale::English, QLocale::UnitedStates));
        settings.InstrumentType = AmpVessa;
        settings.Threshold1 = 100;
        settings.Threshold2 = 1000;
        settings.LostContactInterval = 5;
        settings.CommonFileName = "Data4Excel";
        station = std::make_unique<Station>(
            Station::Parts{port, view, clock, settings, store, ports, portFile, data, list});
        data.headerProvider = [this] { return station->currentHeader(); };
        data.ensureWorkingFile();
        station->openPortAtStartup();
        port.takeWritten();
    }
    AmpConversation& amp() { return static_cast<AmpConversation&>(station->conversation()); }
    // What was written, one command character per command.
    QByteArray commandsSent() {
        QByteArray out;
        const QByteArray w = port.takeWritten();
        for (qsizetype i = 0; i + 10 < w.size(); i += 11)
            out += w.at(i + 1);
        return out;
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

// A five-threshold Vessa-1 block: sievert, serial 654321, default threshold
// 2.5, baud 9600, interval 10 s, all options, background 0.15, thresholds 1,
// 20, 300, 0.05.
inline const QByteArray kVessaBlock = "\n93165432125000200107V1.02a  0150010000200013000200500\r";

} // namespace zel::test
