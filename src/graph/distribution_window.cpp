#include "graph/distribution_window.h"

#include "common/datetime.h"
#include "common/safe_file.h"
#include "common/text.h"
#include "graph/format_value.h"
#include "graph/graph_export.h"
#include "graph/graph_plot_widget.h"
#include "graph/graph_print_widget.h"
#include "graph/graph_window.h"
#include "widgets/accelerators.h"
#include "widgets/prompts.h"

#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenuBar>
#include <QPrinter>
#include <QVBoxLayout>
#include <cmath>

namespace zel::graph {

namespace {

// Numbers in the file are read by other programs: always a point, never a
// group separator.
QString csvNumber(double v) {
    return QString::number(v, 'g', 10);
}

// Figures beyond this many digits read in the exponent form: 155 digits
// would widen the window past the screen.
constexpr double LargestPlainFigure = 1e15;

bool plainFigure(double v) {
    return std::abs(v) < LargestPlainFigure;
}

QString fixed(double v, int decimals) {
    return plainFigure(v) ? QString::number(v, 'f', decimals)
                          : formatPicture(v, QStringLiteral("0.00E+00"));
}

QString probabilityText(double p) {
    return p < 0.001 ? QStringLiteral("< 0.001") : fixed(p, 3);
}

} // namespace

DistributionWindow::DistributionWindow(GraphWindow* graph) : QMainWindow(graph), graph_(graph) {
    setObjectName(QStringLiteral("frmDistribution"));
    setWindowFlag(Qt::Window);
    setWindowTitle(tr("Distribution"));

    QMenuBar* bar = menuBar();
    saveAction_ = bar->addAction(tr("Save distribution…"));
    saveAction_->setObjectName(QStringLiteral("mnSaveDistribution"));
    printAction_ = bar->addAction(tr("Print"));
    printAction_->setObjectName(QStringLiteral("mnPrint"));
    printPdfAction_ = bar->addAction(tr("Print to PDF…"));
    printPdfAction_->setObjectName(QStringLiteral("mnPrintPdf"));
    connect(saveAction_, &QAction::triggered, this, &DistributionWindow::saveDistribution);
    connect(printAction_, &QAction::triggered, this, &DistributionWindow::print);
    connect(printPdfAction_, &QAction::triggered, this, &DistributionWindow::printToPdf);

    auto* central = new QWidget(this);
    setCentralWidget(central);
    auto* top = new QVBoxLayout(central);
    rangeLabel_ = new QLabel(central);
    rangeLabel_->setObjectName(QStringLiteral("lblRange"));
    top->addWidget(rangeLabel_);

    auto* rules = new QHBoxLayout;
    auto* ruleCaption = new QLabel(tr("Bins:"), central);
    ruleBox_ = new QComboBox(central);
    ruleBox_->setObjectName(QStringLiteral("cmbBinRule"));
    ruleBox_->addItems({tr("Freedman–Diaconis"), tr("Sturges"), tr("Width typed")});
    ruleCaption->setBuddy(ruleBox_);
    widthBox_ = new QLineEdit(central);
    widthBox_->setObjectName(QStringLiteral("edBinWidth"));
    widthBox_->setAccessibleName(tr("Bin width"));
    widthBox_->setPlaceholderText(tr("Bin width"));
    widthBox_->setMaximumWidth(100);
    widthBox_->setEnabled(false);
    rules->addWidget(ruleCaption);
    rules->addWidget(ruleBox_);
    rules->addWidget(widthBox_);
    rules->addStretch(1);
    top->addLayout(rules);
    connect(ruleBox_, &QComboBox::activated, this, [this] { takeBinRule(); });
    connect(widthBox_, &QLineEdit::editingFinished, this, [this] { takeBinRule(); });

    auto* middle = new QHBoxLayout;
    plot_ = new DistributionPlotWidget(central);
    plot_->setObjectName(QStringLiteral("picHistogram"));
    plot_->setAccessibleName(tr("Histogram"));
    middle->addWidget(plot_, 1);
    auto* side = new QVBoxLayout;
    figuresGrid_ = new QGridLayout;
    side->addLayout(figuresGrid_);
    addFigure("lblCount", tr("Readings"));
    addFigure("lblMean", tr("Mean"));
    addFigure("lblMedian", tr("Median"));
    addFigure("lblDeviation", tr("Standard deviation"));
    addFigure("lblStandardError", tr("Standard error of the mean"));
    addFigure("lblMinimum", tr("Minimum"));
    addFigure("lblMaximum", tr("Maximum"));
    addFigure("lblPercentile5", tr("5th percentile"));
    addFigure("lblPercentile95", tr("95th percentile"));
    addFigure("lblCountTime", tr("Count time per reading"));
    addFigure("lblMeanCounts", tr("Mean counts per reading"));
    addFigure("lblDispersion", tr("Dispersion index (variance/mean)"));
    addFigure("lblChiSquare", tr("Chi-square"));
    addFigure("lblDegrees", tr("Degrees of freedom"));
    addFigure("lblProbability", tr("Probability"));
    auto note = [&](const char* name) {
        auto* l = new QLabel(central);
        l->setObjectName(QLatin1String(name));
        l->setWordWrap(true);
        l->setTextInteractionFlags(Qt::TextSelectableByMouse);
        side->addWidget(l);
        return l;
    };
    verdictLabel_ = note("lblVerdict");
    countingNote_ = note("lblCountingNote");
    leftOutLabel_ = note("lblLeftOut");
    side->addStretch(1);
    middle->addLayout(side);
    top->addLayout(middle, 1);
    resize(820, 460);
    keepAccelerators(*this);
}

QLabel* DistributionWindow::addFigure(const char* name, const QString& caption) {
    QWidget* parent = centralWidget();
    auto* c = new QLabel(caption + QLatin1Char(':'), parent);
    auto* v = new QLabel(parent);
    v->setObjectName(QLatin1String(name));
    v->setTextInteractionFlags(Qt::TextSelectableByMouse);
    c->setBuddy(v);
    const int row = figuresGrid_->rowCount();
    figuresGrid_->addWidget(c, row, 0);
    figuresGrid_->addWidget(v, row, 1);
    figures_[QLatin1String(name)] = {c, v};
    figureRows_.emplace_back(c, v);
    return v;
}

void DistributionWindow::setFigure(QLabel* value, const QString& text) {
    for (auto& [name, pair] : figures_) {
        if (pair.second != value)
            continue;
        value->setText(text);
        // Read as one: "Mean: 12.3 cps".
        value->setAccessibleName(pair.first->text() + QLatin1Char(' ') + text);
        pair.first->setVisible(!text.isEmpty());
        value->setVisible(!text.isEmpty());
    }
}

QString DistributionWindow::figure(const QString& objectName) const {
    const auto it = figures_.find(objectName);
    return it == figures_.end() ? QString() : it->second.second->text();
}

void DistributionWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    follow();
}

