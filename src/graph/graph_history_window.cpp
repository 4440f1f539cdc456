#include "graph/graph_window.h"

// The graph window's history: a range of the station's archive in place of
// the working file's readings.
#include "archive/archive.h"
#include "common/paths.h"
#include "graph/history_dialog.h"
#include "widgets/prompts.h"

#include <QDateTime>

namespace zel::graph {

// Points of a history range: a few short of the store's thousand, so the
// empty points that mark gaps between single readings still fit unreduced.
constexpr int HistorySteps = 900;

QString GraphWindow::archivePath() const {
    return archivePath_.isEmpty() ? Archive::pathIn(programFolder()) : archivePath_;
}

Expected<void> GraphWindow::showHistory(const HistoryRange& range) {
    Expected<HistorySeries> read = readHistory(archivePath(), range, HistorySteps);
    if (!read)
        return tl::unexpected(read.error());
    if (read->times.size() < size_t(MinWindowRecords))
        return fail(Failure::Kind::NotFound, tr("Too few readings in this range to draw."));
    // Back and forward move between the ranges looked at in this history.
    WindowHistory looked = history_ ? store_.history() : WindowHistory{};
    if (!history_) {
        startAfresh();
        historyWhole_ = range;
    }
    if (online_) {
        setOnline(false);
        tellOnline();
    }
    history_ = std::move(*read);
    store_.load(history_->request());
    store_.windowToAll();
    store_.reduce(false);
    looked.add({dayCountOfMs(range.fromMs), dayCountOfMs(range.toMs)});
    store_.history() = looked;
    takeSlotInformation();
    updateHistoryMenu();
    clearReadOut();
    refresh();
    return {};
}

void GraphWindow::chooseHistory() {
    Archive archive;
    if (!archive.open(archivePath(), Archive::OpenMode::Inspect)) {
        prompts_->warning(this, archive.lastError(), windowTitle());
        return;
    }
    const Archive::Stats figures = archive.stats();
    archive.close();
    const qint64 now = QDateTime::currentDateTimeUtc().toMSecsSinceEpoch();
    const HistoryRange initial =
        history_ ? history_->range : historyRangeOf(HistorySpan::LastDay, now, figures.firstMs);
    const std::optional<HistoryRange> range = HistoryDialog::ask(this, initial, figures.firstMs);
    if (!range)
        return;
    history_.reset(); // a new choice starts a new history
    if (const Expected<void> shown = showHistory(*range); !shown)
        prompts_->warning(this, shown.error().text, windowTitle());
}

} // namespace zel::graph
