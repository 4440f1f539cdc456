// "Setup Device": what it shows of the meter's parameters, the bytes each
// Send writes, refusals, options, the unit scale and closing.
#include "support/amp_station.h"
#include "support/picture_folder.h"
#include "support/recording_prompts.h"
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
#include <QTranslator>
#include <gtest/gtest.h>

using namespace zel;

namespace {

class AmpSetupDialogTest : public ::testing::Test, protected test::AmpStation {
protected:
    AmpSetupDialogTest() { dialog.setPrompts(prompts); }
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

    test::RecordingPrompts prompts;
    AmpSetupDialog dialog{amp(), false};
    const QStringList& refusals = prompts.messages;
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

// Return in a field sends that field and leaves the dialog open; in the
// status line it does nothing.
TEST_F(AmpSetupDialogTest, ReturnInAFieldSendsItNotDone) {
    open();
    port.inject(test::kVessaBlock);
    struct Case {
        const char* edit;
        const char* text;
        QByteArray sent; // bytes 1 to 7, empty: nothing
    };
    const Case cases[] = {
        {"edThreshold_0", "3", "530000 "},  {"edThreshold_4", "0.05", "500500$"},
        {"edBackground", "150", "215002 "}, {"edInterval", "20", "40020  "},
        {"edSerialNumber", "7", "8000007"}, {"edStatus", "", ""},
    };
    for (const Case& c : cases) {
        auto* edit = find<QLineEdit>(c.edit);
        if (!edit->isReadOnly())
            edit->setText(QString::fromLatin1(c.text));
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_Return);
        QTest::keyClick(edit, Qt::Key_Enter, Qt::KeypadModifier);
        EXPECT_TRUE(dialog.isVisible()) << c.edit;
        const QByteArray w = port.takeWritten();
        if (c.sent.isEmpty()) {
            EXPECT_TRUE(w.isEmpty()) << c.edit;
            continue;
        }
        ASSERT_EQ(w.size(), 22) << c.edit << ": Return and Enter send once each";
        EXPECT_EQ(w.mid(1, 7), c.sent.left(7)) << c.edit;
    }
    EXPECT_TRUE(refusals.isEmpty());
}

// A unit-scale click keeps the user's baud choice; values too small for the
// mantissa digits are refused with the limit instead of going out as 0.
TEST_F(AmpSetupDialogTest, ScaleKeepsTheBaudChoiceAndTinyValuesAreRefused) {
    open();
    port.inject(test::kVessaBlock); // the meter runs at 9600
    click("optBaud_3");
    click("chkConvert_1");
    click("chkConvert_0");
    EXPECT_TRUE(find<QRadioButton>("optBaud_3")->isChecked());
    port.takeWritten();
    click("btSendBaud");
    EXPECT_EQ(port.takeWritten().mid(1, 2), "13");

    const std::pair<const char*, const char*> tiny[] = {{"edThreshold_0", "btSendThreshold_0"},
                                                        {"edBackground", "btSendBackground"}};
    for (const auto& [edit, button] : tiny) {
        type(edit, "0.0004");
        click(button);
        EXPECT_TRUE(port.takeWritten().isEmpty()) << edit;
    }
    ASSERT_EQ(refusals.size(), 2);
    EXPECT_EQ(refusals[0], "The smallest value above 0 the meter takes is 0.001 uSv/h.");
    // The smallest that rounds to a digit still goes, and so does 0.
    type("edThreshold_0", "0.0005");
    click("btSendThreshold_0");
    EXPECT_EQ(port.takeWritten().mid(2, 5), "00010");
    type("edThreshold_0", "0");
    click("btSendThreshold_0");
    EXPECT_EQ(port.takeWritten().mid(2, 5), "00000");
    EXPECT_EQ(refusals.size(), 2);
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

// The dialog's texts in German and Hebrew, until they are in the program's
// translation files; the screenshots show them through this translator.
struct DialogText {
    const char* english;
    const char* german;
    const char* hebrew;
};
const DialogText kDialogTexts[] = {
    {"Setup Device", "Gerät einrichten", "הגדרת מכשיר"},
    {"Def. Threshold", "Standardschwelle", "סף ברירת מחדל"},
    {"Threshold #%1", "Schwelle Nr. %1", "סף מס' %1"},
    {"Send", "Senden", "שלח"},
    {"Send %1", "%1 senden", "שלח %1"},
    {"BackGround", "Hintergrund", "רקע"},
    {"Interval", "Intervall", "מרווח"},
    {"Sec.", "Sek.", "שנ'"},
    {"Serial Number", "Seriennummer", "מספר סידורי"},
    {"Baud", "Baud", "באוד"},
    {"Units", "Einheiten", "יחידות"},
    {"Dose", "Dosis", "מינון"},
    {"Latch", "Halten", "נעילה"},
    {"Buzzer", "Summer", "זמזם"},
    {"Set Type", "Typ einstellen", "קבע סוג"},
    {"Status", "Status", "מצב"},
    {"FirmWare Version:", "Firmware-Version:", "גרסת קושחה:"},
    {"Get", "Abrufen", "קבל"},
    {"Get Meter parameters", "Messgeräteparameter abrufen", "קבל את הפרמטרים של המד"},
    {"Done", "Fertig", "סיום"},
    {"The meter takes thresholds from 0 to %1 %2.",
     "Das Messgerät nimmt Schwellen von 0 bis %1 %2 an.", "המד מקבל ספים מ-0 עד %1 %2."},
    {"The meter takes a background from 0 to %1 %2.",
     "Das Messgerät nimmt einen Hintergrund von 0 bis %1 %2 an.", "המד מקבל רקע מ-0 עד %1 %2."},
    {"The meter takes an interval from 0 to 9999 seconds.",
     "Das Messgerät nimmt ein Intervall von 0 bis 9999 Sekunden an.",
     "המד מקבל מרווח של 0 עד 9999 שניות."},
    {"The meter takes a serial number from 0 to 999999.",
     "Das Messgerät nimmt eine Seriennummer von 0 bis 999999 an.",
     "המד מקבל מספר סידורי מ-0 עד 999999."},
    {"The smallest value above 0 the meter takes is %1 %2.",
     "Der kleinste Wert über 0, den das Messgerät annimmt, ist %1 %2.",
     "הערך הקטן ביותר מעל 0 שהמד מקבל הוא %1 %2."},
};

class TableTranslator : public QTranslator {
public:
    explicit TableTranslator(int column) : column_(column) {}
    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* source, const char*, int) const override {
        if (qstrcmp(context, "zel::AmpSetupDialog") != 0)
            return {};
        for (const DialogText& t : kDialogTexts)
            if (qstrcmp(t.english, source) == 0)
                return QString::fromUtf8(column_ == 1 ? t.german : t.hebrew);
        return {};
    }

private:
    int column_;
};

// Pictures for the documentation, when ZEL_SCREENSHOT_DIR names a folder.
TEST(AmpSetupDialogScreenshots, SaveWhenAsked) {
    const test::PictureFolder pictures; // checks every picture it gets
    const QString folder = pictures.path();
    const char* suffixes[] = {"en", "de", "he"};
    for (int language = 0; language < 3; ++language) {
        TableTranslator translator(language);
        if (language > 0)
            QCoreApplication::installTranslator(&translator);
        QApplication::setLayoutDirection(language == 2 ? Qt::RightToLeft : Qt::LeftToRight);
        const auto snap = [&](QWidget& w, const char* name) {
            QTest::qWait(150);
            w.grab().save(QDir(folder).filePath(
                QStringLiteral("%1-%2.png")
                    .arg(QLatin1String(name), QLatin1String(suffixes[language]))));
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
        five.setupStatus(amp::confirmationText(amp::IntervalReply));
        snap(five, "amp-setup-vessa-dbg");
        five.done(0);
        QCoreApplication::removeTranslator(&translator);
    }
    QApplication::setLayoutDirection(Qt::LeftToRight);
}

} // namespace
