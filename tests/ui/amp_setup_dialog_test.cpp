// "Setup Device": what it shows of the meter's parameters, the bytes each
// Send writes, refusals, options, the unit scale and closing.
#include "support/amp_station.h"
#include "ui/amp_setup_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace zel;

namespace {

class AmpSetupDialogTest : public ::testing::Test, protected test::AmpStation {
protected:
    AmpSetupDialogTest() {
        dialog.messageHook = [this](const QString& t) { refusals << t; };
    }
    template <class T> T* find(const char* name) {
        T* w = dialog.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    void open() {
        dialog.show();
        QApplication::processEvents();
        port.takeWritten();
    }
    void type(const char* edit, const QString& text) { find<QLineEdit>(edit)->setText(text); }
    void click(const char* name) { find<QAbstractButton>(name)->click(); }

    AmpSetupDialog dialog{amp(), false};
    QStringList refusals;
};

TEST_F(AmpSetupDialogTest, ShowsTheMeterWithoutSendingAnything) {
    open();
    EXPECT_FALSE(find<QLineEdit>("edThreshold_1")->isVisible());
    EXPECT_FALSE(find<QGroupBox>("frBack")->isVisible()) << "no meter type above 2 yet";
    port.inject(test::kVessaBlock);
    EXPECT_TRUE(port.takeWritten().isEmpty()) << "showing options is not clicking them";
    EXPECT_TRUE(dialog.fiveThresholdLayout());
    EXPECT_TRUE(find<QLineEdit>("edThreshold_4")->isVisible());
    EXPECT_TRUE(find<QGroupBox>("frBack")->isVisible());
    EXPECT_EQ(find<QLineEdit>("edThreshold_0")->text(), "2.5");
    EXPECT_EQ(find<QLineEdit>("edThreshold_3")->text(), "300");
    EXPECT_EQ(find<QLineEdit>("edBackground")->text(), "0.15");
    EXPECT_EQ(find<QLineEdit>("edInterval")->text(), "10");
    EXPECT_EQ(find<QLineEdit>("edSerialNumber")->text(), "654321");
    EXPECT_EQ(find<QLabel>("lblFirmWare")->text(), "V1.02a");
    EXPECT_EQ(find<QLabel>("lblUnits_2")->text(), "uSv/h");
    EXPECT_EQ(find<QRadioButton>("chkConvert_1")->text(), " mSv/h");
    EXPECT_TRUE(find<QRadioButton>("optBaud_2")->isChecked());
    EXPECT_TRUE(find<QCheckBox>("chkBuzzer")->isChecked());
    EXPECT_TRUE(find<QCheckBox>("chkLatch")->styleSheet().contains("#00ff00"));

    // A rate the dialog does not offer selects none; cleared options are red.
    QByteArray odd = test::kVessaBlock;
    odd[15] = '4';
    odd[20] = '0';
    port.inject(odd);
    for (const char* b : {"optBaud_0", "optBaud_1", "optBaud_2", "optBaud_3"})
        EXPECT_FALSE(find<QRadioButton>(b)->isChecked()) << b;
    EXPECT_TRUE(find<QCheckBox>("chkEnableDose")->styleSheet().contains("#ff8080"));
    EXPECT_TRUE(port.takeWritten().isEmpty());
}

TEST_F(AmpSetupDialogTest, EachSendWritesItsCommand) {
    open();
    port.inject(test::kVessaBlock);
    struct Case {
        const char* edit;
        const char* text;
        const char* button;
        const char* params; // bytes 1 to 7
    };
    const Case cases[] = {
        {"edThreshold_3", "0.05", "btSendThreshold_3", "500500#"},
        {"edThreshold_0", "", "btSendThreshold_0", "500000 "},
        {"edBackground", "150", "btSendBackground", "215002 "},
        {"edInterval", "12.6", "btSendInterval", "40013  "},
        {"edSerialNumber", "42", "btSendSerialNumber", "8000042"},
    };
    for (const Case& c : cases) {
        type(c.edit, QString::fromLatin1(c.text));
        click(c.button);
        const QByteArray w = port.takeWritten();
        ASSERT_EQ(w.size(), 11) << c.button;
        EXPECT_EQ(w.mid(1, 7), c.params) << c.button;
    }
    click("optBaud_3");
    EXPECT_TRUE(port.takeWritten().isEmpty()) << "choosing a rate only stores it";
    click("btSendBaud");
    EXPECT_EQ(port.takeWritten().mid(1, 2), "13");
    EXPECT_TRUE(refusals.isEmpty());

    // Options: the boxes' new values, type and units 30, then a fresh block.
    click("chkEnableDose");
    const QByteArray w = port.takeWritten();
    EXPECT_EQ(w.mid(1, 4), "76\x1e\x1e");
    EXPECT_EQ(w.mid(12, 1), "0");
    EXPECT_EQ(amp().awaitedReply(), 0);
    EXPECT_TRUE(find<QLineEdit>("edThreshold_0")->text().isEmpty()) << "blank until it comes";
}

TEST_F(AmpSetupDialogTest, RefusesWhatTheFrameCannotCarry) {
    open();
    const std::pair<const char*, const char*> cases[] = {
        {"edThreshold_0", "-2"},
        {"edBackground", "10000000000"},
        {"edInterval", "10000"},
        {"edSerialNumber", "1000000"},
    };
    const char* buttons[] = {"btSendThreshold_0", "btSendBackground", "btSendInterval",
                             "btSendSerialNumber"};
    for (int i = 0; i < 4; ++i) {
        type(cases[i].first, QString::fromLatin1(cases[i].second));
        click(buttons[i]);
    }
    EXPECT_TRUE(port.takeWritten().isEmpty());
    ASSERT_EQ(refusals.size(), 4);
    EXPECT_EQ(refusals[0], "The meter takes thresholds from 0 to 9999000000 mR/h.");
    EXPECT_TRUE(refusals[2].contains("9999"));
    EXPECT_TRUE(refusals[3].contains("999999"));
}

TEST_F(AmpSetupDialogTest, UnitScaleAndClosing) {
    port.inject(test::kVessaBlock);
    open();
    click("chkConvert_1");
    EXPECT_EQ(settings.ConvertUnits, 1) << "in force at once";
    EXPECT_EQ(find<QLabel>("lblUnits_0")->text(), "mSv/h");
    EXPECT_EQ(find<QLineEdit>("edThreshold_2")->text(), "0.02");
    type("edThreshold_0", "2");
    click("btSendThreshold_0");
    EXPECT_EQ(port.takeWritten().mid(2, 5), "20003");

    dialog.close(); // the close box
    EXPECT_EQ(commandsSent(), "A");
    EXPECT_EQ(settings.ConvertUnits, 1);

    // Reopened: the scale shown is the one in force; "Done" starts once.
    open();
    EXPECT_TRUE(find<QRadioButton>("chkConvert_1")->isChecked());
    EXPECT_FALSE(find<QGroupBox>("frmSetType")->isVisible());
    click("btOk");
    EXPECT_EQ(commandsSent(), "A");
}

TEST(AmpSetupDialogLayout, DiagnosticModeShowsTypeUnitsAndStatus) {
    test::AmpStation s;
    AmpSetupDialog d(s.amp(), true);
    d.show();
    QApplication::processEvents();
    EXPECT_TRUE(d.findChild<QGroupBox*>("frmSetType")->isVisible());
    EXPECT_TRUE(d.findChild<QLineEdit*>("edStatus")->isVisible());
    EXPECT_GE(d.width(), 9480 / 15);
    d.findChild<QRadioButton*>("optType_2")->click();
    d.findChild<QRadioButton*>("optUnits_1")->click();
    s.port.takeWritten();
    d.findChild<QCheckBox*>("chkBuzzer")->click();
    EXPECT_EQ(s.port.takeWritten().mid(1, 4), "74\x20\x1f");
    d.done(0);
}

// Pictures for the documentation, when ZEL_SCREENSHOT_DIR names a folder.
TEST(AmpSetupDialogScreenshots, SaveWhenAsked) {
    const QString folder = qEnvironmentVariable("ZEL_SCREENSHOT_DIR");
    if (folder.isEmpty())
        GTEST_SKIP() << "set ZEL_SCREENSHOT_DIR to save pictures of the dialog";
    QDir().mkpath(folder);
    const QString suffix = qEnvironmentVariable("ZEL_SCREENSHOT_SUFFIX", "en");
    const auto snap = [&](QWidget& w, const QString& name) {
        QTest::qWait(150);
        w.grab().save(QDir(folder).filePath(name + "-" + suffix + ".png"));
    };
    test::AmpStation s;
    s.port.inject("\n01000004215001200602FW0001\r");
    AmpSetupDialog one(s.amp(), false);
    one.show();
    snap(one, "amp-setup");
    one.done(0);
    s.port.inject(test::kVessaBlock);
    AmpSetupDialog five(s.amp(), true);
    five.show();
    snap(five, "amp-setup-vessa-dbg");
    five.done(0);
}

} // namespace
