#pragma once
// The automatic measurement: one probe, or the background, measured by
// on-line collection into a fresh working file for a fixed time, then saved
// as "probe.csv" or "Null.csv" in the program folder. The window asks for
// the probe and shows the countdown; this decides everything else.
#include <QObject>
#include <QString>
#include <QTimer>

namespace zel {

class Station;
class DataStore;
struct Settings;

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

private:
    Station& station_;
    DataStore& data_;
    const Settings& settings_;
    QString folder_;
    int remaining_ = 0;
    int maximum_ = 0;
    bool background_ = false;
};

} // namespace zel
