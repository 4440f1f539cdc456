// The "Set Port" dialog of zel and tarvoset: what OK, a failed OK and
// Cancel do to the stored settings, the port and dax.ini.
#include "common/text.h"
#include "station/port_settings.h"
#include "ui/message_box_answer.h"
#include "ui/port_dialog.h"
#include "ui/translations.h"

#include <QAccessible>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace zel {
namespace {

struct ReopenCall {
    int16_t port;
    int32_t baud;
};

class PortDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        useLanguage(Language::English);
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath("dax.ini");
    }

    QByteArray fileBytes() const {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void writeFile(const QByteArray& bytes) const {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    PortReopener reopener(bool succeed, const QString& detail = QString()) {
        return [this, succeed, detail](int16_t port, int32_t baud) -> Expected<void> {
            calls.push_back({port, baud});
            if (!succeed)
                return fail(Failure::Kind::NotFound, detail);
            return {};
        };
    }

    template <typename T> static T* child(QWidget& w, const QString& name) {
        T* c = w.findChild<T*>(name);
        EXPECT_NE(c, nullptr) << name.toStdString();
        return c;
    }

    QTemporaryDir dir;
    QString path;
    std::vector<ReopenCall> calls;
};

TEST_F(PortDialogTest, OkOpensChosenPortAndWritesPortThenBaudRate) {
    PortSettings s; // Port 6, 9600
    s.OpenPort = 6;
    PortSettingsFile file(path);
    PortDialog dlg(s, file, reopener(true), zelPortDialogVariant());
    dlg.show();
    EXPECT_TRUE(child<QRadioButton>(dlg, "chkPort_5")->isChecked());
    EXPECT_TRUE(child<QRadioButton>(dlg, "chkBaud_2")->isChecked());

    QTest::mouseClick(child<QRadioButton>(dlg, "chkPort_2"), Qt::LeftButton);
    QTest::mouseClick(child<QRadioButton>(dlg, "chkBaud_3"), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>(dlg, "OK"), Qt::LeftButton);

    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].port, 3);
    EXPECT_EQ(calls[0].baud, 19200);
    EXPECT_EQ(s.Port, 3);
    EXPECT_EQ(s.OpenPort, 3);
    EXPECT_EQ(s.BaudRate, 19200);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_FALSE(dlg.isVisible());

    const QByteArray bytes = fileBytes();
    EXPECT_TRUE(bytes.contains("[Communication]"));
    const auto portAt = bytes.indexOf("Port=3");
    const auto baudAt = bytes.indexOf("BaudRate=19200");
    ASSERT_GE(portAt, 0);
    ASSERT_GE(baudAt, 0);
    EXPECT_LT(portAt, baudAt);

    PortSettings back;
    PortSettingsFile again(path);
    ASSERT_TRUE(again.readPort(back));
    again.readBaudRate(back);
    EXPECT_EQ(back.Port, 3);
    EXPECT_EQ(back.BaudRate, 19200);
}

TEST_F(PortDialogTest, FailedOpenKeepsDialogOpenFileUnchangedAndNoPortOpen) {
    const QByteArray before = "[Communication]\r\nPort=6\r\nBaudRate=9600\r\n";
    writeFile(before);
    PortSettings s;
    s.OpenPort = 6;
    PortSettingsFile file(path);
    PortDialog dlg(s, file, reopener(false, "/dev/ttyS1: Permission denied"),
                   zelPortDialogVariant());
    dlg.show();
    QTest::mouseClick(child<QRadioButton>(dlg, "chkPort_1"), Qt::LeftButton);
    QTest::mouseClick(child<QRadioButton>(dlg, "chkBaud_4"), Qt::LeftButton);
    EXPECT_EQ(dlg.pendingPort(), 2);
    EXPECT_EQ(dlg.pendingBaud(), 115200);

    auto seen = test::answerNextMessageBox(QMessageBox::Ok);
    QTest::mouseClick(child<QPushButton>(dlg, "OK"), Qt::LeftButton);

    ASSERT_TRUE(seen->shown);
    EXPECT_EQ(seen->text, "Error in opening Communication port");
    EXPECT_EQ(seen->title, "Error in Communication");
    EXPECT_EQ(seen->icon, QMessageBox::Critical);
    EXPECT_EQ(seen->buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_EQ(seen->detail, "/dev/ttyS1: Permission denied");

    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].port, 2);
    EXPECT_EQ(s.OpenPort, 0);
    EXPECT_EQ(s.Port, 6);
    EXPECT_EQ(s.BaudRate, 9600);
    EXPECT_EQ(dlg.pendingPort(), 6);
    EXPECT_EQ(dlg.pendingBaud(), 9600);
    EXPECT_TRUE(dlg.isVisible());
    // The screen shows the stored choice again, not the one that failed.
    EXPECT_TRUE(child<QRadioButton>(dlg, "chkPort_5")->isChecked());
    EXPECT_TRUE(child<QRadioButton>(dlg, "chkBaud_2")->isChecked());
    EXPECT_EQ(fileBytes(), before);
}

