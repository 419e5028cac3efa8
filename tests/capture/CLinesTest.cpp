#include "LineStoreFixture.h"

TEST_F(LineStoreTest, DataCharactersAreCountedByDirectionAndErrorsApart)
{
    Live({0x20, 'A', 0x28, 'B', 0x3A, 'C', 0x30, 'D'});
    const Counters& c = lines.GetCounters();
    EXPECT_EQ(c[CNT_TXD], 1u);
    EXPECT_EQ(c[CNT_RXD], 1u);
    EXPECT_EQ(c[CNT_ERR], 2u);
    ASSERT_EQ(Items().size(), 4u);
    // The whole b0 travels with the character.
    EXPECT_EQ(static_cast<const CDataChar*>(Items()[2])->Flags(), 0x3A);
    EXPECT_EQ(lines.GetLine(0)->GetDataCount(), 4);
}

TEST_F(LineStoreTest, WhatIsNotShownIsNeitherStoredNorCounted)
{
    mode.Data = 0;
    for (int i = 0; i < 100; ++i) Live({0x20, 'x', 0x28, 'y'});
    mode.Status = 0;
    Live({0x47, 0x00});
    mode.Stamp = 0;
    Live({0x80, 0x10});
    EXPECT_EQ(lines.GetLineCount(), 0);
    EXPECT_EQ(lines.GetCounters(), Counters{});
    EXPECT_FALSE(lines.IsModified());
}

TEST_F(LineStoreTest, StatusChangesCountRisesAndFallsPerLine)
{
    mode.Status = 1;
    EXPECT_EQ(lines.AddStatus(0x47, mode), 1); // RTS and CTS active after all inactive
    EXPECT_EQ(lines.AddStatus(0x47, mode), 0);
    const Counters& c = lines.GetCounters();
    EXPECT_EQ(c[CNT_RTS_RISE], 1u);
    EXPECT_EQ(c[CNT_CTS_RISE], 1u);
    EXPECT_EQ(c[CNT_CD_RISE] + c[CNT_DTR_RISE] + c[CNT_DSR_RISE], 0u);
    EXPECT_EQ(lines.AddStatus(0x5F, mode), 1);
    EXPECT_EQ(c[CNT_RTS_FALL], 1u);
    EXPECT_EQ(c[CNT_CTS_FALL], 1u);
    EXPECT_EQ(lines.GetLastItemIndex(), 2);
    // The block's last status reaches the caller even when it is not stored.
    mode.Status = 0;
    const uint8_t block[] = {0x41, 0, 0x20, 'a', 0x43, 0};
    EXPECT_EQ(lines.AddLiveBlock(block, sizeof block, 0, mode), 0x43);
}

TEST_F(LineStoreTest, LinesBreakByPixelWidthAndStartWithTheCurrentLevels)
{
    mode.cxLine = 80;
    mode.Status = 1;
    lines.AddStatus(0x45, mode); // one cell wide
    for (int i = 0; i < 9; ++i) lines.AddDataChar('a', 0x20, mode);
    ASSERT_EQ(lines.GetLineCount(), 1);
    EXPECT_EQ(lines.GetLine(0)->GetWidth(), 80); // filled exactly
    lines.AddDataChar('b', 0x20, mode);
    ASSERT_EQ(lines.GetLineCount(), 2);
    const CLineInfo* second = lines.GetLine(1);
    ASSERT_EQ(second->GetItemCount(), 2);
    const auto* start = static_cast<const CStatus*>(second->GetItem(0));
    EXPECT_TRUE(start->IsLineStart());
    EXPECT_EQ(start->New(), 0x45);
    EXPECT_EQ(start->GetExtent(mode, 1), Extent{});
    EXPECT_EQ(lines.GetLastLineIndex(), 1);
    EXPECT_EQ(lines.GetLastItemIndex(), 1);
    EXPECT_EQ(lines.GetLine(2), nullptr);
    EXPECT_EQ(lines.GetLine(-1), nullptr);
}

TEST_F(LineStoreTest, AnItemWiderThanTheLineGoesAloneOntoANewLine)
{
    mode.cxLine = 20;
    mode.Stamp = 1;
    lines.AddDataChar('a', 0x20, mode);
    lines.AddTick(5, 0, mode); // 1 + 3 * 8 = 25 pixels
    lines.AddDataChar('b', 0x20, mode);
    ASSERT_EQ(lines.GetLineCount(), 3);
    EXPECT_EQ(lines.GetLine(1)->GetWidth(), 25);
}

TEST_F(LineStoreTest, TicksGrowOneStampUpToADayThenCarry)
{
    mode.Stamp = 1;
    for (int i = 0; i < 3; ++i) lines.AddTick(5000, 77, mode);
    ASSERT_EQ(Items().size(), 1u);
    EXPECT_EQ(LastStamp()->Elapsed(), 15000u);
    EXPECT_EQ(LastStamp()->Time(), 77);

    // 86,395,000 ms so far after these; the next 5000 overflow by 0 and reach a
    // day exactly, the one after carries into a new stamp.
    for (int i = 0; i < 17276; ++i) lines.AddTick(5000, 78, mode);
    EXPECT_EQ(Items().size(), 1u);
    lines.AddTick(5000, 79, mode);
    EXPECT_EQ(LastStamp()->Elapsed(), 86400000u);
    lines.AddTick(5000, 80, mode);
    ASSERT_EQ(Items().size(), 2u);
    EXPECT_EQ(static_cast<const CStamp*>(Items()[0])->Elapsed(), 86400000u);
    EXPECT_EQ(LastStamp()->Elapsed(), 5000u);
}