void DistributionWindow::setBinRule(BinRule rule, double typedWidth) {
    ruleBox_->setCurrentIndex(int(rule));
    if (rule == BinRule::Typed)
        widthBox_->setText(QString::number(typedWidth));
    takeBinRule();
}

void DistributionWindow::takeBinRule() {
    rule_ = BinRule(std::clamp(ruleBox_->currentIndex(), 0, 2));
    widthBox_->setEnabled(rule_ == BinRule::Typed);
    // A width in the user's own notation ("0,5" in German) or with a point.
    bool ok = false;
    const QString typed = widthBox_->text().trimmed();
    double w = QLocale().toDouble(typed, &ok);
    if (!ok)
        w = typed.toDouble(&ok);
    typedWidth_ = ok && w > 0 && std::isfinite(w) ? w : 0;
    follow();
}

void DistributionWindow::follow() {
    if (!graph_)
        return;
    const GraphStore& store = graph_->store();
    const int slot = store.activeSeries;
    const bool shown = store.displayCount() > 0 && slot >= 0 && slot < SlotCount;
    window_ = store.window();
    units_ = shown ? store.seriesSlots[size_t(slot)].units.trimmed() : QString();
    seriesName_ = shown ? store.seriesSlots[size_t(slot)].name : QString();
    failure_.clear();
    // A history range drawn from summaries holds no single readings: a
    // distribution of step means would pass for one of readings.
    if (const HistorySeries* history = graph_->history(); history && !history->singleReadings) {
        distribution_ = Distribution{};
        failure_ = tr("The range is too long to load its single readings; zoom in for their "
                      "distribution.");
        showFigures();
        return;
    }
    try {
        WindowValues values = shown ? collectWindowValues(store, slot, window_) : WindowValues{};
        distribution_ = computeDistribution(std::move(values), units_, rule_, typedWidth_);
    } catch (const std::exception& e) {
        // Called from the graph's and this window's event handlers: nothing
        // may leave here. The window says why it shows nothing.
        distribution_ = Distribution{};
        failure_ =
            tr("The distribution could not be computed: %1").arg(QString::fromLocal8Bit(e.what()));
    }
    showFigures();
}

