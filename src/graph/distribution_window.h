#pragma once
// The distribution of the graph's window on screen: histogram, figures and
// the chi-square check of counting statistics, following the graph through
// zoom, back and forward, All and on-line mode. Every figure is a label's
// text, so a screen reader reads it.
#include "common/failure.h"
#include "graph/distribution.h"
#include "graph/distribution_widget.h"

#include <QMainWindow>
#include <QPointer>
#include <map>
#include <vector>

class QAction;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;

namespace zel {
class Prompts;
}

namespace zel::graph {

class GraphWindow;

class DistributionWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit DistributionWindow(GraphWindow* graph);

    // Recomputes from the graph's window on screen and its active series.
    void follow();
    const Distribution& distribution() const { return distribution_; }
    void setBinRule(BinRule rule, double typedWidth = 0);

    // The figure shown under `objectName` (e.g. "lblMean"); empty when hidden.
    QString figure(const QString& objectName) const;
    // What "Save distribution" writes.
    QByteArray csvText() const;
    DistributionPage page() const;
    Expected<void> writeCsv(const QString& path);
    Expected<void> writePdf(const QString& path);
    DistributionPlotWidget* plot() const { return plot_; }

public slots:
    void saveDistribution();
    void print();
    void printToPdf();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* addFigure(const char* name, const QString& caption);
    void setFigure(QLabel* label, const QString& text);
    void showFigures();
    void takeBinRule();
    QString suggestedName() const;
    // The graph's, which tell and ask for it.
    Prompts& prompts() const;

    QPointer<GraphWindow> graph_;
    Distribution distribution_;
    QString units_, seriesName_;
    QString failure_; // why nothing could be computed; empty when it could
    TimeWindow window_{};
    BinRule rule_ = BinRule::FreedmanDiaconis;
    double typedWidth_ = 0;

    DistributionPlotWidget* plot_;
    QComboBox* ruleBox_;
    QLineEdit* widthBox_;
    QGridLayout* figuresGrid_;
    std::map<QString, std::pair<QLabel*, QLabel*>> figures_; // caption, value
    std::vector<std::pair<QLabel*, QLabel*>> figureRows_;    // in the window's order
    QLabel *rangeLabel_, *verdictLabel_, *countingNote_, *leftOutLabel_;
    QAction *saveAction_, *printAction_, *printPdfAction_;
};

} // namespace zel::graph
