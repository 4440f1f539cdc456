#include "ui/main_window.h"

#include "common/datetime.h"
#include "common/paths.h"
#include "common/spreadsheet_check.h"
#include "common/text.h"
#include "graph/graph_feed.h"
#include "graph/graph_window.h"
#include "protocol/portables.h"
#include "station/amp_conversation.h"
#include "station/families.h"
#include "station/serial_link.h"
#include "ui/about_dialog.h"
#include "ui/alarm_sound.h"
#include "ui/amp_setup_dialog.h"
#include "ui/calibration_dialog.h"
#include "ui/debug_window.h"
#include "ui/fitted_label.h"
#include "ui/interval_dialog.h"
#include "ui/legend_dialog.h"
#include "ui/parameters_dialog.h"
#include "ui/port_dialog.h"
#include "widgets/accelerators.h"
#include "widgets/prompts.h"
#include "widgets/spoken_text.h"
#include "widgets/window_arrangement.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>
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

QLineEdit* makeReadout(const QString& name, const QString& accessible, QWidget* parent) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setReadOnly(true);
    e->setAccessibleName(accessible);
    return e;
}

void setBackground(QWidget* w, const QColor& c) {
    w->setStyleSheet(c.isValid() ? QStringLiteral("background-color: %1;").arg(c.name())
                                 : QString());
}

QIcon themed(const char* name, QStyle::StandardPixmap fallback) {
    return QIcon::fromTheme(QString::fromLatin1(name),
                            QApplication::style()->standardIcon(fallback));
}

} // namespace

QColor alarmLevelColor(AlarmLevel level) {
    switch (level) {
    case AlarmLevel::Normal:
        return QColor(0, 255, 0);
    case AlarmLevel::High1:
        return QColor(255, 255, 0);
    case AlarmLevel::High2:
        return QColor(255, 0, 0);
    case AlarmLevel::Fault:
        return QColor(255, 0, 255);
    case AlarmLevel::LostContact:
        return QColor(128, 255, 255);
    }
    return QColor();
}

QColor connectionLampColor(bool connected) {
    return connected ? QColor(128, 255, 128) : QColor(255, 128, 128);
}

QColor statusTextColor(StatusKind kind) {
    switch (kind) {
    case StatusKind::Problem:
        return QColor(255, 0, 0);
    case StatusKind::Success:
        return QColor(0, 0, 255);
    case StatusKind::Note:
    case StatusKind::Progress:
        break;
    }
    return QColor();
}

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

QString MainWindow::daxPath() const {
    return programFile(QStringLiteral("dax"));
}

// ---------------------------------------------------------------- start-up

void MainWindow::loadSettingsAndStart() {
    // The automatic measurement's read-outs show only while it runs.
    autoField_->hide();
    autoProgress_->hide();
    setWindowTitle(QStringLiteral("Zel"));
    // "dbg" on the command line shows the debug button.
    for (const QString& a : options_.arguments.mid(1))
        if (a.contains(QLatin1String("dbg")))
            debugButton_->show();
    // The settings; the rest of them only when the port is named.
    const SettingsLoad load = session_->loadSettings();
    if (!load.portNamed())
        critical(QStringLiteral("Port not opened, Use Set Port "),
                 QStringLiteral("Error in Communication"), QString());

    // The list, laid out for the family chosen now.
    session_->buildStation();
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
    autoMeasurement_ = std::make_unique<AutoMeasurement>(*station_, *data_, settings_,
                                                         session_->paths().programFolder);
    connect(autoMeasurement_.get(), &AutoMeasurement::progressChanged, this,
            [this](int value, int maximum) {
                autoProgress_->setMaximum(maximum);
                autoProgress_->setValue(value);
            });
    // The next probe is asked for once the finished one is saved; the
    // question waits for the event loop so the timer tick has ended. A
    // measurement that could not be saved ends the cycle: its readings stay
    // in the list and the working file until the user saves them.
    connect(autoMeasurement_.get(), &AutoMeasurement::measurementDone, this,
            [this](const QString& path, bool ok) {
                updateAutoEnabled();
                QTimer::singleShot(0, this, [this, path, ok] {
                    if (ok) {
                        runAutomaticMeasurement();
                        return;
                    }
                    autoField_->hide();
                    autoProgress_->hide();
                    updateControls();
                    const QString text =
                        tr("The automatic measurement has stopped: its readings could not be "
                           "saved in %1. They are still in the list and in ZelTemp.csv.\n\n"
                           "Do you want to save them in another file now?")
                            .arg(leftToRight(QDir::toNativeSeparators(path)));
                    if (ask(text, tr("Automatic"), false) == Answer::Yes)
                        saveToChosenFile(false);
                });
            });
    buildList();

    // The family option, set without a click: no port yet, so no test.
    if (auto* b = familyButtons_->button(settings_.InstrumentType)) {
        const QSignalBlocker quiet(familyButtons_);
        b->setChecked(true);
    }
    station_->chooseFamily(settings_.InstrumentType);

    // The port, and the first connection test.
    if (load.portNamed())
        session_->openPort();
    // Families that announce themselves wait for the instrument; the others
    // are idle.
    station_->enterStartupState();
    // The alarm colours stay neutral until the first reading; the alarm
    // sound exists from now on, silent.
    sound_ = new AlarmSound(this);
    // The readings of the previous run, counted and ready for the graph.
    session_->restoreWorkingFile();
    spreadsheetAvailable_ = spreadsheetProgramAvailable();
    updateControls();
    station_->finishStartup();
}

