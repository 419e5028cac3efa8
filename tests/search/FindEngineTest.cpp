// Searching a line store: the data, status and stamp pages, stepping with
// wrap-around, Find Next's start and end, and HighLight All.
#include "SearchStore.h"

#include "FindMatch.h"

#include <limits>

namespace {

using MarkList = std::vector<int>;

class DataPage : public SearchStore {};
class StatusPage : public SearchStore {
protected:
    FindQuery Conditions(int rts, int cts, int dtr = COND_ANY, int dsr = COND_ANY, int cd = COND_ANY) const
    {
        FindQuery q;
        q.page = FIND_STATUS;
        q.conditions = {rts, cts, dtr, dsr, cd};
        return q;
    }
};
class StampPage : public SearchStore {
protected:
    FindQuery Compare(int compare, uint32_t value, int unit) const
    {
        FindQuery q;
        q.page = FIND_STAMP;
        q.compare = compare;
        q.value = value;
        q.unit = unit;
        return q;
    }
};
class Stepping : public SearchStore {};

} // namespace

TEST_F(DataPage, OtherItemsBetweenThePatternsCharactersArePassedOverAndLeftUnmarked)
{
    Txd("A");
    Rxd("z");
    Status(0x17);
    Txd("B");
    const auto found = Engine().FindNext(Data(Bytes("AB"), FIND_TXD), At(0), true, true);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->at, At(0));
    EXPECT_EQ(found->end, At(3));
    EXPECT_EQ(Marks(), (MarkList{1, 0, 0, 1}));
}

TEST_F(DataPage, AMatchMaySpanDisplayLinesButNeverWrapsPastTheEnd)
{
    Txd("B0123456789AB"); // ten cells to a line: "89" ends line 0, "AB" opens line 1
    ASSERT_EQ(lines.GetLineCount(), 2);
    const auto found = Engine().FindNext(Data(Bytes("89AB"), FIND_TXD), At(0), true, true);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->at.line, 0);
    EXPECT_EQ(found->end.line, 1);
    EXPECT_EQ(Marks(), (MarkList{0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1}));

    // "BB" would need the B at the start after the one at the end.
    EXPECT_FALSE(Engine().FindNext(Data(Bytes("BB")), At(0), true, true));
    EXPECT_FALSE(Engine().FindNext(Data(Bytes("ABX")), At(0), true, true)) << "a pattern running off the end";
}

TEST_F(DataPage, WithBothDirectionsEachCandidateKeepsToItsOwnDirection)
{
    Txd("A");
    Rxd("A");
    Txd("x");
    Rxd("B");
    const auto found = Engine().FindNext(Data(Bytes("AB")), At(0), true, true);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->at, At(1)) << "the TXD A is followed by a TXD x";
    EXPECT_EQ(found->direction, FIND_RXD);
    EXPECT_EQ(Marks(), (MarkList{0, 1, 0, 1}));
    // "Ax" is the TXD pair, never the RXD A with the TXD x after it.
    const auto mixed = Engine().FindNext(Data(Bytes("Ax")), At(1), true, true);
    ASSERT_TRUE(mixed);
    EXPECT_EQ(mixed->at, At(0));
    EXPECT_EQ(Marks(), (MarkList{1, 0, 1, 0}));
}

TEST_F(DataPage, AnEmptyTextMatchesEveryCharacterOfTheDirectionOneAtATime)
{
    Txd("a");
    Rxd("b");
    Status(0x17);
    Txd("c");
    const FindQuery q = Data({}, FIND_TXD);
    CFindEngine engine = Engine();
    auto found = engine.FindNext(q, At(0), true, true);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->at, At(0));
    found = engine.FindNext(q, found->at, true, false);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->at, At(3));
    EXPECT_EQ(Marks(), (MarkList{0, 0, 0, 1}));
    found = engine.FindNext(q, found->at, true, false);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->at, At(0)) << "wrapped round";
}

TEST_F(DataPage, BytesCompareRawErrorsIncludedAndNothingMatchesWhileDataIsHidden)
{
    Txd("a");
    lines.AddDataChar('A', 0x32, mode); // TXD with a framing error
    EXPECT_EQ(Engine().HighLightAll(Data(Bytes("A"))), 1);
    EXPECT_EQ(Marks(), (MarkList{0, 1}));
    mode.Data = 0;
    EXPECT_EQ(Engine().HighLightAll(Data(Bytes("A"))), 0);
    EXPECT_EQ(Engine().HighLightAll(Data({})), 0);
}

