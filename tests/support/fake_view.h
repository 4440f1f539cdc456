#pragma once
// A StationView that records what the station showed and answers its
// questions from a script.
#include "station/station_view.h"
#include <QStringList>
#include <deque>
#include <map>

namespace zel::test {

class FakeView : public StationView {
public:
    QString status;
    Rgb statusColor;
    QStringList statusHistory;
    Rgb lamp;
    QString valueText;
    Rgb valueColor;
    QString doseText;
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
    QList<double> taken;

    void setStatus(const QString& text, const Rgb& color) override {
        status = text;
        if (color.isValid())
            statusColor = color;
        statusHistory << text;
    }
    void setLamp(const Rgb& c) override { lamp = c; }
    void setValueText(const QString& t) override { valueText = t; }
    void setValueColor(const Rgb& c) override { valueColor = c; }
    void setDoseText(const QString& t) override { doseText = t; }
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
    void readingTaken(double v) override { taken << v; }
};

} // namespace zel::test
