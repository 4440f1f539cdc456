#include "graph/graph_files_window.h"

#include "common/paths.h"
#include "common/safe_file.h"
#include "common/sliced_job.h"
#include "common/strings.h"
#include "common/text.h"
#include "graph/data_list.h"
#include "graph/data_list_window.h"
#include "graph/graph_window.h"
#include "widgets/prompts.h"
#include "widgets/wait_dialog.h"

#include <QDir>
#include <QEventLoop>
#include <QPointer>
#include <QPrinter>
#include <QProgressBar>

namespace zel::graph {

namespace {

// Work between two looks at the clock.
constexpr int32_t ExportSlice = 256;
constexpr int ListSlice = 16;

QString shownPath(const QString& path) {
    return leftToRight(QDir::toNativeSeparators(path));
}

} // namespace

GraphFileActions::GraphFileActions(GraphWindow& window) : QObject(&window), window_(window) {}

QString GraphFileActions::chooseSaveFile(const QString& folder, const QString& suggested,
                                         const QString& filter, const QString& suffix) {
    return window_.prompts().saveFileName(
        &window_, {window_.windowTitle(), folder, suggested, filter, suffix});
}

QString GraphFileActions::suggestedName() const {
    const GraphStore& store = window_.store();
    QString n = store.seriesSlots[size_t(store.activeSeries)].name.trimmed();
    n.replace(u'/', u'_');
    return n;
}

QString GraphFileActions::chooseExport(const QString& filter, FileKind kind) {
    const bool csv = kind == FileKind::Csv;
    const QString chosen = chooseSaveFile(exportFolder(), suggestedName(), filter,
                                          csv ? QStringLiteral("csv") : QStringLiteral("pdf"));
    if (chosen.isEmpty())
        return {};
    const QString target = csv ? csvTargetName(chosen) : pdfTargetName(chosen);
    return refusesTarget(target) ? QString() : target;
}

bool GraphFileActions::refusesTarget(const QString& target) {
    // Writing over the working file would leave its append handle on a
    // deleted file: every later reading would go nowhere.
    for (const QString& file : protectedFiles_) {
        if (isSameFile(target, file)) {
            reportFailure(GraphWindow::tr("The data could not be saved."),
                          GraphWindow::tr("%1 holds the station's readings and cannot be "
                                          "overwritten. Choose another name.")
                              .arg(shownPath(target)));
            return true;
        }
    }
    return false;
}

void GraphFileActions::reportFailure(const QString& what, const QString& why) {
    window_.prompts().warning(&window_, what + QLatin1Char('\n') + why, window_.windowTitle());
}

RunOutcome GraphFileActions::runWithProgress(const QString& caption, int total,
                                             const std::function<bool()>& slice,
                                             const std::function<int()>& progress) {
    if (!wait_) {
        wait_ = new WaitDialog(&window_);
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
    const QPointer<GraphFileActions> self(this);
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

void GraphFileActions::stopWork() {
    if (busy_ && wait_)
        wait_->stopAndHide();
}

// ---------------------------------------------------------------- exports

Expected<RunOutcome> GraphFileActions::writeCsv(ExportSource source, const QString& path) {
    if (busy_)
        return fail(Failure::Kind::InUse, GraphWindow::tr("Another export is being written."));
    CsvExport job(window_.store(), source);
    Expected<void> written = job.open(path);
    if (!written)
        return tl::unexpected(written.error());
    const RunOutcome outcome = runWithProgress(
        GraphWindow::tr("Converting to Csv:"), job.total(),
        [&] {
            written = job.writeSome(ExportSlice);
            return written && !job.atEnd();
        },
        [&] { return int(job.done()); });
    if (!written)
        return tl::unexpected(written.error());
    // A stopped export writes nothing: half a file would pass for the
    // whole data.
    if (outcome == RunOutcome::Stopped) {
        job.cancel();
        return outcome;
    }
    return job.finish().transform([] { return RunOutcome::Done; });
}

void GraphFileActions::exportCsv(ExportSource source) {
    if (busy_)
        return;
    const QString target =
        chooseExport(GraphWindow::tr("Csv Files (*.csv);;All Files (*)"), FileKind::Csv);
    if (target.isEmpty())
        return;
    const Expected<RunOutcome> outcome = writeCsv(source, target);
    if (!outcome) {
        reportFailure(GraphWindow::tr("The data could not be saved."), outcome.error().text);
        return;
    }
    const QString text = *outcome == RunOutcome::Stopped
                             ? GraphWindow::tr("The export was cancelled; %1 was not written.")
                                   .arg(shownPath(target))
                             : GraphWindow::tr("Data saved in file : ") + shownPath(target);
    window_.prompts().information(&window_, text, window_.windowTitle());
}

void GraphFileActions::exportAverage() {
    exportCsv(ExportSource::Display);
}

void GraphFileActions::exportAll() {
    exportCsv(ExportSource::Raw);
}

void GraphFileActions::saveGraphSetAs() {
    if (busy_)
        return;
    const QString chosen = chooseSaveFile(graphSetFolder(), QStringLiteral("Grp1"),
                                          GraphWindow::tr("Grp Files (*.Grp *.grp);;All Files (*)"),
                                          QStringLiteral("Grp"));
    if (chosen.isEmpty() || refusesTarget(chosen))
        return;
    const Expected<void> saved = saveGraphSet(chosen, window_.store().seriesSlots);
    // A reserved name was cleared: its series leaves the window.
    window_.takeSlotInformation();
    window_.refresh();
    if (!saved)
        reportFailure(GraphWindow::tr("The graph set could not be saved."), saved.error().text);
}

void GraphFileActions::writeLastGraphSet() {
    if (const Expected<void> saved = saveGraphSet(lastGraphSetPath(), window_.store().seriesSlots);
        !saved)
        reportFailure(GraphWindow::tr("The graph set could not be saved."), saved.error().text);
}

// ---------------------------------------------------------------- list

void GraphFileActions::showList() {
    if (busy_)
        return;
    const bool placed = list_ != nullptr;
    if (!list_)
        list_ = new DataListWindow(&window_);
    list_->show();
    if (!placed)
        list_->placeBeside(&window_);
    list_->raise();
    fillList();
}

Expected<RunOutcome> GraphFileActions::fillList() {
    if (busy_)
        return fail(Failure::Kind::InUse, GraphWindow::tr("An export is being written."));
    if (!list_)
        return fail(Failure::Kind::NotFound, GraphWindow::tr("The list is not open."));
    DataListModel* model = list_->model();
    model->start(window_.store());
    list_->updateColumns();
    return runWithProgress(
        GraphWindow::tr("Filling the list"), model->planned(),
        [model] {
            model->fillSome(ListSlice);
            return model->pending() > 0;
        },
        [model] { return model->filled(); });
}

// ---------------------------------------------------------------- printing

PrintPicture GraphFileActions::printPicture() const {
    PrintPicture picture;
    picture.store = &window_.store();
    picture.scales = window_.scales();
    picture.displayed = window_.displayedSeries();
    picture.heading = window_.printHeading();
    picture.printedAt = QDateTime::currentDateTime();
    return picture;
}

void GraphFileActions::print() {
    if (!window_.printerFound())
        return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageOrientation(QPageLayout::Landscape);
    printer.setDocName(window_.windowTitle());
    if (!paintPrintedPage(printer, printPicture())) {
        reportFailure(GraphWindow::tr("The graph could not be printed."), printer.printerName());
        return;
    }
    window_.prompts().information(&window_, GraphWindow::tr("Graph Printed"),
                                  window_.windowTitle());
}

Expected<void> GraphFileActions::writePdf(const QString& path) {
    return writePdfPage(path, window_.windowTitle(), [this](QPagedPaintDevice& device) {
        return paintPrintedPage(device, printPicture());
    });
}

void GraphFileActions::printToPdf() {
    if (busy_)
        return;
    const QString target =
        chooseExport(GraphWindow::tr("PDF Files (*.pdf);;All Files (*)"), FileKind::Pdf);
    if (target.isEmpty())
        return;
    if (const Expected<void> written = writePdf(target); !written) {
        reportFailure(GraphWindow::tr("The graph could not be printed."), written.error().text);
        return;
    }
    window_.prompts().information(&window_,
                                  GraphWindow::tr("Graph saved in file : ") + shownPath(target),
                                  window_.windowTitle());
}

void GraphFileActions::editPrintHeading() {
    const std::optional<QString> heading = window_.prompts().text(
        &window_, GraphWindow::tr("Page Heading"), GraphWindow::tr("Heading of the printed page:"),
        window_.printHeading());
    if (!heading)
        return;
    // One line: the page has room for one above the first band.
    window_.setPrintHeading(heading->simplified());
    emit window_.printHeadingChanged(window_.printHeading());
}

} // namespace zel::graph