TEST_F(PortDialogTest, StoredRateWithoutAButtonIsShownAsTheRateInUse) {
    struct Case {
        int32_t stored;
        bool tarvoset;
    };
    const Case cases[] = {{2400, false}, {115200, true}, {57600, false}};
    for (const Case& c : cases) {
        calls.clear();
        PortSettings s;
        s.BaudRate = c.stored;
        PortSettingsFile file(path);
        PortDialog dlg(s, file, reopener(true),
                       c.tarvoset ? tarvosetPortDialogVariant() : zelPortDialogVariant());
        dlg.show();
        auto* inUse = child<QRadioButton>(dlg, "chkBaud_inUse");
        EXPECT_TRUE(inUse->isVisible()) << c.stored;
        EXPECT_EQ(inUse->text(), QString::number(c.stored));
        EXPECT_TRUE(inUse->isChecked());
        EXPECT_FALSE(child<QRadioButton>(dlg, "chkBaud_0")->isChecked());
        EXPECT_EQ(dlg.pendingBaud(), c.stored);

        // Another rate and back again.
        QTest::mouseClick(child<QRadioButton>(dlg, "chkBaud_2"), Qt::LeftButton, {}, QPoint(8, 8));
        EXPECT_EQ(dlg.pendingBaud(), 9600);
        QTest::mouseClick(inUse, Qt::LeftButton, {}, QPoint(8, 8));
        EXPECT_EQ(dlg.pendingBaud(), c.stored);
        QTest::mouseClick(child<QPushButton>(dlg, "OK"), Qt::LeftButton);
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].baud, c.stored);
        EXPECT_TRUE(fileBytes().contains("BaudRate=" + QByteArray::number(c.stored)));
    }
    // A listed rate needs no extra button.
    PortSettings s;
    s.BaudRate = 9600;
    PortSettingsFile file(path);
    PortDialog dlg(s, file, reopener(true), zelPortDialogVariant());
    dlg.show();
    EXPECT_FALSE(child<QRadioButton>(dlg, "chkBaud_inUse")->isVisible());
    EXPECT_TRUE(child<QRadioButton>(dlg, "chkBaud_2")->isChecked());
}

TEST_F(PortDialogTest, CancelAndEscapeTouchNothing) {
    PortSettings s;
    s.OpenPort = 6;
    PortSettingsFile file(path);
    PortDialog dlg(s, file, reopener(true), zelPortDialogVariant());
    dlg.show();
    QTest::mouseClick(child<QRadioButton>(dlg, "chkPort_0"), Qt::LeftButton);
    QTest::mouseClick(child<QRadioButton>(dlg, "chkBaud_1"), Qt::LeftButton);
    auto* cancel = child<QPushButton>(dlg, "CANCEL");
    EXPECT_EQ(cancel->text(), "&Cancel");
    QTest::mouseClick(cancel, Qt::LeftButton);

    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    EXPECT_EQ(dlg.pendingPort(), 6);
    EXPECT_EQ(dlg.pendingBaud(), 9600);
    EXPECT_EQ(s.Port, 6);
    EXPECT_EQ(s.OpenPort, 6);
    EXPECT_FALSE(QFile::exists(path));

    // Shown again, the dialog starts from the stored values; Escape is Cancel.
    dlg.show();
    EXPECT_TRUE(child<QRadioButton>(dlg, "chkPort_5")->isChecked());
    QTest::mouseClick(child<QRadioButton>(dlg, "chkPort_0"), Qt::LeftButton);
    QTest::keyClick(&dlg, Qt::Key_Escape);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.pendingPort(), 6);
    EXPECT_TRUE(calls.empty());
}

