#pragma once
// One display line: a horizontal run of items that fits the line width.
#include "CShape.h"

#include <vector>

class CLineInfo {
public:
    CLineInfo() = default;
    CLineInfo(const CLineInfo&) = delete;
    CLineInfo& operator=(const CLineInfo&) = delete;
    virtual ~CLineInfo();

    int GetItemCount() const { return static_cast<int>(items.size()); }
    // Null for an index outside the line.
    CShape* GetItem(int index) const
    {
        return index >= 0 && index < static_cast<int>(items.size()) ? items[static_cast<std::size_t>(index)] : nullptr;
    }
    int GetWidth() const { return width; }
    int GetDataCount() const { return dataCount; }

private:
    friend class CLines;
    std::vector<CShape*> items; // owned
    int width = 0;
    int dataCount = 0;
};