// ---------------------------------------------------------------- layout

void MainWindow::buildUi() {
    auto* central = new QWidget(this);
    setCentralWidget(central);
    auto* root = new QVBoxLayout(central);

    // Read-outs: the value is large enough to read across a room.
    auto* top = new QHBoxLayout;
    root->addLayout(top);

    auto* readouts = new QGridLayout;
    top->addLayout(readouts, 3);
    // Read-outs take the width the layout gives them: a reading of any
    // length is fitted into it and never widens the window.
    valueLabel_ = new FittedLabel(central);
    valueLabel_->setObjectName(QStringLiteral("lblValue"));
    speakText(valueLabel_, tr("Value"));
    valueLabel_->setFullText(QStringLiteral("---"));
    valueLabel_->setRestingToolTip(tr("Latest reading; click to mute the alarm"));
    valueLabel_->setAlignment(Qt::AlignCenter);
    valueLabel_->setMinimumHeight(90);
    QFont big = valueLabel_->font();
    big.setPointSize(36);
    big.setBold(true);
    valueLabel_->setFont(big);
    valueLabel_->setFrameShape(QFrame::Panel);
    valueLabel_->setFrameShadow(QFrame::Sunken);
    valueLabel_->setCursor(Qt::PointingHandCursor);
    valueLabel_->installEventFilter(this);
    readouts->addWidget(valueLabel_, 0, 0, 1, 4);

    doseLabel_ = new FittedLabel(central);
    doseLabel_->setObjectName(QStringLiteral("lblDose"));
    speakText(doseLabel_, tr("Dose"));
    QFont mid = doseLabel_->font();
    mid.setPointSize(14);
    doseLabel_->setFont(mid);
    readouts->addWidget(doseLabel_, 1, 0, 1, 2);

    connectionLamp_ = new QFrame(central);
    connectionLamp_->setObjectName(QStringLiteral("spOk"));
    connectionLamp_->setAccessibleName(tr("Connection"));
    connectionLamp_->setFixedSize(22, 22);
    connectionLamp_->setFrameShape(QFrame::Box);
    connectionLamp_->setToolTip(tr("Connection to the instrument"));
    readouts->addWidget(connectionLamp_, 1, 3, Qt::AlignRight);

    statusLabel_ = new FittedLabel(central);
    statusLabel_->setObjectName(QStringLiteral("lblTime"));
    speakText(statusLabel_, tr("Status"));
    statusLabel_->setFont(mid);
    statusLabel_->setMinimumWidth(300);
    readouts->addWidget(statusLabel_, 2, 0, 1, 4);

    idCaption_ = new QLabel(tr("ID No.:"), central);
    detectorCaption_ = new QLabel(tr("Detector:"), central);
    statusCaption_ = new QLabel(tr("Status:"), central);
    idCaption_->setObjectName(QStringLiteral("Label6"));
    detectorCaption_->setObjectName(QStringLiteral("Label7"));
    statusCaption_->setObjectName(QStringLiteral("Label8"));
    idField_ = makeReadout(QStringLiteral("edId"), tr("ID No."), central);
    detectorField_ = makeReadout(QStringLiteral("edDetector"), tr("Detector"), central);
    statusField_ = makeReadout(QStringLiteral("edStatus"), tr("Status"), central);
    idCaption_->setBuddy(idField_);
    detectorCaption_->setBuddy(detectorField_);
    statusCaption_->setBuddy(statusField_);
    readouts->addWidget(idCaption_, 3, 0);
    readouts->addWidget(idField_, 3, 1);
    readouts->addWidget(detectorCaption_, 3, 2);
    readouts->addWidget(detectorField_, 3, 3);
    readouts->addWidget(statusCaption_, 4, 0);
    readouts->addWidget(statusField_, 4, 1);
    auto* countLabel = new QLabel(tr("Readings:"), central);
    countField_ = makeReadout(QStringLiteral("edCount"), tr("Readings"), central);
    countLabel->setBuddy(countField_);
    activityField_ = makeReadout(QStringLiteral("edProgress"), tr("Activity"), central);
    activityField_->setMaximumWidth(40);
    auto* countRow = new QHBoxLayout;
    countRow->addWidget(countField_);
    countRow->addWidget(activityField_);
    readouts->addWidget(countLabel, 4, 2);
    readouts->addLayout(countRow, 4, 3);
    autoField_ = makeReadout(QStringLiteral("edAuto"), tr("Automatic"), central);
    autoField_->setText(tr("Automatic"));
    autoProgress_ = new QProgressBar(central);
    autoProgress_->setObjectName(QStringLiteral("ProgressBar1"));
    autoProgress_->setAccessibleName(tr("Automatic measurement progress"));
    readouts->addWidget(autoField_, 5, 0, 1, 2);
    readouts->addWidget(autoProgress_, 5, 2, 1, 2);
    // Extra height goes to the value read-out, not into gaps between rows.
    readouts->setRowStretch(0, 1);

    // Family, and the command buttons.
    auto* side = new QVBoxLayout;
    top->addLayout(side, 1);
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

    auto* online = new QGroupBox(tr("On Line"), central);
    auto* onlineLayout = new QVBoxLayout(online);
    startButton_ = makeButton(QStringLiteral("btStart"), tr("Start"), QString(), online);
    intervalButton_ = makeButton(QStringLiteral("btOnLine"), tr("Set &Interval"),
                                 tr("Send time interval to get data online"), online);
    intervalButton_->setEnabled(false);
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
    getDataButton_->setEnabled(false);
    calibrationInfoButton_->setEnabled(false);

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

    connect(startButton_, &QPushButton::clicked, this, &MainWindow::toggleOnline);
    connect(intervalButton_, &QPushButton::clicked, this, &MainWindow::chooseInterval);
    connect(clearListButton_, &QPushButton::clicked, this, &MainWindow::clearListAfterAsking);
    connect(portButton_, &QPushButton::clicked, this, &MainWindow::choosePort);
    connect(sendTimeButton_, &QPushButton::clicked, this, &MainWindow::sendTime);
    connect(saveButton_, &QPushButton::clicked, this, &MainWindow::saveData);
    connect(exitButton_, &QPushButton::clicked, this, &MainWindow::close);
    connect(calibrationProgramButton_, &QPushButton::clicked, this,
            &MainWindow::startCalibrationProgram);
    connect(getDataButton_, &QPushButton::clicked, this, &MainWindow::getOfflineData);
    connect(calibrationInfoButton_, &QPushButton::clicked, this, &MainWindow::requestCalibration);
    connect(graphButton_, &QPushButton::clicked, this, &MainWindow::showGraph);
    connect(muteButton_, &QPushButton::clicked, this, &MainWindow::muteAlarm);
    connect(parametersButton_, &QPushButton::clicked, this, &MainWindow::editParameters);
    connect(legendButton_, &QPushButton::clicked, this, &MainWindow::editLegend);
    connect(debugButton_, &QPushButton::clicked, this, &MainWindow::showDebugWindow);
    connect(ampStartButton_, &QPushButton::clicked, this, &MainWindow::startAmplifier);
    connect(ampStopButton_, &QPushButton::clicked, this, &MainWindow::stopAmplifier);

    buildMenus();
    buildToolbar();
    debug_ = new DebugWindow(this);
    debug_->setWindowFlag(Qt::Window);
    resize(1000, 720);
}