TEST_F(PortDialogTest, CaptionsNamesAndDeviceToolTips) {
    writeFile("[Devices]\r\nCOM2=/dev/ttyUSB0\r\n");
    PortSettings s;
    PortSettingsFile file(path);
    PortDialog dlg(s, file, reopener(true), zelPortDialogVariant());
    dlg.show();
    EXPECT_EQ(dlg.windowTitle(), "Set Port");
    EXPECT_EQ(dlg.findChildren<QRadioButton*>(QRegularExpression("^chkPort_")).size(), 15);
    EXPECT_EQ(child<QRadioButton>(dlg, "chkPort_0")->text(), "Com&1");
    // Alt+1 is Com1's: the later ports that begin with a 1 cannot share it.
    EXPECT_EQ(child<QRadioButton>(dlg, "chkPort_14")->text(), "Com15");
    EXPECT_EQ(child<QRadioButton>(dlg, "chkPort_1")->toolTip(), "/dev/ttyUSB0");
    EXPECT_EQ(child<QRadioButton>(dlg, "chkPort_2")->toolTip(), "/dev/ttyS2");
    EXPECT_EQ(child<QRadioButton>(dlg, "chkBaud_4")->text(), "115200");
    for (QWidget* w : dlg.findChildren<QWidget*>()) {
        if (qobject_cast<QAbstractButton*>(w)) {
            EXPECT_FALSE(w->accessibleName().isEmpty()) << w->objectName().toStdString();
        }
    }
}

TEST_F(PortDialogTest, PortOutsideButtonsShowsNoneAndKeepsNumber) {
    PortSettings s;
    s.Port = 22;
    PortSettingsFile file(path);
    PortDialog dlg(s, file, reopener(true), zelPortDialogVariant());
    dlg.show();
    for (auto* b : dlg.findChildren<QRadioButton*>(QRegularExpression("^chkPort_")))
        EXPECT_FALSE(b->isChecked());
    QTest::mouseClick(child<QPushButton>(dlg, "OK"), Qt::LeftButton);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].port, 22);
}

TEST_F(PortDialogTest, TarvosetVariantHasFourPortsAndNo115200) {
    PortSettings s;
    s.Port = 1;
    s.BaudRate = 115200;
    PortSettingsFile file(path);
    PortDialog dlg(s, file, reopener(true), tarvosetPortDialogVariant());
    dlg.show();
    EXPECT_EQ(dlg.findChildren<QRadioButton*>(QRegularExpression("^chkPort_")).size(), 4);
    EXPECT_EQ(child<QRadioButton>(dlg, "chkPort_3")->text(), "Com&4");
    const auto bauds = dlg.findChildren<QRadioButton*>(QRegularExpression("^chkBaud_[0-9]+$"));
    ASSERT_EQ(bauds.size(), 4);
    for (auto* b : bauds)
        EXPECT_NE(b->text(), "115200");
    // 115200 has no button of the list here: it shows as the rate in use.
    EXPECT_TRUE(child<QRadioButton>(dlg, "chkBaud_inUse")->isChecked());
    EXPECT_EQ(dlg.pendingBaud(), 115200);
    QTest::mouseClick(child<QRadioButton>(dlg, "chkBaud_3"), Qt::LeftButton);
    EXPECT_EQ(dlg.pendingBaud(), 19200);
}

// ---- the machine's serial devices ------------------------------------------

PortDialogVariant withDevices(QList<SerialDevice> devices) {
    PortDialogVariant v = zelPortDialogVariant();
    v.findDevices = [devices] { return devices; };
    return v;
}

