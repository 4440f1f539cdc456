#pragma once
// A StationView that records what the station showed and answers its
// questions from a script.
#include "station/station_view.h"
#include <QStringList>
#include <deque>
#include <map>
#include <optional>

namespace zel::test {

class FakeView : public StationView {
public:
    QString status;
    StatusKind statusKind = StatusKind::Note;
    QStringList statusHistory;
    std::map<QString, StatusKind> kinds; // each status text, with the kind it came with last
    // Unset until the station says whether the instrument answers.
    std::optional<bool> connected;
    QString valueText;
    AlarmLevel level = AlarmLevel::Normal;
    QList<AlarmLevel> levels; // every level set, in order
    QString doseText;
    QList<ShownReading> shown;
    QString id, statusField, detector;
    qint32 count = -1;
    QString progress;
    QString downloadProgress;
    std::map<Command, bool> enabled;
    bool online = false;
    int refreshes = 0;
    std::deque<Answer> answers;
    QStringList questions;
    QStringList criticals;
    QStringList infos;
    bool wantAll = false;
    QStringList debug;
    quint32 errorCount = 0, totalErrors = 0;
    int sounds = 0;

    void setStatus(const QString& text, StatusKind kind) override {
        status = text;
        statusKind = kind;
        statusHistory << text;
        kinds[text] = kind;
    }
    void setConnected(bool c) override { connected = c; }
    void setAlarmLevel(AlarmLevel l) override {
        level = l;
        levels << l;
    }
    // As the window shows a reading: its time goes on the status line.
    void showReading(const ShownReading& r) override {
        shown << r;
        status = r.time;
        statusKind = StatusKind::Note;
        valueText = r.value;
        doseText = r.dose;
        id = r.id;
        statusField = r.status;
        detector = r.detector;
    }
    void setValueText(const QString& t) override { valueText = t; }
    void setReadingDetails(const QString& i, const QString& s, const QString& d) override {
        id = i;
        statusField = s;
        detector = d;
    }
    void setCount(qint32 c) override { count = c; }
    void setProgress(const QString& p) override { progress = p; }
    void setDownloadProgress(const QString& t) override { downloadProgress = t; }
    void enableCommand(Command c, bool e) override { enabled[c] = e; }
    void showOnline(bool running) override { online = running; }
    void refreshControls() override { ++refreshes; }
    Answer ask(const QString& text, const QString& title, bool) override {
        questions << title + QLatin1Char('|') + text;
        if (answers.empty())
            return Answer::No;
        Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    void critical(const QString& text, const QString&, const QString&) override {
        criticals << text;
    }
    void information(const QString& text, const QString&) override { infos << text; }
    bool showAll() const override { return wantAll; }
    void debugLine(const QString& line) override { debug << line; }
    void showErrorCounters(quint32 e, quint32 t) override {
        errorCount = e;
        totalErrors = t;
    }
    void startAlarmSound() override { ++sounds; }
};

} // namespace zel::test