void MainWindow::buildMenus() {
    auto add = [this](QMenu* menu, const QString& name, const QString& caption, auto slot) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(name);
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    QMenu* data = menuBar()->addMenu(tr("&Data"));
    startAction_ =
        add(data, QStringLiteral("mnStart"), tr("&Start Online"), &MainWindow::toggleOnline);
    startAction_->setShortcut(QKeySequence(Qt::Key_F5));
    getDataAction_ = add(data, QStringLiteral("mnGetData"), tr("&Get Offline Data"),
                         &MainWindow::getOfflineData);
    getDataAction_->setEnabled(false);
    legendAction_ =
        add(data, QStringLiteral("mnGetLegend"), tr("Get &Legend"), &MainWindow::editLegend);
    calibrationAction_ = add(data, QStringLiteral("mnGetCalibration"), tr("Get &Calibration data"),
                             &MainWindow::requestCalibration);
    calibrationAction_->setEnabled(false);

    QMenu* setting = menuBar()->addMenu(tr("&Setting"));
    intervalAction_ = add(setting, QStringLiteral("mnOnline"), tr("On Line &Interval"),
                          &MainWindow::chooseInterval);
    portAction_ = add(setting, QStringLiteral("mnSetCom"), tr("Communication &Port"),
                      &MainWindow::choosePort);
    parametersAction_ = add(setting, QStringLiteral("mnSetThreshold"), tr("P&arameters"),
                            &MainWindow::editParameters);
    ampSetupAction_ =
        add(setting, QStringLiteral("mnSetAmp"), tr("Setup A&mp"), &MainWindow::setUpAmplifier);

    QMenu* utility = menuBar()->addMenu(tr("&Utility"));
    autoAction_ = add(utility, QStringLiteral("mnAuto"), tr("&Automatic"),
                      &MainWindow::runAutomaticMeasurement);
    autoAction_->setEnabled(false);
    saveAction_ = add(utility, QStringLiteral("mnWrFile"), tr("&Save"), &MainWindow::saveData);
    saveAction_->setShortcut(QKeySequence::Save);
    sendTimeAction_ =
        add(utility, QStringLiteral("mnSendTime"), tr("Send &Time"), &MainWindow::sendTime);
    graphAction_ = add(utility, QStringLiteral("mnGraph"), tr("&Graph"), &MainWindow::showGraph);
    testAction_ = add(utility, QStringLiteral("mnTest"), tr("T&est"), &MainWindow::testConnection);
    testAction_->setEnabled(false);

    QMenu* help = menuBar()->addMenu(tr("&Help"));
    aboutAction_ = add(help, QStringLiteral("mnAbout"), tr("&About"), &MainWindow::showAbout);
}

