#include "ui/main_window.h"

#include "common/datetime.h"
#include "common/paths.h"
#include "common/spreadsheet_check.h"
#include "common/strings.h"
#include "common/text.h"
#include "protocol/portables.h"
#include "station/amp_conversation.h"
#include "station/serial_link.h"
#include "ui/about_dialog.h"
#include "ui/alarm_sound.h"
#include "ui/calibration_dialog.h"
#include "ui/debug_window.h"
#include "ui/interval_dialog.h"
#include "ui/legend_dialog.h"
#include "ui/parameters_dialog.h"
#include "ui/set_ser_port_dialog.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
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

constexpr int TwipsPerPixel = 15;

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

QColor toQColor(const Rgb& c) {
    return c.isValid() ? QColor(c.red, c.green, c.blue) : QColor();
}

} // namespace

MainWindow::MainWindow(Options options, QWidget* parent)
    : QMainWindow(parent), options_(std::move(options)) {
    if (options_.transport) {
        transport_ = options_.transport;
    } else {
        ownedTransport_ = std::make_unique<SerialLink>();
        transport_ = ownedTransport_.get();
    }
    if (options_.clock) {
        clock_ = options_.clock;
    } else {
        ownedClock_ = std::make_unique<SystemClock>();
        clock_ = ownedClock_.get();
    }
    setObjectName(QStringLiteral("frmMain"));
    buildUi();
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

void MainWindow::Form_Load() {
    // 1, 2: read-outs of the automatic measurement hidden; the caption.
    edAuto_->hide();
    ProgressBar1_->hide();
    setWindowTitle(QStringLiteral("Zel"));
    const QString workingPath = programFile(QStringLiteral("ZelTemp.csv"));
    // 3: "dbg" on the command line shows the debug button.
    for (const QString& a : options_.arguments.mid(1))
        if (a.contains(QLatin1String("dbg")))
            btDebug_->show();
    // 6: settings, with the port key in between.
    settingsStore_ = std::make_unique<SettingsStore>(settingsFilePath());
    portFile_ = std::make_unique<PortSettingsFile>(portSettingsFilePath());
    settingsStore_->readFirst(settings_);
    const bool portNamed = portFile_->readPort(port_);
    if (!portNamed) {
        critical(QStringLiteral("Port not opened, Use Set Port "),
                 QStringLiteral("Error in Communication"), QString());
    } else {
        portFile_->readBaudRate(port_);
        settingsStore_->readRest(settings_);
    }
    if (settings_.InstrumentType < 0 || settings_.InstrumentType > 3)
        settings_.InstrumentType = 0;

    // 7: the list, laid out for the family chosen now.
    list_ = std::make_unique<MeasurementList>(settings_.InstrumentType);
    data_ = std::make_unique<DataStore>(workingPath);
    station_ = std::make_unique<Station>(Station::Parts{*transport_, *this, *clock_, settings_,
                                                        *settingsStore_, port_, *portFile_, *data_,
                                                        *list_});
    data_->headerProvider = [this] { return station_->currentHeader(); };
    connect(station_.get(), &Station::calibrationReceived, this, [this](const QByteArray& frame) {
        if (const auto record = parsePortablesCalibration(frame))
            CalibrationDialog::showRecord(this, *record);
    });
    station_->setInterval(settingsStore_->readInterval());
    buildList();

    // 8: the family option; no port yet, so no test.
    if (auto* b = chkInstType_->button(settings_.InstrumentType))
        b->setChecked(true);
    station_->chooseFamily(settings_.InstrumentType);

    // 9: the port, and the first connection test.
    if (portNamed)
        station_->openPortAtStartup();
    // 11: families 0 and 1 wait for the instrument; 2 and 3 are idle.
    station_->enterStartupState();
    // 12: alarm colours start neutral until the first reading.
    // 13: the sound and debug windows exist, hidden.
    sound_ = new AlarmSound(this);
    // 14: the readings of the previous run, counted and ready for the graph.
    data_->ensureWorkingFile();
    station_->readWorkingFile();
    // 15, 16
    spreadsheetAvailable_ = spreadsheetProgramAvailable();
    SetControls();
    // 17
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
    lblValue_ = new QLabel(QStringLiteral("---"), central);
    lblValue_->setObjectName(QStringLiteral("lblValue"));
    lblValue_->setAccessibleName(QStringLiteral("Value"));
    lblValue_->setToolTip(QStringLiteral("Latest reading; click to mute the alarm"));
    lblValue_->setAlignment(Qt::AlignCenter);
    lblValue_->setMinimumHeight(90);
    QFont big = lblValue_->font();
    big.setPointSize(36);
    big.setBold(true);
    lblValue_->setFont(big);
    lblValue_->setFrameShape(QFrame::Panel);
    lblValue_->setFrameShadow(QFrame::Sunken);
    lblValue_->setCursor(Qt::PointingHandCursor);
    lblValue_->installEventFilter(this);
    readouts->addWidget(lblValue_, 0, 0, 1, 4);

    lblDose_ = new QLabel(central);
    lblDose_->setObjectName(QStringLiteral("lblDose"));
    lblDose_->setAccessibleName(QStringLiteral("Dose"));
    QFont mid = lblDose_->font();
    mid.setPointSize(14);
    lblDose_->setFont(mid);
    readouts->addWidget(lblDose_, 1, 0, 1, 2);

    spOk_ = new QFrame(central);
    spOk_->setObjectName(QStringLiteral("spOk"));
    spOk_->setAccessibleName(QStringLiteral("Connection"));
    spOk_->setFixedSize(22, 22);
    spOk_->setFrameShape(QFrame::Box);
    spOk_->setToolTip(QStringLiteral("Connection to the instrument"));
    readouts->addWidget(spOk_, 1, 3, Qt::AlignRight);

    lblTime_ = new QLabel(central);
    lblTime_->setObjectName(QStringLiteral("lblTime"));
    lblTime_->setAccessibleName(QStringLiteral("Status"));
    lblTime_->setFont(mid);
    lblTime_->setMinimumWidth(300);
    readouts->addWidget(lblTime_, 2, 0, 1, 4);

    Label6_ = new QLabel(tr3("ID No.:", "ID-Nr.:", "מס' זיהוי:"), central);
    Label7_ = new QLabel(tr3("Detector:", "Detektor:", "גלאי:"), central);
    Label8_ = new QLabel(tr3("Status:", "Status:", "מצב:"), central);
    Label6_->setObjectName(QStringLiteral("Label6"));
    Label7_->setObjectName(QStringLiteral("Label7"));
    Label8_->setObjectName(QStringLiteral("Label8"));
    edId_ = makeReadout(QStringLiteral("edId"), QStringLiteral("ID No."), central);
    edDetector_ = makeReadout(QStringLiteral("edDetector"), QStringLiteral("Detector"), central);
    edStatus_ = makeReadout(QStringLiteral("edStatus"), QStringLiteral("Status"), central);
    Label6_->setBuddy(edId_);
    Label7_->setBuddy(edDetector_);
    Label8_->setBuddy(edStatus_);
    readouts->addWidget(Label6_, 3, 0);
    readouts->addWidget(edId_, 3, 1);
    readouts->addWidget(Label7_, 3, 2);
    readouts->addWidget(edDetector_, 3, 3);
    readouts->addWidget(Label8_, 4, 0);
    readouts->addWidget(edStatus_, 4, 1);
    auto* countLabel = new QLabel(tr3("Readings:", "Messwerte:", "קריאות:"), central);
    edCount_ = makeReadout(QStringLiteral("edCount"), QStringLiteral("Readings"), central);
    countLabel->setBuddy(edCount_);
    edProgress_ = makeReadout(QStringLiteral("edProgress"), QStringLiteral("Activity"), central);
    edProgress_->setMaximumWidth(40);
    auto* countRow = new QHBoxLayout;
    countRow->addWidget(edCount_);
    countRow->addWidget(edProgress_);
    readouts->addWidget(countLabel, 4, 2);
    readouts->addLayout(countRow, 4, 3);
    edAuto_ =
        makeReadout(QStringLiteral("edAuto"), tr3("Automatic", "Automatisch", "אוטומטי"), central);
    edAuto_->setText(tr3("Automatic", "Automatisch", "אוטומטי"));
    ProgressBar1_ = new QProgressBar(central);
    ProgressBar1_->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1_->setAccessibleName(QStringLiteral("Automatic measurement progress"));
    readouts->addWidget(edAuto_, 5, 0, 1, 2);
    readouts->addWidget(ProgressBar1_, 5, 2, 1, 2);
    // Extra height goes to the value read-out, not into gaps between rows.
    readouts->setRowStretch(0, 1);

    // Family, and the command buttons.
    auto* side = new QVBoxLayout;
    top->addLayout(side, 1);
    auto* family = new QGroupBox(tr3("Instrument", "Gerät", "מכשיר"), central);
    family->setObjectName(QStringLiteral("frInstrument"));
    auto* familyLayout = new QVBoxLayout(family);
    chkInstType_ = new QButtonGroup(this);
    const char* families[] = {"Portables", "Tarvo-5", "Amp + Vessa", "Orvan"};
    for (int i = 0; i < 4; ++i) {
        auto* r = new QRadioButton(QString::fromLatin1(families[i]), family);
        r->setObjectName(QStringLiteral("chkInstType_%1").arg(i));
        r->setAccessibleName(QString::fromLatin1(families[i]));
        chkInstType_->addButton(r, i);
        familyLayout->addWidget(r);
    }
    connect(chkInstType_, &QButtonGroup::idClicked, this, &MainWindow::chkInstType_Click);
    side->addWidget(family);

    auto* online = new QGroupBox(tr3("On Line", "Online", "מקוון"), central);
    auto* onlineLayout = new QVBoxLayout(online);
    btStart_ =
        makeButton(QStringLiteral("btStart"), tr3("Start", "Start", "התחל"), QString(), online);
    btOnLine_ = makeButton(
        QStringLiteral("btOnLine"), tr3("Set &Interval", "&Intervall", "קבע מרווח"),
        tr3("Send time interval to get data online",
            "Zeitintervall für die Online-Erfassung senden", "שלח מרווח זמן לקבלת נתונים מקוונים"),
        online);
    btOnLine_->setEnabled(false);
    onlineLayout->addWidget(btStart_);
    onlineLayout->addWidget(btOnLine_);
    side->addWidget(online);

    auto* listBox = new QGroupBox(tr3("List", "Liste", "רשימה"), central);
    auto* listLayout = new QVBoxLayout(listBox);
    btClearList_ = makeButton(QStringLiteral("btClearList"), tr3("&Clear ", "&Löschen ", "נקה"),
                              tr3("Clear the list", "Liste löschen", "נקה את הרשימה"), listBox);
    btClearList_->setEnabled(false);
    listLayout->addWidget(btClearList_);
    side->addWidget(listBox);

    auto* settingsBox = new QGroupBox(tr3("Settings", "Einstellungen", "הגדרות"), central);
    auto* settingsLayout = new QVBoxLayout(settingsBox);
    SetCom_ = makeButton(
        QStringLiteral("SetCom"), tr3("Set &Port", "&Schnittstelle", "קבע יציאה"),
        tr3("Set communication port", "Schnittstelle einstellen", "קבע יציאת תקשורת"), settingsBox);
    btSetTime_ = makeButton(
        QStringLiteral("btSetTime"), tr3("Send &Time", "&Zeit senden", "שלח זמן"),
        tr3("Download time to instrument", "Uhrzeit zum Gerät übertragen", "העבר זמן למכשיר"),
        settingsBox);
    settingsLayout->addWidget(SetCom_);
    settingsLayout->addWidget(btSetTime_);
    side->addWidget(settingsBox);

    btSave_ = makeButton(QStringLiteral("btSave"), tr3("&Save", "&Speichern", "שמור"),
                         QStringLiteral("Exit from program"), central);
    btExit_ = makeButton(QStringLiteral("btExit"), tr3("&Exit", "&Beenden", "יציאה"),
                         QStringLiteral("Exit from program"), central);
    btDax_ = makeButton(
        QStringLiteral("btDax"), tr3("Calibration", "Kalibrierung", "כיול"),
        QStringLiteral("Operate Halvex Meter Calibration. To Come back, close the DAX"), central);
    btGetData_ =
        makeButton(QStringLiteral("btGetData"), QStringLiteral("&Get Data"), QString(), central);
    btGetCalib_ = makeButton(QStringLiteral("btGetCalib"), QStringLiteral("calibration info"),
                             QStringLiteral("Retrieve Calibration data"), central);
    btGraph_ = makeButton(QStringLiteral("btGraph"), QStringLiteral("Graph"), QString(), central);
    btMuteAlarm_ = makeButton(QStringLiteral("btMuteAlarm"),
                              tr3("Mute Alarm", "Alarm stumm", "השתק אזעקה"), QString(), central);
    btSetThreshold_ = makeButton(QStringLiteral("btSetThreshold"), QStringLiteral("set Thresholds"),
                                 QString(), central);
    btGetLegend_ = makeButton(QStringLiteral("btGetLegend"),
                              tr3("Get &Legend", "&Legende", "קבל מקרא"), QString(), central);
    btDebug_ = makeButton(QStringLiteral("btDebug"), QStringLiteral("Dbg"), QString(), central);
    btStartAmp_ =
        makeButton(QStringLiteral("btStartAmp"), tr3("Start", "Start", "התחל"), QString(), central);
    btStop_ =
        makeButton(QStringLiteral("btStop"), tr3("Stop", "Stopp", "עצור"), QString(), central);
    btGape_ = makeButton(QStringLiteral("btGape"), QStringLiteral("gape"), QString(), central);
    side->addWidget(btSave_);
    side->addWidget(btDax_);
    side->addWidget(btDebug_);
    side->addWidget(btExit_);
    side->addStretch(1);
    for (QPushButton* hidden : {btGetData_, btGetCalib_, btGraph_, btMuteAlarm_, btSetThreshold_,
                                btGetLegend_, btDebug_, btStartAmp_, btStop_, btGape_, btDax_})
        hidden->hide();
    btGetData_->setEnabled(false);
    btGetCalib_->setEnabled(false);

    Grid1_ = new QTableView(central);
    Grid1_->setObjectName(QStringLiteral("Grid1"));
    Grid1_->setAccessibleName(QStringLiteral("Readings list"));
    Grid1_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    // The list holds numbers, units and date-times written left to right;
    // in a right-to-left layout their parts would be reordered.
    Grid1_->setLayoutDirection(Qt::LeftToRight);
    Grid1_->setSelectionBehavior(QAbstractItemView::SelectRows);
    Grid1_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Grid1_->verticalHeader()->setDefaultSectionSize(Grid1_->fontMetrics().height() + 4);
    root->addWidget(Grid1_, 1);

    connect(btStart_, &QPushButton::clicked, this, &MainWindow::btStart_Click);
    connect(btOnLine_, &QPushButton::clicked, this, &MainWindow::btOnLine_Click);
    connect(btClearList_, &QPushButton::clicked, this, &MainWindow::btClearList_Click);
    connect(SetCom_, &QPushButton::clicked, this, &MainWindow::SetCom_Click);
    connect(btSetTime_, &QPushButton::clicked, this, &MainWindow::btSetTime_Click);
    connect(btSave_, &QPushButton::clicked, this, &MainWindow::btSave_Click);
    connect(btExit_, &QPushButton::clicked, this, &MainWindow::close);
    connect(btDax_, &QPushButton::clicked, this, &MainWindow::btDax_Click);
    connect(btGetData_, &QPushButton::clicked, this, &MainWindow::btGetData_Click);
    connect(btGetCalib_, &QPushButton::clicked, this, &MainWindow::btGetCalib_Click);
    connect(btGraph_, &QPushButton::clicked, this, &MainWindow::btGraph_Click);
    connect(btMuteAlarm_, &QPushButton::clicked, this, &MainWindow::btMuteAlarm_Click);
    connect(btSetThreshold_, &QPushButton::clicked, this, &MainWindow::btSetThreshold_Click);
    connect(btGetLegend_, &QPushButton::clicked, this, &MainWindow::btGetLegend_Click);
    connect(btDebug_, &QPushButton::clicked, this, &MainWindow::btDebug_Click);

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
    QMenu* data = menuBar()->addMenu(tr3("&Data", "&Daten", "נתונים"));
    mnStart_ =
        add(data, QStringLiteral("mnStart"), tr3("&Start Online", "Online &starten", "התחל מקוון"),
            &MainWindow::btStart_Click);
    mnStart_->setShortcut(QKeySequence(Qt::Key_F5));
    mnGetData_ = add(data, QStringLiteral("mnGetData"),
                     tr3("&Get Offline Data", "Offline-Daten &holen", "קבל נתונים לא מקוונים"),
                     &MainWindow::btGetData_Click);
    mnGetData_->setEnabled(false);
    mnGetLegend_ = add(data, QStringLiteral("mnGetLegend"),
                       tr3("Get &Legend", "&Legende", "קבל מקרא"), &MainWindow::btGetLegend_Click);
    mnGetCalibration_ = add(data, QStringLiteral("mnGetCalibration"),
                            tr3("Get &Calibration data", "&Kalibrierdaten holen", "קבל נתוני כיול"),
                            &MainWindow::btGetCalib_Click);
    mnGetCalibration_->setEnabled(false);

    QMenu* setting = menuBar()->addMenu(tr3("&Setting", "&Einstellungen", "הגדרות"));
    mnOnline_ = add(setting, QStringLiteral("mnOnline"),
                    tr3("On Line &Interval", "Online-&Intervall", "מרווח מקוון"),
                    &MainWindow::btOnLine_Click);
    mnSetCom_ = add(setting, QStringLiteral("mnSetCom"),
                    tr3("Communication &Port", "&Schnittstelle", "יציאת תקשורת"),
                    &MainWindow::SetCom_Click);
    mnSetThreshold_ =
        add(setting, QStringLiteral("mnSetThreshold"), tr3("P&arameters", "P&arameter", "פרמטרים"),
            &MainWindow::btSetThreshold_Click);
    mnSetAmp_ =
        add(setting, QStringLiteral("mnSetAmp"),
            tr3("Setup A&mp", "&Verstärker einrichten", "הגדרת מגבר"), &MainWindow::mnSetAmp_Click);

    QMenu* utility = menuBar()->addMenu(tr3("&Utility", "E&xtras", "כלים"));
    mnAuto_ =
        add(utility, QStringLiteral("mnAuto"), tr3("&Automatic", "&Automatisch", "אוטומטי"), [] {});
    mnAuto_->setEnabled(false);
    mnWrFile_ = add(utility, QStringLiteral("mnWrFile"), tr3("&Save", "&Speichern", "שמור"),
                    &MainWindow::btSave_Click);
    mnWrFile_->setShortcut(QKeySequence::Save);
    mnSendTime_ = add(utility, QStringLiteral("mnSendTime"),
                      tr3("Send &Time", "&Zeit senden", "שלח זמן"), &MainWindow::btSetTime_Click);
    mnGraph_ = add(utility, QStringLiteral("mnGraph"), tr3("&Graph", "&Grafik", "גרף"),
                   &MainWindow::btGraph_Click);
    mnTest_ = add(utility, QStringLiteral("mnTest"), tr3("T&est", "&Test", "בדיקה"),
                  &MainWindow::mnTest_Click);
    mnTest_->setEnabled(false);

    QMenu* help = menuBar()->addMenu(tr3("&Help", "&Hilfe", "עזרה"));
    mnAbout_ = add(help, QStringLiteral("mnAbout"), tr3("&About", "Ü&ber", "אודות"),
                   &MainWindow::mnAbout_Click);
}

void MainWindow::buildToolbar() {
    Toolbar1_ = addToolBar(QStringLiteral("Toolbar1"));
    Toolbar1_->setObjectName(QStringLiteral("Toolbar1"));
    Toolbar1_->setMovable(false);
    auto add = [this](const QString& key, const QString& tip, const QIcon& icon, auto slot) {
        QAction* a = Toolbar1_->addAction(icon, tip);
        a->setObjectName(QStringLiteral("tb_") + key);
        a->setData(key);
        a->setToolTip(tip);
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    tbStart_ =
        add(QStringLiteral("mnStart"),
            tr3("Start/Stop On line Collection", "Online-Erfassung starten/stoppen",
                "התחל/עצור איסוף מקוון"),
            themed("media-playback-start", QStyle::SP_MediaPlay), &MainWindow::btStart_Click);
    tbStart_->setCheckable(true);
    tbMute_ = add(QStringLiteral("mnMuteAlarm"), tr3("Mute Alarm", "Alarm stumm", "השתק אזעקה"),
                  themed("audio-volume-muted", QStyle::SP_MediaVolumeMuted),
                  &MainWindow::btMuteAlarm_Click);
    tbGetData_ = add(QStringLiteral("mnGetData"),
                     tr3("Get Offline data from instrument", "Offline-Daten vom Gerät holen",
                         "קבל נתונים לא מקוונים מהמכשיר"),
                     themed("document-import", QStyle::SP_ArrowDown), &MainWindow::btGetData_Click);
    tbGetData_->setEnabled(false);
    tbGraph_ = add(QStringLiteral("mnGraph"), tr3("Display Graph", "Grafik anzeigen", "הצג גרף"),
                   themed("x-office-spreadsheet", QStyle::SP_FileDialogDetailedView),
                   &MainWindow::btGraph_Click);
    tbClear_ = add(QStringLiteral("mnClear"), tr3("Clear List", "Liste löschen", "נקה רשימה"),
                   themed("edit-clear", QStyle::SP_DialogResetButton), &MainWindow::mnClear_Click);
    tbAuto_ = add(QStringLiteral("mnAuto"), tr3("Automatic", "Automatisch", "אוטומטי"),
                  themed("chronometer", QStyle::SP_BrowserReload), [] {});
    tbAuto_->setEnabled(false);
}

void MainWindow::buildList() {
    Grid1_->setModel(list_.get());
    // The twip widths were chosen for a proportional font; the list uses a
    // fixed one so padded numbers line up, so each column is at least wide
    // enough for its padded text.
    const int charWidth = QFontMetrics(Grid1_->font()).horizontalAdvance(QLatin1Char('0'));
    const int minChars[MeasurementList::Columns] = {10, 19, 2, 9, 10, 10, 12};
    for (int c = 0; c < MeasurementList::Columns; ++c) {
        Grid1_->setColumnHidden(c, list_->columnHidden(c));
        Grid1_->setColumnWidth(
            c, std::max(list_->columnWidthTwips(c) / TwipsPerPixel, charWidth * minChars[c] + 8));
    }
    if (settings_.InstrumentType == Orvan) {
        Label6_->setText(QStringLiteral("Americium"));
        Label7_->setText(QStringLiteral("Cobalt"));
        Label8_->setText(QStringLiteral("Cesium"));
    }
    Grid1_->horizontalHeader()->setStretchLastSection(true);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lblValue_ && event->type() == QEvent::MouseButtonRelease)
        btMuteAlarm_Click();
    return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------- StationView

// Style sheets are re-applied only when a colour really changes: a restyle
// costs far more than the text of a reading, which arrives ten times a second.
void MainWindow::setStatus(const QString& text, const Rgb& color) {
    lblTime_->setText(text);
    if (color.isValid() && !(color == statusColor_)) {
        statusColor_ = color;
        lblTime_->setStyleSheet(QStringLiteral("color: %1;").arg(toQColor(color).name()));
    }
}

void MainWindow::setLamp(const Rgb& color) {
    if (color == lampColor_)
        return;
    lampColor_ = color;
    spOk_->setStyleSheet(
        QStringLiteral("background-color: %1; border-radius: 11px; border: 1px solid gray;")
            .arg(toQColor(color).name()));
}

void MainWindow::setValueText(const QString& text) {
    lblValue_->setText(text);
}
void MainWindow::setValueColor(const Rgb& color) {
    setBackground(lblValue_, toQColor(color));
}
void MainWindow::setDoseText(const QString& text) {
    lblDose_->setText(text);
}

void MainWindow::setReadingDetails(const QString& id, const QString& status,
                                   const QString& detector) {
    edId_->setText(id);
    edStatus_->setText(status);
    edDetector_->setText(detector);
}

void MainWindow::setCount(qint32 count) {
    edCount_->setText(QString::number(count));
}
void MainWindow::setProgress(const QString& spinner) {
    edProgress_->setText(spinner);
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
        btStart_->setEnabled(enabled);
        mnStart_->setEnabled(enabled);
        tbStart_->setEnabled(enabled);
        break;
    case Command::GetData:
        btGetData_->setEnabled(enabled);
        mnGetData_->setEnabled(enabled);
        tbGetData_->setEnabled(enabled);
        break;
    case Command::Interval:
        btOnLine_->setEnabled(enabled);
        mnOnline_->setEnabled(enabled);
        break;
    case Command::Calibration:
        btGetCalib_->setEnabled(enabled);
        mnGetCalibration_->setEnabled(enabled);
        break;
    case Command::Test:
        mnTest_->setEnabled(enabled);
        break;
    case Command::Auto:
        mnAuto_->setEnabled(enabled);
        tbAuto_->setEnabled(enabled);
        break;
    }
}

void MainWindow::showOnline(bool running) {
    if (running) {
        setBackground(btStart_, QColor(0, 255, 0));
        btStart_->setText(tr3("Stop", "Stopp", "עצור"));
        btStart_->setAccessibleName(tr3("Stop", "Stopp", "עצור"));
        mnStart_->setText(tr3("Stop Online", "Online stoppen", "עצור מקוון"));
        tbStart_->setChecked(true);
    } else {
        setBackground(btStart_, QColor(255, 128, 0));
        btStart_->setText(tr3("Start", "Start", "התחל"));
        btStart_->setAccessibleName(tr3("Start", "Start", "התחל"));
        mnStart_->setText(tr3("Start Online", "Online starten", "התחל מקוון"));
        tbStart_->setChecked(false);
    }
}

Answer MainWindow::ask(const QString& text, const QString& title, bool withCancel) {
    if (answerHook)
        return answerHook(text, title, withCancel);
    QMessageBox::StandardButtons buttons = QMessageBox::Yes | QMessageBox::No;
    if (withCancel)
        buttons |= QMessageBox::Cancel;
    const auto r = QMessageBox::question(this, title, text, buttons);
    if (r == QMessageBox::Yes)
        return Answer::Yes;
    if (r == QMessageBox::No)
        return Answer::No;
    return Answer::Cancel;
}

void MainWindow::critical(const QString& text, const QString& title, const QString& detail) {
    if (messageHook) {
        messageHook(text);
        return;
    }
    QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Ok, this);
    if (!detail.isEmpty())
        box.setDetailedText(detail);
    box.exec();
}

