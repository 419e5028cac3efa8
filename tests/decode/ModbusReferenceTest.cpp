// The Modbus decoders against conversations whose frames python3-pymodbus
// built (make_modbus_reference.py): responses in 32-character bursts with
// gaps, a changed character, a missing response, an exception, a function
// without a length rule, every public function in both roles, a one-port bus
// and the ASCII form. Each burst is fed as its own block, so that the
// decoding state has to carry across blocks.
#include "CFrameFeed.h"
#include "FrameDecoders.h"
#include "FrameText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace {

struct Expected {
    int direction = 0;
    std::string kind;
    int address = 0;
    int function = 0;
    bool good = true;
    int reply = -1;
    std::string fields;
};

struct Scenario {
    std::string name;
    DecodeSettings settings;
    std::vector<std::vector<uint8_t>> blocks; // live records, one block a burst
    std::vector<Expected> frames;
};

std::vector<uint8_t> HexBytes(const std::string& hex)
{
    std::vector<uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

std::vector<Scenario> ReadScenarios()
{
    std::ifstream in(KS_SOURCE_DIR "/tests/decode/modbus_reference.txt");
    std::vector<Scenario> scenarios;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string tag;
        words >> tag;
        if (tag == "scenario") {
            std::string kind, master;
            scenarios.emplace_back();
            words >> scenarios.back().name >> kind >> master;
            scenarios.back().settings.protocol = kind == "rtu" ? DecodeProtocol::ModbusRtu : DecodeProtocol::ModbusAscii;
            EXPECT_TRUE(ParseMasterSide(master, scenarios.back().settings.master)) << line;
        } else if (tag == "T" || tag == "R") {
            std::string hex;
            words >> hex;
            std::vector<uint8_t> block;
            for (uint8_t b : HexBytes(hex)) {
                block.push_back(tag == "T" ? 0x20 : 0x28);
                block.push_back(b);
            }
            scenarios.back().blocks.push_back(block);
        } else if (tag == "G") {
            int ms = 0;
            words >> ms;
            scenarios.back().blocks.push_back({static_cast<uint8_t>(0x80 | (ms >> 8)), static_cast<uint8_t>(ms)});
        } else if (tag == "F") {
            Expected e;
            std::string direction, check, reply;
            words >> direction >> e.kind >> e.address >> e.function >> check >> reply;
            e.direction = direction == "RXD" ? 1 : 0;
            e.good = check == "ok";
            e.reply = reply == "-" ? -1 : std::stoi(reply);
            if (const auto bar = line.find(" | "); bar != std::string::npos) e.fields = line.substr(bar + 3);
            scenarios.back().frames.push_back(e);
        }
    }
    return scenarios;
}

std::vector<CFrame> Decode(const DecodeSettings& settings, const std::vector<std::vector<uint8_t>>& blocks,
                           bool finish = true)
{
    std::vector<CFrame> frames;
    CFrameFeed feed(MakeFrameDecoder(settings, [&frames](CFrame&& f) { frames.push_back(std::move(f)); }));
    for (const auto& block : blocks) feed.AddLiveBlock(block.data(), block.size());
    if (finish) feed.Finish();
    return frames;
}

} // namespace

TEST(ModbusReference, EveryFrameOfTheReferenceConversationsIsFoundWithItsRoleCheckAndPair)
{
    const std::vector<Scenario> scenarios = ReadScenarios();
    ASSERT_EQ(scenarios.size(), 6u);
    for (const Scenario& s : scenarios) {
        SCOPED_TRACE(s.name);
        const std::vector<CFrame> frames = Decode(s.settings, s.blocks);
        ASSERT_EQ(frames.size(), s.frames.size());
        // Found in the order they were sent, also where a direction had to wait.
        for (std::size_t i = 1; i < frames.size(); ++i) EXPECT_LT(frames[i - 1].firstRecord, frames[i].firstRecord) << i;
        for (std::size_t i = 0; i < frames.size(); ++i) {
            SCOPED_TRACE(i);
            const CFrame& f = frames[i];
            const Expected& e = s.frames[i];
            EXPECT_EQ(f.direction, e.direction);
            EXPECT_EQ(FrameKindText(f), e.kind);
            ASSERT_GE(f.bytes.size(), 2u);
            EXPECT_EQ(f.bytes[0], e.address);
            EXPECT_EQ(f.bytes[1], e.function);
            EXPECT_EQ(f.check, e.good ? FrameCheck::Good : FrameCheck::Bad) << FrameListLine(f);
            const uint64_t answered = e.reply < 0 ? 0 : frames[static_cast<std::size_t>(e.reply)].number;
            EXPECT_EQ(f.requestNumber, answered) << FrameListLine(f);
            if (!e.fields.empty()) {
                EXPECT_NE(FrameSummary(f).find("  " + e.fields), std::string::npos) << FrameSummary(f);
            }
        }
    }
}

