#pragma once
// A line store with a display mode whose character cell is fixed, so that line
// breaking can be reasoned about in whole cells.
#include "CDataChar.h"
#include "CDisplayMode.h"
#include "CLines.h"
#include "CStamp.h"
#include "CStampTime.h"
#include "CStatus.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

class LineStoreTest : public ::testing::Test {
protected:
    LineStoreTest()
    {
        mode.cxChar = 8;
        mode.cyChar = 16;
        mode.cxLine = 800;
    }

    void Live(std::initializer_list<uint8_t> bytes, uint32_t now = 1000)
    {
        const std::vector<uint8_t> v(bytes);
        lines.AddLiveBlock(v.data(), v.size(), now, mode);
    }

    // Every item after the line-start items, in log order.
    std::vector<const CShape*> Items() const
    {
        std::vector<const CShape*> out;
        for (int l = 0; l < lines.GetLineCount(); ++l) {
            const CLineInfo* line = lines.GetLine(l);
            for (int i = 1; i < line->GetItemCount(); ++i) out.push_back(line->GetItem(i));
        }
        return out;
    }

    const CStamp* LastStamp() const
    {
        const auto items = Items();
        for (auto it = items.rbegin(); it != items.rend(); ++it) {
            if ((*it)->GetKind() == KIND_STAMP) return static_cast<const CStamp*>(*it);
        }
        return nullptr;
    }

    CDisplayMode mode;
    CLines lines;
};