void MainWindow::information(const QString& text, const QString& title) {
    if (messageHook) {
        messageHook(text);
        return;
    }
    QMessageBox::information(this, title, text);
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
        sound_->MakeSound();
}
void MainWindow::readingTaken(double value) {
    emit liveReading(value);
}

// ---------------------------------------------------------------- commands

void MainWindow::SetControls() {
    if (!list_ || !data_)
        return;
    const bool rows = list_->RowIndex > 0;
    btSave_->setEnabled(rows);
    btClearList_->setEnabled(rows);
    mnWrFile_->setEnabled(rows && spreadsheetAvailable_);
    const bool graph = data_->series.SeriesLast >= 7;
    btGraph_->setEnabled(graph);
    mnGraph_->setEnabled(graph);
    tbGraph_->setEnabled(graph);
    btDax_->setVisible(QFileInfo::exists(daxPath()));
    const int f = settings_.InstrumentType;
    mnGetCalibration_->setVisible(f == Portables);
    mnSendTime_->setVisible(f == Portables || f == Tarvo5);
    btSetTime_->setVisible(f == Portables || f == Tarvo5);
    mnSetAmp_->setVisible(f == AmpVessa);
    mnOnline_->setVisible(f != AmpVessa);
    btOnLine_->setVisible(f != AmpVessa);
    mnTest_->setVisible(true);
    mnGetData_->setVisible(f == Portables || f == Tarvo5);
    if (station_)
        station_->applyFrameRules();
}

