#include "ui/debug_window.h"

#include "widgets/spoken_text.h"

#include "common/paths.h"
#include "common/safe_file.h"
#include "widgets/accelerators.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

namespace zel {

DebugWindow::DebugWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName("frmDebug");
    setWindowTitle(tr("Debug"));
    exposeAsWindow(this);

    log_ = new QListWidget(this);
    log_->setObjectName("List1");
    log_->setAccessibleName(tr("Traffic log"));
    log_->setUniformItemSizes(true); // keeps a long list fast
    log_->setFont(QFont("Monospace"));
    // Link traffic reads left to right in every language.
    log_->setLayoutDirection(Qt::LeftToRight);
    log_->setMinimumSize(log_->fontMetrics().horizontalAdvance(QString(60, QChar('0'))),
                         log_->fontMetrics().height() * 16);

    auto* saveButton = new QPushButton(tr("Save"), this);
    saveButton->setObjectName("btSave");
    saveButton->setAccessibleName(saveButton->text());
    auto* clearButton = new QPushButton(tr("Clear"), this);
    clearButton->setObjectName("btClear");
    clearButton->setAccessibleName(clearButton->text());
    showAllBox_ = new QCheckBox(tr("Show All"), this);
    showAllBox_->setObjectName("chkShowAll");
    showAllBox_->setAccessibleName(showAllBox_->text());

    auto counter = [this](const char* name, const QString& accessible) {
        auto* e = new QLineEdit("0", this);
        e->setObjectName(name);
        e->setReadOnly(true);
        e->setAccessibleName(accessible);
        e->setAlignment(Qt::AlignRight);
        e->setMaximumWidth(e->fontMetrics().horizontalAdvance("00000000000000"));
        return e;
    };
    errorCountField_ = counter("edErrCount", tr("Error Count"));
    totalErrorsField_ = counter("edTotalErrors", tr("Total Errors"));

    auto* counters = new QFormLayout;
    counters->addRow(tr("Error Count:"), errorCountField_);
    counters->addRow(tr("Total Errors:"), totalErrorsField_);

    auto* side = new QVBoxLayout;
    side->addWidget(saveButton);
    side->addWidget(clearButton);
    side->addWidget(showAllBox_);
    side->addSpacing(12);
    side->addLayout(counters);
    side->addStretch();

    auto* top = new QHBoxLayout(this);
    top->addWidget(log_, 1);
    top->addLayout(side);

    connect(saveButton, &QPushButton::clicked, this, &DebugWindow::saveLog);
    connect(clearButton, &QPushButton::clicked, this, &DebugWindow::clearLog);
    keepAccelerators(*this);
}

void DebugWindow::addLine(const QString& line) {
    QScrollBar* bar = log_->verticalScrollBar();
    const bool following = bar->value() == bar->maximum();
    while (log_->count() >= MaxLines)
        delete log_->takeItem(0);
    log_->addItem(line);
    // Follow the newest traffic unless the user scrolled back to read.
    if (following && isVisible())
        log_->scrollToBottom();
}

int DebugWindow::lineCount() const {
    return log_->count();
}

QString DebugWindow::line(int index) const {
    const QListWidgetItem* item = log_->item(index);
    return item ? item->text() : QString();
}

bool DebugWindow::showAll() const {
    return showAllBox_->isChecked();
}

void DebugWindow::setCounters(quint32 errorCount, quint32 totalErrors) {
    errorCountField_->setText(QString::number(errorCount));
    totalErrorsField_->setText(QString::number(totalErrors));
}

void DebugWindow::clearLog() {
    log_->clear();
}

Expected<void> DebugWindow::saveTo(const QString& path, const QDateTime& now) const {
    // The lines show raw link bytes as characters, so the file keeps one
    // byte per character, as the instrument sent them.
    QByteArray text;
    text.reserve(64 + log_->count() * 48);
    text += '#' + now.toString("yyyy-MM-dd HH:mm:ss").toLatin1() + "#,\"Zel 1.05 debug\"\r\n";
    for (int i = 0; i < log_->count(); ++i)
        text += '"' + log_->item(i)->text().toLatin1() + "\"\r\n";

    // Written beside and renamed over the old log, so a failed save leaves
    // the previous log whole.
    FileError why;
    if (writeFileSafely(path, text, &why))
        return {};
    return fail(Failure::Kind::Other, why.message());
}

void DebugWindow::saveLog() {
    const QString title = QStringLiteral("Zel");
    const Expected<void> saved = saveTo(programFile("ZelDbg.txt"), QDateTime::currentDateTime());
    if (saved) {
        QMessageBox::information(this, title, tr("Data saved in file ZelDbg.txt"), QMessageBox::Ok);
    } else {
        QMessageBox box(QMessageBox::Warning, title, tr("The file ZelDbg.txt could not be written"),
                        QMessageBox::Ok, this);
        box.setDetailedText(programFile("ZelDbg.txt") + "\n" + saved.error().text);
        box.exec();
    }
}

} // namespace zel
