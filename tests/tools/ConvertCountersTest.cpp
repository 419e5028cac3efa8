// --counters against a decoder written here from the record layouts, on files
// with every kind of record, cut and interrupted groups and garbage.
#include "CaptureBytes.h"
#include "ConvertRunner.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

namespace {

TEST(ConvertCounters, CountsCharactersEdgesAndErrorsInCountBarOrder)
{
    TempDir dir;
    HeaderFields fields;
    fields.status = "1";
    StoredStream body;
    // CTS and RTS active after the all-inactive start: one rise each.
    body.Status(0x07).Data('a').Data('b').Data('c', true).Data('x', true, 0x12).Data('y', false, 0x10);
    body.Status(0x1C); // RTS and CTS fall, CD and DTR rise
    body.Stamp(5, 1710201600u).Status(0x1C); // no change: nothing counted
    const std::string path = dir.Path("c.ksf");
    WriteFileBytes(path, CurrentHeader(fields) + body.bytes);

    const ConvertRun run = RunConvert({"--counters", Arg(path)});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "TXD:2\nRXD:1\nRTS:1\nRTS:1\nCTS:1\nCTS:1\nCD:1\nCD:0\nDTR:1\nDTR:0\nDSR:0\nDSR:0\nERR:2\n");
}

TEST(ConvertCounters, SwitchedOffRecordKindsAreNotCounted)
{
    TempDir dir;
    HeaderFields fields;
    fields.data = "0";
    fields.status = "0";
    StoredStream body;
    body.Status(0x00).Data('a').Data('b', true, 0x10);
    const std::string path = dir.Path("off.ksf");
    WriteFileBytes(path, CurrentHeader(fields) + body.bytes);

    const ConvertRun run = RunConvert({"--counters", Arg(path)});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const uint32_t none[13] = {};
    EXPECT_EQ(run.out, CountersText(none));
}

// A stream of plausible records and groups, some of them cut short, broken
// by a foreign record or replaced by arbitrary bytes.
Bytes RandomBody(std::mt19937& rng, bool oldType)
{
    std::uniform_int_distribution<int> byte(0, 255), pick(0, 99);
    Bytes out;
    const int records = std::uniform_int_distribution<int>(0, 300)(rng);
    const auto put = [&](int b0, int b1) {
        out.push_back(static_cast<uint8_t>(b0));
        out.push_back(static_cast<uint8_t>(b1));
    };
    const auto group = [&](int b0, int length) {
        for (int i = 0; i < length; ++i) {
            // Now and then a record of another kind breaks into the group.
            if (pick(rng) < 8) put(byte(rng), byte(rng));
            else put(b0, byte(rng));
        }
    };
    for (int r = 0; r < records; ++r) {
        const int p = pick(rng);
        if (!oldType) {
            if (p < 35) put(0x20 | (byte(rng) & 0x1F), byte(rng));
            else if (p < 55) put(0x40 | (byte(rng) & 0x1F), byte(rng));
            else if (p < 70) { group(0x80 | (pick(rng) < 20 ? byte(rng) & 0x1F : 0), 1 + pick(rng) % 4); group(0xC0, pick(rng) % 5); }
            else if (p < 80) group(0xA0, 1 + pick(rng) % 4);
            else put(byte(rng), byte(rng));
        } else {
            if (p < 30) put(0x20 | (byte(rng) & 0x3F), byte(rng));
            else if (p < 45) put(0x60 | (byte(rng) & 0x1F), byte(rng));
            else if (p < 55) put(0xE0 | (byte(rng) & 0x1F), byte(rng));
            else if (p < 75) { group(0x80 | (byte(rng) & 0x1F), 1 + pick(rng) % 3); group(0xA0 | (byte(rng) & 0x1F), pick(rng) % 5); }
            else put(byte(rng), byte(rng));
        }
    }
    // Sometimes the file ends inside a record or group.
    if (!out.empty() && pick(rng) < 40) out.resize(std::uniform_int_distribution<std::size_t>(0, out.size())(rng));
    return out;
}

HeaderFields RandomFields(std::mt19937& rng, bool oldType)
{
    // Mostly switches, sometimes a character a hand-edited header might hold.
    static const char* const values[] = {"0", "1", "1", "0", "1", "7", "-", "x", " "};
    std::uniform_int_distribution<int> choice(0, 8), mode(0, 4);
    HeaderFields fields;
    fields.data = values[choice(rng)];
    fields.status = values[choice(rng)];
    fields.stamp = values[choice(rng)];
    fields.stampMode = std::to_string(mode(rng));
    fields.dateTime = values[choice(rng)];
    if (oldType && choice(rng) == 0) fields.crBkColor = 2000000000; // first digit '2': refused
    return fields;
}

TEST(ConvertCounters, AgreeWithAnIndependentDecoderOnRandomFiles)
{
    TempDir dir;
    std::mt19937 rng(20240312);
    struct Case {
        std::string path;
        ReferenceResult expected;
    };
    std::vector<Case> cases;
    QStringList args{"--counters"};
    for (int i = 0; i < 120; ++i) {
        const bool oldType = i % 3 == 2;
        const HeaderFields fields = RandomFields(rng, oldType);
        const Bytes file = (oldType ? OldHeader(fields) : CurrentHeader(fields)) + RandomBody(rng, oldType);
        const std::string path = dir.Path("r" + std::to_string(i) + (oldType ? ".df" : ".ksf"));
        WriteFileBytes(path, file);
        cases.push_back({path, ReferenceCounters(file, oldType)});
        args << Arg(path);
    }

    const ConvertRun run = RunConvert(args);
    ASSERT_TRUE(run.finished);
    std::map<std::string, std::string> sections;
    std::string current;
    for (const std::string& line : run.OutLines()) {
        if (line.starts_with("== ") && line.ends_with(" ==")) current = line.substr(3, line.size() - 6);
        else if (!line.empty()) sections[current] += line + "\n";
    }
    bool anyRefused = false;
    for (const Case& c : cases) {
        if (c.expected.ok) {
            EXPECT_EQ(sections[c.path], CountersText(c.expected.counters)) << c.path;
        } else {
            anyRefused = true;
            EXPECT_EQ(sections[c.path], "") << c.path;
            EXPECT_NE(run.err.find(c.path + ": Open file failed!"), std::string::npos) << c.path;
        }
    }
    EXPECT_EQ(run.exitCode, anyRefused ? 1 : 0);
}

} // namespace
