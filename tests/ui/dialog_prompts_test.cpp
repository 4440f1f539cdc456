// The dialogs behind the prompts: which buttons a question offers and what
// each press answers, the icon and details of each message, and what the
// file, text and probe dialogs give back.
#include "ui/message_box_answer.h"
#include "widgets/prompts.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

namespace zel {
namespace {

// Runs `answer` on the next modal dialog of type D once it shows.
template <class D> void answerNextDialog(std::function<void(D&)> answer) {
    auto tries = std::make_shared<int>(0);
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [answer, tries, poll] {
        if (auto* d = qobject_cast<D*>(QApplication::activeModalWidget())) {
            answer(*d);
            *poll = nullptr;
            return;
        }
        if (++*tries < 200)
            QTimer::singleShot(10, *poll);
        else
            *poll = nullptr;
    };
    QTimer::singleShot(0, *poll);
}

TEST(DialogPrompts, QuestionsOfferTheirButtonsAndAnswerThePressedOne) {
    using B = QMessageBox::StandardButton;
    struct Case {
        bool withCancel;
        B pressed;
        Answer answer;
    };
    const Case cases[] = {
        {false, B::Yes, Answer::Yes},      {false, B::No, Answer::No},
        {true, B::Yes, Answer::Yes},       {true, B::No, Answer::No},
        {true, B::Cancel, Answer::Cancel},
    };
    for (const Case& c : cases) {
        auto seen = test::answerNextMessageBox(c.pressed);
        EXPECT_EQ(dialogPrompts().ask(nullptr, "Sure?", "Zel", c.withCancel), c.answer);
        ASSERT_TRUE(seen->shown);
        EXPECT_EQ(seen->text, "Sure?");
        EXPECT_EQ(seen->title, "Zel");
        EXPECT_EQ(seen->icon, QMessageBox::Question);
        EXPECT_EQ(seen->buttons, c.withCancel ? (B::Yes | B::No | B::Cancel) : (B::Yes | B::No));
    }
}

TEST(DialogPrompts, MessagesShowTheirKindWithOk) {
    Prompts& p = dialogPrompts();
    struct Case {
        std::function<void()> tell;
        QMessageBox::Icon icon;
        QString detail;
    };
    const Case cases[] = {
        {[&] { p.critical(nullptr, "Text", "Title", "/dev/ttyS0"); }, QMessageBox::Critical,
         "/dev/ttyS0"},
        {[&] { p.critical(nullptr, "Text", "Title", QString()); }, QMessageBox::Critical, ""},
        {[&] { p.warning(nullptr, "Text", "Title"); }, QMessageBox::Warning, ""},
        {[&] { p.information(nullptr, "Text", "Title"); }, QMessageBox::Information, ""},
    };
    for (const Case& c : cases) {
        auto seen = test::answerNextMessageBox(QMessageBox::Ok);
        c.tell();
        ASSERT_TRUE(seen->shown);
        EXPECT_EQ(seen->text, "Text");
        EXPECT_EQ(seen->title, "Title");
        EXPECT_EQ(seen->icon, c.icon);
        EXPECT_EQ(seen->detail, c.detail);
        EXPECT_EQ(seen->buttons, QMessageBox::Ok);
    }
}

TEST(DialogPrompts, SaveDialogOffersTheNameAndAddsTheSuffix) {
    QTemporaryDir dir;
    struct Case {
        QString suffix, typed, chosen;
    };
    const Case cases[] = {
        {"csv", "report", "report.csv"},
        {"csv", "report.txt", "report.txt"},
        {"", "ZelData3", "ZelData3"},
    };
    for (const Case& c : cases) {
        QString title, offered;
        answerNextDialog<QFileDialog>([&](QFileDialog& d) {
            title = d.windowTitle();
            offered = d.selectedFiles().value(0);
            d.selectFile(dir.filePath(c.typed));
            static_cast<QDialog&>(d).accept(); // the file dialog's own accept
        });
        const QString chosen =
            dialogPrompts().saveFileName(nullptr, {"Save", dir.path(), "ZelData0",
                                                   "Csv Files (*.csv);;All Files (*)", c.suffix});
        EXPECT_EQ(chosen, dir.filePath(c.chosen));
        EXPECT_EQ(title, "Save");
        // The name offered already carries the suffix that will be added.
        EXPECT_EQ(offered, dir.filePath(c.suffix.isEmpty() ? "ZelData0" : "ZelData0." + c.suffix));
    }
    answerNextDialog<QFileDialog>([](QFileDialog& d) { d.reject(); });
    EXPECT_EQ(dialogPrompts().saveFileName(nullptr, {"Save", dir.path(), "x", "", ""}), "");
}

TEST(DialogPrompts, TextAndProbeGiveBackWhatWasTypedOrNothingOnCancel) {
    QString offered;
    answerNextDialog<QInputDialog>([&](QInputDialog& d) {
        offered = d.textValue();
        d.setTextValue("North fence");
        d.accept();
    });
    EXPECT_EQ(dialogPrompts().text(nullptr, "Page Heading", "Heading:", "Old"), "North fence");
    EXPECT_EQ(offered, "Old");
    answerNextDialog<QInputDialog>([](QInputDialog& d) { d.reject(); });
    EXPECT_EQ(dialogPrompts().text(nullptr, "Page Heading", "Heading:", "Old"), std::nullopt);

    answerNextDialog<QDialog>([](QDialog& d) {
        d.findChild<QLineEdit*>("edDetNumber")->setText("P-7");
        d.accept();
    });
    const auto probe = dialogPrompts().probe(nullptr);
    ASSERT_TRUE(probe.has_value());
    EXPECT_EQ(probe->probeNumber, "P-7");
    EXPECT_FALSE(probe->background);
    answerNextDialog<QDialog>([](QDialog& d) {
        d.findChild<QCheckBox*>("chkBack")->setChecked(true);
        d.accept();
    });
    const auto background = dialogPrompts().probe(nullptr);
    ASSERT_TRUE(background.has_value());
    EXPECT_TRUE(background->background);
    answerNextDialog<QDialog>([](QDialog& d) { d.reject(); });
    EXPECT_FALSE(dialogPrompts().probe(nullptr).has_value());
}

} // namespace
} // namespace zel
