#include "ui/main_window.h"

#include "common/datetime.h"
#include "common/paths.h"
#include "common/spreadsheet_check.h"
#include "graph/graph_feed.h"
#include "graph/graph_window.h"
#include "protocol/portables.h"
#include "station/families.h"
#include "station/serial_link.h"
#include "ui/about_dialog.h"
#include "ui/alarm_sound.h"
#include "ui/calibration_dialog.h"
#include "ui/debug_window.h"
#include "ui/family_commands.h"
#include "ui/fitted_label.h"
#include "ui/interval_dialog.h"
#include "ui/legend_dialog.h"
#include "ui/parameters_dialog.h"
#include "ui/port_dialog.h"
#include "ui/settings_written.h"
#include "widgets/accelerators.h"
#include "widgets/prompts.h"
#include "widgets/window_arrangement.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QDir>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace zel {

// How the automatic measurement asks: through this window's prompts, over
// this window.
class MainWindow::AutoQuestions : public MeasurementQuestions {
public:
    explicit AutoQuestions(MainWindow& window) : window_(window) {}
    Answer ask(const QString& text, const QString& title, bool withCancel) override {
        return window_.ask(text, title, withCancel);
    }
    std::optional<ProbeChoice> probe() override { return window_.prompts_->probe(&window_); }
    void saveInChosenFile() override { window_.saveToChosenFile(false); }

private:
    MainWindow& window_;
};

MainWindow::MainWindow(Options options, QWidget* parent)
    : QMainWindow(parent), options_(std::move(options)),
      ownedTransport_(options_.transport ? nullptr : std::make_unique<SerialLink>()),
      ownedClock_(options_.clock ? nullptr : std::make_unique<SystemClock>()),
      session_(std::make_unique<Session>(
          SessionPaths::standard(), options_.transport ? *options_.transport : *ownedTransport_,
          options_.clock ? *options_.clock : *ownedClock_, *this)),
      settings_(session_->settings()), port_(session_->portSettings()),
      settingsStore_(&session_->settingsStore()), portFile_(&session_->portSettingsFile()),
      prompts_(&dialogPrompts()) {
    setObjectName(QStringLiteral("frmMain"));
    buildUi();
    keepAccelerators(*this);
}

void MainWindow::setPrompts(Prompts& prompts) {
    prompts_ = &prompts;
    if (graph_)
        graph_->setPrompts(prompts);
}

MainWindow::~MainWindow() {
    // An open port is closed when the window goes away.
    if (station_)
        station_->closePort();
}

// ---------------------------------------------------------------- start-up

void MainWindow::loadSettingsAndStart() {
    // The automatic measurement's read-outs show only while it runs.
    showAutoReadouts(false);
    setWindowTitle(QStringLiteral("Zel"));
    // "dbg" on the command line shows the debug button.
    for (const QString& a : options_.arguments.mid(1))
        if (a.contains(QLatin1String("dbg")))
            debugButton_->show();
    session_->startWindow({
        .stationBuilt =
            [this] {
                wireStation();
                buildList();
                // The family option, set without a click.
                if (auto* b = familyButtons_->button(settings_.InstrumentType)) {
                    const QSignalBlocker quiet(familyButtons_);
                    b->setChecked(true);
                }
            },
        // The alarm colours stay neutral until the first reading; the alarm
        // sound exists from now on, silent.
        .stationStarted = [this] { sound_ = new AlarmSound(this); },
        .readingsRestored =
            [this] {
                spreadsheetAvailable_ = spreadsheetProgramAvailable();
                updateControls();
            },
    });
}

void MainWindow::wireStation() {
    data_ = &session_->data();
    list_ = &session_->list();
    station_ = &session_->station();
    connect(station_, &Station::graphShouldHide, this, [this] {
        if (graph_)
            graph_->close();
    });
    connect(station_, &Station::calibrationReceived, this,
            [this](const PortablesCalibration& record) {
                CalibrationDialog::showRecord(this, record);
            });
    // Readings also go to an MQTT broker when Zel.ini names one.
    session_->startPublishing(this, [this](const QString& text, bool problem) {
        setStatus(text, problem ? StatusKind::Problem : StatusKind::Note);
        debugLine(text);
    });
    wireAutoMeasurement();
}

void MainWindow::wireAutoMeasurement() {
    autoMeasurement_ = std::make_unique<AutoMeasurement>(*station_, *data_, settings_,
                                                         session_->paths().programFolder);
    autoQuestions_ = std::make_unique<AutoQuestions>(*this);
    autoMeasurement_->setQuestions(*autoQuestions_);
    connect(autoMeasurement_.get(), &AutoMeasurement::progressChanged, this,
            [this](int value, int maximum) {
                autoProgress_->setMaximum(maximum);
                autoProgress_->setValue(value);
            });
    connect(autoMeasurement_.get(), &AutoMeasurement::measurementDone, this,
            &MainWindow::updateAutoEnabled);
    connect(autoMeasurement_.get(), &AutoMeasurement::cycleRunning, this, [this](bool running) {
        showAutoReadouts(running);
        updateAutoEnabled();
        if (!running)
            updateControls();
    });
}

