// The main window's read-outs: the value large enough to read across a
// room, the dose, the connection lamp, the status line, the reading's
// details, the count and the automatic measurement's progress, and the
// list below them. A reading arrives ten times a second, so each setter
// touches a widget only when what it shows changes.
#include "ui/main_window.h"

#include "common/text.h"
#include "station/families.h"
#include "ui/fitted_label.h"
#include "widgets/spoken_text.h"
#include "widgets/window_arrangement.h"

#include <QApplication>
#include <QEvent>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmapCache>
#include <QPointer>
#include <QProgressBar>
#include <QProxyStyle>
#include <QStatusBar>
#include <QStyleFactory>
#include <QStyleOptionFrame>
#include <QTableView>

namespace zel {

namespace {

// Draws a read-out's panel from a picture kept per size, state and colours.
// The style draws the panel antialiased, which costs more than the text in
// it, and the count and the activity read-outs are drawn again for every
// reading. The picture is drawn over the window's own solid background, so
// copying it gives the same pixels as drawing the panel in place.
class CachedPanelStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        const auto* frame = qstyleoption_cast<const QStyleOptionFrame*>(option);
        const QBrush under = widget ? widget->palette().brush(QPalette::Window) : QBrush();
        if (element != PE_PanelLineEdit || !frame || under.style() != Qt::SolidPattern ||
            option->rect.isEmpty() || !painter->transform().isIdentity()) {
            QProxyStyle::drawPrimitive(element, option, painter, widget);
            return;
        }
        const qreal ratio = painter->device()->devicePixelRatio();
        const QString key = QStringLiteral("zel-readout-panel:%1x%2:%3:%4:%5:%6:%7")
                                .arg(option->rect.width())
                                .arg(option->rect.height())
                                .arg(int(option->state))
                                .arg(frame->lineWidth)
                                .arg(option->palette.cacheKey())
                                .arg(under.color().rgba())
                                .arg(ratio);
        QPixmap picture;
        if (!QPixmapCache::find(key, &picture)) {
            picture = QPixmap(option->rect.size() * ratio);
            picture.setDevicePixelRatio(ratio);
            picture.fill(under.color());
            QPainter paint(&picture);
            paint.setPen(painter->pen());
            paint.setBrush(painter->brush());
            paint.setFont(painter->font());
            paint.setRenderHints(painter->renderHints());
            QStyleOptionFrame atOrigin = *frame;
            atOrigin.rect.moveTo(0, 0);
            QProxyStyle::drawPrimitive(element, &atOrigin, &paint, widget);
            paint.end();
            QPixmapCache::insert(key, picture);
        }
        painter->drawPixmap(option->rect.topLeft(), picture);
    }
};

// One for all read-outs, over the application's style; none when that
// style cannot be made again by name.
QStyle* readoutStyle() {
    static QPointer<QStyle> style;
    if (!style) {
        QStyle* base = QStyleFactory::create(QApplication::style()->name());
        if (!base)
            return nullptr;
        style = new CachedPanelStyle(base);
        style->setParent(qApp);
    }
    return style;
}

QLineEdit* makeReadout(const QString& name, const QString& accessible, QWidget* parent) {
    auto* e = new QLineEdit(parent);
    if (QStyle* style = readoutStyle())
        e->setStyle(style);
    e->setObjectName(name);
    e->setReadOnly(true);
    e->setAccessibleName(accessible);
    return e;
}

// A line edit repaints and re-lays out on every setText, even of the same
// text; readings mostly repeat their id, status and detector.
void setChangedText(QLineEdit* edit, const QString& text) {
    if (edit->text() != text)
        edit->setText(text);
}

} // namespace

QColor alarmLevelColor(AlarmLevel level) {
    switch (level) {
    case AlarmLevel::Normal:
        return QColor(0, 255, 0);
    case AlarmLevel::High1:
        return QColor(255, 255, 0);
    case AlarmLevel::High2:
        return QColor(255, 0, 0);
    case AlarmLevel::Fault:
        return QColor(255, 0, 255);
    case AlarmLevel::LostContact:
        return QColor(128, 255, 255);
    }
    return QColor();
}

QColor connectionLampColor(bool connected) {
    return connected ? QColor(128, 255, 128) : QColor(255, 128, 128);
}

