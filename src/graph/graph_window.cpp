#include "graph/graph_window.h"

#include "common/datetime.h"
#include "common/paths.h"
#include "common/safe_file.h"
#include "common/sliced_job.h"
#include "common/strings.h"
#include "common/text.h"
#include "graph/data_handle_dialog.h"
#include "graph/data_list.h"
#include "graph/data_list_window.h"
#include "graph/distribution_window.h"
#include "graph/format_value.h"
#include "widgets/accelerators.h"
#include "widgets/prompts.h"
#include "widgets/spoken_text.h"
#include "widgets/wait_dialog.h"
#include "widgets/window_arrangement.h"

#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenuBar>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QVBoxLayout>
#include <cmath>

namespace zel::graph {

namespace {

QString& placementFile() {
    static QString path;
    return path;
}

// The placement's section "Size" lies under a key that begins with the
// program folder, so two installations of one user keep their own.
std::unique_ptr<QSettings> placementSettings() {
    auto settings = placementFile().isEmpty()
                        ? std::make_unique<QSettings>()
                        : std::make_unique<QSettings>(placementFile(), QSettings::IniFormat);
    settings->beginGroup(QDir::cleanPath(programFolder()) + QStringLiteral("/frmGraph"));
    return settings;
}

// The left edge (in twips) of a placement never saved.
constexpr int UnmovedLeft = 11;
// A drag must span more than this many seconds to zoom.
constexpr double MinZoomSeconds = 10;
constexpr double SecondsPerDay = 86400;
const QColor ActiveLegend(255, 255, 192);

QString styleColor(const QColor& c) {
    return c.name(QColor::HexRgb);
}

// Work between two looks at the clock.
constexpr int32_t ExportSlice = 256;
constexpr int ListSlice = 16;

bool printerAvailable() {
    return !QPrinterInfo::availablePrinterNames().isEmpty();
}

// A series name as part of a suggested file name.
QString fileNameOf(const QString& name) {
    QString n = name.trimmed();
    n.replace(u'/', u'_');
    return n;
}

// Counts are grouped as the windows' language writes them ("10,001",
// "10.001").
QLocale languageLocale() {
    switch (currentLanguage()) {
    case Language::German:
        return QLocale(QLocale::German, QLocale::Germany);
    case Language::Hebrew:
        return QLocale(QLocale::Hebrew, QLocale::Israel);
    case Language::English:
        break;
    }
    return QLocale(QLocale::English, QLocale::UnitedStates);
}

} // namespace

void GraphWindow::setPlacementFile(const QString& path) {
    placementFile() = path;
}

GraphWindow::GraphWindow(QWidget* parent) : QMainWindow(parent), prompts_(&dialogPrompts()) {
    setObjectName(QStringLiteral("frmGraph"));
    setWindowFlag(Qt::Window);
    setWindowTitle(tr("Graph for point: "));
    buildMenus();
    buildControls();
    resize(820, 560);
    restorePlacement();
    keepAccelerators(*this);
}

GraphWindow::~GraphWindow() = default;

// ---------------------------------------------------------------- building

void GraphWindow::buildMenus() {
    QMenuBar* bar = menuBar();
    auto named = [](QAction* a, const char* name) {
        a->setObjectName(QLatin1String(name));
        return a;
    };
    exitAction_ = named(bar->addAction(tr("Exit")), "mnExit");
    connect(exitAction_, &QAction::triggered, this, &QWidget::close);

    QMenu* parameters = bar->addMenu(tr("Parameters"));
    parameters->menuAction()->setObjectName(QStringLiteral("mnParameters"));
    markAction_ = named(parameters->addAction(tr("Mark")), "mnMark");
    markAction_->setCheckable(true);
    connect(markAction_, &QAction::toggled, this, [this] { redraw(); });
    parameters->addSeparator();
    auto* scaleGroup = new QActionGroup(this);
    const QString scaleCaptions[6] = {tr("Auto"),
                                      tr("Manual"),
                                      QStringLiteral("0-10"),
                                      QStringLiteral("0-100"),
                                      QStringLiteral("0-1000"),
                                      tr("Specific")};
    const char* scaleNames[6] = {"mnAuto", "mnManual", "mn10", "mn100", "mn1000", "mnSpecific"};
    for (int i = 0; i < 6; ++i) {
        QAction* a = named(parameters->addAction(scaleCaptions[i]), scaleNames[i]);
        a->setCheckable(true);
        scaleGroup->addAction(a);
        connect(a, &QAction::triggered, this, [this, i] { setScaleMode(ScaleMode(i)); });
        scaleActions_[size_t(i)] = a;
    }
    scaleActions_[0]->setChecked(true);
    scaleActions_[1]->setEnabled(false);
    parameters->addSeparator();
    auto* reductionGroup = new QActionGroup(this);
    maxAction_ = named(parameters->addAction(tr("Maximum")), "mnMax");
    averageAction_ = named(parameters->addAction(tr("Average")), "mnAverage");
    for (QAction* a : {maxAction_, averageAction_}) {
        a->setCheckable(true);
        reductionGroup->addAction(a);
    }
    averageAction_->setChecked(true);
    connect(maxAction_, &QAction::triggered, this, [this] { setReduction(Reduction::Maximum); });
    connect(averageAction_, &QAction::triggered, this,
            [this] { setReduction(Reduction::Average); });

    allAction_ = named(bar->addAction(tr("All Data")), "mnAll");
    connect(allAction_, &QAction::triggered, this, [this] {
        markAction_->setChecked(false);
        plot_->unsetCursor();
        showAll();
    });
    listAction_ = named(bar->addAction(tr("List")), "mnList");
    connect(listAction_, &QAction::triggered, this, &GraphWindow::showList);
    distributionAction_ = named(bar->addAction(tr("Distribution")), "mnDistribution");
    connect(distributionAction_, &QAction::triggered, this, &GraphWindow::showDistribution);
    onlineAction_ = named(bar->addAction(tr("OnLine")), "mnOnline");
    connect(onlineAction_, &QAction::triggered, this, &GraphWindow::toggleOnline);
    QMenu* exportMenu = bar->addMenu(tr("Export"));
    exportMenu->menuAction()->setObjectName(QStringLiteral("mnExport"));
    connect(named(exportMenu->addAction(tr("Average To Csv")), "mnCsv"), &QAction::triggered, this,
            &GraphWindow::exportAverage);
    connect(named(exportMenu->addAction(tr("All To Csv")), "mnAllToCsv"), &QAction::triggered, this,
            &GraphWindow::exportAll);
    connect(named(exportMenu->addAction(tr("Save Set Graph")), "mnSaveSet"), &QAction::triggered,
            this, &GraphWindow::saveGraphSetAs);
    backAction_ = named(bar->addAction(QStringLiteral("<-")), "mnBack");
    forwardAction_ = named(bar->addAction(QStringLiteral("->")), "mnFor");
    backAction_->setEnabled(false);
    forwardAction_->setEnabled(false);
    connect(backAction_, &QAction::triggered, this, &GraphWindow::goBack);
    connect(forwardAction_, &QAction::triggered, this, &GraphWindow::goForward);
    printAction_ = named(bar->addAction(tr("Print")), "mnPrint");
    printAction_->setEnabled(false); // until a printer is found
    connect(printAction_, &QAction::triggered, this, &GraphWindow::print);
    // Many desktops have no printer: a PDF of the same page always works.
    printPdfAction_ = named(bar->addAction(tr("Print to PDF…")), "mnPrintPdf");
    connect(printPdfAction_, &QAction::triggered, this, &GraphWindow::printToPdf);
    connect(named(bar->addAction(tr("Page Heading…")), "mnPrintHeading"), &QAction::triggered, this,
            &GraphWindow::editPrintHeading);
}

void GraphWindow::editPrintHeading() {
    const std::optional<QString> heading =
        prompts_->text(this, tr("Page Heading"), tr("Heading of the printed page:"), printHeading_);
    if (!heading)
        return;
    // One line: the page has room for one above the first band.
    printHeading_ = heading->simplified();
    emit printHeadingChanged(printHeading_);
}

void GraphWindow::buildControls() {
    auto* central = new QWidget(this);
    setCentralWidget(central);
    auto* top = new QVBoxLayout(central);
    top->setContentsMargins(6, 4, 6, 6);

    // Legend: one entry per slot with its display box and its value at the
    // selected point.
    auto* legendRow = new QHBoxLayout;
    for (int s = 0; s < SlotCount; ++s) {
        auto* box = new QCheckBox(central);
        box->setObjectName(QStringLiteral("chkDisplayGraph_%1").arg(s));
        box->setAccessibleName(tr("Show series %1").arg(s + 1));
        auto* entry = new QLabel(central);
        entry->setObjectName(QStringLiteral("edShowData_%1").arg(s));
        entry->setStyleSheet(QStringLiteral("color: %1; background: white; padding: 1px 4px;")
                                 .arg(styleColor(seriesColor(s))));
        entry->installEventFilter(this);
        auto* value = new QLabel(central);
        value->setObjectName(QStringLiteral("edData_%1").arg(s));
        value->setMinimumWidth(90);
        value->setStyleSheet(QStringLiteral("color: %1;").arg(styleColor(seriesColor(s))));
        legendRow->addWidget(box);
        legendRow->addWidget(entry);
        legendRow->addWidget(value);
        for (QWidget* w : {static_cast<QWidget*>(box), static_cast<QWidget*>(entry),
                           static_cast<QWidget*>(value)})
            w->setVisible(false);
        legend_[size_t(s)] = entry;
        display_[size_t(s)] = box;
        data_[size_t(s)] = value;
        connect(box, &QCheckBox::toggled, this, [this, s](bool on) {
            if (!on && s == store_.activeSeries) {
                // The highest-numbered ticked series takes over.
                for (int k = SlotCount - 1; k >= 0; --k)
                    if (display_[size_t(k)]->isChecked()) {
                        store_.activeSeries = k;
                        break;
                    }
            }
            refresh();
        });
    }
    legendRow->addStretch(1);
    showTime_ = new QLabel(central);
    showTime_->setObjectName(QStringLiteral("edShowTime"));
    // The read-out is announced as the status line is: its name is the
    // point's time and values (readOutPoint).
    showTime_->setAccessibleDescription(tr("Time of the selected point"));
    legendRow->addWidget(showTime_);
    top->addLayout(legendRow);

    // Left column: units of the value axis, the scale boxes, manual scale.
    auto* middle = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    units_ = new QLabel(central);
    units_->setObjectName(QStringLiteral("edUnits"));
    left->addWidget(units_);
    for (int s = 0; s < SlotCount; ++s) {
        auto* box = new QLineEdit(central);
        box->setObjectName(QStringLiteral("edScale_%1").arg(s));
        box->setAccessibleName(tr("Top of scale"));
        box->setToolTip(tr("Top of scale; double-click to use it"));
        box->setMaximumWidth(80);
        box->setStyleSheet(QStringLiteral("color: %1;").arg(styleColor(seriesColor(s))));
        box->installEventFilter(this);
        box->setVisible(false);
        connect(box, &QLineEdit::editingFinished, this, [this] {
            if (scaleMode_ == ScaleMode::Specific)
                refresh();
        });
        scaleBox_[size_t(s)] = box;
        left->addWidget(box);
    }
    left->addStretch(1);
    manualTop_ = new QLineEdit(central);
    manualTop_->setObjectName(QStringLiteral("edManualScal"));
    manualTop_->setAccessibleName(tr("Manual top of scale"));
    manualTop_->setMaximumWidth(80);
    manualButton_ = new QPushButton(tr("Manual"), central);
    manualButton_->setObjectName(QStringLiteral("cmdManual"));
    manualButton_->setEnabled(false);
    left->addWidget(manualTop_);
    left->addWidget(manualButton_);
    connect(manualTop_, &QLineEdit::textChanged, this, [this] { updateManualEnabled(); });
    connect(manualButton_, &QPushButton::clicked, this, &GraphWindow::toggleManual);
    middle->addLayout(left);

    plot_ = new GraphPlotWidget(central);
    plot_->setObjectName(QStringLiteral("Picture1_0"));
    plot_->setAccessibleName(tr("Graph"));
    middle->addWidget(plot_, 1);
    top->addLayout(middle, 1);
    connect(plot_, &GraphPlotWidget::selectionStarted, this, &GraphWindow::onSelectionStarted);
    connect(plot_, &GraphPlotWidget::selectionMoved, this, &GraphWindow::onSelectionMoved);
    connect(plot_, &GraphPlotWidget::selectionFinished, this, &GraphWindow::onSelectionFinished);
    connect(plot_, &GraphPlotWidget::arrowReleased, this, [this](int delta) {
        const int64_t k = int64_t(selectedPoint_) + delta;
        if (k >= 0 && k <= store_.displayCount())
            readOutPoint(int32_t(k));
    });
    connect(plot_, &GraphPlotWidget::zoomMarkChanged, this, &GraphWindow::describeKeys);
    connect(plot_, &GraphPlotWidget::zoomRequested, this, &GraphWindow::zoomFromKeyboard);
    plot_->setToolTip(keyboardHelp());
    describeKeys();

    // Figures of the period on screen.
    stats_ = new QLabel(central);
    stats_->setObjectName(QStringLiteral("lblStats"));
    stats_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // A long line of figures (German, or "newest … of …") wraps rather than
    // widening the window past the screen.
    stats_->setWordWrap(true);
    top->addWidget(stats_);

    auto* buttons = new QHBoxLayout;
    auto button = [&](const char* name, const QString& caption) {
        auto* b = new QPushButton(caption, central);
        b->setObjectName(QLatin1String(name));
        buttons->addWidget(b);
        return b;
    };
    refreshButton_ = button("btRefreash", tr("Refresh"));
    zoomBox_ = new QCheckBox(tr("Max"), central);
    zoomBox_->setObjectName(QStringLiteral("chkZoom"));
    zoomBox_->setVisible(false);
    buttons->addWidget(zoomBox_);
    allButton_ = button("btAll", tr("All"));
    onlineButton_ = button("btOnLine", tr("OnLine"));
    editButton_ = button("btEdit", tr("Edit"));
    distributionButton_ = button("btDistribution", tr("Distribution"));
    buttons->addStretch(1);
    doneButton_ = button("btDone1", tr("Done"));
    top->addLayout(buttons);

    connect(refreshButton_, &QPushButton::clicked, this, &GraphWindow::refresh);
    // The box follows its checked state, so a screen reader's toggle
    // switches as a click does.
    connect(zoomBox_, &QCheckBox::toggled, this, [this](bool checked) {
        setReduction(checked ? Reduction::Maximum : Reduction::Average);
    });
    connect(allButton_, &QPushButton::clicked, this, &GraphWindow::showAll);
    connect(onlineButton_, &QPushButton::clicked, this, &GraphWindow::toggleOnline);
    connect(editButton_, &QPushButton::clicked, this, &GraphWindow::openDataHandling);
    connect(distributionButton_, &QPushButton::clicked, this, &GraphWindow::showDistribution);
    connect(doneButton_, &QPushButton::clicked, this, &QWidget::close);
}

// ---------------------------------------------------------------- loading

int GraphWindow::load(const LoadRequest& request) {
    if (dragging_)
        return 0;
    if (!request.keepSlots)
        startAfresh();
    const int32_t count = store_.load(request);
    if (!request.keepSlots)
        takeSlotInformation();
    updateHistoryMenu();
    if (count <= 0)
        return 0;
    clearReadOut();
    refresh();
    return -1;
}

void GraphWindow::startAfresh() {
    // A new load from the owner starts like a freshly opened window: Auto
    // scale, and no way back to the windows of the data before.
    store_.history().clear();
    scaleMode_ = ScaleMode::Auto;
    scaleActions_[0]->setChecked(true);
    manualButton_->setText(tr("Manual"));
    refreshAccelerators(*this);
    updateManualEnabled();
    if (dataHandling_)
        dataHandling_->setScale(int(ScaleMode::Auto));
}

void GraphWindow::takeSlotInformation() {
    for (int s = 0; s < SlotCount; ++s) {
        const GraphSlot& slot = store_.seriesSlots[size_t(s)];
        legend_[size_t(s)]->setText(slot.legendCaption());
        if (slot.isNamed()) {
            const QSignalBlocker block(display_[size_t(s)]);
            display_[size_t(s)]->setChecked(true);
        }
    }
}

void GraphWindow::showWindow(bool online, std::optional<TimeWindow> window) {
    if (window)
        store_.setWindow(*window);
    const int32_t count = store_.reduce(true);
    updateHistoryMenu();
    if (count <= 0)
        return;
    clearReadOut();
    const bool changed = online != online_;
    setOnline(online);
    if (changed)
        tellOnline();
    refresh();
}

void GraphWindow::setOnline(bool online) {
    online_ = online;
    // The captions offer the other state.
    const QString caption = online ? tr("Offline") : tr("OnLine");
    onlineButton_->setText(caption);
    onlineAction_->setText(caption);
    refreshAccelerators(*this);
}

void GraphWindow::tellOnline() {
    if (dataHandling_)
        dataHandling_->setOnline(online_);
    emit onlineChanged(online_);
}

void GraphWindow::toggleOnline() {
    if (!onlineAction_->isEnabled())
        return;
    if (online_) {
        setOnline(false);
    } else {
        setOnline(true);
        store_.windowToNewest();
        showWindow(true);
    }
    tellOnline();
}

void GraphWindow::showAll() {
    if (online_) {
        setOnline(false);
        tellOnline();
    }
    store_.windowToAll();
    const int32_t count = store_.reduce(true);
    updateHistoryMenu();
    if (count > 0) {
        clearReadOut();
        refresh();
        if (list_ && list_->isVisible())
            fillList();
    }
}

void GraphWindow::goBack() {
    if (!store_.history().canGoBack())
        return;
    showWindow(false, store_.history().back());
}

void GraphWindow::goForward() {
    if (!store_.history().canGoForward())
        return;
    showWindow(false, store_.history().forward());
}

void GraphWindow::setReduction(Reduction reduction) {
    store_.reduction = reduction;
    const bool max = reduction == Reduction::Maximum;
    maxAction_->setChecked(max);
    averageAction_->setChecked(!max);
    {
        const QSignalBlocker quiet(zoomBox_);
        zoomBox_->setChecked(max);
    }
    zoomBox_->setText(max ? tr("Ave") : tr("Max"));
    refreshAccelerators(*this);
    showWindow(online_, store_.window());
}

void GraphWindow::updateHistoryMenu() {
    backAction_->setEnabled(store_.history().canGoBack());
    forwardAction_->setEnabled(store_.history().canGoForward());
    zoomBox_->setVisible(store_.step() != 1);
}

// ---------------------------------------------------------------- scale

void GraphWindow::setScaleMode(ScaleMode mode) {
    scaleMode_ = mode;
    // The Manual button's caption may have changed to Auto or back.
    refreshAccelerators(*this);
    scaleActions_[size_t(mode)]->setChecked(true);
    if (dataHandling_)
        dataHandling_->setScale(int(mode));
    refresh();
}

void GraphWindow::toggleManual() {
    if (scaleMode_ != ScaleMode::Auto) {
        manualButton_->setText(tr("Manual"));
        setScaleMode(ScaleMode::Auto);
        updateManualEnabled();
    } else {
        manualButton_->setText(tr("Auto"));
        setScaleMode(ScaleMode::Manual);
    }
}

void GraphWindow::updateManualEnabled() {
    const bool ok = leadingNumber(manualTop_->text()) > 0;
    manualButton_->setEnabled(ok);
    scaleActions_[1]->setEnabled(ok);
}

// ---------------------------------------------------------------- drawing

void GraphWindow::refresh() {
    ScaleRequest request;
    request.mode = scaleMode_;
    request.manualTop = leadingNumber(manualTop_->text());
    for (int s = 0; s < SlotCount; ++s) {
        request.specificTops[size_t(s)] = leadingNumber(scaleBox_[size_t(s)]->text());
        request.displayed[size_t(s)] =
            store_.seriesSlots[size_t(s)].isNamed() && display_[size_t(s)]->isChecked();
    }
    if (computeScale(store_, request, scales_) && scaleMode_ == ScaleMode::Auto) {
        for (int s = 0; s < SlotCount; ++s)
            scaleBox_[size_t(s)]->setText(scales_.autoTopText[size_t(s)]);
    }
    redraw();
}

void GraphWindow::redraw() {
    int highestNamed = -1;
    for (int s = 0; s < SlotCount; ++s) {
        const bool named = store_.seriesSlots[size_t(s)].isNamed();
        legend_[size_t(s)]->setVisible(named);
        data_[size_t(s)]->setVisible(named);
        display_[size_t(s)]->setVisible(named);
        scaleBox_[size_t(s)]->setVisible(named);
        if (named)
            highestNamed = s;
    }
    int& active = store_.activeSeries;
    if (active < 0 || active >= SlotCount || !store_.seriesSlots[size_t(active)].isNamed())
        active = std::max(highestNamed, 0);
    for (int s = 0; s < SlotCount; ++s)
        legend_[size_t(s)]->setStyleSheet(
            QStringLiteral("color: %1; background: %2; padding: 1px 4px;")
                .arg(styleColor(seriesColor(s)),
                     styleColor(s == active ? ActiveLegend : QColor(Qt::white))));

    const GraphSlot& slot = store_.seriesSlots[size_t(active)];
    setWindowTitle(tr("Graph for point: ") + slot.name);
    units_->setText(scales_.slot[size_t(active)].labelDivisor == 1000
                        ? slot.units + QStringLiteral("*") + QStringLiteral("1000")
                        : slot.units);
    units_->setStyleSheet(QStringLiteral("color: %1;").arg(styleColor(seriesColor(active))));

    GraphPicture picture;
    picture.store = &store_;
    picture.scales = scales_;
    for (int s = 0; s < SlotCount; ++s)
        picture.displayed[size_t(s)] =
            store_.seriesSlots[size_t(s)].isNamed() && display_[size_t(s)]->isChecked();
    picture.activeSeries = active;
    picture.marks = markAction_->isChecked();
    picture.cursorPoint = selectedPoint_;
    if (selectedPoint_ >= 0 && selectedPoint_ <= store_.displayCount())
        picture.cursorText = data_[size_t(active)]->text();
    plot_->setPicture(picture);
    updateStats();
    describePlot();
    emit pictureChanged();
}

void GraphWindow::describePlot() {
    // What a screen reader hears of the plot: the series, the period drawn
    // and the figures of the statistics line.
    const int active = store_.activeSeries;
    const GraphSlot& slot = store_.seriesSlots[size_t(active)];
    QString text = tr("Graph");
    if (slot.isNamed() && store_.displayCount() > 0) {
        const double base = store_.baseTime();
        text = tr("Graph of %1 in %2 from %3 to %4")
                   .arg(leftToRight(slot.name), leftToRight(slot.units.trimmed()),
                        formatGeneralDateTime(fromDayCount(base + store_.displayX(0))),
                        formatGeneralDateTime(
                            fromDayCount(base + store_.displayX(store_.displayCount()))));
        if (!stats_->text().isEmpty())
            text += QStringLiteral(". ") + stats_->text().simplified();
    }
    if (text != plot_->accessibleName())
        plot_->setAccessibleName(text);
}

void GraphWindow::updateStats() {
    const int active = store_.activeSeries;
    const SeriesStats st = store_.windowStats(active);
    if (st.count == 0 || store_.displayCount() <= 0) {
        stats_->clear();
        return;
    }
    const QString& units = store_.seriesSlots[size_t(active)].units;
    auto v = [&](double x) { return leftToRight(formatValue(x, 3, units)); };
    // The store holds the newest readings of a longer file: a window that
    // reaches back to the oldest held says that it shows only part.
    QString count = QString::number(st.count);
    const int64_t source = store_.sourceReadings();
    if (source > int64_t(store_.lastIndex()) + 1 && store_.window().start <= store_.rawTime(0)) {
        const QLocale numbers = languageLocale();
        count = tr("newest %1 of %2").arg(numbers.toString(st.count), numbers.toString(source));
    }
    stats_->setText(tr("Readings: %1   Mean: %2   Minimum: %3   Maximum: %4   "
                       "Standard deviation: %5")
                        .arg(count, v(st.mean), v(st.minimum), v(st.maximum), v(st.deviation)));
}

void GraphWindow::clearReadOut() {
    // A rebuilt display has other points: an old read-out would name a
    // value that is no longer under the cursor.
    selectedPoint_ = -1;
    showTime_->clear();
    showTime_->setAccessibleName(QString());
    describeKeys();
    for (QLabel* l : data_)
        l->clear();
}

void GraphWindow::readOutPoint(int32_t index) {
    if (index < 0 || index > store_.displayCount())
        return;
    selectedPoint_ = index;
    showTime_->setText(
        formatGeneralDateTime(fromDayCount(store_.baseTime() + store_.displayX(index))));
    for (int s = 0; s < SlotCount; ++s) {
        const double v = store_.displayY(s, index);
        data_[size_t(s)]->setText(
            isValue(v) ? formatValue(v, 1, store_.seriesSlots[size_t(s)].units) : QString());
    }
    plot_->setCursor(index, data_[size_t(store_.activeSeries)]->text());
    // The point under the cursor is announced: its time and each series'
    // value.
    QStringList spoken{showTime_->text()};
    for (int s = 0; s < SlotCount; ++s)
        if (store_.seriesSlots[size_t(s)].isNamed() && !data_[size_t(s)]->text().isEmpty())
            spoken << store_.seriesSlots[size_t(s)].name + QLatin1Char(' ') +
                          data_[size_t(s)]->text();
    showTime_->setAccessibleName(spoken.join(QStringLiteral(", ")));
    describeKeys();
    announceText(showTime_);
}

QString GraphWindow::keyboardHelp() {
    return tr("Left and Right move the read-out, by 10 points with Shift, Ctrl or Alt. To zoom, "
              "press Space at one end, move the read-out to the other end and press Return; "
              "Escape drops the mark.");
}

void GraphWindow::describeKeys() {
    // What a screen reader says of the plot besides its name: the point
    // read out, the start of a zoom when one is marked, and the keys.
    QStringList parts;
    if (!showTime_->accessibleName().isEmpty())
        parts << showTime_->accessibleName();
    if (const std::optional<double> mark = plot_->zoomMark())
        parts << tr("Zoom marked from %1").arg(formatGeneralDateTime(fromDayCount(*mark)));
    parts << keyboardHelp();
    plot_->setAccessibleDescription(parts.join(QStringLiteral(". ")));
}

void GraphWindow::zoomFromKeyboard(double markTime, double readOutTime) {
    // As with the mouse: a span of a few seconds is no zoom.
    if (std::abs(readOutTime - markTime) * SecondsPerDay <= MinZoomSeconds)
        return;
    plot_->dropZoomMark();
    showWindow(false, TimeWindow{std::min(markTime, readOutTime), std::max(markTime, readOutTime)});
}

// ---------------------------------------------------------------- mouse

void GraphWindow::onSelectionStarted(double) {
    for (QLabel* l : data_)
        l->clear();
    savedWindow_ = store_.window();
    dragging_ = true;
}

void GraphWindow::onSelectionMoved(double time) {
    const int32_t k = store_.nearestPoint(time);
    if (k >= 0)
        showTime_->setText(
            formatGeneralDateTime(fromDayCount(store_.baseTime() + store_.displayX(k))));
}

void GraphWindow::onSelectionFinished(double startTime, double endTime) {
    const int32_t k = store_.valuedPointAfter(endTime, store_.activeSeries);
    if (k >= 0)
        readOutPoint(k);
    dragging_ = false;
    if (std::abs(endTime - startTime) * SecondsPerDay > MinZoomSeconds)
        showWindow(false, TimeWindow{store_.baseTime() + startTime, store_.baseTime() + endTime});
    else
        store_.setWindow(savedWindow_);
}

bool GraphWindow::eventFilter(QObject* watched, QEvent* event) {
    for (int s = 0; s < SlotCount; ++s) {
        if (watched == legend_[size_t(s)] && event->type() == QEvent::MouseButtonPress) {
            selectSeries(s);
            return true;
        }
        if (watched == scaleBox_[size_t(s)] && event->type() == QEvent::MouseButtonDblClick) {
            manualButton_->setEnabled(true);
            manualButton_->setText(tr("Auto"));
            setScaleMode(ScaleMode::Specific);
            return false;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void GraphWindow::selectSeries(int slot) {
    store_.activeSeries = slot;
    {
        const QSignalBlocker block(display_[size_t(slot)]);
        display_[size_t(slot)]->setChecked(true);
    }
    refresh();
}

void GraphWindow::openDataHandling() {
    if (!dataHandling_) {
        dataHandling_ = new DataHandleDialog(this);
        // The panel's own button follows the graph: both show one state.
        connect(dataHandling_, &DataHandleDialog::onlineChanged, this, [this](bool on) {
            if (on != online_)
                toggleOnline();
        });
        connect(dataHandling_, &DataHandleDialog::scaleChosen, this,
                [this](int mode) { setScaleMode(ScaleMode(mode)); });
    }
    {
        const QSignalBlocker block(dataHandling_);
        dataHandling_->setOnline(online_);
    }
    if (int(scaleMode_) <= DataHandleDialog::Range1000)
        dataHandling_->setScale(int(scaleMode_));
    dataHandling_->show();
    dataHandling_->raise();
}

// ---------------------------------------------------------------- life

void GraphWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (firstActivation_) {
        firstActivation_ = false;
        store_.reduction = Reduction::Average;
        averageAction_->setChecked(true);
        {
            const QSignalBlocker quiet(zoomBox_);
            zoomBox_->setChecked(false);
        }
        zoomBox_->setText(tr("Max"));
        printAction_->setEnabled(printerAvailable());
        // A graph that has just been opened follows the live readings.
        if (!online_)
            toggleOnline();
    }
}

void GraphWindow::closeEvent(QCloseEvent* event) {
    if (online_) {
        setOnline(false);
        tellOnline();
    }
    if (busy_ && wait_)
        wait_->stopAndHide();
    writeLastGraphSet();
    savePlacement();
    // The next opening starts like the first one: on line.
    firstActivation_ = true;
    if (dataHandling_)
        dataHandling_->hide();
    if (list_)
        list_->hide();
    QMainWindow::closeEvent(event);
}

void GraphWindow::restorePlacement() {
    auto settings = placementSettings();
    settings->beginGroup(QStringLiteral("Size"));
    const int left = settings->value(QStringLiteral("Left"), UnmovedLeft).toInt();
    if (left == UnmovedLeft)
        return;
    const int topTw = settings->value(QStringLiteral("Top"), 10).toInt();
    const int width = settings->value(QStringLiteral("Width"), QStringLiteral("7000")).toInt();
    const int height = settings->value(QStringLiteral("Height"), QStringLiteral("7000")).toInt();
    const QScreen* screen = this->screen();
    const QRect place =
        placeFromTwips(left, topTw, width, height, screen ? screen->availableGeometry() : QRect());
    resize(place.size());
    move(place.topLeft());
    keepOnScreen(*this);
}

void GraphWindow::savePlacement() {
    auto settings = placementSettings();
    settings->beginGroup(QStringLiteral("Size"));
    const QRect g = geometry();
    settings->setValue(QStringLiteral("Left"), QString::number(twipsFromPixels(x())));
    settings->setValue(QStringLiteral("Top"), QString::number(twipsFromPixels(y())));
    settings->setValue(QStringLiteral("Width"), QString::number(twipsFromPixels(g.width())));
    settings->setValue(QStringLiteral("Height"), QString::number(twipsFromPixels(g.height())));
}

// ---------------------------------------------------------------- files

QString GraphWindow::chooseSaveFile(const QString& folder, const QString& suggested,
                                    const QString& filter, const QString& suffix) {
    return prompts_->saveFileName(this, {windowTitle(), folder, suggested, filter, suffix});
}

void GraphWindow::setProtectedFiles(const QStringList& paths) {
    protectedFiles_ = paths;
}

bool GraphWindow::refusesTarget(const QString& target) {
    // Writing over the working file would leave its append handle on a
    // deleted file: every later reading would go nowhere.
    for (const QString& file : protectedFiles_) {
        if (isSameFile(target, file)) {
            reportFailure(tr("The data could not be saved."),
                          tr("%1 holds the station's readings and cannot be overwritten. "
                             "Choose another name.")
                              .arg(leftToRight(QDir::toNativeSeparators(target))));
            return true;
        }
    }
    return false;
}

void GraphWindow::reportFailure(const QString& what, const QString& why) {
    prompts_->warning(this, what + QLatin1Char('\n') + why, windowTitle());
}

RunOutcome GraphWindow::runWithProgress(const QString& caption, int total,
                                        const std::function<bool()>& slice,
                                        const std::function<int()>& progress) {
    if (!wait_) {
        wait_ = new WaitDialog(this);
        // The graph and the main window wait: nothing else may change the
        // file or the list while it is written.
        wait_->setWindowModality(Qt::ApplicationModal);
    }
    busy_ = true;
    wait_->reset();
    wait_->setWindowTitle(caption);
    wait_->progressBar()->setRange(0, std::max(total, 1));
    wait_->progressBar()->setValue(0);
    wait_->show();

    SlicedJob job(slice, progress, std::max(total, 1));
    QEventLoop loop;
    auto outcome = SlicedJob::Outcome::Cancelled;
    connect(&job, &SlicedJob::progressed, wait_,
            [bar = wait_->progressBar()](int done, int) { bar->setValue(done); });
    connect(wait_, &WaitDialog::stopRequested, &job, &SlicedJob::cancel);
    connect(&job, &SlicedJob::finished, &loop, [&](SlicedJob::Outcome o) {
        outcome = o;
        loop.quit();
    });
    // A window closed under the work takes the work with it.
    const QPointer<GraphWindow> self(this);
    connect(this, &QObject::destroyed, &loop, [&] {
        job.cancel();
        loop.quit();
    });
    job.start();
    loop.exec();
    if (!self)
        return RunOutcome::Stopped;
    wait_->hide();
    busy_ = false;
    return outcome == SlicedJob::Outcome::Done ? RunOutcome::Done : RunOutcome::Stopped;
}

RunOutcome GraphWindow::writeCsv(ExportSource source, const QString& path, QString* error) {
    if (busy_)
        return RunOutcome::Failed;
    CsvExport job(store_, source);
    bool ok = job.open(path);
    RunOutcome outcome = RunOutcome::Failed;
    if (ok) {
        outcome = runWithProgress(
            tr("Converting to Csv:"), job.total(),
            [&] {
                ok = job.writeSome(ExportSlice);
                return ok && !job.atEnd();
            },
            [&] { return int(job.done()); });
        // A stopped export writes nothing: half a file would pass for the
        // whole data.
        if (ok && outcome == RunOutcome::Stopped) {
            job.cancel();
            return outcome;
        }
        ok = ok && job.finish();
    }
    if (!ok) {
        if (error)
            *error = job.error();
        return RunOutcome::Failed;
    }
    return outcome;
}

void GraphWindow::exportCsv(ExportSource source) {
    if (busy_)
        return;
    const QString chosen = chooseSaveFile(
        exportFolder(), fileNameOf(store_.seriesSlots[size_t(store_.activeSeries)].name),
        tr("Csv Files (*.csv);;All Files (*)"), QStringLiteral("csv"));
    if (chosen.isEmpty())
        return;
    const QString target = csvTargetName(chosen);
    if (refusesTarget(target))
        return;
    QString error;
    switch (writeCsv(source, target, &error)) {
    case RunOutcome::Failed:
        reportFailure(tr("The data could not be saved."), error);
        return;
    case RunOutcome::Stopped:
        prompts_->information(this,
                              tr("The export was cancelled; %1 was not written.")
                                  .arg(leftToRight(QDir::toNativeSeparators(target))),
                              windowTitle());
        return;
    case RunOutcome::Done:
        break;
    }
    prompts_->information(
        this, tr("Data saved in file : ") + leftToRight(QDir::toNativeSeparators(target)),
        windowTitle());
}

void GraphWindow::exportAverage() {
    exportCsv(ExportSource::Display);
}

void GraphWindow::exportAll() {
    exportCsv(ExportSource::Raw);
}

void GraphWindow::saveGraphSetAs() {
    if (busy_)
        return;
    const QString chosen =
        chooseSaveFile(graphSetFolder(), QStringLiteral("Grp1"),
                       tr("Grp Files (*.Grp *.grp);;All Files (*)"), QStringLiteral("Grp"));
    if (chosen.isEmpty() || refusesTarget(chosen))
        return;
    QString error;
    const bool ok = saveGraphSet(chosen, store_.seriesSlots, &error);
    // A reserved name was cleared: its series leaves the window.
    takeSlotInformation();
    refresh();
    if (!ok)
        reportFailure(tr("The graph set could not be saved."), error);
}

void GraphWindow::writeLastGraphSet() {
    QString error;
    if (!saveGraphSet(lastGraphSetPath(), store_.seriesSlots, &error))
        reportFailure(tr("The graph set could not be saved."), error);
}

// ---------------------------------------------------------------- list

void GraphWindow::showList() {
    if (busy_)
        return;
    const bool placed = list_ != nullptr;
    if (!list_)
        list_ = new DataListWindow(this);
    list_->show();
    if (!placed)
        list_->placeBeside(this);
    list_->raise();
    fillList();
}

void GraphWindow::showDistribution() {
    if (!distribution_) {
        distribution_ = new DistributionWindow(this);
        // Hidden, it costs nothing; shown, it follows every new picture.
        connect(this, &GraphWindow::pictureChanged, distribution_, [this] {
            if (distribution_->isVisible())
                distribution_->follow();
        });
    }
    const bool placed = distribution_->isVisible();
    distribution_->show();
    if (!placed)
        keepOnScreen(*distribution_);
    distribution_->raise();
    distribution_->activateWindow();
}

RunOutcome GraphWindow::fillList() {
    if (busy_ || !list_)
        return RunOutcome::Failed;
    DataListModel* model = list_->model();
    model->start(store_);
    list_->updateColumns();
    return runWithProgress(
        tr("Filling the list"), model->planned(),
        [model] {
            model->fillSome(ListSlice);
            return model->pending() > 0;
        },
        [model] { return model->filled(); });
}

// ---------------------------------------------------------------- printing

PrintPicture GraphWindow::printPicture() const {
    PrintPicture picture;
    picture.store = &store_;
    picture.scales = scales_;
    for (int s = 0; s < SlotCount; ++s)
        picture.displayed[size_t(s)] =
            store_.seriesSlots[size_t(s)].isNamed() && display_[size_t(s)]->isChecked();
    picture.heading = printHeading_;
    picture.printedAt = QDateTime::currentDateTime();
    return picture;
}

void GraphWindow::print() {
    if (!printAction_->isEnabled())
        return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageOrientation(QPageLayout::Landscape);
    printer.setDocName(windowTitle());
    if (!paintPrintedPage(printer, printPicture())) {
        reportFailure(tr("The graph could not be printed."), printer.printerName());
        return;
    }
    prompts_->information(this, tr("Graph Printed"), windowTitle());
}

bool GraphWindow::writePdf(const QString& path, QString* error) {
    return writePdfPage(
        path, windowTitle(),
        [this](QPagedPaintDevice& device) { return paintPrintedPage(device, printPicture()); },
        error);
}

void GraphWindow::printToPdf() {
    if (busy_)
        return;
    const QString chosen = chooseSaveFile(
        exportFolder(), fileNameOf(store_.seriesSlots[size_t(store_.activeSeries)].name),
        tr("PDF Files (*.pdf);;All Files (*)"), QStringLiteral("pdf"));
    if (chosen.isEmpty())
        return;
    const QString target = pdfTargetName(chosen);
    if (refusesTarget(target))
        return;
    QString error;
    if (!writePdf(target, &error)) {
        reportFailure(tr("The graph could not be printed."), error);
        return;
    }
    prompts_->information(
        this, tr("Graph saved in file : ") + leftToRight(QDir::toNativeSeparators(target)),
        windowTitle());
}

} // namespace zel::graph