// ---------------------------------------------------------------- layout

void MainWindow::buildUi() {
    auto* central = new QWidget(this);
    setCentralWidget(central);
    auto* root = new QVBoxLayout(central);
    auto* top = new QHBoxLayout;
    root->addLayout(top);
    auto* readouts = new QGridLayout;
    top->addLayout(readouts, 3);
    buildReadouts(readouts, central);
    auto* side = new QVBoxLayout;
    top->addLayout(side, 1);
    buildFamilyChoice(side, central);
    buildButtons(side, central);

    listView_ = new QTableView(central);
    listView_->setObjectName(QStringLiteral("Grid1"));
    listView_->setAccessibleName(tr("Readings list"));
    listView_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    // The list holds numbers, units and date-times written left to right;
    // in a right-to-left layout their parts would be reordered.
    listView_->setLayoutDirection(Qt::LeftToRight);
    listView_->setSelectionBehavior(QAbstractItemView::SelectRows);
    listView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    listView_->verticalHeader()->setDefaultSectionSize(listView_->fontMetrics().height() + 4);
    root->addWidget(listView_, 1);

    buildMenus();
    buildToolbar();
    bindCommands();
    debug_ = new DebugWindow(this);
    debug_->setWindowFlag(Qt::Window);
    resize(1000, 720);
}

// ---------------------------------------------------------------- StationView

Answer MainWindow::ask(const QString& text, const QString& title, bool withCancel) {
    return prompts_->ask(this, text, title, withCancel);
}

void MainWindow::critical(const QString& text, const QString& title, const QString& detail) {
    prompts_->critical(this, text, title, detail);
}

void MainWindow::information(const QString& text, const QString& title) {
    prompts_->information(this, text, title);
}

bool MainWindow::showAll() const {
    return debug_ && debug_->showAll();
}
void MainWindow::debugLine(const QString& line) {
    if (debug_)
        debug_->addLine(line);
}
void MainWindow::showErrorCounters(quint32 errorCount, quint32 totalErrors) {
    if (debug_)
        debug_->setCounters(errorCount, totalErrors);
}
void MainWindow::startAlarmSound() {
    if (sound_)
        sound_->startRepeating();
}
void MainWindow::showReading(const ShownReading& r) {
    setStatus(r.time, StatusKind::Note);
    doseLabel_->setFullText(r.dose);
    valueLabel_->setFullText(r.value);
    setReadingDetails(r.id, r.status, r.detector);
    // The station has already put the reading into the series; a graph that
    // follows live readings takes it at once and draws it at its pace.
    if (graph_ && graph_->isVisible() && graph_->isOnline())
        graph_->follow(graph::requestFromSeries(data_->series(), true));
    emit liveReading(r.filedValue);
}

// ---------------------------------------------------------------- commands

void MainWindow::toggleOnline() {
    station_->toggleOnline();
}
void MainWindow::getOfflineData() {
    station_->getData();
}

void MainWindow::showGraph() {
    station_->readWorkingFile();
    if (data_->series().lastIndex() < 7)
        return;
    if (!graph_) {
        graph_ = new graph::GraphWindow(this);
        graph_->setPrompts(*prompts_);
        graph_->setPrintHeading(settingsStore_->ini().read(
            QStringLiteral("COMMON"), QStringLiteral("PrintHeading"), QString(), 256));
        connect(graph_, &graph::GraphWindow::printHeadingChanged, this,
                [this](const QString& heading) {
                    const Expected<void> written = settingsWritten(
                        settingsStore_->ini().write(QStringLiteral("COMMON"),
                                                    QStringLiteral("PrintHeading"), heading),
                        *settingsStore_);
                    if (!written)
                        setStatus(
                            tr("The page heading could not be saved: %1").arg(written.error().text),
                            StatusKind::Problem);
                });
        // Going on line shows the readings taken while the graph was off
        // line: the series here is always up to date.
        connect(graph_, &graph::GraphWindow::onlineChanged, this, [this](bool online) {
            if (online)
                feedGraph(true);
        });
    }
    graph_->setProtectedFiles({data_->workingFile().path(), station_->commonFilePath()});
    feedGraph(false);
    if (settings_.AutoArrange == 1)
        arrangeWithGraph();
    graph_->setOnline(false);
    graph_->show();
    graph_->raise();
}

void MainWindow::feedGraph(bool keepSlots) {
    graph_->load(graph::requestFromSeries(data_->series(), keepSlots));
}

void MainWindow::arrangeWithGraph() {
    // The main window above, the graph below, so the graph's buttons stay on
    // the screen; the graph's share is less the height of a button.
    arrangeStacked(*this, *graph_, exitButton_->sizeHint().height(), arrangementArea_);
}

void MainWindow::clearListAfterAsking() {
    if (ask(QStringLiteral("Clear List.\n Are you sure ?"), QStringLiteral(" "), false) ==
        Answer::Yes)
        station_->clearList();
}

void MainWindow::clearListFromToolbar() {
    if (ask(QStringLiteral("Are you sure you want to clear the list? "), QString(), false) ==
        Answer::Yes)
        station_->clearList();
}

