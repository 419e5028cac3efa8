#include "LineStoreFixture.h"
#include "support/TempDir.h"

namespace {
std::vector<uint8_t> Bytes(std::initializer_list<uint8_t> b) { return std::vector<uint8_t>(b); }
} // namespace

class StoredStreamTest : public LineStoreTest {
protected:
    void Decode(const std::vector<uint8_t>& bytes) { lines.DecodeStoredStream(bytes.data(), bytes.size(), mode); }
    void DecodeOld(const std::vector<uint8_t>& bytes) { lines.DecodeOldStream(bytes.data(), bytes.size(), mode); }
};

TEST_F(StoredStreamTest, StampGroupWithAndWithoutItsTime)
{
    mode.Stamp = 1;
    Decode(Bytes({0x80, 0x00, 0x80, 0x01, 0x80, 0x02, 0x80, 0x03, 0xC0, 0x65, 0xC0, 0x00, 0xC0, 0x00, 0xC0, 0x01,
                  0x80, 0x00, 0x80, 0x00, 0x80, 0x00, 0x80, 0x07, 0x21, 0x41}));
    const auto items = Items();
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(static_cast<const CStamp*>(items[0])->Elapsed(), 0x00010203u);
    EXPECT_EQ(static_cast<const CStamp*>(items[0])->Time(), 0x65000001);
    // No 0xC0 record follows the second group: time 0, and the data record
    // after it is decoded normally because the look-ahead does not consume it.
    EXPECT_EQ(static_cast<const CStamp*>(items[1])->Time(), 0);
    EXPECT_EQ(items[2]->GetKind(), KIND_DATA);
}

TEST_F(StoredStreamTest, ARecordThatInterruptsAGroupIsDiscarded)
{
    mode.Stamp = 1;
    Decode(Bytes({0x80, 0x01, 0x21, 0x41}));
    ASSERT_EQ(Items().size(), 1u);
    EXPECT_EQ(LastStamp()->Elapsed(), 1u << 24);
    EXPECT_EQ(lines.GetCounters()[CNT_TXD], 0u);
}

TEST_F(StoredStreamTest, GroupsCutShortByTheEndKeepWhatWasRead)
{
    mode.Stamp = 1;
    mode.StampMode = 4; // no threshold: even a 0 ms stamp is kept
    Decode(Bytes({0x80, 0x00}));
    ASSERT_EQ(Items().size(), 1u);
    EXPECT_EQ(LastStamp()->Elapsed(), 0u);
    EXPECT_EQ(LastStamp()->Time(), 0);

    lines.Clear();
    Decode(Bytes({0xA0, 0x12, 0xA0, 0x34, 0xA0}));
    ASSERT_EQ(Items().size(), 1u);
    EXPECT_EQ(static_cast<const CStampTime*>(Items()[0])->Time(), 0x12340000);
}

TEST_F(StoredStreamTest, OldStreamCharactersCarryTheirLineLevels)
{
    mode.Status = 1;
    lines.SetModified(false);
    DecodeOld(Bytes({0x28, 0x41, 0x48, 0x42, 0xE3, 0x43, 0x68, 0x00}));
    const auto items = Items();
    // 0x28: status 0x48 then TXD 'A'; 0x48: RXD 'B' at the same levels (no new
    // status item); 0xE3: an error character; 0x68: the same levels again.
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(static_cast<const CStatus*>(items[0])->New(), 0x48);
    EXPECT_EQ(static_cast<const CDataChar*>(items[1])->Flags(), 0x20);
    EXPECT_EQ(static_cast<const CDataChar*>(items[2])->Flags(), 0x28);
    EXPECT_EQ(static_cast<const CDataChar*>(items[3])->Flags(), 0x33);
    EXPECT_EQ(lines.GetCounters()[CNT_ERR], 1u);
}

TEST_F(StoredStreamTest, OldCountGroupAdvancesTheStampsInTenMillisecondUnits)
{
    mode.Stamp = 1;
    DecodeOld(Bytes({0x80, 0x99, 0x9F, 0x1F, 0x80, 0xFF, 0xA0, 0x01, 0xA0, 0x02, 0xA0, 0x03, 0xA0, 0x04}));
    ASSERT_NE(LastStamp(), nullptr);
    EXPECT_EQ(LastStamp()->Elapsed(), 10u * 0x1FFF);
    EXPECT_EQ(LastStamp()->Time(), 0x01020304);
    // A time group with no count group before it is a zero tick: nothing shown.
    lines.Clear();
    DecodeOld(Bytes({0xA0, 0x01, 0xA0, 0x02}));
    EXPECT_EQ(lines.GetLineCount(), 0);
}

TEST_F(StoredStreamTest, EncodingWritesEveryItemButTheLineStarts)
{
    mode.Status = 1;
    mode.Stamp = 1;
    mode.cxLine = 16;
    lines.AddStatus(0x47, mode);
    lines.AddDataChar('a', 0x3A, mode);
    lines.AddTick(0x01020304, 0x0A0B0C0D, mode);
    lines.AddStartStopTime(0x1122334455LL, mode);
    ByteBuffer out;
    lines.EncodeStoredStream(out);
    EXPECT_EQ(out, Bytes({0x47, 0x47, 0x3A, 'a', 0x80, 0x01, 0x80, 0x02, 0x80, 0x03, 0x80, 0x04, 0xC0, 0x0A, 0xC0,
                          0x0B, 0xC0, 0x0C, 0xC0, 0x0D, 0xA0, 0x22, 0xA0, 0x33, 0xA0, 0x44, 0xA0, 0x55}));
}

