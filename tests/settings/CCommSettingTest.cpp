#include "CCommSetting.h"
#include "CDisplayMode.h"
#include "Profile.h"
#include "support/TempDir.h"

#include <array>
#include <gtest/gtest.h>

namespace {
std::array<uint8_t, 8> Block(const CCommSetting& c, CDisplayMode mode)
{
    std::array<uint8_t, 8> block{};
    c.FillParameterBlock(block.data());
    mode.Status = 1;
    block[4] = mode.GetOptionBits();
    return block;
}
} // namespace

TEST(CCommSettingTest, DefaultsGiveNineSixHundredEightNoneOne)
{
    CCommSetting c("");
    EXPECT_EQ(Block(c, CDisplayMode()), (std::array<uint8_t, 8>{0x0A, 0, 0, 0, 0x03, 0, 0, 0}));
    EXPECT_EQ(FormatLineParameters(c.PackLineParameters()), "COM: 9600-8-N-1");
}

TEST(CCommSettingTest, EncodingsOfEveryField)
{
    CCommSetting c("");
    c.Baudrate = 18;
    c.Databit = 0;
    c.Parity = 1;
    c.Stopbit = 1;
    EXPECT_EQ(Block(c, CDisplayMode()), (std::array<uint8_t, 8>{0x12, 0x01, 0x01, 0x03, 0x03, 0, 0, 0}));
    EXPECT_EQ(c.PackLineParameters(), 0xD2u);
    EXPECT_EQ(FormatLineParameters(0xD2), "COM: 230400-7-O-2");
    c.Parity = 2;
    EXPECT_EQ(Block(c, CDisplayMode())[3], 2);
    EXPECT_EQ(FormatLineParameters(c.PackLineParameters()), "COM: 230400-7-E-2");
    EXPECT_EQ(FormatLineParameters(0x3u << 7), "COM: 50-7-E-1");
}

TEST(CCommSettingTest, GarbageFromTheFileNeverPicksAMissingEntry)
{
    TempDir tmp;
    const std::string ini = tmp.Path("ks-settings.ini");
    ks::WritePrivateProfileStringA("COM", "Baudrate", "40", ini);
    ks::WritePrivateProfileStringA("COM", "Parity", "-3", ini);
    {
        CCommSetting c(ini);
        EXPECT_EQ(c.Baudrate, 40); // kept as read...
        EXPECT_EQ(c.BaudrateIndex(), 10); // ...but used as the default
        EXPECT_EQ(Block(c, CDisplayMode())[0], 10);
        EXPECT_EQ(Block(c, CDisplayMode())[3], 0);
        EXPECT_EQ(FormatLineParameters(c.PackLineParameters()), "COM: 9600-8-N-1");
        EXPECT_EQ(FormatLineParameters(31), "COM: ?-7-N-1");
        c.Stopbit = 1;
    }
    // Written back at destruction, in the file's own section.
    EXPECT_EQ(ks::GetPrivateProfileIntA("COM", "Stopbit", 0, ini), 1);
    EXPECT_EQ(ks::GetPrivateProfileIntA("COM", "Baudrate", 0, ini), 40);
}

TEST(CCommSettingTest, AnIndexEqualToItsListLengthIsTheDefault)
{
    // One past each list's last entry: the first value that must not be used.
    TempDir tmp;
    const std::string ini = tmp.Path("ks-settings.ini");
    WriteFileText(ini, "[COM]\nBaudrate=19\nDatabit=2\nStopbit=2\nParity=3\n");
    CCommSetting c(ini);
    EXPECT_EQ(c.BaudrateIndex(), 10);
    EXPECT_EQ(c.DatabitIndex(), 1);
    EXPECT_EQ(c.StopbitIndex(), 0);
    EXPECT_EQ(c.ParityIndex(), 0);
    EXPECT_EQ(Block(c, CDisplayMode()), (std::array<uint8_t, 8>{0x0A, 0, 0, 0, 0x03, 0, 0, 0}));
    EXPECT_EQ(FormatLineParameters(c.PackLineParameters()), "COM: 9600-8-N-1");
    // A packed value naming the entry after the last baud rate.
    EXPECT_EQ(FormatLineParameters(19u | 0x20u), "COM: ?-8-N-1");
    // The last entries themselves are used.
    WriteFileText(ini, "[COM]\nBaudrate=18\nDatabit=1\nStopbit=1\nParity=2\n");
    CCommSetting last(ini);
    EXPECT_EQ(FormatLineParameters(last.PackLineParameters()), "COM: 230400-8-E-2");
}
