#pragma once
// Everything the station shows to a person or asks of one. The main window
// implements it; tests implement a recording fake. The station never
// includes a widget header.
#include "data/alarm_level.h"

#include <QString>
#include <cstdint>

namespace zel {

struct MeasurementRecord;

// What a status line says, besides its text.
enum class StatusKind {
    Note,     // what happened; the status line keeps its look
    Progress, // a count that changes by the second ("Testing Connection 2")
    Problem,  // something went wrong and the user should know
    Success,  // the instrument finished setting itself up
};

// One reading as the station shows it.
struct ShownReading {
    QString time;  // the reading's time as listed and filed
    QString value; // the value read-out, with its unit
    QString dose;  // the dose read-out
    QString id, status, detector;
    double filedValue = 0; // the number the working file holds (thousands written out)
    AlarmLevel level = AlarmLevel::Normal;
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

    // Status label lblTime.
    virtual void setStatus(const QString& text, StatusKind kind = StatusKind::Note) = 0;
    // Whether the instrument answers (the connection lamp spOk).
    virtual void setConnected(bool connected) = 0;
    // The alarm level the value read-out stands at.
    virtual void setAlarmLevel(AlarmLevel level) = 0;
    // A reading taken in: the read-outs, its time in the status line, the
    // live graph.
    virtual void showReading(const ShownReading& reading) = 0;
    // The value read-out alone (a reading shown but not listed).
    virtual void setValueText(const QString& text) = 0;
    // edId, edStatus, edDetector.
    virtual void setReadingDetails(const QString& id, const QString& status,
                                   const QString& detector) = 0;
    // edCount and the spinner edProgress.
    virtual void setCount(qint32 count) = 0;
    virtual void setProgress(const QString& spinner) = 0;
    // How far a log download is ("Record 3 of 20"); empty hides it.
    virtual void setDownloadProgress(const QString& /*text*/) {}

    virtual void enableCommand(Command command, bool enabled) = 0;
    // btStart / mnStart / toolbar 1: collection running ("Stop") or idle
    // ("Start").
    virtual void showOnline(bool running) = 0;
    // Re-evaluates the enabling rules of the window (SetControls).
    virtual void refreshControls() = 0;
    // After each reading: only the commands that follow the list's rows
    // (Clear, Save, Graph), not every rule.
    virtual void refreshListCommands() { refreshControls(); }

    virtual Answer ask(const QString& text, const QString& title, bool withCancel) = 0;
    virtual void critical(const QString& text, const QString& title,
                          const QString& detail = QString()) = 0;
    virtual void information(const QString& text, const QString& title = QString()) = 0;

    // Debug log and its error counters.
    virtual bool showAll() const = 0;
    virtual void debugLine(const QString& line) = 0;
    virtual void showErrorCounters(quint32 errorCount, quint32 totalErrors) = 0;

    virtual void startAlarmSound() = 0;
};

} // namespace zel
