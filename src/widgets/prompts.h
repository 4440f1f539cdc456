#pragma once
// What a window asks of the person in front of it and what it tells them:
// questions, messages, a file name to save under, a line of text and the
// probe of the next automatic measurement. A window takes its prompts from
// its owner, so tests answer with a recording fake instead of modal
// dialogs; dialogPrompts() shows the real dialogs.
#include "station/auto_measurement.h" // ProbeChoice
#include "station/station_view.h"

#include <QString>
#include <optional>

class QWidget;

namespace zel {

// A save dialog's set-up.
struct SaveFileQuestion {
    QString title;
    QString folder;    // where the dialog opens
    QString suggested; // the name offered
    QString filter;    // "Csv Files (*.csv);;All Files (*)"
    // Added to a name typed without an extension before the dialog asks
    // about overwriting, so the question names the file that is written;
    // empty adds nothing.
    QString suffix;
};

class Prompts {
public:
    virtual ~Prompts() = default;

    // Yes or No, and Cancel as well when `withCancel`.
    virtual Answer ask(QWidget* parent, const QString& text, const QString& title,
                       bool withCancel) = 0;
    // An error; `detail` (when not empty) is shown on request.
    virtual void critical(QWidget* parent, const QString& text, const QString& title,
                          const QString& detail) = 0;
    // Something the user asked for could not be done.
    virtual void warning(QWidget* parent, const QString& text, const QString& title) = 0;
    virtual void information(QWidget* parent, const QString& text, const QString& title) = 0;
    // The name chosen to save under; empty when cancelled.
    virtual QString saveFileName(QWidget* parent, const SaveFileQuestion& question) = 0;
    // One line of text, offering `current`; nothing when cancelled.
    virtual std::optional<QString> text(QWidget* parent, const QString& title, const QString& label,
                                        const QString& current) = 0;
    // The probe of the next automatic measurement; nothing when cancelled.
    virtual std::optional<ProbeChoice> probe(QWidget* parent) = 0;
};

// Message boxes, the file dialog, the input dialog and the probe dialog.
Prompts& dialogPrompts();

// `name` with "." + `suffix` added when its file name has no extension of
// its own (a name typed as "report" is written as "report.csv"); a name
// with one, an empty name and an empty suffix are left as they are.
QString withDefaultSuffix(const QString& name, const QString& suffix);

} // namespace zel
