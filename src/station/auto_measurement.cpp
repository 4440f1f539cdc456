#include "station/auto_measurement.h"

#include "common/text.h"
#include "data/data_files.h"
#include "data/settings.h"
#include "station/station.h"

#include <QDir>
#include <algorithm>

namespace zel {

AutoMeasurement::AutoMeasurement(Station& station, DataStore& data, const Settings& settings,
                                 QString programFolder, QObject* parent)
    : QObject(parent), station_(station), data_(data), settings_(settings),
      folder_(std::move(programFolder)) {
    countdown.setInterval(1000);
    connect(&countdown, &QTimer::timeout, this, &AutoMeasurement::onTick);
    // The next question waits for the event loop, so the timer tick that
    // saved has ended before a modal dialog opens.
    connect(this, &AutoMeasurement::measurementDone, this, [this](const QString& path, bool ok) {
        if (questions_)
            QTimer::singleShot(0, this, [this, path, ok] { afterMeasurement(path, ok); });
    });
}

void AutoMeasurement::measureNextProbe() {
    if (running() || !questions_)
        return;
    // A measurement starts a new working file: readings nobody saved yet
    // would be gone with the old one.
    if (data_.unsaved) {
        const Answer a =
            questions_->ask(tr("The list holds readings that are not saved. A measurement "
                               "starts a new working file.\n\nDo you want to save them first?"),
                            tr("Automatic"), true);
        if (a == Answer::Cancel)
            return;
        if (a == Answer::Yes) {
            questions_->saveInChosenFile();
            if (data_.unsaved)
                return;
        }
    }
    const std::optional<ProbeChoice> probe = questions_->probe();
    if (!probe) {
        end();
        emit cycleRunning(false);
        return;
    }
    begin(probe->probeNumber, probe->background);
    emit cycleRunning(true);
}

// A measurement that could not be saved ends the cycle: its readings stay in
// the list and the working file until the user saves them.
void AutoMeasurement::afterMeasurement(const QString& path, bool ok) {
    if (ok) {
        measureNextProbe();
        return;
    }
    emit cycleRunning(false);
    const QString text = tr("The automatic measurement has stopped: its readings could not be "
                            "saved in %1. They are still in the list and in ZelTemp.csv.\n\n"
                            "Do you want to save them in another file now?")
                             .arg(leftToRight(QDir::toNativeSeparators(path)));
    if (questions_->ask(text, tr("Automatic"), false) == Answer::Yes)
        questions_->saveInChosenFile();
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