void DistributionWindow::showFigures() {
    const Summary& s = distribution_.summary;
    const CountingTest& t = distribution_.counting;
    setWindowTitle(seriesName_.isEmpty() ? tr("Distribution")
                                         : tr("Distribution of %1").arg(seriesName_));
    rangeLabel_->setText(!failure_.isEmpty() ? failure_
                         : s.count + s.leftOut == 0
                             ? tr("No readings in the window on screen.")
                             : tr("From %1 to %2")
                                   .arg(formatGeneralDateTime(fromDayCount(window_.start)),
                                        formatGeneralDateTime(fromDayCount(window_.end))));
    auto value = [&](double v) {
        return plainFigure(v) ? formatValue(v, 3, units_)
                              : (formatValue(v, 99, units_) + QLatin1Char(' ') + units_).trimmed();
    };
    auto label = [&](const char* name) { return figures_.at(QLatin1String(name)).second; };
    const bool any = s.count > 0;
    setFigure(label("lblCount"), QString::number(s.count));
    setFigure(label("lblMean"), any ? value(s.mean) : QString());
    setFigure(label("lblMedian"), any ? value(s.median) : QString());
    setFigure(label("lblDeviation"), s.count > 1 ? value(s.deviation) : QString());
    setFigure(label("lblStandardError"), s.count > 1 ? value(s.standardError) : QString());
    setFigure(label("lblMinimum"), any ? value(s.minimum) : QString());
    setFigure(label("lblMaximum"), any ? value(s.maximum) : QString());
    setFigure(label("lblPercentile5"), any ? value(s.percentile5) : QString());
    setFigure(label("lblPercentile95"), any ? value(s.percentile95) : QString());

    const bool offered = t.offered();
    const bool countTimeShown = offered && t.countTimeSeconds > 0;
    const bool countTimesVary = t.longestCountTimeSeconds > t.countTimeSeconds;
    setFigure(label("lblCountTime"),
              !countTimeShown ? QString()
              : countTimesVary
                  ? tr("%1 s to %2 s").arg(t.countTimeSeconds).arg(t.longestCountTimeSeconds)
                  : tr("%1 s").arg(t.countTimeSeconds));
    setFigure(label("lblMeanCounts"), offered ? fixed(t.meanCounts, 2) : QString());
    setFigure(label("lblDispersion"), offered ? fixed(t.dispersion, 3) : QString());
    setFigure(label("lblChiSquare"), offered ? fixed(t.chi.statistic, 2) : QString());
    setFigure(label("lblDegrees"), offered ? QString::number(t.chi.degrees) : QString());
    setFigure(label("lblProbability"), offered ? probabilityText(t.chi.probability) : QString());

    QString verdict, note;
    if (offered) {
        switch (t.chi.verdict) {
        case Verdict::AsExpected:
            verdict = tr("scatter as expected");
            break;
        case Verdict::TooLittleScatter:
            verdict = tr("too little scatter");
            break;
        case Verdict::TooMuchScatter:
            verdict = tr("too much scatter");
            break;
        }
        verdict = tr("Counting check: %1").arg(verdict);
        if (countTimesVary)
            note = tr("Each reading counted for its own count time, the time since the reading "
                      "before.");
        else if (t.unit == CountUnit::PerSecond)
            note = tr("Counts are the rates times %1 s, the interval of the readings.")
                       .arg(t.countTimeSeconds);
        else if (t.unit == CountUnit::PerMinute)
            note = tr("Counts are the rates per minute times %1 s / 60 s, the interval of the "
                      "readings.")
                       .arg(t.countTimeSeconds);
    } else {
        switch (t.refusal) {
        case CountingRefusal::NotCountRate:
            note = units_.isEmpty()
                       ? QString()
                       : tr("No counting check: readings in %1 are not counts (only cps, cpm "
                            "and counts are).")
                             .arg(units_);
            break;
        case CountingRefusal::NoInterval:
            note = tr("No counting check: the interval of the readings is not known.");
            break;
        case CountingRefusal::TooFewReadings:
            note = tr("No counting check: it needs at least two readings.");
            break;
        case CountingRefusal::NoCounts:
            note = tr("No counting check: there were no counts.");
            break;
        case CountingRefusal::None:
            break;
        }
    }
    verdictLabel_->setText(verdict);
    verdictLabel_->setVisible(!verdict.isEmpty());
    countingNote_->setText(note);
    countingNote_->setVisible(!note.isEmpty());
    leftOutLabel_->setText(s.leftOut == 1  ? tr("1 reading left out")
                           : s.leftOut > 1 ? tr("%1 readings left out").arg(s.leftOut)
                                           : QString());
    leftOutLabel_->setVisible(s.leftOut > 0);

    HistogramPicture picture;
    picture.histogram = distribution_.histogram;
    picture.units = units_;
    picture.barColor = seriesColor(graph_ ? graph_->store().activeSeries : 0);
    picture.mean = s.mean;
    picture.deviation = s.deviation;
    plot_->setPicture(std::move(picture));
    plot_->setAccessibleName(any ? tr("Histogram of %1 readings in %2 bins")
                                       .arg(s.count)
                                       .arg(distribution_.histogram.bins())
                                 : tr("Histogram"));
    const bool canWrite = any;
    saveAction_->setEnabled(canWrite);
    printAction_->setEnabled(canWrite);
    printPdfAction_->setEnabled(canWrite);
}