void MainWindow::buildToolbar() {
    toolbar_ = addToolBar(QStringLiteral("Toolbar1"));
    toolbar_->setObjectName(QStringLiteral("Toolbar1"));
    toolbar_->setMovable(false);
    auto add = [this](const QString& key, const QString& tip, const QIcon& icon, auto slot) {
        QAction* a = toolbar_->addAction(icon, tip);
        a->setObjectName(QStringLiteral("tb_") + key);
        a->setData(key);
        a->setToolTip(tip);
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    startTool_ =
        add(QStringLiteral("mnStart"), tr("Start/Stop On line Collection"),
            themed("media-playback-start", QStyle::SP_MediaPlay), &MainWindow::toggleOnline);
    // A press, not a toggle: the icon shows the state, and a screen
    // reader's action on the button is the same command as a click.
    muteTool_ =
        add(QStringLiteral("mnMuteAlarm"), tr("Mute Alarm"),
            themed("audio-volume-muted", QStyle::SP_MediaVolumeMuted), &MainWindow::muteAlarm);
    getDataTool_ =
        add(QStringLiteral("mnGetData"), tr("Get Offline data from instrument"),
            themed("document-import", QStyle::SP_ArrowDown), &MainWindow::getOfflineData);
    getDataTool_->setEnabled(false);
    graphTool_ = add(QStringLiteral("mnGraph"), tr("Display Graph"),
                     themed("x-office-spreadsheet", QStyle::SP_FileDialogDetailedView),
                     &MainWindow::showGraph);
    clearTool_ =
        add(QStringLiteral("mnClear"), tr("Clear List"),
            themed("edit-clear", QStyle::SP_DialogResetButton), &MainWindow::clearListFromToolbar);
    autoTool_ =
        add(QStringLiteral("mnAuto"), tr("Automatic"),
            themed("chronometer", QStyle::SP_BrowserReload), &MainWindow::runAutomaticMeasurement);
    autoTool_->setEnabled(false);
}

void MainWindow::buildList() {
    listView_->setModel(list_);
    // The twip widths were chosen for a proportional font; the list uses a
    // fixed one so padded numbers line up, so each column is at least wide
    // enough for its padded text.
    const int charWidth = QFontMetrics(listView_->font()).horizontalAdvance(QLatin1Char('0'));
    // A Portables id ("QUORIN 00042") is twelve characters. A value can
    // carry an exponent ("-9.99994610111476E-41"): cut short it would read
    // as another number.
    const int minChars[MeasurementList::Columns] = {12, 19, 2, 22, 10, 10, 12};
    for (int c = 0; c < MeasurementList::Columns; ++c) {
        listView_->setColumnHidden(c, list_->columnHidden(c));
        listView_->setColumnWidth(
            c, std::max(pixelsFromTwips(list_->columnWidthTwips(c)), charWidth * minChars[c] + 8));
    }
    const ReadoutCaptions& captions = familyOrDefault(settings_.InstrumentType).readouts;
    if (captions.id)
        idCaption_->setText(QString::fromUtf8(captions.id));
    if (captions.detector)
        detectorCaption_->setText(QString::fromUtf8(captions.detector));
    if (captions.status)
        statusCaption_->setText(QString::fromUtf8(captions.status));
    listView_->horizontalHeader()->setStretchLastSection(true);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == valueLabel_ && event->type() == QEvent::MouseButtonRelease)
        muteAlarm();
    return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------- StationView

// Style sheets are re-applied only when a colour really changes: a restyle
// costs far more than the text of a reading, which arrives ten times a second.
void MainWindow::setStatus(const QString& text, StatusKind kind) {
    if (text != statusLabel_->fullText()) {
        statusLabel_->setFullText(text);
        announceText(statusLabel_);
    }
    const QColor color = statusTextColor(kind);
    if (color.isValid() && color != statusColor_) {
        statusColor_ = color;
        statusLabel_->setStyleSheet(QStringLiteral("color: %1;").arg(color.name()));
    }
}

void MainWindow::setConnected(bool connected) {
    if (lampConnected_ == connected)
        return;
    lampConnected_ = connected;
    connectionLamp_->setStyleSheet(
        QStringLiteral("background-color: %1; border-radius: 11px; border: 1px solid gray;")
            .arg(connectionLampColor(connected).name()));
}

void MainWindow::setValueText(const QString& text) {
    valueLabel_->setFullText(text);
}
void MainWindow::setAlarmLevel(AlarmLevel level) {
    // Every reading sets the level; most keep it.
    if (shownLevel_ == level)
        return;
    shownLevel_ = level;
    setBackground(valueLabel_, alarmLevelColor(level));
}

namespace {
// A line edit repaints and re-lays out on every setText, even of the same
// text; readings mostly repeat their id, status and detector.
void setChangedText(QLineEdit* edit, const QString& text) {
    if (edit->text() != text)
        edit->setText(text);
}
} // namespace

void MainWindow::setReadingDetails(const QString& id, const QString& status,
                                   const QString& detector) {
    setChangedText(idField_, id);
    setChangedText(statusField_, status);
    setChangedText(detectorField_, detector);
}

void MainWindow::setCount(qint32 count) {
    setChangedText(countField_, QString::number(count));
}
void MainWindow::setProgress(const QString& spinner) {
    setChangedText(activityField_, spinner);
}

void MainWindow::setDownloadProgress(const QString& text) {
    auto* label = findChild<QLabel*>(QStringLiteral("lblDownload"));
    if (!label) {
        label = new QLabel(this);
        label->setObjectName(QStringLiteral("lblDownload"));
        label->setAccessibleName(QStringLiteral("Download progress"));
        statusBar()->addWidget(label);
    }
    label->setText(text);
}

void MainWindow::enableCommand(Command command, bool enabled) {
    switch (command) {
    case Command::Start:
        startButton_->setEnabled(enabled);
        startAction_->setEnabled(enabled);
        startTool_->setEnabled(enabled);
        break;
    case Command::GetData:
        getDataButton_->setEnabled(enabled);
        getDataAction_->setEnabled(enabled);
        getDataTool_->setEnabled(enabled);
        break;
    case Command::Interval:
        intervalButton_->setEnabled(enabled);
        intervalAction_->setEnabled(enabled);
        break;
    case Command::Calibration:
        calibrationInfoButton_->setEnabled(enabled);
        calibrationAction_->setEnabled(enabled);
        break;
    case Command::Test:
        testAction_->setEnabled(enabled);
        break;
    case Command::Auto:
        autoAllowed_ = enabled;
        updateAutoEnabled();
        break;
    }
}

void MainWindow::showOnline(bool running) {
    if (running) {
        setBackground(startButton_, QColor(0, 255, 0));
        startButton_->setText(tr("Stop"));
        startButton_->setAccessibleName(tr("Stop"));
        startAction_->setText(tr("Stop Online"));
        startTool_->setIcon(themed("media-playback-stop", QStyle::SP_MediaStop));
    } else {
        setBackground(startButton_, QColor(255, 128, 0));
        startButton_->setText(tr("Start"));
        startButton_->setAccessibleName(tr("Start"));
        startAction_->setText(tr("Start Online"));
        startTool_->setIcon(themed("media-playback-start", QStyle::SP_MediaPlay));
    }
    refreshAccelerators(*this);
}

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
    // follows live readings shows it at once.
    if (graph_ && graph_->isVisible() && graph_->isOnline())
        feedGraph(true);
    emit liveReading(r.filedValue);
}

