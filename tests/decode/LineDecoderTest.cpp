// Text lines: endings per direction, the cut of long lines, NMEA checksums
// and AT commands paired with their answers.
#include "CFrameFeed.h"
#include "FrameDecoders.h"
#include "FrameText.h"

#include <gtest/gtest.h>

namespace {

class Lines {
public:
    Lines() : feed(MakeFrameDecoder({DecodeProtocol::Lines, MasterSide::Auto},
                                    [this](CFrame&& f) { frames.push_back(std::move(f)); }))
    {
    }
    Lines& Send(int direction, const std::string& text)
    {
        std::vector<uint8_t> block;
        for (char c : text) {
            block.push_back(direction ? 0x28 : 0x20);
            block.push_back(static_cast<uint8_t>(c));
        }
        feed.AddLiveBlock(block.data(), block.size());
        return *this;
    }
    std::vector<CFrame>& Finish()
    {
        feed.Finish();
        return frames;
    }
    static std::string Text(const CFrame& f) { return std::string(f.bytes.begin(), f.bytes.end()); }

private:
    std::vector<CFrame> frames;
    CFrameFeed feed;
};

} // namespace

TEST(LineDecoder, EachDirectionEndsItsLinesAtCrLfOrCrLfAndLongLinesComeInPieces)
{
    Lines lines;
    // The directions interleave character by character without mixing.
    lines.Send(0, "ab").Send(1, "xy").Send(0, "c\r\n").Send(1, "z\n").Send(0, "d\re\n\n");
    lines.Send(1, std::string(4096 + 10, 'q') + "\r");
    const std::vector<CFrame>& frames = lines.Finish();
    ASSERT_EQ(frames.size(), 6u);
    EXPECT_EQ(Lines::Text(frames[0]), "abc");
    EXPECT_EQ(frames[0].direction, 0);
    EXPECT_EQ(Lines::Text(frames[1]), "xyz");
    EXPECT_EQ(frames[1].direction, 1);
    EXPECT_EQ(Lines::Text(frames[2]), "d");
    EXPECT_EQ(Lines::Text(frames[3]), "e");
    EXPECT_EQ(frames[4].bytes.size(), 4096u);
    EXPECT_EQ(FrameKindText(frames[4]), std::string("piece"));
    EXPECT_EQ(frames[5].bytes.size(), 10u);
    EXPECT_EQ(FrameKindText(frames[5]), std::string("piece"));
}

TEST(LineDecoder, NmeaChecksumsAreCheckedAndAtCommandsPairedWithTheOtherSidesAnswer)
{
    Lines lines;
    lines.Send(1, "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n");
    lines.Send(1, "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6B\r\n");
    lines.Send(0, "ATI\r").Send(1, "ATI\r\r\nKS modem\r\n\r\nOK\r\n").Send(0, "AT+CSQ\r");
    const std::vector<CFrame>& frames = lines.Finish();
    ASSERT_EQ(frames.size(), 7u);
    EXPECT_EQ(frames[0].check, FrameCheck::Good);
    EXPECT_EQ(FrameProtocolText(frames[0]), "NMEA 0183");
    EXPECT_EQ(FrameSummary(frames[0]).rfind("talker GP type GGA  $GPGGA", 0), 0u) << FrameSummary(frames[0]);
    EXPECT_EQ(frames[1].check, FrameCheck::Bad);
    EXPECT_EQ(FrameCheckText(frames[1]), "checksum bad (computed 0x6A)");
    EXPECT_EQ(FrameKindText(frames[2]), std::string("command"));
    for (int i : {3, 4, 5}) {
        // The echo, the answer and the result.
        EXPECT_EQ(FrameKindText(frames[static_cast<std::size_t>(i)]), std::string("answer"));
        EXPECT_EQ(frames[static_cast<std::size_t>(i)].requestNumber, frames[2].number);
    }
    EXPECT_EQ(Lines::Text(frames[4]), "KS modem");
    EXPECT_EQ(FrameKindText(frames[6]), std::string("command"));
    EXPECT_EQ(frames[6].requestNumber, 0u);
}
