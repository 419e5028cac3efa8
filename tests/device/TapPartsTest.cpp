// The tap's parts that decide bytes and order on their own: the marker
// parser, the merge of the sources, the wiring and the configuration.
#include "ArrivalClock.h"
#include "MarkedByteParser.h"
#include "RecordMerger.h"
#include "TapConfig.h"
#include "TapTestSupport.h"
#include "TapWiring.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

namespace {

using tap::MarkedByteParser;
using tap::RecordMerger;
using tap::TapConfig;
using tap::TapWiring;

std::string Parse(MarkedByteParser& parser, const std::vector<uint8_t>& bytes)
{
    std::string out;
    parser.Feed(bytes.data(), bytes.size(), [&](const tap::ReceivedChar& c) {
        if (c.error) out += '!';
        out += c.value == 0 ? '0' : c.value == 0xFF ? '^' : static_cast<char>(c.value);
    });
    return out;
}

TEST(MarkedByteParser, EveryCutOfTheMarkersGivesTheSameCharacters)
{
    // a, 0xFF, b with an error, a break, c, 0xFF at the very end.
    const std::vector<uint8_t> stream = {'a', 0xFF, 0xFF, 0xFF, 0x00, 'b', 0xFF, 0x00, 0x00, 'c', 0xFF, 0xFF};
    for (std::size_t cut1 = 0; cut1 <= stream.size(); ++cut1) {
        for (std::size_t cut2 = cut1; cut2 <= stream.size(); ++cut2) {
            MarkedByteParser parser;
            std::string got = Parse(parser, {stream.begin(), stream.begin() + cut1});
            got += Parse(parser, {stream.begin() + cut1, stream.begin() + cut2});
            got += Parse(parser, {stream.begin() + cut2, stream.end()});
            ASSERT_EQ(got, "a^!b!0c^") << "cut at " << cut1 << " and " << cut2;
            EXPECT_FALSE(parser.InSequence());
        }
    }
    MarkedByteParser parser;
    EXPECT_EQ(Parse(parser, {0xFF, 'x'}), "^x") << "a lone 0xFF keeps both bytes";
    EXPECT_EQ(Parse(parser, {0xFF}), "");
    parser.Reset();
    EXPECT_EQ(Parse(parser, {0x00}), "0") << "a reset forgets a cut marker";
}

std::vector<uint8_t> Emit(RecordMerger& m, int64_t watermark)
{
    std::vector<uint8_t> out;
    m.Emit(watermark, out);
    return out;
}

TEST(RecordMerger, EarliestArrivalFirstOnceTheWatermarkPassesIt)
{
    constexpr int64_t ms = 1000000;
    RecordMerger m;
    m.Start(1000 * ms, false);
    m.Add(0, 1000 * ms + 500, 0x20, 'a');
    m.Add(0, 1000 * ms + 900, 0x20, 'b');
    m.Add(1, 1000 * ms + 700, 0x28, 'X'); // read later, arrived between a and b
    m.Add(2, 1000 * ms + 900, 0x41, 0);   // the same time as b, added after it
    EXPECT_EQ(Emit(m, 1000 * ms + 600), (std::vector<uint8_t>{0x20, 'a'}));
    EXPECT_EQ(m.OldestHeld(), 1000 * ms + 700);
    EXPECT_EQ(Emit(m, 1000 * ms + 900), (std::vector<uint8_t>{0x28, 'X', 0x20, 'b', 0x41, 0}));
    EXPECT_FALSE(m.Holding());
    // Never back in time: a late record goes out after what went out already,
    // and within a source the order of arrival stands.
    m.Add(1, 1000 * ms, 0x28, 'Y');
    m.Add(0, 1000 * ms + 950, 0x20, 'c');
    m.Add(0, 1000 * ms + 940, 0x20, 'd');
    EXPECT_EQ(Emit(m, INT64_MAX), (std::vector<uint8_t>{0x28, 'Y', 0x20, 'c', 0x20, 'd'}));
}

TEST(RecordMerger, EachPortKeepsItsOrderOfArrivalWhateverItsEstimatesSay)
{
    // Estimates that jitter by more than the gap between characters (a
    // loaded reader): each port's characters still go out as they were read.
    constexpr int64_t us = 1000;
    RecordMerger m;
    m.Start(0, false);
    std::mt19937 random(7);
    std::uniform_int_distribution<int64_t> jitter(-400 * us, 400 * us);
    std::vector<uint8_t> sent[2], out;
    for (int i = 0; i < 3000; ++i) {
        const int port = i % 3 == 0 ? 1 : 0;
        const auto number = static_cast<uint8_t>(sent[port].size());
        m.Add(port, 1000 * us + i * 100 * us + jitter(random), port == 0 ? 0x20 : 0x28, number);
        sent[port].push_back(number);
        if (i % 50 == 49) m.Emit(1000 * us + (i - 10) * 100 * us, out);
    }
    m.Emit(INT64_MAX, out);
    std::vector<uint8_t> received[2];
    for (std::size_t k = 0; k + 1 < out.size(); k += 2) received[out[k] == 0x28 ? 1 : 0].push_back(out[k + 1]);
    EXPECT_EQ(received[0], sent[0]);
    EXPECT_EQ(received[1], sent[1]);
}

TEST(RecordMerger, TicksBringTheToldMillisecondsUpToEachRecord)
{
    constexpr int64_t ms = 1000000;
    RecordMerger m;
    m.Start(0, true);
    m.Add(0, ms / 2, 0x20, 'a');        // within the first millisecond: no tick
    m.Add(1, 3 * ms + 1, 0x28, 'b');    // 3 ms
    m.Add(0, 10003 * ms, 0x20, 'c');    // 10000 ms later: 8192 (sent as 0) and 1808
    const std::vector<uint8_t> expected = {0x20, 'a', 0x80, 3, 0x28, 'b', 0x80, 0x00, 0x87, 0x10, 0x20, 'c'};
    EXPECT_EQ(Emit(m, INT64_MAX), expected);
    RecordMerger quiet;
    quiet.Start(0, false);
    quiet.Add(0, 5 * ms, 0x20, 'a');
    EXPECT_EQ(Emit(quiet, INT64_MAX), (std::vector<uint8_t>{0x20, 'a'})) << "ticks switched off";
}

TEST(ArrivalClock, ATurnsTailFollowsItsStreamAndTheAnswerEndsAtTheRead)
{
    constexpr int64_t c = 1000; // one character time
    tap::ArrivalClock master, slave;
    master.Start(0);
    slave.Start(0);
    int64_t t[8];
    // The master's first character wakes the reader at once.
    master.Date(1, 10 * c, c, 0, t);
    EXPECT_EQ(t[0], 10 * c);
    master.Empty(10 * c, false);
    // While the reader gathers, the master sends three more and stops; the
    // slave answers from 20c on. Both are read at 25c: the master's go on
    // from its last character, the slave's end at the read.
    slave.Empty(10 * c, true);
    master.Date(3, 25 * c, c, 0, t);
    EXPECT_EQ(std::vector<int64_t>(t, t + 3), (std::vector<int64_t>{11 * c, 12 * c, 13 * c}));
    slave.Date(4, 25 * c, c, 0, t);
    EXPECT_EQ(std::vector<int64_t>(t, t + 4), (std::vector<int64_t>{22 * c, 23 * c, 24 * c, 25 * c}));
    // The master's stream had ended well before that read: its next turn,
    // though read at the very next wake-up, is dated back from its read.
    master.Empty(25 * c, false);
    master.Date(2, 31 * c, c, 0, t);
    EXPECT_EQ(std::vector<int64_t>(t, t + 2), (std::vector<int64_t>{30 * c, 31 * c}));
    // Quiet at a wake-up: dated back from the read, but never before it was
    // last found empty, nor after the read.
    master.Empty(27 * c, true);
    master.Empty(32 * c, true);
    master.Date(5, 34 * c, c, 0, t);
    EXPECT_EQ(std::vector<int64_t>(t, t + 5), (std::vector<int64_t>{32 * c, 32 * c, 32 * c, 33 * c, 34 * c}));
    // A stream that seems to run ahead of the reads is held back to them.
    master.Date(3, 35 * c, c, 0, t);
    EXPECT_EQ(std::vector<int64_t>(t, t + 3), (std::vector<int64_t>{35 * c, 35 * c, 35 * c}));
    // The hold-back lets a late adapter's characters go back that far.
    tap::ArrivalClock late;
    late.Start(0);
    late.Empty(100 * c, true);
    late.Date(2, 101 * c, 3 * c, 5 * c, t);
    EXPECT_EQ(std::vector<int64_t>(t, t + 2), (std::vector<int64_t>{98 * c, 101 * c}));
}

TEST(TapWiring, ParsesTheCableAndRefusesWhatCannotBeWired)
{
    TapWiring w = TapWiring::Default();
    EXPECT_EQ(w.Describe(), "CTS=rxd.cts RTS=txd.cts DSR=rxd.dsr DTR=txd.dsr CD=rxd.dcd");
    EXPECT_EQ(w.InputsUsed(tap::kTxdPort), tap::kInCts | tap::kInDsr);
    // RTS asserted on the TXD port's CTS: its bit (0x08) clears; DTR's stays.
    EXPECT_EQ(w.Apply(0x1F, tap::kTxdPort, tap::kInCts), 0x17);
    EXPECT_EQ(w.Apply(0x00, tap::kRxdPort, 0), 0x15) << "CTS, DSR, CD inactive; RTS, DTR untouched";

    std::string error;
    ASSERT_TRUE(w.Parse("rts=RXD.ri,  dcd=txd.cd", error)) << error;
    EXPECT_EQ(w.Describe(), "CTS=none RTS=rxd.ri DSR=none DTR=none CD=txd.dcd");
    for (const char* bad : {"RTS=txd.cts DTR=txd.cts", "RTS=txd.cts RTS=rxd.cts", "XYZ=txd.cts", "RTS=txd",
                            "RTS=middle.cts", "RTS=txd.rts", "RTS"}) {
        const std::string before = w.Describe();
        EXPECT_FALSE(w.Parse(bad, error)) << bad;
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(w.Describe(), before) << "a refused wiring changes nothing";
    }
}

TEST(TapConfig, EnvironmentOverUserFileOverProgramFile)
{
    TempDir program, user;
    ScopedEnv xdg("XDG_CONFIG_HOME", user.Root());
    std::filesystem::create_directories(user.Path("Kestrane"));
    WriteFileText(program.Path("ks-tap.conf"), "KS_TAP_TXD = /dev/ttyS0\nKS_TAP_RXD=/dev/ttyS1 # the second\n"
                                               "KS_TAP_HOLD_MS = 5\n");
    WriteFileText(user.Path("Kestrane/ks-tap.conf"), "KS_TAP_RXD = /dev/ttyUSB1\nKS_TAP_LINES = CD=rxd.ri\n");
    ScopedEnv txd("KS_TAP_TXD", "/dev/ttyUSB0");
    std::string problems;
    bool fatal = false;
    TapConfig c = tap::LoadConfig(program.Root().substr(0, program.Root().size() - 1), problems, fatal);
    EXPECT_TRUE(problems.empty()) << problems;
    EXPECT_FALSE(fatal);
    EXPECT_EQ(c.device[tap::kTxdPort], "/dev/ttyUSB0");
    EXPECT_EQ(c.device[tap::kRxdPort], "/dev/ttyUSB1");
    EXPECT_EQ(c.holdMs, 5);
    EXPECT_EQ(c.wiring.Describe(), "CTS=none RTS=none DSR=none DTR=none CD=rxd.ri");
    EXPECT_EQ(c.sources.size(), 2u);

    TapConfig bad;
    tap::ParseConfigText("KS_TAP_HOLD_MS = 2000\nKS_TAP_COLOR = red\nno equals\n", "f", bad, problems, fatal);
    EXPECT_TRUE(fatal) << "a hold beyond a second is refused";
    EXPECT_NE(problems.find("KS_TAP_COLOR"), std::string::npos);
    EXPECT_NE(problems.find("no equals"), std::string::npos);
    EXPECT_EQ(bad.holdMs, TapConfig{}.holdMs) << "a refused value changes nothing";
}

} // namespace
