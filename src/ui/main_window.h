#pragma once
// The station's main window: the list, the read-outs, the family choice,
// menus, toolbar and buttons. It shows what the station decides and
// forwards the user's commands; it holds no protocol logic.
#include "station/auto_measurement.h"
#include "station/session.h"
#include "station/station.h"
#include "station/station_view.h"
#include <QColor>
#include <QMainWindow>
#include <QRect>
#include <array>
#include <memory>
#include <optional>

class QAction;
class QButtonGroup;
class QFrame;
class QGridLayout;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableView;
class QToolBar;
class QVBoxLayout;

namespace zel {

namespace graph {
class GraphWindow;
}
class Prompts;

class AlarmSound;
class FittedLabel;
class DebugWindow;
class IntervalDialog;
class LegendDialog;
class ParametersDialog;

// The look of what the station says, as this window shows it: the value
// read-out's background for each alarm level (fault and lost contact are
// both the window's state 3, told apart by colour), the connection lamp,
// and the status line's text colour (invalid: it keeps its colour).
QColor alarmLevelColor(AlarmLevel level);
QColor connectionLampColor(bool connected);
QColor statusTextColor(StatusKind kind);

class MainWindow : public QMainWindow, public StationView {
    Q_OBJECT
public:
    struct Options {
        QStringList arguments;          // the command line ("dbg" shows the debug button)
        Transport* transport = nullptr; // the port; a SerialLink when null
        const Clock* clock = nullptr;   // the system clock when null
    };
    explicit MainWindow(Options options, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The start-up sequence; call once before show().
    void loadSettingsAndStart();

    Station& station() { return *station_; }
    Settings& settings() { return settings_; }
    MeasurementList& list() { return *list_; }
    DataStore& data() { return *data_; }
    graph::GraphWindow* graphWindow() const { return graph_; }
    // Whether a spreadsheet program for the CSV files was found; it gates
    // nothing, Save writes the files itself.
    bool spreadsheetAvailable_ = false;

    // What the window and the windows it opens ask and tell: the dialogs
    // unless set. `prompts` must outlive the window.
    void setPrompts(Prompts& prompts);
    // The free area windows are arranged in; the screen's when empty.
    void setArrangementArea(const QRect& area) { arrangementArea_ = area; }

    // StationView
    void setStatus(const QString& text, StatusKind kind) override;
    void setConnected(bool connected) override;
    void setAlarmLevel(AlarmLevel level) override;
    void showReading(const ShownReading& reading) override;
    void setValueText(const QString& text) override;
    void setReadingDetails(const QString& id, const QString& status,
                           const QString& detector) override;
    void setCount(qint32 count) override;
    void setProgress(const QString& spinner) override;
    void setDownloadProgress(const QString& text) override;
    void enableCommand(Command command, bool enabled) override;
    void showOnline(bool running) override;
    void refreshControls() override { updateControls(); }
    void refreshListCommands() override { updateListCommands(); }
    Answer ask(const QString& text, const QString& title, bool withCancel) override;
    void critical(const QString& text, const QString& title, const QString& detail) override;
    void information(const QString& text, const QString& title) override;
    bool showAll() const override;
    void debugLine(const QString& line) override;
    void showErrorCounters(quint32 errorCount, quint32 totalErrors) override;
    void startAlarmSound() override;

public slots:
    void updateControls();
    // The part of updateControls() a new reading can change; each reading
    // costs no look into the program folder.
    void updateListCommands();
    void toggleOnline();
    // The Automatic command: asks for a probe and measures it, again and
    // again until the probe dialog is cancelled.
    void runAutomaticMeasurement();
    void getOfflineData();
    void showGraph();
    void clearListAfterAsking();
    void clearListFromToolbar();
    void muteAlarm();
    void chooseInterval();
    void editParameters();
    void sendTime();
    void editLegend();
    void requestCalibration();
    // The family's own set-up dialog ("Setup Amp").
    void setUpFamily();
    void choosePort();
    void testConnection();
    void showAbout();
    void showDebugWindow();
    void startCalibrationProgram();
    void saveData();
    void saveToChosenFile(bool exitAfter);
    void chooseFamily(int index);
    // The hidden "Start" and "Stop" of an amplifier installation.
    void startAmplifier();
    void stopAmplifier();

signals:
    void liveReading(double value);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class AutoQuestions;

    void buildUi();
    void buildReadouts(QGridLayout* grid, QWidget* parent);
    void buildFamilyChoice(QVBoxLayout* side, QWidget* parent);
    void buildButtons(QVBoxLayout* side, QWidget* parent);
    void buildMenus();
    void buildToolbar();
    // Buttons and toolbar entries run their command's action and follow
    // its enabled state.
    void bindCommands();
    void buildList();
    void wireStation();
    void wireAutoMeasurement();
    IntervalDialog& intervalDialog();
    QString daxPath() const;
    // Hands the series to the graph: the whole description on the graph
    // command, only the records for live readings.
    void feedGraph(bool keepSlots);
    void arrangeWithGraph();
    void updateAutoEnabled();
    void showAutoReadouts(bool shown);
    // The action of a command the station enables and disables: its menu
    // entry, which its button and toolbar entry follow.
    QAction* command(Command c) const { return commands_[size_t(c)]; }

    Options options_;
    std::unique_ptr<Transport> ownedTransport_;
    std::unique_ptr<Clock> ownedClock_;

    std::unique_ptr<Session> session_;
    // The session's parts by short names; the last three once the start-up
    // has built the Station.
    Settings& settings_;
    PortSettings& port_;
    SettingsStore* settingsStore_;
    PortSettingsFile* portFile_;
    DataStore* data_ = nullptr;
    MeasurementList* list_ = nullptr;
    Station* station_ = nullptr;
    std::unique_ptr<AutoMeasurement> autoMeasurement_;
    std::unique_ptr<AutoQuestions> autoQuestions_;
    bool exiting_ = false;
    Prompts* prompts_;
    QRect arrangementArea_;
    // What the status line, the lamp and the value read-out show now: a
    // style sheet is re-applied only when it changes.
    QColor statusColor_;
    std::optional<bool> lampConnected_;
    std::optional<AlarmLevel> shownLevel_;

    // Controls (objectName = their documented names).
    QButtonGroup* familyButtons_ = nullptr;
    QPushButton *startButton_, *intervalButton_, *clearListButton_, *portButton_, *sendTimeButton_,
        *saveButton_, *exitButton_, *calibrationProgramButton_, *getDataButton_,
        *calibrationInfoButton_, *graphButton_, *muteButton_, *parametersButton_, *legendButton_,
        *debugButton_, *ampStartButton_, *ampStopButton_;
    FittedLabel *valueLabel_, *statusLabel_, *doseLabel_;
    QLabel *idCaption_, *detectorCaption_, *statusCaption_;
    bool autoAllowed_ = false;      // the station offers Automatic
    bool familyJustChosen_ = false; // set by the toggle a click brings
    QFrame* connectionLamp_;
    QLineEdit *idField_, *statusField_, *detectorField_, *countField_, *activityField_, *autoField_;
    QProgressBar* autoProgress_;
    QTableView* listView_ = nullptr;
    QToolBar* toolbar_ = nullptr;
    // One action per command; the menus hold them.
    std::array<QAction*, 6> commands_{};
    QAction *legendAction_, *portAction_, *parametersAction_, *familySetupAction_, *saveAction_,
        *sendTimeAction_, *graphAction_, *aboutAction_;
    // Toolbar entries with a key and tool tip of their own, following their
    // command.
    QAction *startTool_, *muteTool_, *getDataTool_, *graphTool_, *clearTool_, *autoTool_;

    AlarmSound* sound_ = nullptr;
    DebugWindow* debug_ = nullptr;
    IntervalDialog* interval_ = nullptr;
    ParametersDialog* parameters_ = nullptr;
    LegendDialog* legend_ = nullptr;
    graph::GraphWindow* graph_ = nullptr;
};

} // namespace zel
