#include "graph/graph_window.h"

#include "common/datetime.h"
#include "common/paths.h"
#include "common/strings.h"
#include "common/text.h"
#include "graph/data_handle_dialog.h"
#include "graph/data_list_window.h"
#include "graph/distribution_window.h"
#include "graph/format_value.h"
#include "widgets/accelerators.h"
#include "widgets/prompts.h"
#include "widgets/spoken_text.h"
#include "widgets/window_arrangement.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPrinterInfo>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTimer>
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

bool printerAvailable() {
    return !QPrinterInfo::availablePrinterNames().isEmpty();
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

GraphWindow::GraphWindow(QWidget* parent)
    : QMainWindow(parent), prompts_(&dialogPrompts()), files_(new GraphFileActions(*this)) {
    setObjectName(QStringLiteral("frmGraph"));
    setWindowFlag(Qt::Window);
    setWindowTitle(tr("Graph for point: "));
    pacerClock_.start();
    pacedRedraw_ = new QTimer(this);
    pacedRedraw_->setSingleShot(true);
    connect(pacedRedraw_, &QTimer::timeout, this, &GraphWindow::refresh);
    buildMenus();
    buildControls();
    resize(820, 560);
    restorePlacement();
    keepAccelerators(*this);
}

GraphWindow::~GraphWindow() = default;

// ---------------------------------------------------------------- loading

LoadResult GraphWindow::load(const LoadRequest& request) {
    return take(request, false);
}

LoadResult GraphWindow::follow(const LoadRequest& request) {
    return take(request, true);
}

LoadResult GraphWindow::take(const LoadRequest& request, bool paced) {
    if (dragging_)
        return LoadResult::Ignored;
    history_.reset();
    if (!request.keepSlots)
        startAfresh();
    const int32_t count = store_.load(request);
    if (!request.keepSlots)
        takeSlotInformation();
    updateHistoryMenu();
    if (count <= 0)
        return LoadResult::NoReadings;
    clearReadOut();
    if (!paced) {
        refresh();
    } else if (!pacedRedraw_->isActive()) {
        // A redraw already waiting draws this reading with the others.
        const qint64 wait = pacer_.waitFor(pacerClock_.elapsed());
        if (wait == 0)
            refresh();
        else
            pacedRedraw_->start(int(wait));
    }
    return LoadResult::Drawn;
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
    if (history_ && !online) {
        // Inside a history range, a zoom reads finer data from the archive.
        const TimeWindow w = window.value_or(store_.window());
        if (!showHistory({msOfDayCount(w.start), msOfDayCount(w.end)}))
            store_.setWindow(store_.history().entry(store_.history().position()));
        return;
    }
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
        // On line leaves a history range: the owner loads its series.
        history_.reset();
        setOnline(true);
        store_.windowToNewest();
        showWindow(true);
    }
    tellOnline();
}

void GraphWindow::showAll() {
    if (history_) {
        showHistory(historyWhole_);
        return;
    }
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
        if (dataList() && dataList()->isVisible())
            files_->fillList();
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
    // Every redraw draws what the store holds, the newest readings too.
    pacedRedraw_->stop();
    pacer_.drew(pacerClock_.elapsed());
    ScaleRequest request;
    request.mode = scaleMode_;
    request.manualTop = leadingNumber(manualTop_->text());
    request.displayed = displayedSeries();
    if (history_) {
        // The bars of a history range reach past its means: a spike must
        // stand inside the scale, not be cut at its top.
        std::pair<double, double> extremes{HUGE_VAL, 0};
        for (size_t i = 0; i < history_->times.size(); ++i) {
            if (isValue(history_->minimum[i]))
                extremes.first = std::min(extremes.first, history_->minimum[i]);
            if (isValue(history_->maximum[i]))
                extremes.second = std::max(extremes.second, history_->maximum[i]);
        }
        if (extremes.first <= extremes.second)
            request.firstSlotExtremes = extremes;
    }
    for (int s = 0; s < SlotCount; ++s)
        request.specificTops[size_t(s)] = leadingNumber(scaleBox_[size_t(s)]->text());
    if (computeScale(store_, request, scales_) && scaleMode_ == ScaleMode::Auto) {
        for (int s = 0; s < SlotCount; ++s)
            scaleBox_[size_t(s)]->setText(scales_.autoTopText[size_t(s)]);
    }
    redraw();
}

std::array<bool, SlotCount> GraphWindow::displayedSeries() const {
    std::array<bool, SlotCount> shown{};
    for (int s = 0; s < SlotCount; ++s)
        shown[size_t(s)] =
            store_.seriesSlots[size_t(s)].isNamed() && display_[size_t(s)]->isChecked();
    return shown;
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
    // A restyle costs far more than the redraw around it: a style sheet is
    // set only when it changes (the active series, the series' colours).
    auto restyle = [](QWidget* w, const QString& sheet) {
        if (w->styleSheet() != sheet)
            w->setStyleSheet(sheet);
    };
    for (int s = 0; s < SlotCount; ++s)
        restyle(legend_[size_t(s)],
                QStringLiteral("color: %1; background: %2; padding: 1px 4px;")
                    .arg(styleColor(seriesColor(s)),
                         styleColor(s == active ? ActiveLegend : QColor(Qt::white))));

    const GraphSlot& slot = store_.seriesSlots[size_t(active)];
    setWindowTitle(tr("Graph for point: ") + slot.name);
    units_->setText(scales_.slot[size_t(active)].labelDivisor == 1000
                        ? slot.units + QStringLiteral("*") + QStringLiteral("1000")
                        : slot.units);
    restyle(units_, QStringLiteral("color: %1;").arg(styleColor(seriesColor(active))));

    GraphPicture picture;
    picture.store = &store_;
    picture.scales = scales_;
    picture.displayed = displayedSeries();
    picture.history = history();
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
    if (history_) {
        // The range's true figures, from the archive's summaries.
        const QString& unit = history_->unit;
        auto v = [&](double x) { return leftToRight(formatValue(x, 3, unit)); };
        stats_->setText(tr("Readings: %1   Mean: %2   Minimum: %3   Maximum: %4")
                            .arg(languageLocale().toString(history_->readings),
                                 v(history_->rangeMean), v(history_->rangeMinimum),
                                 v(history_->rangeMaximum)));
        return;
    }
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
    // Only what shows something is cleared: clearing even an empty label
    // lays the window out again, and live readings come here each time.
    if (!showTime_->text().isEmpty())
        showTime_->clear();
    if (!showTime_->accessibleName().isEmpty()) {
        showTime_->setAccessibleName(QString());
        describeKeys();
    }
    for (QLabel* l : data_)
        if (!l->text().isEmpty())
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
    files_->stopWork();
    files_->writeLastGraphSet();
    savePlacement();
    // The next opening starts like the first one: on line.
    firstActivation_ = true;
    if (dataHandling_)
        dataHandling_->hide();
    if (dataList())
        dataList()->hide();
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

bool GraphWindow::printerFound() const {
    return printAction_->isEnabled();
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

} // namespace zel::graph
