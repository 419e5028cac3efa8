#include "CDisplayMode.h"
#include "Profile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace {
const char kDefaultHeaderText[] =
    "1000167116800000004236000002585610008421631000006553500010012801315000862991000016777215-001";
}

TEST(CDisplayModeTest, DefaultsAndOptionBits)
{
    CDisplayMode m;
    EXPECT_EQ(m.Data, 1);
    EXPECT_EQ(m.Error, 1);
    EXPECT_EQ(m.DateTime, 1);
    EXPECT_EQ(m.Status + m.Stamp + m.NoDisplay + m.DataMode + m.StampMode, 0);
    EXPECT_EQ(m.cxLine, -1);
    EXPECT_EQ(m.cxChar, -1);
    EXPECT_EQ(m.GetOptionBits(), 1);
    m.Status = 1;
    EXPECT_EQ(m.GetOptionBits(), 3);
    m.Stamp = 1;
    m.Error = 0;
    EXPECT_EQ(m.GetOptionBits(), 6);

    CDisplayMode copy;
    m.cxChar = 8;
    m.crHighlight = 255;
    copy = m;
    EXPECT_EQ(copy.cxChar, 8);
    EXPECT_EQ(copy.crHighlight, 255);
}

TEST(CDisplayModeTest, DefaultHeaderBytesAndCheckWord)
{
    std::string header;
    CDisplayMode().BuildHeader(header);
    ASSERT_EQ(header.size(), kCurrentHeaderSize);
    EXPECT_EQ(header.substr(0, 92), kDefaultHeaderText);
    EXPECT_EQ(static_cast<uint8_t>(header[92]), 0xF1);
    EXPECT_EQ(static_cast<uint8_t>(header[93]), 0xEF);
}

TEST(CDisplayModeTest, HeaderRoundTripKeepsEverythingButLineWidth)
{
    TempDir tmp;
    CDisplayMode written;
    written.DataMode = 2;
    written.crDataTXD = 123456;
    written.Status = 1;
    written.Stamp = 1;
    written.StampMode = 4;
    written.DateTime = 0;
    written.NoDisplay = 1;
    written.crBkColor = 0;
    written.cxLine = 640;
    const std::string path = tmp.Path("a.KSF");
    ASSERT_TRUE(written.WriteHeader(path));

    CDisplayMode read;
    read.cxLine = 900;
    ASSERT_TRUE(read.ReadHeader(path));
    EXPECT_EQ(read.DataMode, 2);
    EXPECT_EQ(read.crDataTXD, 123456);
    EXPECT_EQ(read.Status, 1);
    EXPECT_EQ(read.StampMode, 4);
    EXPECT_EQ(read.DateTime, 0);
    EXPECT_EQ(read.NoDisplay, 1);
    EXPECT_EQ(read.crBkColor, 0);
    EXPECT_EQ(read.cxLine, 900);
}

TEST(CDisplayModeTest, AnyChangedHeaderByteFailsTheCheck)
{
    std::string header;
    CDisplayMode().BuildHeader(header);
    for (std::size_t i = 0; i < kCurrentHeaderSize; ++i) {
        std::string bad = header;
        bad[i] = static_cast<char>(bad[i] ^ 0x01);
        CDisplayMode m;
        EXPECT_FALSE(m.ParseCurrentHeader(reinterpret_cast<const unsigned char*>(bad.data()), bad.size())) << i;
    }
    CDisplayMode m;
    EXPECT_FALSE(m.ParseCurrentHeader(reinterpret_cast<const unsigned char*>(header.data()), 93));
}

TEST(CDisplayModeTest, OutOfWidthValuesAreClampedSoTheHeaderReadsBack)
{
    CDisplayMode odd;
    odd.cxLine = 12345;
    odd.crDataRXD = -2147483647 - 1;
    odd.DataMode = 17;
    odd.Error = -1;
    std::string header;
    odd.BuildHeader(header);
    ASSERT_EQ(header.size(), kCurrentHeaderSize);
    EXPECT_EQ(header.substr(88, 4), "9999");
    CDisplayMode read;
    ASSERT_TRUE(read.ParseCurrentHeader(reinterpret_cast<const unsigned char*>(header.data()), header.size()));
    EXPECT_EQ(read.crDataRXD, -999999999);
    EXPECT_EQ(read.DataMode, 9);
    EXPECT_EQ(read.Error, 1) << "a negative switch is on, and stays on";
}

