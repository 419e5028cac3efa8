#include "CShape.h"

#include "CDataChar.h"
#include "CStamp.h"
#include "CStampTime.h"
#include "CStatus.h"

// The item's class is known from its kind; each view below is of the slots
// the item was stored in.

Extent CShape::GetExtent(const CDisplayMode& mode, int d) const
{
    switch (kind) {
    case KIND_DATA: return static_cast<const CDataChar*>(this)->GetExtent(mode, d);
    case KIND_STATUS: return static_cast<const CStatus*>(this)->GetExtent(mode, d);
    case KIND_STAMP: return static_cast<const CStamp*>(this)->GetExtent(mode, d);
    case KIND_STAMPTIME: return static_cast<const CStampTime*>(this)->GetExtent(mode, d);
    default: return {};
    }
}

void CShape::Draw(QPainter& dc, const QRect& rect, const CDisplayFonts& fonts, const CDisplayMode& mode) const
{
    switch (kind) {
    case KIND_DATA: static_cast<const CDataChar*>(this)->Draw(dc, rect, fonts, mode); break;
    case KIND_STATUS: static_cast<const CStatus*>(this)->Draw(dc, rect, fonts, mode); break;
    case KIND_STAMP: static_cast<const CStamp*>(this)->Draw(dc, rect, fonts, mode); break;
    case KIND_STAMPTIME: static_cast<const CStampTime*>(this)->Draw(dc, rect, fonts, mode); break;
    default: break;
    }
}

void CShape::GetRecord(ByteBuffer& out) const
{
    switch (kind) {
    case KIND_DATA: static_cast<const CDataChar*>(this)->GetRecord(out); break;
    case KIND_STATUS: static_cast<const CStatus*>(this)->GetRecord(out); break;
    case KIND_STAMP: static_cast<const CStamp*>(this)->GetRecord(out); break;
    case KIND_STAMPTIME: static_cast<const CStampTime*>(this)->GetRecord(out); break;
    default: break;
    }
}

int CShape::Slots() const
{
    switch (kind) {
    case KIND_STAMP: return static_cast<int>(sizeof(CStamp) / sizeof(CShape));
    case KIND_STAMPTIME: return static_cast<int>(sizeof(CStampTime) / sizeof(CShape));
    default: return 1;
    }
}
