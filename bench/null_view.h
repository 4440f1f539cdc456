#pragma once
// A StationView that shows nothing: the benchmarks measure the station, not
// a window.
#include "station/station_view.h"

namespace zel::bench {

class NullView : public StationView {
public:
    void setStatus(const QString&, const Rgb&) override {}
    void setLamp(const Rgb&) override {}
    void setValueText(const QString&) override {}
    void setValueColor(const Rgb&) override {}
    void setDoseText(const QString&) override {}
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
    void readingTaken(double) override {}
};

} // namespace zel::bench
