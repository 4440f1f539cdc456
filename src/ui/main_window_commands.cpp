// The main window's commands: the family choice, the buttons, the menus
// and the toolbar. Each command the station enables and disables is one
// action, its menu entry; its button and toolbar entry run that action and
// follow its enabled state, so a click, a key, a menu entry and a screen
// reader's press all do the same thing, and the station sets one state.
#include "ui/main_window.h"

#include "common/paths.h"
#include "station/families.h"
#include "ui/family_commands.h"
#include "widgets/accelerators.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QFileInfo>
#include <QGroupBox>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>

namespace zel {

namespace {

QPushButton* makeButton(const QString& name, const QString& caption, const QString& tip,
                        QWidget* parent) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setAccessibleName(QString(caption).remove(QLatin1Char('&')).trimmed());
    if (!tip.isEmpty())
        b->setToolTip(tip);
    return b;
}

QIcon themed(const char* name, QStyle::StandardPixmap fallback) {
    return QIcon::fromTheme(QString::fromLatin1(name),
                            QApplication::style()->standardIcon(fallback));
}

// `button` runs `command` and is enabled when it is.
void follow(QPushButton* button, QAction* command) {
    button->setEnabled(command->isEnabled());
    QObject::connect(button, &QPushButton::clicked, command, &QAction::trigger);
    QObject::connect(command, &QAction::enabledChanged, button, &QWidget::setEnabled);
}

void follow(QAction* entry, QAction* command) {
    entry->setEnabled(command->isEnabled());
    QObject::connect(entry, &QAction::triggered, command, &QAction::trigger);
    QObject::connect(command, &QAction::enabledChanged, entry, &QAction::setEnabled);
}

} // namespace

void MainWindow::buildFamilyChoice(QVBoxLayout* side, QWidget* central) {
    auto* family = new QGroupBox(tr("Instrument"), central);
    family->setObjectName(QStringLiteral("frInstrument"));
    auto* familyLayout = new QVBoxLayout(family);
    familyButtons_ = new QButtonGroup(this);
    for (const Family& f : families()) {
        auto* r = new QRadioButton(f.caption, family);
        r->setObjectName(QStringLiteral("chkInstType_%1").arg(f.id));
        r->setAccessibleName(f.caption);
        familyButtons_->addButton(r, f.id);
        familyLayout->addWidget(r);
    }
    // The choice follows the checked state, so a screen reader's toggle
    // chooses as a click does; the option left has nothing to do.
    connect(familyButtons_, &QButtonGroup::idToggled, this, [this](int i, bool on) {
        if (on) {
            familyJustChosen_ = true;
            chooseFamily(i);
        }
    });
    // A click on the family already chosen changes nothing checked, yet
    // runs the connection test again, as choosing does.
    connect(familyButtons_, &QButtonGroup::idClicked, this, [this](int i) {
        if (!familyJustChosen_)
            chooseFamily(i);
        familyJustChosen_ = false;
    });
    side->addWidget(family);
}

