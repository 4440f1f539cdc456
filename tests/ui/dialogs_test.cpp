// The small dialogs and windows: interval, parameters, legend, debug log,
// alarm sound, data handling, wait window, about box.
#include "common/datetime.h"
#include "common/ini_file.h"
#include "common/text.h"
#include "data/settings.h"
#include "graph/data_handle_dialog.h"
#include "ui/about_dialog.h"
#include "ui/alarm_sound.h"
#include "ui/debug_window.h"
#include "ui/interval_dialog.h"
#include "ui/legend_dialog.h"
#include "ui/message_box_answer.h"
#include "ui/parameters_dialog.h"
#include "ui/translations.h"
#include "widgets/wait_dialog.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

namespace zel {
namespace {

class DialogsTest : public ::testing::Test {
protected:
    void SetUp() override {
        useLanguage(Language::English);
        ASSERT_TRUE(dir.isValid());
        iniPath = dir.filePath("Zel.ini");
        oldHome = qgetenv("ZEL_HOME");
        qputenv("ZEL_HOME", dir.path().toLocal8Bit());
    }
    void TearDown() override {
        if (oldHome.isEmpty())
            qunsetenv("ZEL_HOME");
        else
            qputenv("ZEL_HOME", oldHome);
    }

    void writeIni(const QByteArray& bytes) const {
        QFile f(iniPath);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray iniBytes() const {
        QFile f(iniPath);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QString stored(const QString& key) const {
        return IniFile(iniPath).read("COMMON", key, "<missing>", 100);
    }

    template <typename T> static T* child(QWidget& w, const QString& name) {
        T* c = w.findChild<T*>(name);
        EXPECT_NE(c, nullptr) << name.toStdString();
        return c;
    }
    // A check box can be wider than its text: click on its box, where a
    // person would.
    static void tick(QCheckBox* box) {
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
    }
    static void retype(QLineEdit* box, const QString& text) {
        box->clear();
        QTest::keyClicks(box, text);
    }

    QTemporaryDir dir;
    QString iniPath;
    QByteArray oldHome;
};

// ---- interval dialog ----------------------------------------------------

TEST_F(DialogsTest, IntervalTenthsRoundTripUnchanged) {
    writeIni("[COMMON]\r\nMinInt=2\r\nSecInt=0.5\r\n");
    SettingsStore store(iniPath);
    IntervalDialog dlg(store);
    EXPECT_EQ(dlg.interval().Minutes, 2);
    EXPECT_EQ(dlg.interval().Seconds, 0.5);
    dlg.show();
    EXPECT_EQ(dlg.windowTitle(), "Set Real time ");
    EXPECT_EQ(child<QLineEdit>(dlg, "edMinutes")->text(), "02");
    EXPECT_EQ(child<QLineEdit>(dlg, "edSeconds")->text(), "05");
    EXPECT_TRUE(child<QCheckBox>(dlg, "chkSec")->isChecked());
    EXPECT_EQ(child<QLabel>(dlg, "lblSec")->text(), "Sec/10");

    QTest::mouseClick(child<QPushButton>(dlg, "btOk"), Qt::LeftButton);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.interval().Seconds, 0.5);
    EXPECT_EQ(dlg.interval().Minutes, 2);
    EXPECT_EQ(stored("SecInt"), "0.5");
    EXPECT_EQ(stored("MinInt"), "2");
}

TEST_F(DialogsTest, IntervalWholeSecondsAndTypedTenths) {
    SettingsStore store(iniPath); // no file: 0 min, 5 s
    IntervalDialog dlg(store);
    dlg.show();
    auto* seconds = child<QLineEdit>(dlg, "edSeconds");
    auto* chkSec = child<QCheckBox>(dlg, "chkSec");
    auto* lblSec = child<QLabel>(dlg, "lblSec");
    EXPECT_EQ(child<QLineEdit>(dlg, "edMinutes")->text(), "00");
    EXPECT_EQ(seconds->text(), "05");
    EXPECT_FALSE(chkSec->isChecked());
    EXPECT_EQ(lblSec->text(), "Sec");

    tick(chkSec);
    EXPECT_EQ(lblSec->text(), "Sec/10");
    retype(seconds, "7");
    QTest::mouseClick(child<QPushButton>(dlg, "btOk"), Qt::LeftButton);
    EXPECT_DOUBLE_EQ(dlg.interval().Seconds, 0.7);
    EXPECT_EQ(stored("SecInt"), "0.7");
    EXPECT_EQ(stored("MinInt"), "0");

    // Shown again, the dialog presents what OK kept.
    dlg.show();
    EXPECT_EQ(seconds->text(), "07");
    EXPECT_TRUE(chkSec->isChecked());
    tick(chkSec);
    EXPECT_EQ(lblSec->text(), "Sec");
}

TEST_F(DialogsTest, IntervalCancelKeepsValues) {
    writeIni("[COMMON]\r\nMinInt=1\r\nSecInt=30\r\n");
    SettingsStore store(iniPath);
    IntervalDialog dlg(store);
    dlg.show();
    retype(child<QLineEdit>(dlg, "edMinutes"), "abc");
    retype(child<QLineEdit>(dlg, "edSeconds"), "12");
    const QByteArray before = iniBytes();
    QTest::mouseClick(child<QPushButton>(dlg, "btCancel"), Qt::LeftButton);
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    EXPECT_EQ(dlg.interval().Minutes, 1);
    EXPECT_EQ(dlg.interval().Seconds, 30);
    EXPECT_EQ(iniBytes(), before);
    dlg.show();
    EXPECT_EQ(child<QLineEdit>(dlg, "edMinutes")->text(), "01");
}

TEST_F(DialogsTest, IntervalThatCannotBeKeptIsRefusedWithWhatWasTyped) {
    struct Case {
        const char* minutes;
        const char* seconds;
        bool tenths;
    };
    const Case cases[] = {{"abc", "x9", false}, {"0", "0", false},       {"0", "-5", false},
                          {"-1", "30", false},  {"0", "3000000", false}, {"0", "1e9", false},
                          {"2000", "0", false}, {"0", "0", true},        {"1", "5abc", false}};
    writeIni("[COMMON]\r\nMinInt=1\r\nSecInt=30\r\n");
    const QByteArray before = iniBytes();
    SettingsStore store(iniPath);
    IntervalDialog dlg(store);
    for (const Case& c : cases) {
        dlg.show();
        if (child<QCheckBox>(dlg, "chkSec")->isChecked() != c.tenths)
            tick(child<QCheckBox>(dlg, "chkSec"));
        retype(child<QLineEdit>(dlg, "edMinutes"), c.minutes);
        retype(child<QLineEdit>(dlg, "edSeconds"), c.seconds);
        auto seen = test::answerNextMessageBox(QMessageBox::Ok);
        QTest::mouseClick(child<QPushButton>(dlg, "btOk"), Qt::LeftButton);
        EXPECT_TRUE(seen->shown) << c.minutes << " " << c.seconds;
        EXPECT_TRUE(seen->text.contains("0.1 seconds"));
        EXPECT_TRUE(dlg.isVisible());
        EXPECT_EQ(child<QLineEdit>(dlg, "edSeconds")->text(), c.seconds);
        EXPECT_EQ(dlg.interval().Minutes, 1);
        EXPECT_EQ(dlg.interval().Seconds, 30);
        EXPECT_EQ(iniBytes(), before);
        dlg.hide();
    }
}

TEST_F(DialogsTest, IntervalShowsWhatIsStored) {
    struct Case {
        const char* minInt;
        const char* secInt;
        const char* minutes;
        const char* seconds;
    };
    const Case cases[] = {{"1.5", "05", "1.5", "05"},
                          {"0", "2.5", "00", "2.5"},
                          {"0", "0.55", "00", "5.5"},
                          {"10", "0", "10", "00"}};
    for (const Case& c : cases) {
        writeIni(QByteArray("[COMMON]\r\nMinInt=") + c.minInt + "\r\nSecInt=" + c.secInt + "\r\n");
        SettingsStore store(iniPath);
        IntervalDialog dlg(store);
        dlg.show();
        EXPECT_EQ(child<QLineEdit>(dlg, "edMinutes")->text(), c.minutes) << c.minInt;
        EXPECT_EQ(child<QLineEdit>(dlg, "edSeconds")->text(), c.seconds) << c.secInt;
    }
}

TEST_F(DialogsTest, IntervalSpinServesTheBoxLastFocused) {
    writeIni("[COMMON]\r\nMinInt=3\r\nSecInt=58\r\n");
    SettingsStore store(iniPath);
    IntervalDialog dlg(store);
    dlg.show();
    auto* minutes = child<QLineEdit>(dlg, "edMinutes");
    auto* seconds = child<QLineEdit>(dlg, "edSeconds");
    auto* spin = child<UpDownControl>(dlg, "UpDown1");
    auto* up = child<QToolButton>(dlg, "UpDown1_up");
    auto* down = child<QToolButton>(dlg, "UpDown1_down");

    // On opening the spin serves the seconds, and stops at 59.
    EXPECT_EQ(spin->tag(), "Seconds");
    QTest::mouseClick(up, Qt::LeftButton);
    QTest::mouseClick(up, Qt::LeftButton);
    EXPECT_EQ(seconds->text(), "59");
    EXPECT_EQ(minutes->text(), "03");

    QFocusEvent focusIn(QEvent::FocusIn, Qt::TabFocusReason);
    QApplication::sendEvent(minutes, &focusIn);
    EXPECT_EQ(spin->tag(), "Minutes");
    EXPECT_EQ(spin->value(), 3);
    QTest::mouseClick(down, Qt::LeftButton);
    EXPECT_EQ(minutes->text(), "02");
    EXPECT_EQ(seconds->text(), "59");
    // The arrow keys in a box step it too.
    QTest::keyClick(minutes, Qt::Key_Up);
    QTest::keyClick(minutes, Qt::Key_Up);
    EXPECT_EQ(minutes->text(), "04");
    for (int i = 0; i < 6; ++i)
        QTest::keyClick(minutes, Qt::Key_Down);
    EXPECT_EQ(minutes->text(), "00");
}

// ---- parameters dialog --------------------------------------------------

TEST_F(DialogsTest, ParametersShowFieldsAndOkTakesTypedNumbers) {
    ParametersDialog dlg;
    dlg.threshold1 = 0.2;
    dlg.threshold2 = 5;
    dlg.lostContact = 5;
    dlg.backTime = 20;
    dlg.measureTime = 10;
    dlg.audioAlarm = 1;
    dlg.autoArrange = 0;
    dlg.timeFormat = 1;
    dlg.show();
    EXPECT_EQ(dlg.windowTitle(), "Set Parameters");
    EXPECT_EQ(child<QLineEdit>(dlg, "edThreshold1")->text(), "0.2");
    EXPECT_EQ(child<QLineEdit>(dlg, "edThreshold2")->text(), "5");
    EXPECT_EQ(child<QLineEdit>(dlg, "edBackTime")->text(), "20");
    EXPECT_TRUE(child<QRadioButton>(dlg, "optTime_1")->isChecked());
    EXPECT_TRUE(child<QCheckBox>(dlg, "chkAudio")->isChecked());
    EXPECT_FALSE(child<QCheckBox>(dlg, "chkAutoArrange")->isChecked());
    EXPECT_EQ(child<QPushButton>(dlg, "OKButton")->text(), str(1));
    EXPECT_EQ(child<QPushButton>(dlg, "CancelButton")->text(), str(2));
    EXPECT_EQ(child<QLabel>(dlg, "lblBackTime")->text(), str(4004));

    retype(child<QLineEdit>(dlg, "edThreshold1"), " 0.35");
    retype(child<QLineEdit>(dlg, "edThreshold2"), "1e3");
    retype(child<QLineEdit>(dlg, "edLostContact"), "7");
    retype(child<QLineEdit>(dlg, "edBackTime"), "0");
    retype(child<QLineEdit>(dlg, "edMeasureTime"), "32767");
    QTest::mouseClick(child<QRadioButton>(dlg, "optTime_0"), Qt::LeftButton);
    tick(child<QCheckBox>(dlg, "chkAudio"));
    tick(child<QCheckBox>(dlg, "chkAutoArrange"));
    QTest::mouseClick(child<QPushButton>(dlg, "OKButton"), Qt::LeftButton);

    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_DOUBLE_EQ(dlg.threshold1, 0.35);
    EXPECT_EQ(dlg.threshold2, 1000);
    EXPECT_DOUBLE_EQ(dlg.lostContact, 7);
    EXPECT_EQ(dlg.backTime, 0);
    EXPECT_EQ(dlg.measureTime, 32767);
    EXPECT_EQ(dlg.audioAlarm, 0);
    EXPECT_EQ(dlg.autoArrange, 1);
    EXPECT_EQ(dlg.timeFormat, 0);

    Settings s;
    dlg.giveTo(s);
    EXPECT_EQ(s.LostContactInterval, 7);
    EXPECT_EQ(s.MeasureTime, 32767);
}

TEST_F(DialogsTest, ParametersRefuseWhatCannotBeUsedAndKeepWhatWasTyped) {
    struct Case {
        const char* box;
        const char* typed;
        const char* named; // in the message
    };
    const Case cases[] = {
        {"edThreshold2", "abc", "Threshold 2"},
        {"edThreshold1", "0.35uSv", "Threshold 1"},
        {"edThreshold1", "-1", "Threshold 1"},
        {"edThreshold2", "0.1", "below Threshold 1"},
        {"edLostContact", "-5", "Lost Contact Interval"},
        {"edLostContact", "0", "Lost Contact Interval"},
        {"edLostContact", "7.5", "Lost Contact Interval"},
        {"edBackTime", "-7.5", "Background"},
        {"edBackTime", "-8", "Background"},
        {"edMeasureTime", "999999999", "Measuring"},
        {"edMeasureTime", "0", "Measuring"},
    };
    for (const Case& c : cases) {
        ParametersDialog dlg;
        Settings s;
        s.Threshold1 = 0.2;
        s.Threshold2 = 5;
        s.LostContactInterval = 5;
        dlg.takeFrom(s);
        dlg.show();
        retype(child<QLineEdit>(dlg, c.box), c.typed);
        auto seen = test::answerNextMessageBox(QMessageBox::Ok);
        QTest::mouseClick(child<QPushButton>(dlg, "OKButton"), Qt::LeftButton);
        EXPECT_TRUE(seen->shown) << c.box << " " << c.typed;
        EXPECT_TRUE(seen->text.contains(c.named)) << seen->text.toStdString();
        EXPECT_TRUE(dlg.isVisible()) << c.typed;
        EXPECT_NE(dlg.result(), QDialog::Accepted) << c.typed;
        EXPECT_EQ(child<QLineEdit>(dlg, c.box)->text(), c.typed);
        EXPECT_EQ(dlg.threshold2, 5);
    }
}

TEST_F(DialogsTest, ParametersShowStoredValuesWholeAndOkKeepsThemUnedited) {
    const struct {
        double value;
        const char* shown;
    } cases[] = {{1e10, "10000000000"},
                 {1.7976931348623157e308, "1.79769313486232E+308"},
                 {1.2345678901234e-7, "0.00000012345678901234"},
                 {123456789012.5, "123456789012.5"},
                 // Fifteen digits would show 0.3, and OK would hand 0.3 back.
                 {0.30000000000000004, "0.30000000000000004"}};
    for (const auto& [v, shown] : cases) {
        ParametersDialog dlg;
        Settings s;
        s.Threshold1 = v;
        s.Threshold2 = v;
        s.LostContactInterval = 5;
        dlg.takeFrom(s);
        dlg.show();
        EXPECT_EQ(child<QLineEdit>(dlg, "edThreshold1")->text(), shown);
        QTest::mouseClick(child<QPushButton>(dlg, "OKButton"), Qt::LeftButton);
        ASSERT_EQ(dlg.result(), QDialog::Accepted) << v;
        EXPECT_EQ(dlg.threshold1, v);
        EXPECT_EQ(dlg.threshold2, v);
    }
}

TEST_F(DialogsTest, ParametersCancelKeepsFields) {
    ParametersDialog dlg;
    Settings s;
    s.Threshold1 = 1.5;
    s.BackTime = 30;
    dlg.takeFrom(s);
    dlg.show();
    retype(child<QLineEdit>(dlg, "edThreshold1"), "9");
    retype(child<QLineEdit>(dlg, "edBackTime"), "1");
    QTest::mouseClick(child<QPushButton>(dlg, "CancelButton"), Qt::LeftButton);
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    EXPECT_EQ(dlg.threshold1, 1.5);
    EXPECT_EQ(dlg.backTime, 30);
    // Shown again, the boxes come from the fields, not the cancelled text.
    dlg.show();
    EXPECT_EQ(child<QLineEdit>(dlg, "edThreshold1")->text(), "1.5");
    QTest::keyClick(&dlg, Qt::Key_Escape);
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
}

// ---- legend -------------------------------------------------------------

TEST_F(DialogsTest, LegendOkWritesFourKeysInOrderAndTypingStopsAtWhatIsKept) {
    {
        SettingsStore store(iniPath);
        LegendDialog dlg(store);
        EXPECT_EQ(dlg.legend().Date, formatShortDate(QDate::currentDate()));
        EXPECT_TRUE(dlg.legend().Department.isEmpty());
        dlg.show();
        EXPECT_EQ(child<QLineEdit>(dlg, "edDate")->text(), dlg.legend().Date);
        for (const char* box : {"edDepartment", "edDetector", "edLocation", "edPersonnel"}) {
            retype(child<QLineEdit>(dlg, box), "ABCDEFGHIJKLMNOPQRST"); // 20
            EXPECT_EQ(child<QLineEdit>(dlg, box)->text(), "ABCDEFGHIJKLMNOPQRS") << box;
        }
        retype(child<QLineEdit>(dlg, "edDepartment"), "ABCDEFGHIJKLMNOPQRST");
        retype(child<QLineEdit>(dlg, "edDate"), "1.1.2030");
        retype(child<QLineEdit>(dlg, "edDetector"), "Tarvo-5");
        retype(child<QLineEdit>(dlg, "edLocation"), "Hall 2");
        retype(child<QLineEdit>(dlg, "edPersonnel"), "Dana");
        QTest::mouseClick(child<QPushButton>(dlg, "btOk"), Qt::LeftButton);
        // This run keeps what the next one reads, the date as typed.
        EXPECT_EQ(dlg.legend().Department, "ABCDEFGHIJKLMNOPQRS");
        EXPECT_EQ(dlg.legend().Date, "1.1.2030");
        EXPECT_EQ(dlg.legend().Detector, "Tarvo-5");
    }
    const QByteArray bytes = iniBytes();
    const auto dep = bytes.indexOf("Department=");
    const auto loc = bytes.indexOf("Location=Hall 2");
    const auto per = bytes.indexOf("Personnel=Dana");
    const auto det = bytes.indexOf("Detector=Tarvo-5");
    ASSERT_GE(dep, 0);
    EXPECT_LT(dep, loc);
    EXPECT_LT(loc, per);
    EXPECT_LT(per, det);
    EXPECT_FALSE(bytes.contains("1.1.2030")); // the date is never stored

    SettingsStore nextRun(iniPath);
    LegendDialog again(nextRun);
    EXPECT_EQ(again.legend().Department, "ABCDEFGHIJKLMNOPQRS");
    EXPECT_EQ(again.legend().Date, formatShortDate(QDate::currentDate()));
}

TEST_F(DialogsTest, LegendCancelChangesNothing) {
    writeIni("[COMMON]\r\nDepartment=Safety\r\n");
    SettingsStore store(iniPath);
    LegendDialog dlg(store);
    dlg.show();
    retype(child<QLineEdit>(dlg, "edDepartment"), "Other");
    const QByteArray before = iniBytes();
    QTest::mouseClick(child<QPushButton>(dlg, "btCalcel"), Qt::LeftButton);
    EXPECT_EQ(dlg.legend().Department, "Safety");
    EXPECT_EQ(iniBytes(), before);
}

// ---- debug window -------------------------------------------------------

TEST_F(DialogsTest, DebugListKeepsOnlyNewestLines) {
    DebugWindow w;
    const int total = DebugWindow::MaxLines + 25;
    for (int i = 0; i < total; ++i)
        w.addLine(QString("Part %1").arg(i));
    EXPECT_EQ(w.lineCount(), DebugWindow::MaxLines);
    EXPECT_EQ(w.line(0), "Part 25");
    EXPECT_EQ(w.line(DebugWindow::MaxLines - 1), QString("Part %1").arg(total - 1));
    QTest::mouseClick(child<QPushButton>(w, "btClear"), Qt::LeftButton);
    EXPECT_EQ(w.lineCount(), 0);
}

TEST_F(DialogsTest, DebugSaveFormat) {
    DebugWindow w;
    const QDateTime at(QDate(2024, 3, 9), QTime(7, 5, 1));
    const QString path = dir.filePath("ZelDbg.txt");
    ASSERT_TRUE(w.saveTo(path, at));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("#2024-03-09 07:05:01#,\"Zel 1.05 debug\"\r\n"));
    f.close();

