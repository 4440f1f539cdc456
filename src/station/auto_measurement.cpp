#include "station/auto_measurement.h"

#include "data/data_files.h"
#include "data/settings.h"
#include "station/station.h"

#include <algorithm>

namespace zel {

AutoMeasurement::AutoMeasurement(Station& station, DataStore& data, const Settings& settings,
                                 QString programFolder, QObject* parent)
    : QObject(parent), station_(station), data_(data), settings_(settings),
      folder_(std::move(programFolder)) {
    countdown.setInterval(1000);
    connect(&countdown, &QTimer::timeout, this, &AutoMeasurement::onTick);
}

void AutoMeasurement::begin(const QString& probeNumber, bool background) {
    station_.probeNumber = probeNumber;
    station_.autoMode = true;
    background_ = background;
    // A stored time of 0 or less would never reach its end: measure at least
    // a second.
    maximum_ = std::max(1, int(background ? settings_.BackTime : settings_.MeasureTime));
    remaining_ = maximum_;
    countdown.start(1000);
    emit progressChanged(0, maximum_);
    // The automatic mode makes the start take a fresh working file whose
    // header carries the probe number, without asking.
    station_.restartOnline();
}

void AutoMeasurement::end() {
    countdown.stop();
    station_.autoMode = false;
}

void AutoMeasurement::onTick() {
    if (remaining_ > 0)
        --remaining_;
    emit progressChanged(maximum_ - remaining_, maximum_);
    if (remaining_ > 0)
        return;
    countdown.stop();
    station_.stopCollecting();
    const QString path =
        folder_ + (background_ ? QStringLiteral("/Null.csv") : QStringLiteral("/probe.csv"));
    const bool ok = station_.saveToFile(path);
    if (ok) {
        station_.clearList();
        data_.unsaved = false;
    } else {
        // The readings exist only in the list and the working file now:
        // the cycle stops so that no next probe starts a fresh file over
        // them, and Save and Clear stay at the user's hand.
        station_.autoMode = false;
    }
    emit measurementDone(path, ok);
}

} // namespace zel