TEST(CDisplayModeTest, ANegativeOrLargeSwitchMeansOnEverywhere)
{
    // Written by hand, or by another program: any non-zero switch is on.
    TempDir tmp;
    const std::string ini = tmp.Path("ks-settings.ini");
    WriteFileText(ini, "[DisplayMode]\nData=-1\nError=-1\nStatus=-7\nStamp=2\nDateTime=-1\nNoDisplay=0\n");
    CDisplayMode m;
    m.LoadSettings(ini);
    EXPECT_EQ(m.Data, 1);
    EXPECT_EQ(m.Error, 1);
    EXPECT_EQ(m.Status, 1);
    EXPECT_EQ(m.Stamp, 1);
    EXPECT_EQ(m.DateTime, 1);
    EXPECT_EQ(m.NoDisplay, 0);
    EXPECT_EQ(m.GetOptionBits(), 7);

    // Into a header and back, and into the settings file and back.
    std::string header;
    m.BuildHeader(header);
    CDisplayMode read;
    ASSERT_TRUE(read.ParseCurrentHeader(reinterpret_cast<const unsigned char*>(header.data()), header.size()));
    for (int32_t v : {read.Data, read.Error, read.Status, read.Stamp, read.DateTime}) EXPECT_EQ(v, 1);
    m.SaveSettings(ini);
    CDisplayMode again;
    again.LoadSettings(ini);
    EXPECT_EQ(again.Error, 1);
    EXPECT_EQ(again.Status, 1);

    // Set directly (as a caller may): the probe's option bits take it as on,
    // never as every bit at once.
    CDisplayMode direct;
    direct.Error = -1;
    direct.Status = 0;
    direct.Stamp = 0;
    EXPECT_EQ(direct.GetOptionBits(), 1);
    direct.BuildHeader(header);
    ASSERT_TRUE(read.ParseCurrentHeader(reinterpret_cast<const unsigned char*>(header.data()), header.size()));
    EXPECT_EQ(read.Error, 1);
    EXPECT_EQ(read.Status, 0);

    // A header switch holding another digit is on as well.
    header[5] = '7'; // Error
    const uint16_t sum = [&] {
        uint32_t s = 0;
        for (std::size_t i = 0; i < 92; i += 2) s += static_cast<uint8_t>(header[i]) | (static_cast<uint8_t>(header[i + 1]) << 8);
        return static_cast<uint16_t>(~s);
    }();
    header[92] = static_cast<char>(sum >> 8);
    header[93] = static_cast<char>(sum & 0xFF);
    ASSERT_TRUE(read.ParseCurrentHeader(reinterpret_cast<const unsigned char*>(header.data()), header.size()));
    EXPECT_EQ(read.Error, 1);
}

TEST(CDisplayModeTest, OldHeaderAcceptanceAndFields)
{
    // Old layout: no DateTime; the last four characters are not read.
    std::string old = "12" "0000000255" "0000065280" "0000025856" "1" "0008421631" "0000065535" "1" "1" "3"
                      "0012801315" "0008629910" "0" "0016777215" "xxxx";
    ASSERT_EQ(old.size(), kOldHeaderSize);
    CDisplayMode m;
    ASSERT_TRUE(m.ParseOldHeader(reinterpret_cast<const unsigned char*>(old.data()), old.size()));
    EXPECT_EQ(m.Data, 1);
    EXPECT_EQ(m.DataMode, 2);
    EXPECT_EQ(m.crDataTXD, 255);
    EXPECT_EQ(m.Status, 1);
    EXPECT_EQ(m.StampMode, 3);
    EXPECT_EQ(m.crBkColor, 16777215);
    EXPECT_EQ(m.DateTime, 0);

    auto rejects = [](std::string h) {
        CDisplayMode x;
        return !x.ParseOldHeader(reinterpret_cast<const unsigned char*>(h.data()), h.size());
    };
    std::string h = old;
    h[0] = '2';
    EXPECT_TRUE(rejects(h));
    h = old;
    h[55] = '4';
    EXPECT_TRUE(rejects(h));
    h = old;
    h[40] = '\0';
    EXPECT_TRUE(rejects(h));
    EXPECT_TRUE(rejects(old.substr(0, 90)));
}

TEST(CDisplayModeTest, ReadHeaderChoosesTheFormatByTheLastLetters)
{
    TempDir tmp;
    std::string header;
    CDisplayMode().BuildHeader(header);
    WriteFileText(tmp.Path("x.Ksf"), header);
    WriteFileText(tmp.Path("x.txt"), header);
    CDisplayMode m;
    EXPECT_TRUE(m.ReadHeader(tmp.Path("x.Ksf")));
    EXPECT_FALSE(m.ReadHeader(tmp.Path("x.txt")));
    EXPECT_FALSE(m.ReadHeader(tmp.Path("missing.ksf")));
    EXPECT_EQ(CaptureFileTypeOf("report.PDF"), CaptureFileType::Old);
    EXPECT_EQ(CaptureFileTypeOf("ksf"), CaptureFileType::Current);
    EXPECT_EQ(CaptureFileTypeOf("f"), CaptureFileType::None);
    EXPECT_FALSE(CDisplayMode().WriteHeader(""));
}

TEST(CDisplayModeTest, SettingsFileRoundTripAndGarbage)
{
    TempDir tmp;
    const std::string ini = tmp.Path("ks-settings.ini");
    CDisplayMode m;
    m.cxLine = -1;
    m.crBkColor = 16777215;
    m.StampMode = 3;
    m.SaveSettings(ini);
    const std::string text = ReadFileText(ini);
    EXPECT_NE(text.find("[DisplayMode]"), std::string::npos);
    EXPECT_NE(text.find("crBkColor=16777215\n"), std::string::npos);
    EXPECT_NE(text.find("cxLine=-1\n"), std::string::npos);

    CDisplayMode r;
    r.LoadSettings(ini);
    EXPECT_EQ(r.StampMode, 3);
    EXPECT_EQ(r.cxLine, -1);

    // Values are kept as read; the users of them guard table lookups.
    ks::WritePrivateProfileStringA("DisplayMode", "DataMode", "7junk", ini);
    r.LoadSettings(ini);
    EXPECT_EQ(r.DataMode, 7);
}