QByteArray DistributionWindow::csvText() const {
    const Histogram& h = distribution_.histogram;
    QByteArray out = "Bin from,Bin to,Count,Expected normal,Expected Poisson\r\n";
    for (int32_t k = 0; k < h.bins(); ++k) {
        QStringList row{csvNumber(h.binFrom(k)), csvNumber(h.binTo(k)),
                        QString::number(h.counts[size_t(k)])};
        row << (h.expectedNormal.empty() ? QString() : csvNumber(h.expectedNormal[size_t(k)]));
        row << (h.expectedPoisson.empty() ? QString() : csvNumber(h.expectedPoisson[size_t(k)]));
        out += row.join(QLatin1Char(',')).toUtf8() + "\r\n";
    }
    return out;
}

DistributionPage DistributionWindow::page() const {
    DistributionPage p;
    p.histogram = plot_->picture();
    p.heading = graph_ ? graph_->printHeading() : QString();
    p.title = windowTitle();
    p.timeRange = rangeLabel_->text();
    p.printedAt = QDateTime::currentDateTime();
    for (const auto& [caption, value] : figureRows_)
        if (!value->text().isEmpty())
            p.figures.emplace_back(caption->text(), value->text());
    for (QLabel* l : {verdictLabel_, countingNote_, leftOutLabel_})
        if (!l->text().isEmpty())
            p.notes << l->text();
    return p;
}

Expected<void> DistributionWindow::writeCsv(const QString& path) {
    FileError why;
    if (!writeFileSafely(path, csvText(), &why))
        return fileFailure(why);
    return {};
}

Expected<void> DistributionWindow::writePdf(const QString& path) {
    return writePdfPage(path, windowTitle(), [this](QPagedPaintDevice& device) {
        return paintDistributionPage(device, page());
    });
}

Prompts& DistributionWindow::prompts() const {
    return graph_ ? graph_->prompts() : dialogPrompts();
}

QString DistributionWindow::suggestedName() const {
    QString n = seriesName_.trimmed();
    n.replace(u'/', u'_');
    return n.isEmpty() ? tr("Distribution") : tr("Distribution of %1").arg(n);
}

void DistributionWindow::saveDistribution() {
    if (!graph_ || !saveAction_->isEnabled())
        return;
    const QString chosen = graph_->files().chooseSaveFile(exportFolder(), suggestedName(),
                                                          tr("Csv Files (*.csv);;All Files (*)"),
                                                          QStringLiteral("csv"));
    if (chosen.isEmpty())
        return;
    const QString target = csvTargetName(chosen);
    if (graph_->files().refusesTarget(target))
        return;
    if (const Expected<void> written = writeCsv(target); !written) {
        prompts().warning(this,
                          tr("The distribution could not be saved.") + QLatin1Char('\n') +
                              written.error().text,
                          windowTitle());
        return;
    }
    prompts().information(
        this, tr("Data saved in file : ") + leftToRight(QDir::toNativeSeparators(target)),
        windowTitle());
}

void DistributionWindow::print() {
    if (!printAction_->isEnabled())
        return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageOrientation(QPageLayout::Landscape);
    printer.setDocName(windowTitle());
    if (!paintDistributionPage(printer, page())) {
        prompts().warning(this,
                          tr("The distribution could not be printed.") + QLatin1Char('\n') +
                              printer.printerName(),
                          windowTitle());
        return;
    }
    prompts().information(this, tr("Distribution printed"), windowTitle());
}

void DistributionWindow::printToPdf() {
    if (!graph_ || !printPdfAction_->isEnabled())
        return;
    const QString chosen = graph_->files().chooseSaveFile(exportFolder(), suggestedName(),
                                                          tr("PDF Files (*.pdf);;All Files (*)"),
                                                          QStringLiteral("pdf"));
    if (chosen.isEmpty())
        return;
    const QString target = pdfTargetName(chosen);
    if (graph_->files().refusesTarget(target))
        return;
    if (const Expected<void> written = writePdf(target); !written) {
        prompts().warning(this,
                          tr("The distribution could not be printed.") + QLatin1Char('\n') +
                              written.error().text,
                          windowTitle());
        return;
    }
    prompts().information(
        this, tr("Distribution saved in file : ") + leftToRight(QDir::toNativeSeparators(target)),
        windowTitle());
}

} // namespace zel::graph