TEST_F(LineStoreTest, AnyOtherItemEndsTheTrailingStamp)
{
    mode.Stamp = 1;
    Live({0x80, 0x0A, 0x20, 'x', 0x80, 0x14});
    ASSERT_EQ(Items().size(), 3u);
    EXPECT_EQ(LastStamp()->Elapsed(), 20u);
    // Tick 0 stands for 8192 ms; 0x9F,0xFF for 8191.
    Live({0x20, 'y', 0x80, 0x00, 0x20, 'z', 0x9F, 0xFF});
    EXPECT_EQ(LastStamp()->Elapsed(), 8191u);
    EXPECT_EQ(static_cast<const CStamp*>(Items()[4])->Elapsed(), 8192u);
}

TEST_F(LineStoreTest, CoarseResolutionHidesGapsMadeOfSmallTicks)
{
    mode.Stamp = 1;
    mode.StampMode = 3;
    for (int i = 0; i < 10; ++i) {
        lines.AddDataChar('a', 0x20, mode);
        lines.AddTick(500, 0, mode);
    }
    for (const CShape* item : Items()) EXPECT_EQ(item->GetKind(), KIND_DATA);
    lines.AddTick(800, 0, mode); // follows a data item: a new 800 ms stamp, still hidden
    EXPECT_EQ(LastStamp(), nullptr);
}

TEST_F(LineStoreTest, IdleTimeIsProvisionalUntilTheDeviceSpeaks)
{
    mode.Stamp = 1;
    lines.AddDataChar('a', 0x20, mode);
    for (int i = 0; i < 3; ++i) lines.AddIdleTime(1024, 5, mode);
    ASSERT_NE(LastStamp(), nullptr);
    EXPECT_EQ(LastStamp()->Elapsed(), 3072u);
    EXPECT_TRUE(lines.IsProvisional());
    const int widthWithStamp = lines.GetLine(0)->GetWidth();

    lines.RemoveProvisionalStamp(mode);
    EXPECT_EQ(LastStamp(), nullptr);
    EXPECT_EQ(lines.GetLine(0)->GetWidth(), widthWithStamp - 25);
    lines.AddTick(4000, 6, mode);
    EXPECT_EQ(LastStamp()->Elapsed(), 4000u);
    EXPECT_EQ(Items().size(), 2u);
}

TEST_F(LineStoreTest, ADeviceTickReplacesIdleTimeAddedToItsStamp)
{
    mode.Stamp = 1;
    lines.AddTick(100, 1, mode);
    lines.AddIdleTime(1024, 2, mode); // grows the device's stamp, not provisional
    EXPECT_EQ(LastStamp()->Elapsed(), 1124u);
    EXPECT_FALSE(lines.IsProvisional());
    lines.AddTick(50, 3, mode);
    EXPECT_EQ(LastStamp()->Elapsed(), 150u);
}

TEST_F(LineStoreTest, StartStopTimesAreKeptWhateverTheirWidth)
{
    mode.DateTime = 0;
    lines.AddStartStopTime(1700000000, mode);
    ASSERT_EQ(Items().size(), 1u);
    EXPECT_EQ(Items()[0]->GetKind(), KIND_STAMPTIME);
    EXPECT_EQ(lines.GetLine(0)->GetWidth(), 0);
}

TEST_F(LineStoreTest, TrimmingKeepsTheNewestLinesInStepsOfEight)
{
    mode.cxLine = 8; // one character per line
    for (int i = 0; i < 2055; ++i) lines.AddDataChar(static_cast<uint8_t>(i), 0x20, mode);
    lines.SetModified(false);
    EXPECT_EQ(lines.TrimOldest(), 0);
    EXPECT_FALSE(lines.IsModified());
    lines.AddDataChar(0xAA, 0x20, mode);
    EXPECT_EQ(lines.TrimOldest(), 8);
    EXPECT_EQ(lines.GetLineCount(), CLines::kMaxLines);
    EXPECT_TRUE(lines.IsModified());
    EXPECT_EQ(static_cast<const CDataChar*>(lines.GetLine(2047)->GetItem(1))->Character(), 0xAA);
    EXPECT_EQ(static_cast<const CDataChar*>(lines.GetLine(0)->GetItem(1))->Character(), 8);
}

TEST_F(LineStoreTest, ClearForgetsEverything)
{
    mode.Status = 1;
    mode.Stamp = 1;
    Live({0x47, 0, 0x20, 'a', 0x80, 0x05});
    lines.AddIdleTime(1024, 0, mode);
    lines.Clear();
    EXPECT_EQ(lines.GetLineCount(), 0);
    EXPECT_EQ(lines.GetLastItemIndex(), -1);
    EXPECT_EQ(lines.GetLastLineIndex(), 0);
    EXPECT_EQ(lines.GetCurrentStatus(), 0x1F);
    EXPECT_EQ(lines.GetCounters(), Counters{});
    EXPECT_FALSE(lines.IsModified());
    EXPECT_FALSE(lines.IsProvisional());
    // The first status after a clear counts rises again.
    lines.AddStatus(0x47, mode);
    EXPECT_EQ(lines.GetCounters()[CNT_RTS_RISE], 1u);
}

TEST_F(LineStoreTest, OddBytesAndIgnoredTypesAreSkipped)
{
    mode.Stamp = 1;
    Live({0xA0, 0x41, 0xE0, 0x41, 0x60, 0x00, 0x00, 0x00, 0x20, 'x', 0x28, 'y', 0x20});
    ASSERT_EQ(Items().size(), 2u);
    EXPECT_EQ(lines.GetCounters()[CNT_TXD], 1u);
    EXPECT_EQ(lines.AddLiveBlock(nullptr, 10, 0, mode), -1);
}
