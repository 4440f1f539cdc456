#pragma once
// Everything the station shows to a person or asks of one. The main window
// implements it; tests implement a recording fake. The station never
// includes a widget header.
#include <QString>

namespace zel {

struct MeasurementRecord;

// An RGB colour; the core needs no GUI library for it. A default one means
// "keep the current colour".
struct Rgb {
    int red = -1, green = -1, blue = -1;
    constexpr Rgb() = default;
    constexpr Rgb(int r, int g, int b) : red(r), green(g), blue(b) {}
    constexpr bool isValid() const { return red >= 0; }
    bool operator==(const Rgb&) const = default;
};

enum class Answer { Yes, No, Cancel };

// Instrument commands the station enables and disables as a group.
enum class Command {
    Start,       // btStart, mnStart, toolbar 1
    GetData,     // btGetData, mnGetData, toolbar 3
    Interval,    // btOnLine, mnOnline
    Calibration, // btGetCalib, mnGetCalibration
    Test,        // mnTest
    Auto,        // mnAuto, toolbar 6
};

class StationView {
public:
    virtual ~StationView() = default;

    // Status label lblTime; an invalid colour keeps the current colour.
    virtual void setStatus(const QString& text, const Rgb& color = Rgb()) = 0;
    // Connection lamp spOk.
    virtual void setLamp(const Rgb& color) = 0;
    // Value label lblValue text and background (alarm colour).
    virtual void setValueText(const QString& text) = 0;
    virtual void setValueColor(const Rgb& color) = 0;
    virtual void setDoseText(const QString& text) = 0;
    // edId, edStatus, edDetector.
    virtual void setReadingDetails(const QString& id, const QString& status,
                                   const QString& detector) = 0;
    // edCount and the spinner edProgress.
    virtual void setCount(qint32 count) = 0;
    virtual void setProgress(const QString& spinner) = 0;
    // How far a log download is ("Record 3 of 20"); empty hides it.
    virtual void setDownloadProgress(const QString& /*text*/) {}

    virtual void enableCommand(Command command, bool enabled) = 0;
    // btStart / mnStart / toolbar 1 running (green "Stop") or idle (orange
    // "Start").
    virtual void showOnline(bool running) = 0;
    // Re-evaluates the enabling rules of the window (SetControls).
    virtual void refreshControls() = 0;

    virtual Answer ask(const QString& text, const QString& title, bool withCancel) = 0;
    virtual void critical(const QString& text, const QString& title,
                          const QString& detail = QString()) = 0;
    virtual void information(const QString& text, const QString& title = QString()) = 0;

    // Debug log and its error counters.
    virtual bool showAll() const = 0;
    virtual void debugLine(const QString& line) = 0;
    virtual void showErrorCounters(quint32 errorCount, quint32 totalErrors) = 0;

    virtual void startAlarmSound() = 0;

    // A reading was taken in: the live graph may want it.
    virtual void readingTaken(double value) = 0;
};

} // namespace zel