void MainWindow::btStart_Click() {
    station_->toggleOnline();
}
void MainWindow::btGetData_Click() {
    station_->getData();
}

void MainWindow::btGraph_Click() {
    station_->readWorkingFile();
    // The graph window takes the series from here once it exists.
}

void MainWindow::btClearList_Click() {
    if (answerHook) {
        if (answerHook(QStringLiteral("Clear List.\n Are you sure ?"), QStringLiteral(" "),
                       false) == Answer::Yes)
            station_->clearList();
        return;
    }
    if (QMessageBox::question(this, QStringLiteral(" "),
                              QStringLiteral("Clear List.\n Are you sure ?"),
                              QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes)
        station_->clearList();
}

void MainWindow::mnClear_Click() {
    if (ask(QStringLiteral("Are you sure you want to clear the list? "), QString(), false) ==
        Answer::Yes)
        station_->clearList();
}

void MainWindow::btMuteAlarm_Click() {
    if (sound_)
        sound_->MuteAlarm();
}

IntervalDialog& MainWindow::intervalDialog() {
    if (!interval_)
        interval_ = new IntervalDialog(*settingsStore_, this);
    return *interval_;
}

void MainWindow::btOnLine_Click() {
    IntervalDialog& d = intervalDialog();
    d.exec();
    station_->setInterval(Interval{d.Minutes, d.Seconds});
    if (d.Minutes != 0 || d.Seconds != 0) {
        btStart_->setEnabled(true);
        mnStart_->setEnabled(true);
        mnAuto_->setEnabled(true);
        tbStart_->setEnabled(true);
        tbAuto_->setEnabled(true);
    }
}

void MainWindow::btSetThreshold_Click() {
    if (!parameters_)
        parameters_ = new ParametersDialog(this);
    parameters_->takeFrom(settings_);
    parameters_->exec();
    if (parameters_->Result == 1) {
        parameters_->giveTo(settings_);
        settingsStore_->writeParameters(settings_);
        SetControls();
    }
}

void MainWindow::btSetTime_Click() {
    station_->sendTime();
}

void MainWindow::btGetLegend_Click() {
    if (!legend_)
        legend_ = new LegendDialog(*settingsStore_, this);
    if (legend_->exec() == QDialog::Accepted)
        station_->setLegend(Legend{legend_->Department, legend_->Date, legend_->Detector,
                                   legend_->Location, legend_->Personnel});
}

void MainWindow::btGetCalib_Click() {
    station_->requestCalibration();
}

void MainWindow::mnSetAmp_Click() {
    if (auto* amp = dynamic_cast<AmpConversation*>(&station_->conversation()))
        amp->sendStop();
    settingsStore_->writeConvertUnits(settings_.ConvertUnits);
}

void MainWindow::SetCom_Click() {
    SetSerPortDialog dialog(
        port_, *portFile_,
        [this](int16_t port, int32_t baud, QString* detail) {
            return station_->reopenPort(port, baud, detail);
        },
        zelPortDialogVariant(), this);
    dialog.exec();
}

void MainWindow::mnTest_Click() {
    station_->testIfPortOpen();
}

void MainWindow::mnAbout_Click() {
    AboutDialog about(this);
    about.exec();
}

void MainWindow::btDebug_Click() {
    debug_->show();
    debug_->raise();
}

void MainWindow::btDax_Click() {
    if (!QProcess::startDetached(daxPath(), {}, programFolder())) {
        critical(QStringLiteral("The calibration program could not be started."),
                 tr3("Calibration", "Kalibrierung", "כיול"), daxPath());
        return;
    }
    close();
}

void MainWindow::btSave_Click() {
    SaveData(false);
}

void MainWindow::SaveData(bool exitAfter) {
    const QString folder = programFile(QStringLiteral("data"));
    QDir().mkpath(folder);
    const QString suggested = QStringLiteral("ZelData") + QString::number(settings_.FileNumber);
    QString name;
    if (saveFileHook) {
        name = saveFileHook(folder, suggested);
    } else {
        name = QFileDialog::getSaveFileName(this, QStringLiteral("Save"),
                                            folder + QLatin1Char('/') + suggested,
                                            QStringLiteral("Csv Files (*.csv);;All Files (*)"));
    }
    if (!name.isEmpty()) {
        if (station_->saveToFile(name))
            data_->Unsaved = false;
    }
    if (exitAfter) {
        station_->shutdown();
        exiting_ = true;
        close();
    }
}

void MainWindow::chkInstType_Click(int index) {
    station_->chooseFamily(int16_t(index));
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (exiting_ || !station_) {
        event->accept();
        return;
    }
    if (data_->Unsaved) {
        const Answer a = ask(QStringLiteral("Do you want to save data before exiting ?"),
                             QStringLiteral("Zel"), true);
        if (a == Answer::Cancel) {
            event->ignore();
            return;
        }
        if (a == Answer::Yes) {
            event->ignore();
            SaveData(true);
            return;
        }
    }
    station_->shutdown();
    exiting_ = true;
    if (debug_)
        debug_->close();
    event->accept();
}

} // namespace zel
