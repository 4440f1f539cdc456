#pragma once
// The station's main window: the list, the read-outs, the family choice,
// menus, toolbar and buttons. It shows what the station decides and
// forwards the user's commands; it holds no protocol logic.
#include "station/station.h"
#include "station/station_view.h"
#include <QMainWindow>
#include <functional>
#include <memory>

class QAction;
class QButtonGroup;
class QFrame;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableView;
class QToolBar;

namespace zel {

class AlarmSound;
class DebugWindow;
class IntervalDialog;
class LegendDialog;
class ParametersDialog;

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
    void Form_Load();

    Station& station() { return *station_; }
    Settings& settings() { return settings_; }
    MeasurementList& list() { return *list_; }
    DataStore& data() { return *data_; }
    bool spreadsheetAvailable_ = false;

    // Hooks for tests: answers to questions and the save dialog.
    std::function<Answer(const QString& text, const QString& title, bool withCancel)> answerHook;
    std::function<QString(const QString& folder, const QString& suggested)> saveFileHook;
    std::function<void(const QString& text)> messageHook;

    // StationView
    void setStatus(const QString& text, const Rgb& color) override;
    void setLamp(const Rgb& color) override;
    void setValueText(const QString& text) override;
    void setValueColor(const Rgb& color) override;
    void setDoseText(const QString& text) override;
    void setReadingDetails(const QString& id, const QString& status,
                           const QString& detector) override;
    void setCount(qint32 count) override;
    void setProgress(const QString& spinner) override;
    void setDownloadProgress(const QString& text) override;
    void enableCommand(Command command, bool enabled) override;
    void showOnline(bool running) override;
    void refreshControls() override { SetControls(); }
    Answer ask(const QString& text, const QString& title, bool withCancel) override;
    void critical(const QString& text, const QString& title, const QString& detail) override;
    void information(const QString& text, const QString& title) override;
    bool showAll() const override;
    void debugLine(const QString& line) override;
    void showErrorCounters(quint32 errorCount, quint32 totalErrors) override;
    void startAlarmSound() override;
    void readingTaken(double value) override;

public slots:
    void SetControls();
    void btStart_Click();
    void btGetData_Click();
    void btGraph_Click();
    void btClearList_Click();
    void mnClear_Click();
    void btMuteAlarm_Click();
    void btOnLine_Click();
    void btSetThreshold_Click();
    void btSetTime_Click();
    void btGetLegend_Click();
    void btGetCalib_Click();
    void mnSetAmp_Click();
    void SetCom_Click();
    void mnTest_Click();
    void mnAbout_Click();
    void btDebug_Click();
    void btDax_Click();
    void btSave_Click();
    void SaveData(bool exitAfter);
    void chkInstType_Click(int index);

signals:
    void liveReading(double value);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildUi();
    void buildMenus();
    void buildToolbar();
    void buildList();
    IntervalDialog& intervalDialog();
    QString daxPath() const;

    Options options_;
    std::unique_ptr<Transport> ownedTransport_;
    std::unique_ptr<Clock> ownedClock_;
    Transport* transport_ = nullptr;
    const Clock* clock_ = nullptr;

    Settings settings_;
    std::unique_ptr<SettingsStore> settingsStore_;
    PortSettings port_;
    std::unique_ptr<PortSettingsFile> portFile_;
    std::unique_ptr<DataStore> data_;
    std::unique_ptr<MeasurementList> list_;
    std::unique_ptr<Station> station_;
    bool exiting_ = false;
    Rgb statusColor_, lampColor_, valueColor_;

    // Controls (objectName = their documented names).
    QButtonGroup* chkInstType_ = nullptr;
    QPushButton *btStart_, *btOnLine_, *btClearList_, *SetCom_, *btSetTime_, *btSave_, *btExit_,
        *btDax_, *btGetData_, *btGetCalib_, *btGraph_, *btMuteAlarm_, *btSetThreshold_,
        *btGetLegend_, *btDebug_, *btStartAmp_, *btStop_, *btGape_;
    QLabel *lblValue_, *lblTime_, *lblDose_, *Label6_, *Label7_, *Label8_;
    QFrame* spOk_;
    QLineEdit *edId_, *edStatus_, *edDetector_, *edCount_, *edProgress_, *edAuto_;
    QProgressBar* ProgressBar1_;
    QTableView* Grid1_ = nullptr;
    QToolBar* Toolbar1_ = nullptr;
    QAction *mnStart_, *mnGetData_, *mnGetLegend_, *mnGetCalibration_, *mnOnline_, *mnSetCom_,
        *mnSetThreshold_, *mnSetAmp_, *mnAuto_, *mnWrFile_, *mnSendTime_, *mnGraph_, *mnTest_,
        *mnAbout_;
    QAction *tbStart_, *tbMute_, *tbGetData_, *tbGraph_, *tbClear_, *tbAuto_;

    AlarmSound* sound_ = nullptr;
    DebugWindow* debug_ = nullptr;
    IntervalDialog* interval_ = nullptr;
    ParametersDialog* parameters_ = nullptr;
    LegendDialog* legend_ = nullptr;
};

} // namespace zel