TEST_F(StatusPage, TwoConditionsMatchTogetherAndMarkBothRows)
{
    // A set bit is a low line; the log starts with every line low.
    Status(0x0F); // CTS rises
    Status(0x07); // RTS rises while CTS is high: the match
    Status(0x0F); // RTS falls
    Status(0x1F); // CTS falls
    Status(0x17); // RTS rises while CTS is low
    int first = -1;
    EXPECT_EQ(Engine().HighLightAll(Conditions(COND_RISE, COND_HIGH), &first), 1);
    EXPECT_EQ(Marks(), (MarkList{0, 0x18, 0, 0, 0}));
    EXPECT_EQ(first, 0);

    EXPECT_EQ(Engine().HighLightAll(Conditions(COND_CHANGE, COND_ANY)), 3);
    EXPECT_EQ(Marks(), (MarkList{0, 0x08, 0x08, 0, 0x08})) << "items that no longer match lose their marks";
    EXPECT_EQ(Engine().HighLightAll(Conditions(COND_ANY, COND_FALL, COND_LOW, COND_LOW, COND_LOW)), 1);
    EXPECT_EQ(Marks(), (MarkList{0, 0, 0, 0x17, 0}));
}

TEST_F(StatusPage, TheFirstChangeOfALogRisesFromEveryLineLow)
{
    // The first change carries no levels before it, but the log started low:
    // it is a rise, as the counters say.
    Status(0x17);
    EXPECT_EQ(lines.GetCounters()[CNT_RTS_RISE], 1u);
    EXPECT_EQ(Engine().HighLightAll(Conditions(COND_RISE, COND_LOW)), 1);
    EXPECT_EQ(Marks(), (MarkList{0x18}));
}

TEST_F(StatusPage, NoConditionUnknownConditionsOrHiddenStatusFindNothing)
{
    Status(0x17);
    Status(0x1F);
    EXPECT_EQ(Engine().HighLightAll(Conditions(COND_ANY, COND_ANY)), 0);
    EXPECT_FALSE(Engine().FindNext(Conditions(COND_ANY, COND_ANY), At(0), true, true));
    EXPECT_EQ(Engine().HighLightAll(Conditions(COND_CHANGE, 6)), 0);
    mode.Status = 0;
    EXPECT_EQ(Engine().HighLightAll(Conditions(COND_CHANGE, COND_ANY)), 0);
}

TEST_F(StampPage, ComparesTheElapsedTimeWithTheValueInItsUnit)
{
    for (uint32_t ms : {2000u, 2001u, 1999u, 120000u}) {
        Stamp(ms);
        Txd("."); // keeps the next tick from joining this stamp
    }
    lines.AddStartStopTime(1700000000, mode);
    EXPECT_EQ(Engine().HighLightAll(Compare(STAMP_GREATER, 2, UNIT_S)), 2);
    EXPECT_EQ(Marks(), (MarkList{0, 0, 1, 0, 0, 0, 1, 0, 0}));
    EXPECT_EQ(Engine().HighLightAll(Compare(STAMP_EQUAL, 2, UNIT_MIN)), 1);
    EXPECT_EQ(Engine().HighLightAll(Compare(STAMP_LESS, 2000, UNIT_MS)), 1);
    EXPECT_EQ(Engine().HighLightAll(Compare(STAMP_LESS, 1, UNIT_H)), 4) << "date-time marks are no stamps";
    EXPECT_EQ(Engine().HighLightAll(Compare(3, 0, UNIT_MS)), 0) << "an unknown comparison";
    mode.Stamp = 0;
    EXPECT_EQ(Engine().HighLightAll(Compare(STAMP_GREATER, 0, UNIT_MS)), 0);
}