void MainWindow::muteAlarm() {
    if (sound_)
        sound_->mute();
}

IntervalDialog& MainWindow::intervalDialog() {
    if (!interval_)
        interval_ = new IntervalDialog(*settingsStore_, this);
    return *interval_;
}

void MainWindow::chooseInterval() {
    IntervalDialog& d = intervalDialog();
    const auto written = d.choose();
    const Interval chosen = d.interval();
    station_->setInterval(chosen);
    if (written && !*written)
        station_->reportSettingNotSaved(written->error().text);
    if (chosen.Minutes != 0 || chosen.Seconds != 0) {
        enableCommand(Command::Start, true);
        enableCommand(Command::Auto, true);
    }
}

void MainWindow::runAutomaticMeasurement() {
    autoMeasurement_->measureNextProbe();
}

void MainWindow::editParameters() {
    if (!parameters_)
        parameters_ = new ParametersDialog(this);
    if (parameters_->edit(settings_)) {
        if (const auto written =
                settingsWritten(settingsStore_->writeParameters(settings_), *settingsStore_);
            !written)
            station_->reportSettingNotSaved(written.error().text);
        updateControls();
    }
}

void MainWindow::sendTime() {
    station_->sendTime();
}

void MainWindow::editLegend() {
    if (!legend_)
        legend_ = new LegendDialog(*settingsStore_, this);
    if (const auto written = legend_->choose()) {
        station_->setLegend(legend_->legend());
        if (!*written)
            station_->reportSettingNotSaved(written->error().text);
    }
}

void MainWindow::requestCalibration() {
    station_->requestCalibration();
}

void MainWindow::setUpFamily() {
    if (const FamilyCommandsRow* row = familyCommandsOf(settings_.InstrumentType))
        row->setUp({*station_, *settingsStore_, settings_, *prompts_, this,
                    options_.arguments.mid(1).join(QLatin1Char(' ')) == "dbg"});
}

void MainWindow::startAmplifier() {
    if (const FamilyCommandsRow* row = familyCommandsOf(settings_.InstrumentType))
        row->start(*station_);
}

void MainWindow::stopAmplifier() {
    if (const FamilyCommandsRow* row = familyCommandsOf(settings_.InstrumentType))
        row->stop(*station_);
}

void MainWindow::choosePort() {
    PortDialog dialog(
        port_, *portFile_,
        [this](int16_t port, int32_t baud) -> Expected<void> {
            QString detail;
            if (station_->reopenPort(port, baud, &detail))
                return {};
            return fail(Failure::Kind::NotFound, detail);
        },
        zelPortDialogVariant(), this);
    dialog.exec();
}

void MainWindow::testConnection() {
    station_->testIfPortOpen();
}

void MainWindow::showAbout() {
    AboutDialog about(this);
    about.exec();
}

void MainWindow::showDebugWindow() {
    debug_->show();
    debug_->raise();
}

void MainWindow::startCalibrationProgram() {
    if (!QProcess::startDetached(daxPath(), {}, programFolder())) {
        critical(QStringLiteral("The calibration program could not be started."), tr("Calibration"),
                 daxPath());
        return;
    }
    close();
}

void MainWindow::saveData() {
    saveToChosenFile(false);
}

void MainWindow::saveToChosenFile(bool exitAfter) {
    const QString folder = programFile(QStringLiteral("data"));
    QDir().mkpath(folder);
    const QString suggested = QStringLiteral("ZelData") + QString::number(settings_.FileNumber);
    const QString name = prompts_->saveFileName(this, {tr("Save"), folder, suggested,
                                                       tr("Csv Files (*.csv);;All Files (*)"),
                                                       QStringLiteral("csv")});
    if (!name.isEmpty()) {
        // As the filter says: a name typed without an extension is a CSV file.
        if (station_->saveToFile(withDefaultSuffix(name, QStringLiteral("csv"))))
            data_->unsaved = false;
    }
    if (exitAfter) {
        station_->shutdown();
        exiting_ = true;
        close();
    }
}

void MainWindow::chooseFamily(int index) {
    station_->chooseFamily(int16_t(index));
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // The graph closes as if the user closed it: it keeps its last graph
    // set and its place.
    if (exiting_ || !station_) {
        if (graph_ && graph_->isVisible())
            graph_->close();
        event->accept();
        return;
    }
    if (data_->unsaved) {
        const Answer a = ask(QStringLiteral("Do you want to save data before exiting ?"),
                             QStringLiteral("Zel"), true);
        if (a == Answer::Cancel) {
            event->ignore();
            return;
        }
        // Yes saves, then this close goes on and ends the program, also when
        // the save dialog was cancelled. Saving with exitAfter from here
        // would close again from inside this close, which Qt refuses.
        if (a == Answer::Yes)
            saveToChosenFile(false);
    }
    station_->shutdown();
    exiting_ = true;
    if (debug_)
        debug_->close();
    if (graph_ && graph_->isVisible())
        graph_->close();
    event->accept();
}

} // namespace zel
