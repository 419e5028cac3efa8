#pragma once
// Display items: every entry of a display line is one CShape. Each knows its
// size under the current settings, how to paint itself, and the bytes it
// contributes to a stored record stream.
//
// A capture holds hundreds of millions of items, so an item is a value, not
// an object on the heap: a line keeps its items in one array of 4-byte
// slots (CLineInfo). A character or a change of the control lines fills one
// slot, an elapsed-time stamp three, a date mark two. The item classes add
// no virtual functions and nothing beyond what their slots hold, so that an
// item found in a line is looked at as its own class in place: a CShape*
// from a line points at the item's first slot, and for a stamp the slots
// after it hold the rest.
//
// Whoever has an item pointer holds the store lock; appending to the line
// may move its slots.
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

// The slots of one line are read and written through the item classes as
// well as copied as slots: no type-based aliasing assumptions may be made.
#define KS_ITEM_STORAGE [[gnu::may_alias]]

class alignas(4) KS_ITEM_STORAGE CShape {
public:
    CShape() = default;

    // By kind, to the item's own class.
    Extent GetExtent(const CDisplayMode& mode, int d) const;
    void Draw(QPainter& dc, const QRect& rect, const CDisplayFonts& fonts, const CDisplayMode& mode) const;
    // Appends this item's stored bytes.
    void GetRecord(ByteBuffer& out) const;
    int GetKind() const { return kind; }
    // The 4-byte slots the item takes in its line (at least one).
    int Slots() const;

    // 0 = not marked; for CStatus a mask of the line rows to highlight.
    uint8_t mark = 0;

protected:
    CShape(uint8_t kind, uint8_t a, uint8_t b) : a(a), b(b), kind(kind) {}

    // What the item's class makes of them: a character's b0 and character,
    // a status change's new and previous bytes.
    uint8_t a = 0;
    uint8_t b = 0;

private:
    uint8_t kind = KIND_NONE;
};

static_assert(sizeof(CShape) == 4, "an item slot is four bytes");