QColor statusTextColor(StatusKind kind) {
    switch (kind) {
    case StatusKind::Problem:
        return QColor(255, 0, 0);
    case StatusKind::Success:
        return QColor(0, 0, 255);
    case StatusKind::Note:
    case StatusKind::Progress:
        break;
    }
    return QColor();
}

void MainWindow::buildReadouts(QGridLayout* readouts, QWidget* central) {
    // Read-outs take the width the layout gives them: a reading of any
    // length is fitted into it and never widens the window.
    valueLabel_ = new FittedLabel(central);
    valueLabel_->setObjectName(QStringLiteral("lblValue"));
    speakText(valueLabel_, tr("Value"));
    valueLabel_->setFullText(QStringLiteral("---"));
    valueLabel_->setRestingToolTip(tr("Latest reading; click to mute the alarm"));
    valueLabel_->setAlignment(Qt::AlignCenter);
    valueLabel_->setMinimumHeight(90);
    QFont big = valueLabel_->font();
    big.setPointSize(36);
    big.setBold(true);
    valueLabel_->setFont(big);
    valueLabel_->setFrameShape(QFrame::Panel);
    valueLabel_->setFrameShadow(QFrame::Sunken);
    valueLabel_->setCursor(Qt::PointingHandCursor);
    valueLabel_->installEventFilter(this);
    readouts->addWidget(new FittedLabelHolder(valueLabel_, central), 0, 0, 1, 4);

    doseLabel_ = new FittedLabel(central);
    doseLabel_->setObjectName(QStringLiteral("lblDose"));
    speakText(doseLabel_, tr("Dose"));
    QFont mid = doseLabel_->font();
    mid.setPointSize(14);
    doseLabel_->setFont(mid);
    readouts->addWidget(new FittedLabelHolder(doseLabel_, central), 1, 0, 1, 2);

    connectionLamp_ = new QFrame(central);
    connectionLamp_->setObjectName(QStringLiteral("spOk"));
    connectionLamp_->setAccessibleName(tr("Connection"));
    connectionLamp_->setFixedSize(22, 22);
    connectionLamp_->setFrameShape(QFrame::Box);
    connectionLamp_->setToolTip(tr("Connection to the instrument"));
    readouts->addWidget(connectionLamp_, 1, 3, Qt::AlignRight);

    statusLabel_ = new FittedLabel(central);
    statusLabel_->setObjectName(QStringLiteral("lblTime"));
    speakText(statusLabel_, tr("Status"));
    statusLabel_->setFont(mid);
    statusLabel_->setMinimumWidth(300);
    readouts->addWidget(new FittedLabelHolder(statusLabel_, central), 2, 0, 1, 4);

    idCaption_ = new QLabel(tr("ID No.:"), central);
    detectorCaption_ = new QLabel(tr("Detector:"), central);
    statusCaption_ = new QLabel(tr("Status:"), central);
    idCaption_->setObjectName(QStringLiteral("Label6"));
    detectorCaption_->setObjectName(QStringLiteral("Label7"));
    statusCaption_->setObjectName(QStringLiteral("Label8"));
    idField_ = makeReadout(QStringLiteral("edId"), tr("ID No."), central);
    detectorField_ = makeReadout(QStringLiteral("edDetector"), tr("Detector"), central);
    statusField_ = makeReadout(QStringLiteral("edStatus"), tr("Status"), central);
    idCaption_->setBuddy(idField_);
    detectorCaption_->setBuddy(detectorField_);
    statusCaption_->setBuddy(statusField_);
    readouts->addWidget(idCaption_, 3, 0);
    readouts->addWidget(idField_, 3, 1);
    readouts->addWidget(detectorCaption_, 3, 2);
    readouts->addWidget(detectorField_, 3, 3);
    readouts->addWidget(statusCaption_, 4, 0);
    readouts->addWidget(statusField_, 4, 1);
    auto* countLabel = new QLabel(tr("Readings:"), central);
    countField_ = makeReadout(QStringLiteral("edCount"), tr("Readings"), central);
    countLabel->setBuddy(countField_);
    activityField_ = makeReadout(QStringLiteral("edProgress"), tr("Activity"), central);
    activityField_->setMaximumWidth(40);
    auto* countRow = new QHBoxLayout;
    countRow->addWidget(countField_);
    countRow->addWidget(activityField_);
    readouts->addWidget(countLabel, 4, 2);
    readouts->addLayout(countRow, 4, 3);
    autoField_ = makeReadout(QStringLiteral("edAuto"), tr("Automatic"), central);
    autoField_->setText(tr("Automatic"));
    autoProgress_ = new QProgressBar(central);
    autoProgress_->setObjectName(QStringLiteral("ProgressBar1"));
    autoProgress_->setAccessibleName(tr("Automatic measurement progress"));
    readouts->addWidget(autoField_, 5, 0, 1, 2);
    readouts->addWidget(autoProgress_, 5, 2, 1, 2);
    // Extra height goes to the value read-out, not into gaps between rows.
    readouts->setRowStretch(0, 1);
}

