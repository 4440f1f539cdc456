#include "ui/about_dialog.h"

#include "common/paths.h"
#include "common/text.h"
#include "widgets/accelerators.h"
#include "widgets/window_arrangement.h"

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
    return tr("Version ") + QStringLiteral(ZEL_VERSION_TEXT);
}

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("frmAbout");
    setWindowTitle(applicationTitle());

    auto* iconLabel = new QLabel(this);
    iconLabel->setObjectName("picIcon");
    QIcon icon = QApplication::windowIcon();
    if (icon.isNull())
        icon = style()->standardIcon(QStyle::SP_MessageBoxInformation);
    iconLabel->setPixmap(icon.pixmap(48, 48));
    iconLabel->setAccessibleName(tr("Program icon"));

    auto* titleLabel = new QLabel(applicationTitle(), this);
    titleLabel->setObjectName("lblTitle");
    QFont big = titleLabel->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    titleLabel->setFont(big);
    titleLabel->setAccessibleName(applicationTitle());

    auto* versionLabel = new QLabel(versionText(), this);
    versionLabel->setObjectName("lblVersion");
    versionLabel->setAccessibleName(versionLabel->text());

    // The description line stays empty: the box has always been shown with
    // it cleared, and the title already says what the program is.
    description_ = new QLabel(this);
    description_->setObjectName("lblDescription");
    description_->setWordWrap(true);
    description_->setMinimumWidth(
        description_->fontMetrics().horizontalAdvance(QString(56, QChar('x'))));
    description_->setAccessibleName(tr("Description"));

    // Where the files are is what a user most often needs to know on a
    // system without a Windows folder.
    auto* noteLabel = new QLabel(tr("Program folder:") + " " + leftToRight(programFolder()) + "\n" +
                                     tr("Settings file:") + " " + leftToRight(settingsFilePath()),
                                 this);
    noteLabel->setObjectName("lblNote");
    noteLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    noteLabel->setAccessibleName(tr("Note"));

    auto* okButton = new QPushButton(tr("OK"), this);
    okButton->setObjectName("cmdOK");
    okButton->setAccessibleName(tr("OK"));
    okButton->setDefault(true);

    auto* grid = new QGridLayout(this);
    grid->addWidget(iconLabel, 0, 0, 3, 1, Qt::AlignTop);
    grid->addWidget(titleLabel, 0, 1);
    grid->addWidget(versionLabel, 1, 1);
    grid->addWidget(description_, 2, 1);
    grid->addWidget(noteLabel, 3, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(okButton);
    grid->addLayout(buttons, 4, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    grid->setSizeConstraint(QLayout::SetFixedSize);

    connect(okButton, &QPushButton::clicked, this, &AboutDialog::closeBox);
    makeRoomForTitle(*this);
    keepAccelerators(*this);
}

void AboutDialog::closeBox() {
    accept();
}

} // namespace zel
