// ks-convert --decode run as a process on files written byte by byte: the
// frame listing with times from the stamps, the counts, CSV, frames running
// across the converter's read chunks, and the exit statuses of grep.
#include "CaptureBytes.h"
#include "ConvertRunner.h"
#include "support/TempDir.h"

#include "CCaptureReader.h"

#include <gtest/gtest.h>

namespace {

constexpr uint32_t kTime = 1710235800;

// Read 2 registers from slave 1 (TXD), 20 ms later the answer 7, 8 (RXD).
const Bytes kRequest = {0x01, 0x03, 0x00, 0x00, 0x00, 0x02, 0xC4, 0x0B};
const Bytes kResponse = {0x01, 0x03, 0x04, 0x00, 0x07, 0x00, 0x08, 0x4A, 0x34};

void Put(StoredStream& s, const Bytes& frame, bool rxd)
{
    for (uint8_t b : frame) s.Data(b, rxd);
}

Bytes ExchangeFile(bool corrupt)
{
    HeaderFields fields;
    fields.stamp = "1";
    StoredStream body;
    Put(body, kRequest, false);
    body.Stamp(20, kTime);
    Bytes response = kResponse;
    if (corrupt) response[4] ^= 0x01;
    Put(body, response, true);
    return CurrentHeader(fields) + body.bytes;
}

} // namespace

TEST(ConvertDecode, ListsCountsAndTabulatesTheFramesWithTheirTimesChecksAndPairs)
{
    TempDir dir;
    const std::string good = dir.Path("good.ksf");
    const std::string bad = dir.Path("bad.ksf");
    WriteFileBytes(good, ExchangeFile(false));
    WriteFileBytes(bad, ExchangeFile(true));

    ConvertRun run = RunConvert({"--decode", "modbus-rtu", "--master", "txd", Arg(good)});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.OutLines(),
              (std::vector<std::string>{
                  "1  0.000  TXD  Modbus RTU  request  slave 1 function 3 Read Holding Registers  start 0 count 2  "
                  "CRC ok",
                  "2  0.020  RXD  Modbus RTU  response  slave 1 function 3 Read Holding Registers  values 7 8  CRC ok  "
                  "reply to 1 after 20 ms"}));

    run = RunConvert({"--decode", "modbus-rtu", "--count", Arg(bad)});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "frames 2\nrequests 1\nresponses 1\nexceptions 0\nbad checks 1\ncharacter errors 0\n");

    run = RunConvert({"--decode", "modbus-rtu", "--csv", Arg(good)});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ASSERT_EQ(run.OutLines().size(), 3u);
    EXPECT_EQ(run.OutLines()[2], "2,0.020,RXD,Modbus RTU,response,1,3,CRC ok,,1,20,slave 1 function 3 Read Holding "
                                 "Registers  values 7 8,01 03 04 00 07 00 08 4A 34");
}

TEST(ConvertDecode, FramesRunAcrossTheReadChunksOfALargeFile)
{
    TempDir dir;
    const std::string path = dir.Path("large.ksf");
    StoredStream body;
    // Odd-sized exchanges, so that chunk ends fall inside frames.
    const int exchanges = static_cast<int>(3 * CCaptureReader::kChunkBytes / (2 * (kRequest.size() + kResponse.size())));
    for (int i = 0; i < exchanges; ++i) {
        Put(body, kRequest, false);
        Put(body, kResponse, true);
    }
    WriteFileBytes(path, CurrentHeader(HeaderFields{}) + body.bytes);
    const ConvertRun run = RunConvert({"--decode", "modbus-rtu", "--count", Arg(path)});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string n = std::to_string(exchanges);
    EXPECT_EQ(run.out, "frames " + std::to_string(2 * exchanges) + "\nrequests " + n + "\nresponses " + n +
                           "\nexceptions 0\nbad checks 0\ncharacter errors 0\n");
}

TEST(ConvertDecode, ExitsAsGrepDoes)
{
    TempDir dir;
    const std::string good = dir.Path("good.ksf");
    const std::string empty = dir.Path("empty.ksf");
    WriteFileBytes(good, ExchangeFile(false));
    WriteFileBytes(empty, CurrentHeader(HeaderFields{}));
    EXPECT_EQ(RunConvert({"--decode", "lines", Arg(empty)}).exitCode, 1);
    EXPECT_EQ(RunConvert({"--decode", "lines", Arg(good), Arg(dir.Path("missing.ksf"))}).exitCode, 2);
    EXPECT_EQ(RunConvert({"--decode", "modbus", Arg(good)}).exitCode, 2);
    EXPECT_EQ(RunConvert({"--decode", "lines", "--master", "txd", Arg(good)}).exitCode, 2);
    EXPECT_EQ(RunConvert({"--decode", "lines", "--counters", Arg(good)}).exitCode, 2);
}
