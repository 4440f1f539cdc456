#include "common/ini_file.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using zel::IniFile;

namespace {

class IniFileTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path() const { return dir.filePath(QStringLiteral("Zel.ini")); }
    void put(const QByteArray& bytes) {
        QFile f(path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray contents() const {
        QFile f(path());
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return f.readAll();
    }
};

} // namespace

TEST_F(IniFileTest, ReadsCaseInsensitivelyWithTrimmingAndEitherLineEnd) {
    put("; comment\r\n[Other]\r\nPort=1\r\n[COMMON]\nthreshold1 =  0.2  \r\nInsType=2\n");
    IniFile ini(path());
    bool got = false;
    EXPECT_EQ(ini.read("common", "Threshold1", "x", 10, &got), "0.2");
    EXPECT_TRUE(got);
    EXPECT_EQ(ini.read("Common", "INSTYPE", "", 6), "2");
    // A key of another section is not seen.
    EXPECT_EQ(ini.read("COMMON", "Port", "6", 10), "6");
}

TEST_F(IniFileTest, ByteOrderMarkHidesNoSectionAndWritingKeepsOneSection) {
    struct Case {
        QByteArray file;
        const char* section;
        const char* key;
    };
    const QByteArray bom = "\xEF\xBB\xBF";
    const Case cases[] = {{bom + "[Communication]\r\nPort=3\r\n", "Communication", "Port"},
                          {bom + "[COMMON]\r\nInsType=3\r\n", "COMMON", "InsType"},
                          {bom + "[COMMON]\nInsType=3", "common", "INSTYPE"}};
    for (const Case& c : cases) {
        put(c.file);
        IniFile ini(path());
        EXPECT_EQ(ini.read(c.section, c.key, "0", 10), "3") << c.file.toStdString();
        ASSERT_TRUE(ini.write(c.section, c.key, "4"));
        EXPECT_EQ(ini.read(c.section, c.key, "0", 10), "4");
        const QByteArray after = contents();
        EXPECT_TRUE(after.startsWith(bom + "["));
        EXPECT_EQ(after.count("["), 1) << after.toStdString();
    }
}

TEST_F(IniFileTest, ValueIsCutAtBufferSizeAndNulAndLosesTrailingBlanks) {
    put(QByteArray("[COMMON]\r\nAudioAlarm=10\r\nName=ab  cd\r\nNul=12") + '\0' +
        QByteArray("34\r\n"));
    IniFile ini(path());
    bool got = false;
    EXPECT_EQ(ini.read("COMMON", "AudioAlarm", "1", 2, &got), "1");
    EXPECT_TRUE(got);
    // Cut after "ab  " leaves the trailing blanks to be removed.
    EXPECT_EQ(ini.read("COMMON", "Name", "", 5), "ab");
    EXPECT_EQ(ini.read("COMMON", "Nul", "", 10), "12");
    EXPECT_EQ(ini.read("COMMON", "AudioAlarm", "1", 1, &got), "");
    EXPECT_FALSE(got);
    EXPECT_EQ(ini.read("COMMON", "AudioAlarm", "1", 0, &got), "");
    EXPECT_FALSE(got);
}

TEST_F(IniFileTest, MissingFileSectionOrKeyGiveTheDefault) {
    IniFile missing(dir.filePath("none.ini"));
    bool got = true;
    EXPECT_EQ(missing.read("COMMON", "Port", "6", 10, &got), "6");
    EXPECT_TRUE(got);
    EXPECT_EQ(missing.read("COMMON", "Port", "", 10, &got), "");
    EXPECT_FALSE(got);
    EXPECT_EQ(missing.read("COMMON", "CommonFileName", "Data4Excel", 5, &got), "Data");

    put("[COMMON]\r\nEmpty=\r\n");
    IniFile ini(path());
    EXPECT_EQ(ini.read("Nope", "Empty", "d", 10), "d");
    EXPECT_EQ(ini.read("COMMON", "Other", "d", 10), "d");
    // A present but empty key gives nothing, not the default.
    EXPECT_EQ(ini.read("COMMON", "Empty", "d", 10, &got), "");
    EXPECT_FALSE(got);
}

TEST_F(IniFileTest, WriteKeepsOtherLinesAndReplacesInPlace) {
    const QByteArray before = "; keep me\n[COMMON]\r\nFileNumber=1\r\n  odd line  \r\n\r\n"
                              "[Communication]\nPort=6\n";
    put(before);
    IniFile ini(path());
    ASSERT_TRUE(ini.write("common", "FILENUMBER", "2"));
    EXPECT_EQ(contents(), QByteArray("; keep me\n[COMMON]\r\nFILENUMBER=2\r\n  odd line  \r\n\r\n"
                                     "[Communication]\nPort=6\n"));
    // A new key goes to the end of its section, before the blank line.
    ASSERT_TRUE(ini.write("COMMON", "InsType", "1"));
    EXPECT_EQ(contents(), QByteArray("; keep me\n[COMMON]\r\nFILENUMBER=2\r\n  odd line  \r\n"
                                     "InsType=1\r\n\r\n[Communication]\nPort=6\n"));
    // A new section goes to the end of the file; a last line without an end gets one.
    put("[A]\r\nx=1");
    ASSERT_TRUE(ini.write("B", "y", "2"));
    EXPECT_EQ(contents(), QByteArray("[A]\r\nx=1\r\n[B]\r\ny=2\r\n"));
    ASSERT_TRUE(ini.write("A", "z", "3"));
    EXPECT_EQ(contents(), QByteArray("[A]\r\nx=1\r\nz=3\r\n[B]\r\ny=2\r\n"));
    EXPECT_EQ(ini.read("a", "Z", "", 10), "3");
}

TEST_F(IniFileTest, WriteCreatesFileAndLineBreaksCannotInjectKeys) {
    IniFile ini(path());
    ASSERT_TRUE(ini.write("COMMON", "Department", "Lab\r\n[Communication]\nPort=99"));
    EXPECT_EQ(ini.read("Communication", "Port", "6", 10), "6");
    EXPECT_EQ(ini.read("COMMON", "Department", "", 100), "Lab  [Communication] Port=99");
    EXPECT_FALSE(IniFile(dir.filePath("no/such/dir/x.ini")).write("A", "b", "c"));
}

TEST_F(IniFileTest, BinaryAndLatin1FilesNeverFail) {
    QByteArray junk;
    for (int i = 0; i < 4096; ++i)
        junk.append(static_cast<char>((i * 7919) & 0xFF));
    put(junk + "\n[S]\nk=caf\xe9\n");
    IniFile ini(path());
    EXPECT_EQ(ini.read("S", "k", "", 20), QString::fromUtf8("caf\xc3\xa9"));
    ASSERT_TRUE(ini.write("S", "k", "v"));
    EXPECT_TRUE(contents().startsWith(junk));
    EXPECT_EQ(ini.read("S", "k", "", 20), "v");
}

TEST_F(IniFileTest, HugeFilesAreReadInLinearTime) {
    QByteArray big;
    big.reserve(20 * 1024 * 1024 + 100);
    const QByteArray line = "key_that_is_not_it=some value of the line\r\n";
    big.append("[COMMON]\r\n");
    while (big.size() < 20 * 1024 * 1024)
        big.append(line);
    big.append("Port=7\r\n");
    big.append("Long=");
    big.append(QByteArray(10 * 1024 * 1024, 'x'));
    big.append("\r\n");
    put(big);
    IniFile ini(path());
    EXPECT_EQ(ini.read("COMMON", "Port", "6", 10), "7");
    EXPECT_EQ(ini.read("COMMON", "Long", "", 10), "xxxxxxxxx");
    EXPECT_EQ(ini.read("COMMON", "Missing", "d", 10), "d");
    EXPECT_TRUE(ini.write("COMMON", "Port", "8"));
    EXPECT_EQ(ini.read("COMMON", "Port", "6", 10), "8");
}
