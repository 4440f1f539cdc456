#include "station/port_settings.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace zel;

namespace {

class PortSettingsFileTest : public ::testing::Test {
protected:
    QString path() const { return dir.filePath(QStringLiteral("dax.ini")); }
    void writeFile(const QByteArray& text) {
        QFile f(path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    QTemporaryDir dir;
};

} // namespace

TEST_F(PortSettingsFileTest, MissingFileGivesDefaultsAndIsNotCreated) {
    PortSettingsFile file(path());
    PortSettings s;
    s.Port = 0;
    s.BaudRate = 0;
    EXPECT_TRUE(file.readPort(s));
    file.readBaudRate(s);
    EXPECT_EQ(s.Port, 6);
    EXPECT_EQ(s.BaudRate, 9600);
    EXPECT_FALSE(QFile::exists(path()));
    // tarvoset reads with its own default.
    PortSettings t;
    EXPECT_TRUE(file.readPort(t, 1));
    EXPECT_EQ(t.Port, 1);
}

TEST_F(PortSettingsFileTest, ValuesTakeTheirLeadingNumber) {
    writeFile("[Communication]\nPort=3.5 \nBaudRate=2400\n");
    PortSettingsFile file(path());
    PortSettings s;
    ASSERT_TRUE(file.readPort(s));
    file.readBaudRate(s);
    EXPECT_EQ(s.Port, 4); // half to even
    EXPECT_EQ(s.BaudRate, 2400);

    writeFile("[communication]\nport=abc\nBAUDRATE=115200baud\n");
    ASSERT_TRUE(file.readPort(s));
    file.readBaudRate(s);
    EXPECT_EQ(s.Port, 0);
    EXPECT_EQ(s.BaudRate, 115200);

    // Only nine characters fit the buffer.
    writeFile("[Communication]\nBaudRate=12345678901\n");
    file.readBaudRate(s);
    EXPECT_EQ(s.BaudRate, 123456789);
}

TEST_F(PortSettingsFileTest, EmptyPortKeyIsReported) {
    writeFile("[Communication]\nPort=\nBaudRate=4800\n");
    PortSettingsFile file(path());
    PortSettings s;
    s.Port = 9;
    EXPECT_FALSE(file.readPort(s));
    EXPECT_EQ(s.Port, 9);
}

TEST_F(PortSettingsFileTest, WriteKeepsOtherLinesAndReadsBack) {
    writeFile("; ports\n[Devices]\nCOM3=/dev/ttyUSB0\n");
    PortSettingsFile file(path());
    ASSERT_TRUE(file.write(3, 19200));
    PortSettings s;
    ASSERT_TRUE(file.readPort(s));
    file.readBaudRate(s);
    EXPECT_EQ(s.Port, 3);
    EXPECT_EQ(s.BaudRate, 19200);
    QFile f(path());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    EXPECT_TRUE(text.contains("Port=3"));
    EXPECT_TRUE(text.contains("BaudRate=19200"));
    EXPECT_TRUE(text.contains("COM3=/dev/ttyUSB0"));
}

TEST_F(PortSettingsFileTest, DeviceMapping) {
    writeFile("[Devices]\nCOM3=/dev/ttyUSB0\ncom12 = /dev/pts/7\n");
    PortSettingsFile file(path());
    EXPECT_EQ(file.deviceFor(3), "/dev/ttyUSB0");
    EXPECT_EQ(file.deviceFor(12), "/dev/pts/7");
    EXPECT_EQ(file.deviceFor(1), "/dev/ttyS0");
    EXPECT_EQ(file.deviceFor(6), "/dev/ttyS5");
    EXPECT_EQ(settingsText(9600), "9600,N,8,1");
}