// ---------------------------------------------------------------- commands

void MainWindow::updateControls() {
    if (!list_ || !data_)
        return;
    const bool rows = list_->rowIndex > 0;
    saveButton_->setEnabled(rows);
    clearListButton_->setEnabled(rows);
    // Save writes CSV itself: it needs no spreadsheet program to work.
    saveAction_->setEnabled(rows);
    const bool graph = data_->series.seriesLast >= 7;
    graphButton_->setEnabled(graph);
    graphAction_->setEnabled(graph);
    graphTool_->setEnabled(graph);
    calibrationProgramButton_->setVisible(QFileInfo::exists(daxPath()));
    const FamilyCommands& can = familyOrDefault(settings_.InstrumentType).commands;
    calibrationAction_->setVisible(can.calibration);
    sendTimeAction_->setVisible(can.clock);
    sendTimeButton_->setVisible(can.clock);
    ampSetupAction_->setVisible(can.setupDialog);
    intervalAction_->setVisible(can.interval);
    intervalButton_->setVisible(can.interval);
    testAction_->setVisible(true);
    getDataAction_->setVisible(can.download);
    if (station_)
        station_->applyFrameRules();
}

void MainWindow::toggleOnline() {
    station_->toggleOnline();
}
void MainWindow::getOfflineData() {
    station_->getData();
}

