#pragma once
// Answers the next message box that a modal call opens, and records what it
// said, so a test can drive a handler that asks or reports.
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <memory>

namespace zel::test {

struct SeenMessageBox {
    bool shown = false;
    QString text;
    QString title;
    QString detail;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
};

// Polls until a message box is the active modal widget, records it and
// presses `answer`. Gives up after about two seconds.
inline std::shared_ptr<SeenMessageBox>
answerNextMessageBox(QMessageBox::StandardButton answer = QMessageBox::Ok) {
    auto seen = std::make_shared<SeenMessageBox>();
    auto tries = std::make_shared<int>(0);
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [seen, tries, poll, answer] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box) {
            seen->shown = true;
            seen->text = box->text();
            seen->title = box->windowTitle();
            seen->detail = box->detailedText();
            seen->icon = box->icon();
            seen->buttons = box->standardButtons();
            if (QAbstractButton* b = box->button(answer))
                b->click();
            else
                box->reject();
            *poll = nullptr; // break the self-reference
            return;
        }
        if (++*tries < 200)
            QTimer::singleShot(10, *poll);
        else
            *poll = nullptr;
    };
    QTimer::singleShot(0, *poll);
    return seen;
}

} // namespace zel::test