void MainWindow::buildList() {
    listView_->setModel(list_);
    // The twip widths were chosen for a proportional font; the list uses a
    // fixed one so padded numbers line up, so each column is at least wide
    // enough for its padded text.
    const int charWidth = QFontMetrics(listView_->font()).horizontalAdvance(QLatin1Char('0'));
    // A Portables id ("QUORIN 00042") is twelve characters. A value can
    // carry an exponent ("-9.99994610111476E-41"): cut short it would read
    // as another number.
    const int minChars[MeasurementList::Columns] = {12, 19, 2, 22, 10, 10, 12};
    for (int c = 0; c < MeasurementList::Columns; ++c) {
        listView_->setColumnHidden(c, list_->columnHidden(c));
        listView_->setColumnWidth(
            c, std::max(pixelsFromTwips(list_->columnWidthTwips(c)), charWidth * minChars[c] + 8));
    }
    const ReadoutCaptions& captions = familyOrDefault(settings_.InstrumentType).readouts;
    if (captions.id)
        idCaption_->setText(QString::fromUtf8(captions.id));
    if (captions.detector)
        detectorCaption_->setText(QString::fromUtf8(captions.detector));
    if (captions.status)
        statusCaption_->setText(QString::fromUtf8(captions.status));
    listView_->horizontalHeader()->setStretchLastSection(true);
}

void MainWindow::showAutoReadouts(bool shown) {
    autoField_->setVisible(shown);
    autoProgress_->setVisible(shown);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == valueLabel_ && event->type() == QEvent::MouseButtonRelease)
        muteAlarm();
    return QMainWindow::eventFilter(watched, event);
}

// Style sheets are re-applied only when a colour really changes: a restyle
// costs far more than the text of a reading.
void MainWindow::setStatus(const QString& text, StatusKind kind) {
    if (text != statusLabel_->fullText()) {
        statusLabel_->setFullText(text);
        announceText(statusLabel_);
    }
    const QColor color = statusTextColor(kind);
    if (color.isValid() && color != statusColor_) {
        statusColor_ = color;
        statusLabel_->setStyleSheet(QStringLiteral("color: %1;").arg(color.name()));
    }
}

void MainWindow::setConnected(bool connected) {
    if (lampConnected_ == connected)
        return;
    lampConnected_ = connected;
    connectionLamp_->setStyleSheet(
        QStringLiteral("background-color: %1; border-radius: 11px; border: 1px solid gray;")
            .arg(connectionLampColor(connected).name()));
}

void MainWindow::setValueText(const QString& text) {
    valueLabel_->setFullText(text);
}

void MainWindow::setAlarmLevel(AlarmLevel level) {
    // Every reading sets the level; most keep it.
    if (shownLevel_ == level)
        return;
    shownLevel_ = level;
    const QColor c = alarmLevelColor(level);
    valueLabel_->setStyleSheet(c.isValid() ? QStringLiteral("background-color: %1;").arg(c.name())
                                           : QString());
}

void MainWindow::setReadingDetails(const QString& id, const QString& status,
                                   const QString& detector) {
    setChangedText(idField_, id);
    setChangedText(statusField_, status);
    setChangedText(detectorField_, detector);
}

void MainWindow::setCount(qint32 count) {
    setChangedText(countField_, QString::number(count));
}

void MainWindow::setProgress(const QString& spinner) {
    setChangedText(activityField_, spinner);
}

void MainWindow::setDownloadProgress(const QString& text) {
    auto* label = findChild<QLabel*>(QStringLiteral("lblDownload"));
    if (!label) {
        label = new QLabel(this);
        label->setObjectName(QStringLiteral("lblDownload"));
        label->setAccessibleName(QStringLiteral("Download progress"));
        statusBar()->addWidget(label);
    }
    label->setText(text);
}

} // namespace zel
