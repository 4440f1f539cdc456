#pragma once
// The graph window: the series of the working file or of live readings over
// time, reduced to about a thousand points, with zoom, back and forward,
// value scales, a read-out of the point under the cursor and the figures of
// the period on screen.
#include "graph/graph_export.h"
#include "graph/graph_plot_widget.h"
#include "graph/graph_print_widget.h"
#include "graph/graph_scale.h"
#include "graph/graph_store.h"

#include <QMainWindow>
#include <QPointer>
#include <array>
#include <functional>
#include <optional>

class QAction;
class QActionGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

class QPagedPaintDevice;

namespace zel {
class DataHandleDialog;
class Prompts;
class WaitDialog;
} // namespace zel

namespace zel::graph {

class DataListWindow;
class DistributionWindow;

// How a long run with the progress window ended.
enum class RunOutcome { Done, Stopped, Failed };

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
    void setProtectedFiles(const QStringList& paths);

    // Takes a load from the owner. Returns -1 when a picture was drawn, 0
    // otherwise (also while the user drags a selection: the load is
    // ignored then).
    int load(const LoadRequest& request);

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

    // Writes an export to `path` with the progress window; the user may stop
    // it. Stopped and Failed leave any older file as it was (and no new
    // one); Failed says why in `error`.
    RunOutcome writeCsv(ExportSource source, const QString& path, QString* error = nullptr);
    // Fills the open data list with the display points, newest first.
    RunOutcome fillList();
    DataListWindow* dataList() const { return list_; }
    DistributionWindow* distributionWindow() const { return distribution_; }
    WaitDialog* progressWindow() const { return wait_; }

    // The text centred above the first band of a printed page.
    void setPrintHeading(const QString& heading) { printHeading_ = heading; }
    const QString& printHeading() const { return printHeading_; }
    // "Page Heading…": asks for the heading printed above the first band.
    void editPrintHeading();
    PrintPicture printPicture() const;
    // Writes the printed page to a PDF file, through a temporary file.
    bool writePdf(const QString& path, QString* error = nullptr);

    // Asks for a file name to save under.
    QString chooseSaveFile(const QString& folder, const QString& suggested, const QString& filter,
                           const QString& suffix);
    // True (and the user is told) when `target` is a file nothing may be
    // written onto.
    bool refusesTarget(const QString& target);

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
    void exportAverage();
    void exportAll();
    void saveGraphSetAs();
    void showList();
    void showDistribution();
    void print();
    void printToPdf();

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
    void buildMenus();
    void buildControls();
    void takeSlotInformation();
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

    void exportCsv(ExportSource source);
    void reportFailure(const QString& what, const QString& why);
    void writeLastGraphSet();
    // Calls `slice` until it returns false, slice by slice on the event
    // loop, showing the progress window with `caption`, so that Stop and
    // repainting answer; returns when the work is done or stopped.
    RunOutcome runWithProgress(const QString& caption, int total,
                               const std::function<bool()>& slice,
                               const std::function<int()>& progress);

    // The keys of the plot, as its tool tip and description say them.
    static QString keyboardHelp();
    void describeKeys();
    void zoomFromKeyboard(double markTime, double readOutTime);

    void onSelectionStarted(double time);
    void onSelectionMoved(double time);
    void onSelectionFinished(double startTime, double endTime);

    GraphStore store_;
    Scales scales_;
    ScaleMode scaleMode_ = ScaleMode::Auto;
    bool online_ = false;
    bool firstActivation_ = true;
    bool dragging_ = false;
    TimeWindow savedWindow_;
    int32_t selectedPoint_ = -1;
    QStringList protectedFiles_;
    bool busy_ = false; // an export or the list is being written
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
    DataListWindow* list_ = nullptr;
    DistributionWindow* distribution_ = nullptr;
    WaitDialog* wait_ = nullptr;
};

} // namespace zel::graph
