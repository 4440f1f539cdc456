#include "widgets/prompts.h"

#include "widgets/probe_number_dialog.h"

#include <QFileDialog>
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
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return {};
        return dialog.selectedFiles().constFirst();
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

Prompts& dialogPrompts() {
    static DialogPrompts prompts;
    return prompts;
}

} // namespace zel