void MainWindow::buildButtons(QVBoxLayout* side, QWidget* central) {
    auto* online = new QGroupBox(tr("On Line"), central);
    auto* onlineLayout = new QVBoxLayout(online);
    startButton_ = makeButton(QStringLiteral("btStart"), tr("Start"), QString(), online);
    intervalButton_ = makeButton(QStringLiteral("btOnLine"), tr("Set &Interval"),
                                 tr("Send time interval to get data online"), online);
    onlineLayout->addWidget(startButton_);
    onlineLayout->addWidget(intervalButton_);
    side->addWidget(online);

    auto* listBox = new QGroupBox(tr("List"), central);
    auto* listLayout = new QVBoxLayout(listBox);
    clearListButton_ =
        makeButton(QStringLiteral("btClearList"), tr("&Clear "), tr("Clear the list"), listBox);
    clearListButton_->setEnabled(false);
    listLayout->addWidget(clearListButton_);
    side->addWidget(listBox);

    auto* settingsBox = new QGroupBox(tr("Settings"), central);
    auto* settingsLayout = new QVBoxLayout(settingsBox);
    portButton_ = makeButton(QStringLiteral("SetCom"), tr("Set &Port"),
                             tr("Set communication port"), settingsBox);
    sendTimeButton_ = makeButton(QStringLiteral("btSetTime"), tr("Send &Time"),
                                 tr("Download time to instrument"), settingsBox);
    settingsLayout->addWidget(portButton_);
    settingsLayout->addWidget(sendTimeButton_);
    side->addWidget(settingsBox);

    saveButton_ = makeButton(QStringLiteral("btSave"), tr("&Save"),
                             tr("Save the readings to a file"), central);
    exitButton_ = makeButton(QStringLiteral("btExit"), tr("&Exit"),
                             QStringLiteral("Exit from program"), central);
    calibrationProgramButton_ = makeButton(
        QStringLiteral("btDax"), tr("Calibration"),
        QStringLiteral("Operate Halvex Meter Calibration. To Come back, close the DAX"), central);
    getDataButton_ =
        makeButton(QStringLiteral("btGetData"), QStringLiteral("&Get Data"), QString(), central);
    calibrationInfoButton_ =
        makeButton(QStringLiteral("btGetCalib"), QStringLiteral("calibration info"),
                   QStringLiteral("Retrieve Calibration data"), central);
    graphButton_ =
        makeButton(QStringLiteral("btGraph"), QStringLiteral("Graph"), QString(), central);
    muteButton_ = makeButton(QStringLiteral("btMuteAlarm"), tr("Mute Alarm"), QString(), central);
    parametersButton_ = makeButton(QStringLiteral("btSetThreshold"),
                                   QStringLiteral("set Thresholds"), QString(), central);
    legendButton_ =
        makeButton(QStringLiteral("btGetLegend"), tr("Get &Legend"), QString(), central);
    debugButton_ = makeButton(QStringLiteral("btDebug"), QStringLiteral("Dbg"), QString(), central);
    ampStartButton_ = makeButton(QStringLiteral("btStartAmp"), tr("Start"), QString(), central);
    ampStopButton_ = makeButton(QStringLiteral("btStop"), tr("Stop"), QString(), central);
    side->addWidget(saveButton_);
    side->addWidget(calibrationProgramButton_);
    side->addWidget(debugButton_);
    side->addWidget(exitButton_);
    side->addStretch(1);
    for (QPushButton* hidden :
         {getDataButton_, calibrationInfoButton_, graphButton_, muteButton_, parametersButton_,
          legendButton_, debugButton_, ampStartButton_, ampStopButton_, calibrationProgramButton_})
        hidden->hide();

    // Buttons without a menu entry.
    connect(clearListButton_, &QPushButton::clicked, this, &MainWindow::clearListAfterAsking);
    connect(exitButton_, &QPushButton::clicked, this, &MainWindow::close);
    connect(calibrationProgramButton_, &QPushButton::clicked, this,
            &MainWindow::startCalibrationProgram);
    connect(muteButton_, &QPushButton::clicked, this, &MainWindow::muteAlarm);
    connect(debugButton_, &QPushButton::clicked, this, &MainWindow::showDebugWindow);
    connect(ampStartButton_, &QPushButton::clicked, this, &MainWindow::startAmplifier);
    connect(ampStopButton_, &QPushButton::clicked, this, &MainWindow::stopAmplifier);
}

void MainWindow::buildMenus() {
    auto add = [this](QMenu* menu, const QString& name, const QString& caption, auto slot) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(name);
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    auto addCommand = [&](Command c, QMenu* menu, const QString& name, const QString& caption,
                          auto slot) {
        commands_[size_t(c)] = add(menu, name, caption, slot);
        return commands_[size_t(c)];
    };
    QMenu* data = menuBar()->addMenu(tr("&Data"));
    addCommand(Command::Start, data, QStringLiteral("mnStart"), tr("&Start Online"),
               &MainWindow::toggleOnline)
        ->setShortcut(QKeySequence(Qt::Key_F5));
    addCommand(Command::GetData, data, QStringLiteral("mnGetData"), tr("&Get Offline Data"),
               &MainWindow::getOfflineData)
        ->setEnabled(false);
    legendAction_ =
        add(data, QStringLiteral("mnGetLegend"), tr("Get &Legend"), &MainWindow::editLegend);
    addCommand(Command::Calibration, data, QStringLiteral("mnGetCalibration"),
               tr("Get &Calibration data"), &MainWindow::requestCalibration)
        ->setEnabled(false);

    QMenu* setting = menuBar()->addMenu(tr("&Setting"));
    // Off until the instrument answers, as its button.
    addCommand(Command::Interval, setting, QStringLiteral("mnOnline"), tr("On Line &Interval"),
               &MainWindow::chooseInterval)
        ->setEnabled(false);
    portAction_ = add(setting, QStringLiteral("mnSetCom"), tr("Communication &Port"),
                      &MainWindow::choosePort);
    parametersAction_ = add(setting, QStringLiteral("mnSetThreshold"), tr("P&arameters"),
                            &MainWindow::editParameters);
    familySetupAction_ =
        add(setting, QStringLiteral("mnSetAmp"), tr("Setup A&mp"), &MainWindow::setUpFamily);

    QMenu* utility = menuBar()->addMenu(tr("&Utility"));
    addCommand(Command::Auto, utility, QStringLiteral("mnAuto"), tr("&Automatic"),
               &MainWindow::runAutomaticMeasurement)
        ->setEnabled(false);
    saveAction_ = add(utility, QStringLiteral("mnWrFile"), tr("&Save"), &MainWindow::saveData);
    saveAction_->setShortcut(QKeySequence::Save);
    sendTimeAction_ =
        add(utility, QStringLiteral("mnSendTime"), tr("Send &Time"), &MainWindow::sendTime);
    graphAction_ = add(utility, QStringLiteral("mnGraph"), tr("&Graph"), &MainWindow::showGraph);
    addCommand(Command::Test, utility, QStringLiteral("mnTest"), tr("T&est"),
               &MainWindow::testConnection)
        ->setEnabled(false);

    QMenu* help = menuBar()->addMenu(tr("&Help"));
    aboutAction_ = add(help, QStringLiteral("mnAbout"), tr("&About"), &MainWindow::showAbout);
}