    w.addLine("Send 2 4 4 3 ");
    w.addLine(QString("Part ") + QChar(0xE9));
    ASSERT_TRUE(w.saveTo(path, at));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("#2024-03-09 07:05:01#,\"Zel 1.05 debug\"\r\n"
                                      "\"Send 2 4 4 3 \"\r\n"
                                      "\"Part \xE9\"\r\n"));

    const Expected<void> saved = w.saveTo(dir.filePath("no/such/folder/ZelDbg.txt"), at);
    EXPECT_FALSE(saved);
    EXPECT_FALSE(saved.error().text.isEmpty());
}

TEST_F(DialogsTest, DebugSaveButtonWritesProgramFolderAndSaysSo) {
    DebugWindow w;
    w.addLine("All 2 5 3 ");
    auto seen = test::answerNextMessageBox(QMessageBox::Ok);
    QTest::mouseClick(child<QPushButton>(w, "btSave"), Qt::LeftButton);
    ASSERT_TRUE(seen->shown);
    EXPECT_EQ(seen->text, "Data saved in file ZelDbg.txt");
    EXPECT_EQ(seen->buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QFile f(dir.filePath("ZelDbg.txt"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().endsWith("\r\n\"All 2 5 3 \"\r\n"));
}

TEST_F(DialogsTest, DebugCountersAndShowAll) {
    DebugWindow w;
    EXPECT_FALSE(w.showAll());
    tick(child<QCheckBox>(w, "chkShowAll"));
    EXPECT_TRUE(w.showAll());
    w.setCounters(3, 4000000000u);
    EXPECT_EQ(child<QLineEdit>(w, "edErrCount")->text(), "3");
    EXPECT_EQ(child<QLineEdit>(w, "edTotalErrors")->text(), "4000000000");
}

// ---- alarm sound --------------------------------------------------------

TEST_F(DialogsTest, AlarmSoundPutsBuiltInFileInProgramFolder) {
    const QString wav = dir.filePath("Notify.wav");
    ASSERT_FALSE(QFile::exists(wav));
    AlarmSound sound;
    EXPECT_EQ(sound.file(), wav);
    QFile f(wav);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.read(4) == "RIFF");

    // A user's own sound is never replaced.
    f.close();
    QFile mine(wav);
    ASSERT_TRUE(mine.open(QIODevice::WriteOnly | QIODevice::Truncate));
    mine.write("mine");
    mine.close();
    EXPECT_TRUE(AlarmSound::ensureSoundFile(wav));
    ASSERT_TRUE(mine.open(QIODevice::ReadOnly));
    EXPECT_EQ(mine.readAll(), "mine");
}

TEST_F(DialogsTest, AlarmSoundPrefersTheInstalledFile) {
    const QString installed = dir.filePath("share-Notify.wav");
    QFile f(installed);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("RIFFinstalled");
    f.close();
    const QString wav = dir.filePath("Notify.wav");
    EXPECT_TRUE(AlarmSound::ensureSoundFile(wav, installed));
    QFile copy(wav);
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    EXPECT_EQ(copy.readAll(), "RIFFinstalled");
}

TEST_F(DialogsTest, AlarmSoundRepeatsUntilMutedAndMissingFileIsSilent) {
    AlarmSound sound(dir.filePath("absent.wav"), nullptr);
    EXPECT_TRUE(sound.isIdle());
    sound.startRepeating();
    EXPECT_FALSE(sound.isIdle());
    sound.startRepeating(); // already repeating: not restarted
    EXPECT_FALSE(sound.isIdle());
    QTest::qWait(50); // let the effect report its missing file
    sound.mute();
    EXPECT_TRUE(sound.isIdle());
    sound.startRepeating(); // the next rising alarm sounds again
    EXPECT_FALSE(sound.isIdle());
    sound.mute();
}

// ---- data handling, wait window, about box -----------------------------

TEST_F(DialogsTest, DataHandleOnlineButtonAndScale) {
    DataHandleDialog dlg;
    QSignalSpy online(&dlg, &DataHandleDialog::onlineChanged);
    QSignalSpy scale(&dlg, &DataHandleDialog::scaleChosen);
    dlg.show();
    auto* bt = child<QPushButton>(dlg, "btOnline");
    EXPECT_EQ(bt->text().remove(QLatin1Char('&')), "Online");
    QTest::mouseClick(bt, Qt::LeftButton);
    EXPECT_EQ(dlg.isOnline(), true);
    EXPECT_EQ(bt->text().remove(QLatin1Char('&')), "OffLine");
    ASSERT_EQ(online.size(), 1);
    EXPECT_TRUE(online[0][0].toBool());
    QTest::mouseClick(bt, Qt::LeftButton);
    EXPECT_EQ(dlg.isOnline(), false);
    EXPECT_EQ(bt->text().remove(QLatin1Char('&')), "Online");
    EXPECT_FALSE(online[1][0].toBool());

    auto* range100 = child<QRadioButton>(dlg, "chkScale_3");
    // On the option's circle: the option is wider than its caption.
    QTest::mouseClick(range100, Qt::LeftButton, {}, QPoint(6, range100->height() / 2));
    ASSERT_EQ(scale.size(), 1);
    EXPECT_EQ(scale[0][0].toInt(), 3);
    dlg.setScale(1); // shown, not announced
    EXPECT_EQ(dlg.scale(), 1);
    EXPECT_EQ(scale.size(), 1);
}

TEST_F(DialogsTest, WaitWindowStopsOnceHoweverClosed) {
    WaitDialog dlg;
    QSignalSpy stop(&dlg, &WaitDialog::stopRequested);
    dlg.show();
    EXPECT_NE(dlg.progressBar(), nullptr);
    QTest::mouseClick(child<QPushButton>(dlg, "btStop"), Qt::LeftButton);
    EXPECT_EQ(stop.size(), 1);
    EXPECT_FALSE(dlg.isVisible());

    dlg.reset();
    dlg.show();
    dlg.close();
    EXPECT_EQ(stop.size(), 2);
    EXPECT_TRUE(dlg.stopped());
}

TEST_F(DialogsTest, AboutShowsVersion) {
    AboutDialog dlg;
    EXPECT_EQ(child<QLabel>(dlg, "lblVersion")->text(), "Version 4.4.1");
    EXPECT_EQ(child<QLabel>(dlg, "lblTitle")->text(), dlg.windowTitle());
}

TEST_F(DialogsTest, EveryControlHasAnAccessibleName) {
    SettingsStore store(iniPath);
    IntervalDialog interval(store);
    ParametersDialog parameters;
    LegendDialog legend(store);
    DebugWindow debug;
    DataHandleDialog dataHandle;
    WaitDialog wait;
    const QList<QWidget*> windows{&interval, &parameters, &legend, &debug, &dataHandle, &wait};
    for (QWidget* window : windows) {
        window->show();
        for (QWidget* w : window->findChildren<QWidget*>()) {
            const bool control = qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w) ||
                                 qobject_cast<QListWidget*>(w);
            if (control && !w->objectName().isEmpty()) {
                EXPECT_FALSE(w->accessibleName().isEmpty())
                    << window->objectName().toStdString() << "/" << w->objectName().toStdString();
            }
        }
        window->hide();
    }
}

} // namespace
} // namespace zel
