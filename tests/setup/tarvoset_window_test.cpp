#include "setup/tarvoset_window.h"
#include "ui/debug_window.h"

#include <QAccessible>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using zel::LoopbackTransport;
using zel::PortSettingsFile;
using zel::TarvosetController;
using zel::TarvosetWindow;
namespace ts = zel::tarvoset;

namespace {

const QByteArray Request = QByteArray::fromHex("02040403");
const QByteArray Confirmation = QByteArray::fromHex("02050503");

class TarvosetWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        file = std::make_unique<PortSettingsFile>(dir.filePath("dax.ini"));
        controller = std::make_unique<TarvosetController>(link, *file);
        window = std::make_unique<TarvosetWindow>(*controller);
    }

    template <typename T> T* child(const char* name) {
        T* w = window->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }

    QTemporaryDir dir;
    LoopbackTransport link;
    std::unique_ptr<PortSettingsFile> file;
    std::unique_ptr<TarvosetController> controller;
    std::unique_ptr<TarvosetWindow> window;
};

TEST_F(TarvosetWindowTest, ShowsCaptionControlsAndColouredStatus) {
    EXPECT_EQ(window->windowTitle(), ts::Caption);
    EXPECT_EQ(child<QPushButton>("btStop")->text(), QStringLiteral("Initialize"));
    EXPECT_EQ(child<QPushButton>("btSetPort")->text(), QStringLiteral("Set Port "));
    EXPECT_EQ(child<QPushButton>("btOk")->text(), QStringLiteral("OK"));
    EXPECT_TRUE(child<QLabel>("Label1")->text().isEmpty());

    link.setFailOpen(true);
    controller->start(false);
    auto* text1 = child<QLineEdit>("Text1");
    EXPECT_EQ(text1->text(), ts::PortErrorText);
    EXPECT_EQ(text1->palette().color(QPalette::Active, QPalette::Text), QColor(255, 0, 0));
}

TEST_F(TarvosetWindowTest, ConfirmationDisablesButtonsAndShowsHint) {
    controller->start(true);
    window->show();
    link.inject(Confirmation);
    auto* text1 = child<QLineEdit>("Text1");
    EXPECT_EQ(text1->text(), ts::InitialisedText);
    EXPECT_EQ(text1->palette().color(QPalette::Active, QPalette::Text), QColor(0, 0, 255));
    EXPECT_FALSE(child<QPushButton>("btStop")->isEnabled());
    EXPECT_FALSE(child<QPushButton>("btSetPort")->isEnabled());
    EXPECT_TRUE(child<QPushButton>("btOk")->isEnabled());
    EXPECT_EQ(child<QLabel>("Label1")->text(), ts::HintText);

    QTest::mouseClick(child<QPushButton>("btOk"), Qt::LeftButton);
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(link.isOpen());
}

TEST_F(TarvosetWindowTest, SetPortThenCancelInitialisesOnTheUnchangedPort) {
    controller->start(true);
    window->show();
    ASSERT_EQ(link.writes().size(), 1);
    const QString device = link.openedDevice();

    bool cancelled = false;
    // The dialog is modal: answer it from the event loop it runs.
    QTimer::singleShot(0, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        auto* cancel = modal->findChild<QPushButton*>(QStringLiteral("CANCEL"));
        ASSERT_NE(cancel, nullptr);
        QTest::mouseClick(cancel, Qt::LeftButton);
        cancelled = true;
    });
    QTest::mouseClick(child<QPushButton>("btSetPort"), Qt::LeftButton);
    ASSERT_TRUE(cancelled);

    EXPECT_EQ(link.openCount(), 1);
    EXPECT_EQ(link.openedDevice(), device);
    ASSERT_EQ(link.writes().size(), 2);
    EXPECT_EQ(link.writes().last(), Request);
    EXPECT_EQ(controller->retryCount(), 0);
    EXPECT_TRUE(controller->isRetrying());

    // After the port dialog the hint is no longer shown.
    link.inject(Confirmation);
    EXPECT_EQ(child<QLineEdit>("Text1")->text(), ts::InitialisedText);
    EXPECT_TRUE(child<QLabel>("Label1")->text().isEmpty());
}

// A screen reader hears what the status line and the hint say, not a fixed
// word; their roles stay in the description.
TEST_F(TarvosetWindowTest, StatusAndHintSpeakTheirText) {
    controller->start(true);
    link.inject(Confirmation);
    for (const char* name : {"Text1", "Label1"}) {
        auto* w = window->findChild<QWidget*>(name);
        ASSERT_NE(w, nullptr);
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->text(QAccessible::Name),
                  QString(name) == "Text1" ? ts::InitialisedText : ts::HintText);
        EXPECT_EQ(a->text(QAccessible::Description), QString(name) == "Text1" ? "Status" : "Hint");
    }
}

TEST_F(TarvosetWindowTest, WindowsAreOfferedAsWindowsWithTheirTitle) {
    zel::DebugWindow debug;
    struct Case {
        QWidget* window;
        QString name;
    };
    const Case cases[] = {{window.get(), ts::Caption}, {&debug, "Debug"}};
    for (const Case& c : cases) {
        c.window->show();
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(c.window);
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->role(), QAccessible::Window) << c.name.toStdString();
        EXPECT_EQ(a->text(QAccessible::Name), c.name);
        EXPECT_TRUE(child<QLineEdit>("Text1")->isReadOnly());
    }
}

} // namespace
