#pragma once
// The about box: program title, version and where its files are kept.
#include <QDialog>

class QLabel;

namespace zel {

class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);

    // "Zel": caption of the box and of the main window.
    static QString applicationTitle();
    // "Version " followed by major.minor.revision of this build.
    static QString versionText();

    // The description line, empty when the box is built.
    QLabel* descriptionLabel() const { return description_; }

public slots:
    void closeBox();

private:
    QLabel* description_;
};

} // namespace zel
