#pragma once
// A line store built item by item for search tests: narrow lines (ten
// character cells) so that patterns cross display lines after a few bytes,
// and every kind of item shown.
#include "CDataChar.h"
#include "CDisplayMode.h"
#include "CFindEngine.h"
#include "CLines.h"
#include "CStamp.h"
#include "CStatus.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

class SearchStore : public ::testing::Test {
protected:
    SearchStore()
    {
        mode.cxChar = 8;
        mode.cyChar = 16;
        mode.cxLine = 80;
        mode.Status = 1;
        mode.Stamp = 1;
    }

    void Txd(const std::string& text)
    {
        for (char c : text) lines.AddDataChar(static_cast<uint8_t>(c), 0x20, mode);
    }
    void Rxd(const std::string& text)
    {
        for (char c : text) lines.AddDataChar(static_cast<uint8_t>(c), 0x28, mode);
    }
    // Line bits after the change (a set bit is a low line).
    void Status(uint8_t bits) { lines.AddStatus(static_cast<uint8_t>(0x40 | bits), mode); }
    // A stamp of its own: the store merges ticks that follow a stamp.
    void Stamp(uint32_t ms) { lines.AddTick(ms, 0, mode); }

    // The n-th item of the log (from 0), line markers left out.
    FindPosition At(int n) const
    {
        for (int l = 0; l < lines.GetLineCount(); ++l) {
            const int count = lines.GetLine(l)->GetItemCount();
            if (n < count - 1) return {l, n + 1};
            n -= count - 1;
        }
        ADD_FAILURE() << "no such item";
        return {};
    }
    // The marks of every item in log order, line markers left out.
    std::vector<int> Marks() const
    {
        std::vector<int> out;
        for (int l = 0; l < lines.GetLineCount(); ++l) {
            const CLineInfo* line = lines.GetLine(l);
            for (int i = 1; i < line->GetItemCount(); ++i) out.push_back(line->GetItem(i)->mark);
        }
        return out;
    }
    CFindEngine Engine() { return CFindEngine(lines, mode); }

    FindQuery Data(const std::vector<uint8_t>& pattern, int filter = FIND_BOTH) const
    {
        FindQuery q;
        q.page = FIND_DATA;
        q.pattern = pattern;
        q.directionFilter = filter;
        return q;
    }
    static std::vector<uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

    CDisplayMode mode;
    CLines lines;
};
