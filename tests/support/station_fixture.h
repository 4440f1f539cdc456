#pragma once
// A Station of any family against an in-memory port, a recording view, a
// pinned clock and real files in a throw-away folder, built by a Session as
// the programs build theirs.
#include "common/datetime.h"
// The families the tests start, by the number each is stored under.
#include "protocol/amp.h"
#include "protocol/orvan.h"
#include "protocol/portables.h"
#include "protocol/tarvo.h"
#include "station/session.h"
#include "station/station.h"
#include "support/fake_view.h"

#include <QFile>
#include <QTemporaryDir>
#include <functional>

namespace zel::test {

struct StationRig {
    // `adjust` changes the rig's settings before the Station is built.
    explicit StationRig(int16_t family, const std::function<void(Settings&)>& adjust = {},
                        const QDateTime& now = QDateTime(QDate(2026, 3, 14), QTime(10, 0, 0)))
        : clock(now), session(SessionPaths{dir.path(), dir.filePath("Zel.ini")}, port, clock, view),
          settings(session.settings()), store(session.settingsStore()),
          ports(session.portSettings()), portFile(session.portSettingsFile()),
          station(built(session, family, adjust)), data(session.data()), list(session.list()) {
        data.ensureWorkingFile();
    }

    bool openPort() {
        const bool ok = session.openPort();
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
    FixedClock clock;
    Session session;
    // The session's parts by the names the tests use.
    Settings& settings;
    SettingsStore& store;
    PortSettings& ports;
    PortSettingsFile& portFile;
    Station* station;
    DataStore& data;
    MeasurementList& list;

private:
    static Station* built(Session& session, int16_t family,
                          const std::function<void(Settings&)>& adjust) {
        setDateLocale(QLocale(QLocale::English, QLocale::UnitedStates));
        Settings& s = session.settings();
        s.InstrumentType = family;
        s.Threshold1 = 0.2;
        s.Threshold2 = 5;
        s.AudioAlarm = 1;
        s.LostContactInterval = 5;
        s.CommonFileName = "Data4Excel";
        if (adjust)
            adjust(s);
        session.buildStation();
        return &session.station();
    }
};

} // namespace zel::test
