#pragma once
// The graph window: the series of the working file or of live readings over
// time, reduced to about a thousand points, with zoom, back and forward,
// value scales, a read-out of the point under the cursor and the figures of
// the period on screen.
#include "graph/graph_files_window.h"
#include "graph/graph_history.h"
#include "graph/graph_plot_widget.h"
#include "graph/graph_print_widget.h"
#include "graph/graph_scale.h"
#include "graph/graph_store.h"
#include "graph/redraw_pacer.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QPointer>
#include <array>
#include <optional>

class QAction;
class QActionGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace zel {
class DataHandleDialog;
class Prompts;
} // namespace zel

namespace zel::graph {

class DataListWindow;
class DistributionWindow;

// What became of a load from the owner.
enum class LoadResult {
    Drawn,      // the picture shows the new readings
    NoReadings, // nothing to draw: the picture stays as it was
    Ignored,    // the user drags a selection: the load waits for the next
};

class GraphWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit GraphWindow(QWidget* parent = nullptr);
    ~GraphWindow() override;

    // Where the window placement is kept (an ini file); empty: the user's
    // application settings. Read at construction, so set it before showing.
    static void setPlacementFile(const QString& path);

    // Files no export, graph set or page may be written onto (the working
    // file and the common file); compared by their canonical paths.
    void setProtectedFiles(const QStringList& paths) { files_->setProtectedFiles(paths); }

    // Takes a load from the owner; a history range on screen gives way.
    LoadResult load(const LoadRequest& request);
    // Takes the owner's series with a live reading more while on line: the
    // readings are in the store at once, the picture follows at the
    // pacer's rate.
    LoadResult follow(const LoadRequest& request);

    // Loads `range` from the station's archive in place of the graph's
    // content, as a load does; zooming inside it loads finer data, down to
    // the single readings. The archive is read on this thread: its
    // summaries make a year's range a few hundred rows.
    Expected<void> showHistory(const HistoryRange& range);
    // The history range on screen, if any.
    const HistorySeries* history() const { return history_ ? &*history_ : nullptr; }
    // Where the archive is read from; empty: the program folder's.
    void setArchivePath(const QString& path) { archivePath_ = path; }

    bool isOnline() const { return online_; }
    // Sets the on-line state and the captions that offer the other state.
    void setOnline(bool online);
    // Shows `window` (or the current one), reduced; on success takes the
    // on-line state and redraws.
    void showWindow(bool online, std::optional<TimeWindow> window = std::nullopt);

    void setScaleMode(ScaleMode mode);
    ScaleMode scaleMode() const { return scaleMode_; }
    void setReduction(Reduction reduction);

    // Read-out of display point `index`.
    void readOutPoint(int32_t index);
    int32_t selectedPoint() const { return selectedPoint_; }

    // What the graph and its windows ask and tell: the dialogs unless set.
    // `prompts` must outlive the window.
    void setPrompts(Prompts& prompts) { prompts_ = &prompts; }
    Prompts& prompts() const { return *prompts_; }

    // The exports, graph sets, printing and the data list.
    GraphFileActions& files() const { return *files_; }
    DataListWindow* dataList() const { return files_->dataList(); }
    DistributionWindow* distributionWindow() const { return distribution_; }

    // The text centred above the first band of a printed page.
    void setPrintHeading(const QString& heading) { printHeading_ = heading; }
    const QString& printHeading() const { return printHeading_; }
    bool printerFound() const;

    // The series drawn: named, with their display box ticked.
    std::array<bool, SlotCount> displayedSeries() const;
    // Takes the slots' names and display boxes into the legend (after a
    // load, or a graph set that cleared a reserved name).
    void takeSlotInformation();

    GraphStore& store() { return store_; }
    const Scales& scales() const { return scales_; }
    GraphPlotWidget* plot() const { return plot_; }

public slots:
    void refresh();
    void showAll();
    void toggleOnline();
    void goBack();
    void goForward();
    void toggleManual();
    void openDataHandling();
    // "History…": asks for a range and shows it.
    void chooseHistory();
    void showList() { files_->showList(); }
    void showDistribution();

signals:
    // The user or a command changed the on-line state; true asks the owner
    // for its newest series.
    void onlineChanged(bool online);
    // The user typed a new heading for printed pages; the owner keeps it.
    void printHeadingChanged(const QString& heading);
    // The picture now shows another window, series or set of readings.
    void pictureChanged();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // A load, drawn at once or at the pacer's rate.
    LoadResult take(const LoadRequest& request, bool paced);
    void buildMenus();
    void buildControls();
    void startAfresh();
    void describePlot();
    void redraw();
    void updateHistoryMenu();
    void updateManualEnabled();
    void updateStats();
    void clearReadOut();
    void tellOnline();
    void selectSeries(int slot);
    void restorePlacement();
    void savePlacement();

    // The keys of the plot, as its tool tip and description say them.
    static QString keyboardHelp();
    void describeKeys();
    void zoomFromKeyboard(double markTime, double readOutTime);

    void onSelectionStarted(double time);
    void onSelectionMoved(double time);
    void onSelectionFinished(double startTime, double endTime);

    QString archivePath() const;

    GraphStore store_;
    std::optional<HistorySeries> history_;
    HistoryRange historyWhole_; // the range chosen, for "All"
    QString archivePath_;
    Scales scales_;
    ScaleMode scaleMode_ = ScaleMode::Auto;
    bool online_ = false;
    bool firstActivation_ = true;
    bool dragging_ = false;
    TimeWindow savedWindow_;
    int32_t selectedPoint_ = -1;
    Prompts* prompts_;
    QString printHeading_;

    GraphPlotWidget* plot_;
    std::array<QLabel*, SlotCount> legend_{};
    std::array<QCheckBox*, SlotCount> display_{};
    std::array<QLabel*, SlotCount> data_{};
    std::array<QLineEdit*, SlotCount> scaleBox_{};
    QLabel *showTime_, *units_, *stats_;
    QLineEdit* manualTop_;
    QPushButton *manualButton_, *refreshButton_, *allButton_, *onlineButton_, *editButton_,
        *doneButton_, *distributionButton_;
    QCheckBox* zoomBox_;
    QAction *exitAction_, *markAction_, *maxAction_, *averageAction_, *allAction_, *listAction_,
        *onlineAction_, *backAction_, *forwardAction_, *printAction_, *printPdfAction_,
        *distributionAction_;
    std::array<QAction*, 6> scaleActions_{};
    QPointer<DataHandleDialog> dataHandling_;
    GraphFileActions* files_;
    DistributionWindow* distribution_ = nullptr;
    RedrawPacer pacer_;
    QTimer* pacedRedraw_; // runs while live readings wait to be drawn
    QElapsedTimer pacerClock_;
};

} // namespace zel::graph
