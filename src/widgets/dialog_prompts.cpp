#include "widgets/prompts.h"

#include "widgets/probe_number_dialog.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>

namespace zel {

namespace {

class DialogPrompts final : public Prompts {
public:
    Answer ask(QWidget* parent, const QString& text, const QString& title,
               bool withCancel) override {
        QMessageBox::StandardButtons buttons = QMessageBox::Yes | QMessageBox::No;
        if (withCancel)
            buttons |= QMessageBox::Cancel;
        const auto r = QMessageBox::question(parent, title, text, buttons);
        if (r == QMessageBox::Yes)
            return Answer::Yes;
        if (r == QMessageBox::No)
            return Answer::No;
        return Answer::Cancel;
    }

    void critical(QWidget* parent, const QString& text, const QString& title,
                  const QString& detail) override {
        QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Ok, parent);
        if (!detail.isEmpty())
            box.setDetailedText(detail);
        box.exec();
    }

    void warning(QWidget* parent, const QString& text, const QString& title) override {
        QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok, parent);
        box.exec();
    }

    void information(QWidget* parent, const QString& text, const QString& title) override {
        QMessageBox::information(parent, title, text, QMessageBox::Ok);
    }

    QString saveFileName(QWidget* parent, const SaveFileQuestion& q) override {
        QFileDialog dialog(parent, q.title, q.folder, q.filter);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(q.suffix);
        dialog.selectFile(q.suggested);
        // Folders and file names read left to right in every language; in
        // a right-to-left window the leading "/" would land at the end.
        for (const char* field : {"lookInCombo", "fileNameEdit"})
            if (auto* w = dialog.findChild<QWidget*>(QLatin1String(field)))
                w->setLayoutDirection(Qt::LeftToRight);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return {};
        // A dialog of the desktop may not add the suffix itself.
        return withDefaultSuffix(dialog.selectedFiles().constFirst(), q.suffix);
    }

    std::optional<QString> text(QWidget* parent, const QString& title, const QString& label,
                                const QString& current) override {
        bool ok = false;
        const QString typed =
            QInputDialog::getText(parent, title, label, QLineEdit::Normal, current, &ok);
        if (!ok)
            return std::nullopt;
        return typed;
    }

    std::optional<ProbeChoice> probe(QWidget* parent) override {
        ProbeNumberDialog dialog(parent);
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        return ProbeChoice{dialog.probeNumber(), dialog.background()};
    }
};

} // namespace

QString withDefaultSuffix(const QString& name, const QString& suffix) {
    if (name.isEmpty() || suffix.isEmpty())
        return name;
    const QString file = QFileInfo(name).fileName();
    // A leading dot names a hidden file, not an extension.
    if (file.lastIndexOf(QLatin1Char('.')) > 0)
        return name;
    return name + QLatin1Char('.') + suffix;
}

Prompts& dialogPrompts() {
    static DialogPrompts prompts;
    return prompts;
}

} // namespace zel