const SerialDevice Adapter{"/dev/ttyUSB0",
                           "/dev/serial/by-id/usb-FTDI_FT232R_A1B2-if00-port0",
                           "FT232R USB UART",
                           "FTDI",
                           "A1B2",
                           true};
const SerialDevice Forbidden{"/dev/ttyS0", "", "", "", "", false};

TEST_F(PortDialogTest, PickedDeviceIsMappedToTheChosenPortBeforeItOpens) {
    PortSettings s; // Port 6
    PortSettingsFile file(path);
    QString mappedWhenOpening;
    PortDialog dlg(
        s, file,
        [&](int16_t port, int32_t baud) {
            mappedWhenOpening = file.deviceFor(port);
            return reopener(true)(port, baud);
        },
        withDevices({Adapter, Forbidden}));
    dlg.show();
    auto* list = child<QListWidget>(dlg, "lstDevices");
    auto* status = child<QLabel>(dlg, "lblDevices");
    ASSERT_EQ(list->count(), 2);
    EXPECT_TRUE(list->item(0)->text().startsWith(Adapter.stableName));
    for (const char* part : {"FT232R USB UART", "FTDI", "S/N A1B2", "/dev/ttyUSB0"})
        EXPECT_TRUE(list->item(0)->text().contains(part)) << part;
    EXPECT_FALSE(list->item(0)->text().contains("dialout"));
    EXPECT_TRUE(list->item(1)->text().startsWith("/dev/ttyS0"));
    EXPECT_TRUE(list->item(1)->text().contains("\"dialout\" group")) << "says how to fix it";
    EXPECT_TRUE(dlg.pendingDevice().isEmpty()) << "nothing is picked by itself";

    list->setCurrentRow(0);
    EXPECT_EQ(dlg.pendingDevice(), Adapter.stableName);
    QTest::mouseClick(child<QRadioButton>(dlg, "chkPort_2"), Qt::LeftButton);
    // A device path is one left-to-right run inside the sentence.
    EXPECT_EQ(status->text(), "Com3 will use " + leftToRight(Adapter.stableName));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(status)->text(QAccessible::Name),
              status->text());
    QTest::mouseClick(child<QPushButton>(dlg, "OK"), Qt::LeftButton);

    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].port, 3);
    EXPECT_EQ(mappedWhenOpening, Adapter.stableName);
    EXPECT_TRUE(fileBytes().contains("[Devices]"));
    EXPECT_TRUE(fileBytes().contains("COM3=" + Adapter.stableName.toUtf8()));
    EXPECT_TRUE(fileBytes().contains("Port=3"));
}

TEST_F(PortDialogTest, FailedOpenPutsTheOldMappingBack) {
    writeFile("[Devices]\r\nCOM6=/dev/ttyUSB9\r\n");
    PortSettings s;
    PortSettingsFile file(path);
    PortDialog dlg(s, file, reopener(false), withDevices({Adapter}));
    dlg.show();
    child<QListWidget>(dlg, "lstDevices")->setCurrentRow(0);
    auto seen = test::answerNextMessageBox(QMessageBox::Ok);
    QTest::mouseClick(child<QPushButton>(dlg, "OK"), Qt::LeftButton);
    ASSERT_TRUE(seen->shown);
    EXPECT_EQ(file.deviceFor(6), "/dev/ttyUSB9");
    EXPECT_TRUE(dlg.pendingDevice().isEmpty());
}

TEST_F(PortDialogTest, NoDevicesFoundIsSaid) {
    PortSettings s;
    PortSettingsFile file(path);
    PortDialog dlg(s, file, reopener(true), withDevices({}));
    dlg.show();
    auto* list = child<QListWidget>(dlg, "lstDevices");
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->text(), "No serial devices found");
    EXPECT_FALSE(list->item(0)->flags() & Qt::ItemIsSelectable);
    list->setCurrentRow(0);
    QTest::mouseClick(child<QPushButton>(dlg, "OK"), Qt::LeftButton);
    EXPECT_FALSE(fileBytes().contains("[Devices]")) << "no mapping without a device";
}

} // namespace
} // namespace zel
