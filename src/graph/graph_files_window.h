#pragma once
// What the graph window writes and prints: the CSV exports, the graph sets,
// the printed page and its PDF, and the data list, each with the progress
// window where it takes a while. Kept apart from the window, which only
// draws and navigates.
#include "common/failure.h"
#include "graph/graph_export.h"
#include "graph/graph_print_widget.h"

#include <QObject>
#include <QStringList>
#include <functional>

namespace zel {
class WaitDialog;
} // namespace zel

namespace zel::graph {

class DataListWindow;
class GraphWindow;

// How a long run with the progress window ended when nothing failed.
enum class RunOutcome { Done, Stopped };

class GraphFileActions : public QObject {
    Q_OBJECT
public:
    explicit GraphFileActions(GraphWindow& window);

    // Files no export, graph set or page may be written onto (the working
    // file and the common file); compared by their canonical paths.
    void setProtectedFiles(const QStringList& paths) { protectedFiles_ = paths; }
    // True (and the user is told) when `target` is a file nothing may be
    // written onto.
    bool refusesTarget(const QString& target);
    // Asks for a file name to save under.
    QString chooseSaveFile(const QString& folder, const QString& suggested, const QString& filter,
                           const QString& suffix);

    // Writes an export to `path` with the progress window; the user may stop
    // it. Stopped and a failure leave any older file as it was (and no new
    // one); the failure says why. Refused (InUse) while other work runs.
    Expected<RunOutcome> writeCsv(ExportSource source, const QString& path);
    // Fills the open data list with the display points, newest first.
    // Refused (InUse) while other work runs, NotFound without a list.
    Expected<RunOutcome> fillList();
    // Writes the printed page to a PDF file, through a temporary file.
    Expected<void> writePdf(const QString& path);
    PrintPicture printPicture() const;

    // Writes the graph set of the window's series to the last-set file.
    void writeLastGraphSet();
    // The window closes: a running export or list stops.
    void stopWork();

    bool busy() const { return busy_; }
    DataListWindow* dataList() const { return list_; }
    WaitDialog* progressWindow() const { return wait_; }

public slots:
    void exportAverage();
    void exportAll();
    void saveGraphSetAs();
    void showList();
    void print();
    void printToPdf();
    // "Page Heading…": asks for the heading printed above the first band.
    void editPrintHeading();

private:
    void exportCsv(ExportSource source);
    void reportFailure(const QString& what, const QString& why);
    // Calls `slice` until it returns false, slice by slice on the event
    // loop, showing the progress window with `caption`, so that Stop and
    // repainting answer; returns when the work is done or stopped.
    RunOutcome runWithProgress(const QString& caption, int total,
                               const std::function<bool()>& slice,
                               const std::function<int()>& progress);
    // The active series' name as the start of a suggested file name.
    QString suggestedName() const;
    enum class FileKind { Csv, Pdf };
    // Asks for the export file in the export folder, its extension made
    // right; empty when cancelled or when it is a file nothing may be
    // written onto.
    QString chooseExport(const QString& filter, FileKind kind);

    GraphWindow& window_;
    QStringList protectedFiles_;
    bool busy_ = false; // an export or the list is being written
    DataListWindow* list_ = nullptr;
    WaitDialog* wait_ = nullptr;
};

} // namespace zel::graph
