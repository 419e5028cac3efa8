#pragma once
// One display line: a horizontal run of items that fits the line width, kept
// as one array of 4-byte item slots (see CShape.h) that the line store's
// arena holds (SlotArena.h).
#include "CShape.h"

#include <cstdint>
#include <vector>

class SlotArena;

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
        return itemSlots + SlotOf(index);
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
    // Appends `item`, a whole object of its own class (all its slots),
    // growing the array from `arena` when it is full.
    void Push(const CShape& item, SlotArena& arena);
    void Reserve(std::size_t slots, SlotArena& arena);
    // Removes the last item.
    void Pop();
    // Gives the array back to `arena`; the line is then empty.
    void Release(SlotArena& arena) noexcept;

    CShape* itemSlots = nullptr;
    uint32_t slotCount = 0;
    uint32_t slotCapacity = 0;
    std::vector<Wide> wide;
    int count = 0;
    int width = 0;
    int dataCount = 0;
};
