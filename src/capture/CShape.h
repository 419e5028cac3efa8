#pragma once
// Display items: every entry of a display line is one small CShape. Each knows
// its size under the current settings, how to paint itself, and the bytes it
// contributes to a stored record stream.
#include <cstddef>
#include <cstdint>
#include <vector>

class CDisplayMode;
class CDisplayFonts;
class QPainter;
class QString;
class QRect;

enum ItemKind : int { KIND_NONE = 0, KIND_DATA = 1, KIND_STATUS = 2, KIND_STAMP = 4, KIND_STAMPTIME = 5 };

// A size in pixels.
struct Extent {
    int cx = 0;
    int cy = 0;
    friend bool operator==(const Extent&, const Extent&) = default;
};

using ByteBuffer = std::vector<uint8_t>;

class CShape {
public:
    CShape() = default;
    CShape(const CShape&) = delete;
    CShape& operator=(const CShape&) = delete;
    virtual ~CShape() = default;

    virtual Extent GetExtent(const CDisplayMode& mode, int d) const;
    virtual void Draw(QPainter& dc, const QRect& rect, const CDisplayFonts& fonts,
                      const CDisplayMode& mode) const;
    // Appends this item's stored bytes.
    virtual void GetRecord(ByteBuffer& out) const;
    virtual int GetKind() const;

    // Items are many and small: they come from a pooled allocator so that one
    // record costs its object and a pointer, not a heap chunk's overhead.
    static void* operator new(std::size_t size);
    static void operator delete(void* p, std::size_t size) noexcept;

    // 0 = not marked; for CStatus a mask of the line rows to highlight.
    uint8_t mark = 0;
};