void MainWindow::showGraph() {
    station_->readWorkingFile();
    if (data_->series.seriesLast < 7)
        return;
    if (!graph_) {
        graph_ = new graph::GraphWindow(this);
        graph_->setPrompts(*prompts_);
        graph_->setPrintHeading(settingsStore_->ini().read(
            QStringLiteral("COMMON"), QStringLiteral("PrintHeading"), QString(), 256));
        connect(graph_, &graph::GraphWindow::printHeadingChanged, this,
                [this](const QString& heading) {
                    if (!settingsStore_->ini().write(QStringLiteral("COMMON"),
                                                     QStringLiteral("PrintHeading"), heading))
                        setStatus(tr("The page heading could not be saved: %1")
                                      .arg(settingsStore_->ini().lastError()),
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
    graph_->load(graph::requestFromSeries(data_->series, keepSlots));
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
    d.exec();
    station_->setInterval(Interval{d.minutes, d.seconds});
    if (d.outcome == 1 && !d.saved)
        station_->reportSettingNotSaved(d.saveError);
    if (d.minutes != 0 || d.seconds != 0) {
        startButton_->setEnabled(true);
        startAction_->setEnabled(true);
        startTool_->setEnabled(true);
        autoAllowed_ = true;
        updateAutoEnabled();
    }
}

void MainWindow::updateAutoEnabled() {
    // A running measurement ignores the command, so it is not offered.
    const bool on = autoAllowed_ && !(autoMeasurement_ && autoMeasurement_->running());
    autoAction_->setEnabled(on);
    autoTool_->setEnabled(on);
}

void MainWindow::runAutomaticMeasurement() {
    if (autoMeasurement_->running())
        return;
    // A measurement starts a new working file: readings nobody saved yet
    // would be gone with the old one.
    if (data_->unsaved) {
        const Answer a = ask(tr("The list holds readings that are not saved. A measurement "
                                "starts a new working file.\n\nDo you want to save them first?"),
                             tr("Automatic"), true);
        if (a == Answer::Cancel)
            return;
        if (a == Answer::Yes) {
            saveToChosenFile(false);
            if (data_->unsaved)
                return;
        }
    }
    const std::optional<ProbeChoice> probe = prompts_->probe(this);
    if (!probe) {
        autoMeasurement_->end();
        autoField_->hide();
        autoProgress_->hide();
        updateAutoEnabled();
        return;
    }
    autoField_->show();
    autoProgress_->show();
    autoMeasurement_->begin(probe->probeNumber, probe->background);
    updateAutoEnabled();
}

void MainWindow::editParameters() {
    if (!parameters_)
        parameters_ = new ParametersDialog(this);
    parameters_->takeFrom(settings_);
    parameters_->exec();
    if (parameters_->outcome == 1) {
        parameters_->giveTo(settings_);
        if (!settingsStore_->writeParameters(settings_))
            station_->reportSettingNotSaved(settingsStore_->ini().lastError());
        updateControls();
    }
}

void MainWindow::sendTime() {
    station_->sendTime();
}

void MainWindow::editLegend() {
    if (!legend_)
        legend_ = new LegendDialog(*settingsStore_, this);
    if (legend_->exec() == QDialog::Accepted) {
        station_->setLegend(Legend{legend_->department, legend_->date, legend_->detector,
                                   legend_->location, legend_->personnel});
        if (!legend_->saved)
            station_->reportSettingNotSaved(legend_->saveError);
    }
}

void MainWindow::requestCalibration() {
    station_->requestCalibration();
}

void MainWindow::setUpAmplifier() {
    // The meter is quiet while it is set up; closing the dialog starts it.
    auto* amp = station_->conversationAs<AmpConversation>();
    if (!amp)
        return;
    amp->sendStop();
    AmpSetupDialog dialog(*amp, options_.arguments.mid(1).join(QLatin1Char(' ')) == "dbg", this);
    dialog.setPrompts(*prompts_);
    dialog.exec();
    if (!settingsStore_->writeConvertUnits(settings_.ConvertUnits))
        station_->reportSettingNotSaved(settingsStore_->ini().lastError());
}

void MainWindow::startAmplifier() {
    if (auto* amp = station_->conversationAs<AmpConversation>())
        amp->sendStart();
}

void MainWindow::stopAmplifier() {
    if (auto* amp = station_->conversationAs<AmpConversation>())
        amp->sendStop();
}

void MainWindow::choosePort() {
    PortDialog dialog(
        port_, *portFile_,
        [this](int16_t port, int32_t baud, QString* detail) {
            return station_->reopenPort(port, baud, detail);
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
