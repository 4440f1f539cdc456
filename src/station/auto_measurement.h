#pragma once
// The automatic measurement: one probe, or the background, measured by
// on-line collection into a fresh working file for a fixed time, then saved
// as "probe.csv" or "Null.csv" in the program folder. The window shows the
// countdown and lends its prompts; this decides everything else: when to
// ask for the next probe, what to do with readings nobody saved, and when
// the cycle stops.
#include "station/station_view.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <optional>

namespace zel {

class Station;
class DataStore;
struct Settings;

// What the probe dialog was answered with.
struct ProbeChoice {
    QString probeNumber;
    bool background = false;
};

// What the cycle asks of the person at the station.
class MeasurementQuestions {
public:
    virtual ~MeasurementQuestions() = default;
    virtual Answer ask(const QString& text, const QString& title, bool withCancel) = 0;
    // The probe to measure next; nothing when the dialog was cancelled.
    virtual std::optional<ProbeChoice> probe() = 0;
    // Offers to save the list in a file the person chooses.
    virtual void saveInChosenFile() = 0;
};

class AutoMeasurement : public QObject {
    Q_OBJECT
public:
    AutoMeasurement(Station& station, DataStore& data, const Settings& settings,
                    QString programFolder, QObject* parent = nullptr);

    // Starts measuring `probeNumber` (the background when `background`). A
    // collection that already runs is restarted into the fresh file.
    void begin(const QString& probeNumber, bool background);
    // The probe dialog was cancelled: the cycle ends; collection is left as
    // it is.
    void end();

    // Where the cycle's questions go; must outlive this. Without it the
    // cycle is driven by begin() and end() alone.
    void setQuestions(MeasurementQuestions& questions) { questions_ = &questions; }
    // The Automatic command: readings nobody saved are offered for saving
    // first (a measurement starts a new working file), then the probe is
    // asked for and measured; a cancelled probe dialog ends the cycle. Once
    // a measurement is saved the next probe is asked for; one that could
    // not be saved stops the cycle and offers its readings for saving
    // elsewhere. Ignored while a measurement runs.
    void measureNextProbe();

    bool running() const { return countdown.isActive(); }
    int remaining() const { return remaining_; }
    int maximum() const { return maximum_; }
    bool background() const { return background_; }

    QTimer countdown; // 1 s

public slots:
    void onTick();

signals:
    void progressChanged(int value, int maximum);
    // The measurement was saved (ok) or could not be (the station said why);
    // the window asks for the next probe.
    void measurementDone(const QString& path, bool ok);
    // The cycle began (its read-outs show) or ended.
    void cycleRunning(bool running);

private:
    void afterMeasurement(const QString& path, bool ok);

    Station& station_;
    DataStore& data_;
    const Settings& settings_;
    QString folder_;
    int remaining_ = 0;
    int maximum_ = 0;
    bool background_ = false;
    MeasurementQuestions* questions_ = nullptr;
};

} // namespace zel