class CaptureBodyTest : public LineStoreTest {
protected:
    TempDir tmp;

    void FillMixed(int records)
    {
        mode.Status = mode.Stamp = 1;
        for (int i = 0; i < records; ++i) {
            const uint8_t b0 = static_cast<uint8_t>(i % 7 == 0 ? 0x40 | (i / 7 % 32) : i % 11 == 0 ? 0x80 : 0x20 | (i % 3 == 0 ? 0x08 : 0));
            const uint8_t b[2] = {b0, static_cast<uint8_t>(i)};
            lines.AddLiveBlock(b, 2, static_cast<uint32_t>(1700000000 + i), mode);
        }
    }
};

TEST_F(CaptureBodyTest, SaveThenOpenGivesTheSameLinesAndCounters)
{
    FillMixed(5000);
    lines.AddStartStopTime(1700000000, mode);
    const std::string path = tmp.Path("round.ksf");
    ASSERT_TRUE(mode.WriteHeader(path));
    ASSERT_TRUE(lines.SaveCaptureBody(path));
    EXPECT_FALSE(lines.IsModified());

    CLines back;
    CDisplayMode read = mode;
    ASSERT_TRUE(read.ReadHeader(path));
    ASSERT_TRUE(back.OpenCaptureBody(path, read));
    EXPECT_FALSE(back.IsModified());
    EXPECT_EQ(back.GetCounters(), lines.GetCounters());
    ASSERT_EQ(back.GetLineCount(), lines.GetLineCount());
    ByteBuffer a, b;
    lines.EncodeStoredStream(a);
    back.EncodeStoredStream(b);
    EXPECT_EQ(a, b);
    for (int l = 0; l < lines.GetLineCount(); ++l) {
        ASSERT_EQ(back.GetLine(l)->GetItemCount(), lines.GetLine(l)->GetItemCount()) << l;
        EXPECT_EQ(back.GetLine(l)->GetWidth(), lines.GetLine(l)->GetWidth()) << l;
    }
}

TEST_F(CaptureBodyTest, FileSizesEndingsAndMissingFiles)
{
    std::string header;
    mode.BuildHeader(header);
    WriteFileText(tmp.Path("empty.ksf"), header);
    WriteFileText(tmp.Path("short.ksf"), header.substr(0, 93));
    WriteFileText(tmp.Path("old.PDF"), std::string(91, '0') + "\x21\x41");
    WriteFileText(tmp.Path("short.df"), std::string(90, '0'));
    WriteFileText(tmp.Path("note.txt"), header);

    EXPECT_TRUE(lines.OpenCaptureBody(tmp.Path("empty.ksf"), mode));
    EXPECT_EQ(lines.GetLineCount(), 0);
    EXPECT_FALSE(lines.OpenCaptureBody(tmp.Path("short.ksf"), mode));
    EXPECT_FALSE(lines.OpenCaptureBody(tmp.Path("short.df"), mode));
    EXPECT_FALSE(lines.OpenCaptureBody(tmp.Path("note.txt"), mode));
    EXPECT_FALSE(lines.OpenCaptureBody(tmp.Path("absent.ksf"), mode));
    EXPECT_TRUE(lines.OpenCaptureBody(tmp.Path("old.PDF"), mode));
    EXPECT_EQ(lines.GetCounters()[CNT_TXD], 1u);
    lines.AddDataChar('z', 0x20, mode);
    EXPECT_TRUE(lines.IsModified());
}

TEST_F(CaptureBodyTest, SavingNeedsTheHeaderFileAndReportsWriteFailures)
{
    FillMixed(100);
    EXPECT_FALSE(lines.SaveCaptureBody(""));
    EXPECT_FALSE(lines.SaveCaptureBody(tmp.Path("never-created.ksf")));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(tmp.Path("never-created.ksf"))));
    EXPECT_TRUE(lines.IsModified());
    // A device that is always full: the write fails and the store says so.
    if (QFile::exists("/dev/full")) {
        EXPECT_FALSE(lines.SaveCaptureBody("/dev/full"));
        EXPECT_TRUE(lines.IsModified());
    }
}

TEST_F(CaptureBodyTest, ChunksOfManyItemsAreWrittenWhole)
{
    // Very long lines: 20 of them hold far more bytes than any fixed buffer.
    mode.cxLine = 1 << 30;
    for (int i = 0; i < 200000; ++i) lines.AddDataChar(static_cast<uint8_t>(i), 0x28, mode);
    const std::string path = tmp.Path("long.ksf");
    ASSERT_TRUE(mode.WriteHeader(path));
    ASSERT_TRUE(lines.SaveCaptureBody(path));
    EXPECT_EQ(ReadFileBytes(path).size(), kCurrentHeaderSize + 400000);
}
