// Captures larger than the converter's memory: under an address-space limit
// (ulimit -v) that a whole-file load exceeds many times over, the counters,
// a search and the listing still come out right, because the file is walked
// in pieces; and what even a walk cannot hold is refused with the memory it
// needs, never ended by an allocation failure.
#include "CaptureBytes.h"
#include "ConvertRunner.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

// Address-space limits cannot be set under the sanitizers, which reserve
// terabytes of shadow memory.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

// The converter's own needs (libraries, fonts) fit well in this; its store
// of the whole test file (16 million records, about 130 MB) does not.
constexpr int kLimitKiB = 160 * 1024;
constexpr long kRecords = 16000000;
constexpr long kMarkEvery = 100000; // an RXD 'Z' at each 50,000th of every 100,000

void WriteLargeCapture(const std::string& path)
{
    std::ofstream out(path, std::ios::binary);
    const Bytes header = CurrentHeader(HeaderFields{});
    out.write(reinterpret_cast<const char*>(header.data()), static_cast<std::streamsize>(header.size()));
    std::string block;
    for (long i = 0; i < kRecords; ++i) {
        const bool mark = i % kMarkEvery == kMarkEvery / 2;
        block += static_cast<char>(mark ? 0x28 : 0x20);
        block += mark ? 'Z' : 'A';
        if (block.size() >= (1u << 20)) {
            out.write(block.data(), static_cast<std::streamsize>(block.size()));
            block.clear();
        }
    }
    out.write(block.data(), static_cast<std::streamsize>(block.size()));
}

QString Limited(const QString& command) { return QStringLiteral("ulimit -v %1; ").arg(kLimitKiB) + command; }

class ConvertLargeFile : public testing::Test {
protected:
    void SetUp() override
    {
        if (kSanitized) GTEST_SKIP() << "address-space limits do not work under a sanitizer";
        WriteLargeCapture(dir.Path("large.ksf"));
    }
    TempDir dir;
};

TEST_F(ConvertLargeFile, CountsFindsAndListsAFileFarLargerThanItsMemory)
{
    const QString folder = QString::fromStdString(dir.Path(""));
    const long marks = kRecords / kMarkEvery;
    const ConvertRun counters = RunConvertInShell(Limited(QStringLiteral("\"$KS_CONVERT\" --counters large.ksf")), folder);
    ASSERT_EQ(counters.exitCode, 0) << counters.err;
    EXPECT_EQ(counters.out, "TXD:" + std::to_string(kRecords - marks) + "\nRXD:" + std::to_string(marks) +
                                "\nRTS:0\nRTS:0\nCTS:0\nCTS:0\nCD:0\nCD:0\nDTR:0\nDTR:0\nDSR:0\nDSR:0\nERR:0\n");

    const ConvertRun found =
        RunConvertInShell(Limited(QStringLiteral("\"$KS_CONVERT\" --find-text Z --count large.ksf")), folder);
    ASSERT_EQ(found.exitCode, 0) << found.err;
    EXPECT_EQ(found.out, std::to_string(marks) + "\n");

    // The listing's display lines: as many characters to a line as a short
    // file of the same characters shows on its first line.
    const Bytes header = CurrentHeader(HeaderFields{});
    std::string small(header.begin(), header.end());
    for (int i = 0; i < 1000; ++i) small += std::string("\x20" "A", 2);
    std::ofstream(dir.Path("small.ksf"), std::ios::binary) << small;
    const ConvertRun shortList = RunConvertInShell(QStringLiteral("\"$KS_CONVERT\" small.ksf"), folder);
    ASSERT_EQ(shortList.exitCode, 0) << shortList.err;
    long perLine = 0;
    for (const std::string& line : shortList.OutLines())
        if (line.rfind("      1  ", 0) == 0) ++perLine;
    ASSERT_GT(perLine, 1);

    const ConvertRun listing =
        RunConvertInShell(Limited(QStringLiteral("\"$KS_CONVERT\" large.ksf > list.txt && wc -l < list.txt && "
                                                 "sed -n '%1p' list.txt && tail -n 1 list.txt"))
                              .arg(kMarkEvery / 2 + 1),
                          folder);
    ASSERT_EQ(listing.exitCode, 0) << listing.err;
    const std::vector<std::string> lines = listing.OutLines();
    ASSERT_EQ(lines.size(), 3u) << listing.out;
    EXPECT_EQ(std::stol(lines[0]), kRecords);
    auto row = [&](long index, const char* rest) {
        char text[96];
        std::snprintf(text, sizeof text, "%7ld  DATA      %s", index / perLine + 1, rest);
        return std::string(text);
    };
    EXPECT_EQ(lines[1], row(kMarkEvery / 2, "RXD  5A  Z     -"));
    EXPECT_EQ(lines[2], row(kRecords - 1, "TXD  41  A     -"));
}

TEST_F(ConvertLargeFile, RefusesWhatEvenAWalkCannotHoldAndSaysHowMuchItNeeds)
{
    // Lines this wide keep most of the file at once.
    const ConvertRun run = RunConvertInShell(
        Limited(QStringLiteral("\"$KS_CONVERT\" --counters --line-width 1000000 large.ksf")),
        QString::fromStdString(dir.Path("")));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.out.empty()) << run.out;
    EXPECT_NE(run.err.find("Not enough memory: the capture (32 MB of records) needs about"), std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("the address-space limit leaves"), std::string::npos) << run.err;
}

} // namespace
