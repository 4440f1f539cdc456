#pragma once
// A StationView that shows nothing: the benchmarks measure the station, not
// a window.
#include "station/station_view.h"

namespace zel::bench {

class NullView : public StationView {
public:
    void setStatus(const QString&, StatusKind) override {}
    void setConnected(bool) override {}
    void setAlarmLevel(AlarmLevel) override {}
    void showReading(const ShownReading&) override {}
    void setValueText(const QString&) override {}
    void setReadingDetails(const QString&, const QString&, const QString&) override {}
    void setCount(qint32) override {}
    void setProgress(const QString&) override {}
    void enableCommand(Command, bool) override {}
    void showOnline(bool) override {}
    void refreshControls() override {}
    Answer ask(const QString&, const QString&, bool) override { return Answer::No; }
    void critical(const QString&, const QString&, const QString&) override {}
    void information(const QString&, const QString&) override {}
    bool showAll() const override { return false; }
    void debugLine(const QString&) override {}
    void showErrorCounters(quint32, quint32) override {}
    void startAlarmSound() override {}
};

} // namespace zel::bench
