#include "ui/debug_window.h"

#include "common/paths.h"
#include "common/strings.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollBar>
#include <QVBoxLayout>

namespace zel {

DebugWindow::DebugWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName("frmDebug");
    setWindowTitle(tr3("Debug", "Debug", "ניפוי שגיאות"));

    List1_ = new QListWidget(this);
    List1_->setObjectName("List1");
    List1_->setAccessibleName(tr3("Traffic log", "Verkehrsprotokoll", "יומן תעבורה"));
    List1_->setUniformItemSizes(true); // keeps a long list fast
    List1_->setFont(QFont("Monospace"));
    // Link traffic reads left to right in every language.
    List1_->setLayoutDirection(Qt::LeftToRight);
    List1_->setMinimumSize(List1_->fontMetrics().horizontalAdvance(QString(60, QChar('0'))),
                           List1_->fontMetrics().height() * 16);

    auto* btSave = new QPushButton(tr3("Save", "Speichern", "שמירה"), this);
    btSave->setObjectName("btSave");
    btSave->setAccessibleName(btSave->text());
    auto* btClear = new QPushButton(tr3("Clear", "Leeren", "ניקוי"), this);
    btClear->setObjectName("btClear");
    btClear->setAccessibleName(btClear->text());
    chkShowAll_ = new QCheckBox(tr3("Show All", "Alles anzeigen", "הצג הכול"), this);
    chkShowAll_->setObjectName("chkShowAll");
    chkShowAll_->setAccessibleName(chkShowAll_->text());

    auto counter = [this](const char* name, const QString& accessible) {
        auto* e = new QLineEdit("0", this);
        e->setObjectName(name);
        e->setReadOnly(true);
        e->setAccessibleName(accessible);
        e->setAlignment(Qt::AlignRight);
        e->setMaximumWidth(e->fontMetrics().horizontalAdvance("00000000000000"));
        return e;
    };
    edErrCount_ = counter("edErrCount", tr3("Error Count", "Fehlerzahl", "מספר שגיאות"));
    edTotalErrors_ = counter("edTotalErrors", tr3("Total Errors", "Fehler gesamt", "סך השגיאות"));

    auto* counters = new QFormLayout;
    counters->addRow(tr3("Error Count:", "Fehlerzahl:", "מספר שגיאות:"), edErrCount_);
    counters->addRow(tr3("Total Errors:", "Fehler gesamt:", "סך השגיאות:"), edTotalErrors_);

    auto* side = new QVBoxLayout;
    side->addWidget(btSave);
    side->addWidget(btClear);
    side->addWidget(chkShowAll_);
    side->addSpacing(12);
    side->addLayout(counters);
    side->addStretch();

    auto* top = new QHBoxLayout(this);
    top->addWidget(List1_, 1);
    top->addLayout(side);

    connect(btSave, &QPushButton::clicked, this, &DebugWindow::btSave_Click);
    connect(btClear, &QPushButton::clicked, this, &DebugWindow::btClear_Click);
}

void DebugWindow::addLine(const QString& line) {
    QScrollBar* bar = List1_->verticalScrollBar();
    const bool following = bar->value() == bar->maximum();
    while (List1_->count() >= MaxLines)
        delete List1_->takeItem(0);
    List1_->addItem(line);
    // Follow the newest traffic unless the user scrolled back to read.
    if (following && isVisible())
        List1_->scrollToBottom();
}

int DebugWindow::lineCount() const {
    return List1_->count();
}

QString DebugWindow::line(int index) const {
    const QListWidgetItem* item = List1_->item(index);
    return item ? item->text() : QString();
}

bool DebugWindow::showAll() const {
    return chkShowAll_->isChecked();
}

void DebugWindow::setCounters(quint32 errorCount, quint32 totalErrors) {
    edErrCount_->setText(QString::number(errorCount));
    edTotalErrors_->setText(QString::number(totalErrors));
}

void DebugWindow::btClear_Click() {
    List1_->clear();
}

bool DebugWindow::saveTo(const QString& path, const QDateTime& now, QString* error) const {
    // The lines show raw link bytes as characters, so the file keeps one
    // byte per character, as the instrument sent them.
    QByteArray text;
    text.reserve(64 + List1_->count() * 48);
    text += '#' + now.toString("yyyy-MM-dd HH:mm:ss").toLatin1() + "#,\"Zel 1.05 debug\"\r\n";
    for (int i = 0; i < List1_->count(); ++i)
        text += '"' + List1_->item(i)->text().toLatin1() + "\"\r\n";

    // Written beside and renamed over the old log, so a failed save leaves
    // the previous log whole.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

void DebugWindow::btSave_Click() {
    QString error;
    const QString title = QStringLiteral("Zel");
    if (saveTo(programFile("ZelDbg.txt"), QDateTime::currentDateTime(), &error)) {
        QMessageBox::information(this, title,
                                 tr3("Data saved in file ZelDbg.txt",
                                     "Daten in Datei ZelDbg.txt gespeichert",
                                     "הנתונים נשמרו בקובץ ZelDbg.txt"),
                                 QMessageBox::Ok);
    } else {
        QMessageBox box(QMessageBox::Warning, title,
                        tr3("The file ZelDbg.txt could not be written",
                            "Die Datei ZelDbg.txt konnte nicht geschrieben werden",
                            "לא ניתן היה לכתוב את הקובץ ZelDbg.txt"),
                        QMessageBox::Ok, this);
        box.setDetailedText(programFile("ZelDbg.txt") + "\n" + error);
        box.exec();
    }
}

} // namespace zel
