// The line store keeps its items as slots in per-line arrays from an arena:
// what that layout makes risky is finding an item among wider neighbours,
// removing and growing items in place, arrays that outgrow their line's
// estimate, and arrays given back as lines are trimmed.
#include "LineStoreFixture.h"

#include <random>

namespace {

// Every item of the store as text, line starts left out.
std::vector<std::string> Describe(const CLines& lines)
{
    std::vector<std::string> out;
    for (int l = 0; l < lines.GetLineCount(); ++l) {
        const CLineInfo* line = lines.GetLine(l);
        for (int i = 0; i < line->GetItemCount(); ++i) {
            const CShape* item = line->GetItem(i);
            switch (item->GetKind()) {
            case KIND_DATA: {
                const auto* c = static_cast<const CDataChar*>(item);
                out.push_back("D" + std::to_string(c->Flags()) + ":" + std::to_string(c->Character()));
                break;
            }
            case KIND_STATUS: {
                const auto* s = static_cast<const CStatus*>(item);
                if (!s->IsLineStart()) out.push_back("S" + std::to_string(s->New()) + "<" + std::to_string(s->Previous()));
                break;
            }
            case KIND_STAMP: {
                const auto* s = static_cast<const CStamp*>(item);
                out.push_back("T" + std::to_string(s->Elapsed()) + "@" + std::to_string(s->Time()));
                break;
            }
            case KIND_STAMPTIME:
                out.push_back("W" + std::to_string(static_cast<const CStampTime*>(item)->Time()));
                break;
            default:
                out.push_back("?");
            }
        }
    }
    return out;
}

} // namespace

TEST_F(LineStoreTest, ItemsAmongWiderNeighboursAreFoundRemovedAndGrownInPlace)
{
    mode.Status = mode.Stamp = mode.DateTime = 1;
    lines.AddDataChar('a', 0x20, mode);
    lines.AddTick(5, 100, mode);
    lines.AddStartStopTime(1700000000, mode);
    lines.AddStatus(0x47, mode);
    lines.AddTick(7, 101, mode);
    lines.AddTick(3, 102, mode); // grows the stamp before it
    lines.AddIdleTime(40, 103, mode);
    lines.AddDataChar('b', 0x28, mode);
    lines.AddIdleTime(9, 104, mode);
    lines.RemoveProvisionalStamp(mode); // the last, three-slot item goes
    lines.AddDataChar('c', 0x20, mode);
    EXPECT_EQ(Describe(lines), (std::vector<std::string>{"D32:97", "T5@100", "W1700000000", "S71<7", "T50@103", "D40:98",
                                                          "D32:99"}));
    const CStatus* first = static_cast<const CStatus*>(lines.GetLine(0)->GetItem(0));
    EXPECT_TRUE(first->IsLineStart());
    EXPECT_EQ(lines.GetLine(0)->GetItem(8), nullptr);

    // A mark set through one item touches no other.
    lines.GetLine(0)->GetItem(5)->mark = 1;
    for (int i = 0; i < lines.GetLine(0)->GetItemCount(); ++i)
        EXPECT_EQ(lines.GetLine(0)->GetItem(i)->mark, i == 5 ? 1 : 0) << i;
}

TEST_F(LineStoreTest, ALineOfItemsWithoutWidthOutgrowsItsArray)
{
    mode.DateTime = 0; // date marks are stored but take no room
    mode.cxLine = 80;
    for (int i = 0; i < 5000; ++i) lines.AddStartStopTime(i, mode);
    lines.AddDataChar('z', 0x20, mode);
    ASSERT_EQ(lines.GetLineCount(), 1);
    const auto items = Describe(lines);
    ASSERT_EQ(items.size(), 5001u);
    EXPECT_EQ(items[0], "W0");
    EXPECT_EQ(items[4999], "W4999");
    EXPECT_EQ(items[5000], "D32:122");
}

TEST_F(LineStoreTest, TrimmedLinesGiveBackTheirSlotsAndTheKeptOnesStayWhole)
{
    // Many times the arena's block in all: blocks are made, emptied by the
    // trimming and let go, while the newest lines must read back exactly.
    mode.Status = mode.Stamp = 1;
    std::mt19937 rng(11);
    std::vector<uint8_t> block;
    uint32_t n = 0;
    for (int round = 0; round < 400; ++round) {
        block.clear();
        for (int i = 0; i < 4000; ++i, ++n) {
            if (n % 50 == 49) {
                block.insert(block.end(), {0x80, static_cast<uint8_t>(1 + rng() % 3)});
            } else {
                block.insert(block.end(), {static_cast<uint8_t>(n % 2 ? 0x28 : 0x20), static_cast<uint8_t>(n)});
            }
        }
        lines.AddLiveBlock(block.data(), block.size(), 1000 + static_cast<uint32_t>(round), mode);
        lines.TrimOldest();
    }
    ASSERT_LE(lines.GetLineCount(), CLines::kMaxLines + CLines::kTrimStep);
    // The characters left are the newest ones, consecutive and unharmed.
    std::vector<uint8_t> kept;
    for (const std::string& item : Describe(lines))
        if (item[0] == 'D') kept.push_back(static_cast<uint8_t>(std::stoi(item.substr(item.find(':') + 1))));
    ASSERT_GT(kept.size(), 100000u);
    // (A character's value is its record number; every fiftieth record is a tick.)
    for (std::size_t i = 1; i < kept.size(); ++i) {
        const int step = static_cast<uint8_t>(kept[i] - kept[i - 1]);
        if (step != 1 && step != 2) FAIL() << "character " << i << " follows " << int(kept[i - 1]) << " with " << int(kept[i]);
    }
}