void MainWindow::buildToolbar() {
    toolbar_ = addToolBar(QStringLiteral("Toolbar1"));
    toolbar_->setObjectName(QStringLiteral("Toolbar1"));
    toolbar_->setMovable(false);
    auto add = [this](const QString& key, const QString& tip, const QIcon& icon) {
        QAction* a = toolbar_->addAction(icon, tip);
        a->setObjectName(QStringLiteral("tb_") + key);
        a->setData(key);
        a->setToolTip(tip);
        return a;
    };
    startTool_ = add(QStringLiteral("mnStart"), tr("Start/Stop On line Collection"),
                     themed("media-playback-start", QStyle::SP_MediaPlay));
    // A press, not a toggle: the icon shows the state, and a screen
    // reader's action on the button is the same command as a click.
    muteTool_ = add(QStringLiteral("mnMuteAlarm"), tr("Mute Alarm"),
                    themed("audio-volume-muted", QStyle::SP_MediaVolumeMuted));
    getDataTool_ = add(QStringLiteral("mnGetData"), tr("Get Offline data from instrument"),
                       themed("document-import", QStyle::SP_ArrowDown));
    graphTool_ = add(QStringLiteral("mnGraph"), tr("Display Graph"),
                     themed("x-office-spreadsheet", QStyle::SP_FileDialogDetailedView));
    clearTool_ = add(QStringLiteral("mnClear"), tr("Clear List"),
                     themed("edit-clear", QStyle::SP_DialogResetButton));
    autoTool_ = add(QStringLiteral("mnAuto"), tr("Automatic"),
                    themed("chronometer", QStyle::SP_BrowserReload));
    // Entries without a menu entry of their own.
    connect(muteTool_, &QAction::triggered, this, &MainWindow::muteAlarm);
    connect(clearTool_, &QAction::triggered, this, &MainWindow::clearListFromToolbar);
}

void MainWindow::bindCommands() {
    follow(startButton_, command(Command::Start));
    follow(startTool_, command(Command::Start));
    follow(intervalButton_, command(Command::Interval));
    follow(getDataButton_, command(Command::GetData));
    follow(getDataTool_, command(Command::GetData));
    follow(calibrationInfoButton_, command(Command::Calibration));
    follow(autoTool_, command(Command::Auto));
    follow(portButton_, portAction_);
    follow(sendTimeButton_, sendTimeAction_);
    follow(saveButton_, saveAction_);
    follow(graphButton_, graphAction_);
    follow(graphTool_, graphAction_);
    follow(parametersButton_, parametersAction_);
    follow(legendButton_, legendAction_);
}

void MainWindow::enableCommand(Command c, bool enabled) {
    if (c == Command::Auto) {
        autoAllowed_ = enabled;
        updateAutoEnabled();
        return;
    }
    command(c)->setEnabled(enabled);
}

void MainWindow::updateAutoEnabled() {
    // A running measurement ignores the command, so it is not offered.
    command(Command::Auto)
        ->setEnabled(autoAllowed_ && !(autoMeasurement_ && autoMeasurement_->running()));
}

void MainWindow::showOnline(bool running) {
    const QColor back = running ? QColor(0, 255, 0) : QColor(255, 128, 0);
    startButton_->setStyleSheet(QStringLiteral("background-color: %1;").arg(back.name()));
    startButton_->setText(running ? tr("Stop") : tr("Start"));
    startButton_->setAccessibleName(running ? tr("Stop") : tr("Start"));
    command(Command::Start)->setText(running ? tr("Stop Online") : tr("Start Online"));
    startTool_->setIcon(running ? themed("media-playback-stop", QStyle::SP_MediaStop)
                                : themed("media-playback-start", QStyle::SP_MediaPlay));
    refreshAccelerators(*this);
}

void MainWindow::updateListCommands() {
    if (!list_ || !data_)
        return;
    const bool rows = list_->rowIndex > 0;
    clearListButton_->setEnabled(rows);
    // Save writes CSV itself: it needs no spreadsheet program to work.
    saveAction_->setEnabled(rows);
    graphAction_->setEnabled(data_->series().lastIndex() >= 7);
}

void MainWindow::updateControls() {
    if (!list_ || !data_)
        return;
    updateListCommands();
    calibrationProgramButton_->setVisible(QFileInfo::exists(daxPath()));
    const FamilyCommands& can = familyOrDefault(settings_.InstrumentType).commands;
    command(Command::Calibration)->setVisible(can.calibration);
    sendTimeAction_->setVisible(can.clock);
    sendTimeButton_->setVisible(can.clock);
    familySetupAction_->setVisible(can.setupDialog &&
                                   familyCommandsOf(settings_.InstrumentType) != nullptr);
    command(Command::Interval)->setVisible(can.interval);
    intervalButton_->setVisible(can.interval);
    command(Command::Test)->setVisible(true);
    command(Command::GetData)->setVisible(can.download);
    if (station_)
        station_->applyFrameRules();
}

QString MainWindow::daxPath() const {
    return programFile(QStringLiteral("dax"));
}

} // namespace zel