TEST(ModbusReference, StampsGiveTheResponseItsDelayAndACorruptedCrcItsComputedValue)
{
    const std::vector<Scenario> scenarios = ReadScenarios();
    ASSERT_FALSE(scenarios.empty());
    // The read of 125 registers: the answer starts 20 ms after the request.
    std::vector<CFrame> frames = Decode(scenarios[0].settings, scenarios[0].blocks);
    ASSERT_GE(frames.size(), 2u);
    EXPECT_EQ(frames[1].delayMs, 20);
    EXPECT_EQ(FrameTimeText(frames[1]), "0.020");
    // A changed character: the check shows what the characters give.
    frames = Decode(scenarios[1].settings, scenarios[1].blocks);
    ASSERT_GE(frames.size(), 2u);
    const CFrame& bad = frames[1];
    EXPECT_NE(bad.checkComputed, bad.checkFound);
    char computed[8];
    std::snprintf(computed, sizeof computed, "%04X", bad.checkComputed);
    EXPECT_EQ(FrameCheckText(bad), std::string("CRC bad (computed 0x") + computed + ")");
}

TEST(ModbusReference, DamagedFramesOnAOnePortBusHoldBackNoLaterFrame)
{
    // The faults conversation as one port on a two-wire bus hears it: both
    // sides as TXD. Every frame is out while the capture still runs.
    const std::vector<Scenario> scenarios = ReadScenarios();
    ASSERT_GE(scenarios.size(), 2u);
    std::vector<std::vector<uint8_t>> blocks = scenarios[1].blocks;
    for (auto& block : blocks) {
        for (std::size_t i = 0; i < block.size(); i += 2) block[i] &= static_cast<uint8_t>(~0x08);
    }
    const std::vector<CFrame> frames = Decode({DecodeProtocol::ModbusRtu, MasterSide::Bus}, blocks, false);
    ASSERT_EQ(frames.size(), scenarios[1].frames.size());
    EXPECT_EQ(frames.back().requestNumber, frames[frames.size() - 2].number);
}

TEST(ModbusReference, AnAnswerDatedBeforeTheRequestsLastCharacterStillAnswersIt)
{
    // A tap that dates a burst back at the line rate may place the answer's
    // first characters before the request's last one.
    const std::vector<Scenario> scenarios = ReadScenarios();
    ASSERT_FALSE(scenarios.empty());
    std::vector<uint8_t> records;
    for (const auto& block : scenarios[0].blocks) records.insert(records.end(), block.begin(), block.end());
    std::size_t answer = 0;
    while (answer < records.size() && records[answer] != 0x28) answer += 2;
    std::size_t last = answer;
    do last -= 2; while (records[last] != 0x20);
    ASSERT_LT(answer + 4, records.size());
    std::rotate(records.begin() + static_cast<std::ptrdiff_t>(last), records.begin() + static_cast<std::ptrdiff_t>(last + 2),
                records.begin() + static_cast<std::ptrdiff_t>(answer + 4));
    for (const MasterSide master : {MasterSide::Auto, MasterSide::Txd}) {
        const std::vector<CFrame> frames = Decode({DecodeProtocol::ModbusRtu, master}, {records});
        ASSERT_GE(frames.size(), 2u);
        EXPECT_EQ(frames[0].kind, FrameKind::Request);
        EXPECT_EQ(frames[1].kind, FrameKind::Response);
        EXPECT_EQ(frames[1].requestNumber, frames[0].number);
    }
}

TEST(ModbusRtu, ACharacterWithAParityErrorMarksItsFrameAndNoiseBeforeAFrameIsOneBadFrame)
{
    DecodeSettings settings{DecodeProtocol::ModbusRtu, MasterSide::Txd};
    // Two characters of noise, then a request whose third character came with
    // a parity error (b0 error bit).
    const std::vector<uint8_t> request = HexBytes("01030000000AC5CD");
    std::vector<uint8_t> block = {0x20, 0xFF, 0x20, 0x00};
    for (std::size_t i = 0; i < request.size(); ++i) {
        block.push_back(i == 2 ? 0x30 : 0x20);
        block.push_back(request[i]);
    }
    const std::vector<CFrame> frames = Decode(settings, {block});
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].kind, FrameKind::Noise);
    EXPECT_EQ(frames[0].bytes.size(), 2u);
    EXPECT_TRUE(frames[0].IsBad());
    EXPECT_EQ(frames[1].kind, FrameKind::Request);
    EXPECT_EQ(frames[1].check, FrameCheck::Good);
    EXPECT_TRUE(frames[1].charError);
    EXPECT_EQ(frames[1].firstRecord, 2u);
    EXPECT_EQ(frames[1].lastRecord, 9u);
}
