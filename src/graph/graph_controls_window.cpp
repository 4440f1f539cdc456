#include "graph/graph_window.h"

// The graph window's menus, legend, scale column, plot and buttons: every
// objectName and caption the window is known by.

#include "graph/wrapped_label_widget.h"

#include <QActionGroup>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace zel::graph {

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
    connect(listAction_, &QAction::triggered, files_, &GraphFileActions::showList);
    distributionAction_ = named(bar->addAction(tr("Distribution")), "mnDistribution");
    connect(distributionAction_, &QAction::triggered, this, &GraphWindow::showDistribution);
    onlineAction_ = named(bar->addAction(tr("OnLine")), "mnOnline");
    connect(onlineAction_, &QAction::triggered, this, &GraphWindow::toggleOnline);
    QMenu* exportMenu = bar->addMenu(tr("Export"));
    exportMenu->menuAction()->setObjectName(QStringLiteral("mnExport"));
    connect(named(exportMenu->addAction(tr("Average To Csv")), "mnCsv"), &QAction::triggered,
            files_, &GraphFileActions::exportAverage);
    connect(named(exportMenu->addAction(tr("All To Csv")), "mnAllToCsv"), &QAction::triggered,
            files_, &GraphFileActions::exportAll);
    connect(named(exportMenu->addAction(tr("Save Set Graph")), "mnSaveSet"), &QAction::triggered,
            files_, &GraphFileActions::saveGraphSetAs);
    backAction_ = named(bar->addAction(QStringLiteral("<-")), "mnBack");
    forwardAction_ = named(bar->addAction(QStringLiteral("->")), "mnFor");
    backAction_->setEnabled(false);
    forwardAction_->setEnabled(false);
    connect(backAction_, &QAction::triggered, this, &GraphWindow::goBack);
    connect(forwardAction_, &QAction::triggered, this, &GraphWindow::goForward);
    printAction_ = named(bar->addAction(tr("Print")), "mnPrint");
    printAction_->setEnabled(false); // until a printer is found
    connect(printAction_, &QAction::triggered, files_, &GraphFileActions::print);
    // Many desktops have no printer: a PDF of the same page always works.
    printPdfAction_ = named(bar->addAction(tr("Print to PDF…")), "mnPrintPdf");
    connect(printPdfAction_, &QAction::triggered, files_, &GraphFileActions::printToPdf);
    connect(named(bar->addAction(tr("Page Heading…")), "mnPrintHeading"), &QAction::triggered,
            files_, &GraphFileActions::editPrintHeading);
    // The station's archive: any range, a year at once. Last, so the
    // commands before it keep their keys.
    QAction* historyAction = named(bar->addAction(tr("History…")), "mnHistory");
    historyAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    connect(historyAction, &QAction::triggered, this, &GraphWindow::chooseHistory);
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
                                 .arg(seriesColor(s).name()));
        entry->installEventFilter(this);
        auto* value = new QLabel(central);
        value->setObjectName(QStringLiteral("edData_%1").arg(s));
        value->setMinimumWidth(90);
        value->setStyleSheet(QStringLiteral("color: %1;").arg(seriesColor(s).name()));
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
        box->setStyleSheet(QStringLiteral("color: %1;").arg(seriesColor(s).name()));
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
    // A long line of figures (German, or "newest … of …") wraps rather than
    // widening the window past the screen.
    stats_ = new PlainWrappedLabel(central);
    stats_->setObjectName(QStringLiteral("lblStats"));
    stats_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    top->addWidget(new WrappedLabelHolder(stats_, central));

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

} // namespace zel::graph
