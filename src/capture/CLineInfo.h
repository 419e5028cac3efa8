#pragma once
// One display line: a horizontal run of items that fits the line width, kept
// as one array of 4-byte item slots (see CShape.h).
#include "CShape.h"

#include <vector>

class CLineInfo {
public:
    CLineInfo() = default;
    CLineInfo(const CLineInfo&) = delete;
    CLineInfo& operator=(const CLineInfo&) = delete;

    int GetItemCount() const { return count; }
    // Null for an index outside the line. Valid while the store lock is held
    // and nothing is appended to this line.
    CShape* GetItem(int index) const
    {
        if (index < 0 || index >= count) return nullptr;
        return const_cast<CShape*>(&itemSlots[static_cast<std::size_t>(SlotOf(index))]);
    }
    int GetWidth() const { return width; }
    int GetDataCount() const { return dataCount; }

private:
    friend class CLines;

    // Items wider than one slot (stamps, date marks), in line order: the
    // item's index and the extra slots taken up to and including it, so
    // that an index finds its slot without walking the line.
    struct Wide {
        int item;
        int extraThrough;
    };

    int SlotOf(int index) const;
    // Appends `item`, a whole object of its own class (all its slots).
    void Push(const CShape& item);
    // Removes the last item.
    void Pop();

    std::vector<CShape> itemSlots;
    std::vector<Wide> wide;
    int count = 0;
    int width = 0;
    int dataCount = 0;
};
