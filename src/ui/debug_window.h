#pragma once
// "Debug": the log of the serial traffic, not modal. The station adds lines
// while "Show All" is ticked and fills the two error counters.
#include "common/failure.h"
#include <QDateTime>
#include <QString>
#include <QWidget>
#include <cstdint>

class QCheckBox;
class QLineEdit;
class QListWidget;

namespace zel {

class DebugWindow : public QWidget {
    Q_OBJECT
public:
    // A week of traffic must not exhaust memory: only the newest lines are
    // kept.
    static constexpr int MaxLines = 20000;

    explicit DebugWindow(QWidget* parent = nullptr);

    void addLine(const QString& line);
    int lineCount() const;
    QString line(int index) const;
    bool showAll() const;
    void setCounters(quint32 errorCount, quint32 totalErrors);

    // Writes the log file (replacing an older one): a first line with the
    // moment and "Zel 1.05 debug", then every list line in double quotes,
    // CR LF line ends. Returns false with `error` filled when it fails.
    Expected<void> saveTo(const QString& path, const QDateTime& now) const;

public slots:
    void clearLog();
    // Saves programFile("ZelDbg.txt") and tells the user how it went.
    void saveLog();

private:
    QListWidget* log_;
    QCheckBox* showAllBox_;
    QLineEdit* errorCountField_;
    QLineEdit* totalErrorsField_;
};

} // namespace zel