TEST_F(StampPage, LimitsSaturateAtTheLargestElapsedTime)
{
    constexpr uint32_t kMax = std::numeric_limits<uint32_t>::max();
    EXPECT_EQ(StampLimit(4294967, UNIT_S), 4294967000u);
    EXPECT_EQ(StampLimit(4294968, UNIT_S), kMax);
    EXPECT_EQ(StampLimit(71582, UNIT_MIN), 4294920000u);
    EXPECT_EQ(StampLimit(71583, UNIT_MIN), kMax);
    EXPECT_EQ(StampLimit(1193, UNIT_H), 4294800000u);
    EXPECT_EQ(StampLimit(1194, UNIT_H), kMax);
    EXPECT_EQ(StampLimit(kMax, UNIT_MS), kMax);
    EXPECT_EQ(StampLimit(7, 9), 7u) << "an unknown unit counts milliseconds";

    Stamp(kMax);
    Txd(".");
    Stamp(kMax - 1);
    EXPECT_EQ(Engine().HighLightAll(Compare(STAMP_EQUAL, 5000000, UNIT_S)), 1);
    EXPECT_EQ(Marks(), (MarkList{1, 0, 0}));
}

TEST_F(Stepping, SearchesWrapAroundTheEndsInBothDirections)
{
    Txd("M0123456789012345678M"); // M opens line 0 and line 2
    ASSERT_EQ(lines.GetLineCount(), 3);
    const FindQuery q = Data(Bytes("M"));
    CFindEngine engine = Engine();
    // Up from the first item goes on at the last item of the last line.
    auto found = engine.FindNext(q, At(0), false, false);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->at, At(20));
    // Down from the last item goes on at the first item.
    found = engine.FindNext(q, At(20), true, false);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->at, At(0));
}

TEST_F(Stepping, WithOneMatchTheSecondSearchComesBackEmptyAndKeepsTheMark)
{
    Txd("xxAxx");
    Rxd("A");
    CFindEngine engine = Engine();
    const FindQuery q = Data(Bytes("A"), FIND_TXD);
    const auto found = engine.FindNext(q, engine.FreshStart(0, true), true, true);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->at, At(2));
    EXPECT_FALSE(engine.FindNext(q, found->at, true, false));
    EXPECT_FALSE(engine.FindNext(q, found->at, false, false));
    EXPECT_EQ(Marks(), (MarkList{0, 0, 1, 0, 0, 0}));
}

TEST_F(Stepping, AFreshSearchExaminesTheFirstVisibleItemFirst)
{
    Txd("A123456789A123456789A");
    CFindEngine engine = Engine();
    const FindQuery q = Data(Bytes("A"));
    EXPECT_EQ(engine.FreshStart(1, true), (FindPosition{1, 1}));
    auto found = engine.FindNext(q, engine.FreshStart(1, true), true, true);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->at, (FindPosition{1, 1}));
    // Upward the line above the first visible one comes first; above line 0
    // the last line.
    EXPECT_EQ(engine.FreshStart(1, false), (FindPosition{0, 10}));
    EXPECT_EQ(engine.FreshStart(0, false), (FindPosition{2, 1}));
    found = engine.FindNext(q, engine.FreshStart(0, false), false, true);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->at, (FindPosition{2, 1}));
}

TEST_F(Stepping, APositionBeyondItsLineCountsAsTheLinesLastItem)
{
    Txd("0123456789A12");
    CFindEngine engine = Engine();
    const FindQuery q = Data(Bytes("A"));
    auto found = engine.FindNext(q, {0, 99}, true, false);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->at, (FindPosition{1, 1}));
    found = engine.FindNext(Data(Bytes("9")), {0, 99}, false, true);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->at, (FindPosition{0, 10}));
    EXPECT_FALSE(engine.FindNext(q, {5, 1}, true, true)) << "a line that does not exist";
    // Its last item is the current match, so once around ends there.
    EXPECT_FALSE(engine.FindNext(Data(Bytes("9")), {0, 99}, true, false));
}

TEST_F(Stepping, HighLightAllMarksOverlappingMatchesAndClearsEarlierMarks)
{
    Txd("xAAAx");
    CFindEngine engine = Engine();
    ASSERT_TRUE(engine.FindNext(Data(Bytes("x")), At(0), true, true));
    int first = -1;
    EXPECT_EQ(engine.HighLightAll(Data(Bytes("AA")), &first), 2);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(Marks(), (MarkList{0, 1, 1, 1, 0}));
    FindQuery badPage = Data(Bytes("A"));
    badPage.page = 3;
    EXPECT_EQ(engine.HighLightAll(badPage), 0);
    EXPECT_EQ(Marks(), (MarkList{0, 0, 0, 0, 0}));
}
