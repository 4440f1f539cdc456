#include "ui/about_dialog.h"

#include "common/paths.h"
#include "common/strings.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

namespace zel {

QString AboutDialog::applicationTitle() {
    return QStringLiteral("Zel");
}

QString AboutDialog::versionText() {
    return tr3("Version ", "Version ", "גרסה ") + QStringLiteral(ZEL_VERSION_TEXT);
}

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("frmAbout");
    setWindowTitle(applicationTitle());

    auto* picIcon = new QLabel(this);
    picIcon->setObjectName("picIcon");
    QIcon icon = QApplication::windowIcon();
    if (icon.isNull())
        icon = style()->standardIcon(QStyle::SP_MessageBoxInformation);
    picIcon->setPixmap(icon.pixmap(48, 48));
    picIcon->setAccessibleName(tr3("Program icon", "Programmsymbol", "סמל התוכנית"));

    auto* lblTitle = new QLabel(applicationTitle(), this);
    lblTitle->setObjectName("lblTitle");
    QFont big = lblTitle->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    lblTitle->setFont(big);
    lblTitle->setAccessibleName(applicationTitle());

    auto* lblVersion = new QLabel(versionText(), this);
    lblVersion->setObjectName("lblVersion");
    lblVersion->setAccessibleName(lblVersion->text());

    // The description line stays empty: the box has always been shown with
    // it cleared, and the title already says what the program is.
    lblDescription_ = new QLabel(this);
    lblDescription_->setObjectName("lblDescription");
    lblDescription_->setWordWrap(true);
    lblDescription_->setMinimumWidth(
        lblDescription_->fontMetrics().horizontalAdvance(QString(56, QChar('x'))));
    lblDescription_->setAccessibleName(tr3("Description", "Beschreibung", "תיאור"));

    // Where the files are is what a user most often needs to know on a
    // system without a Windows folder.
    // Paths are isolated so a right-to-left caption does not reorder them.
    auto isolated = [](const QString& path) { return QChar(0x2066) + path + QChar(0x2069); };
    auto* lblNote = new QLabel(tr3("Program folder:", "Programmordner:", "תיקיית התוכנית:") + " " +
                                   isolated(programFolder()) + "\n" +
                                   tr3("Settings file:", "Einstellungsdatei:", "קובץ ההגדרות:") +
                                   " " + isolated(settingsFilePath()),
                               this);
    lblNote->setObjectName("lblNote");
    lblNote->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblNote->setAccessibleName(tr3("Note", "Hinweis", "הערה"));

    auto* cmdOK = new QPushButton(tr3("OK", "OK", "אישור"), this);
    cmdOK->setObjectName("cmdOK");
    cmdOK->setAccessibleName(tr3("OK", "OK", "אישור"));
    cmdOK->setDefault(true);

    auto* grid = new QGridLayout(this);
    grid->addWidget(picIcon, 0, 0, 3, 1, Qt::AlignTop);
    grid->addWidget(lblTitle, 0, 1);
    grid->addWidget(lblVersion, 1, 1);
    grid->addWidget(lblDescription_, 2, 1);
    grid->addWidget(lblNote, 3, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    grid->addLayout(buttons, 4, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    grid->setSizeConstraint(QLayout::SetFixedSize);

    connect(cmdOK, &QPushButton::clicked, this, &AboutDialog::cmdOK_Click);
}

void AboutDialog::cmdOK_Click() {
    accept();
}

} // namespace zel
