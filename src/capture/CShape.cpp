#include "CShape.h"

#include "ItemPool.h"

Extent CShape::GetExtent(const CDisplayMode&, int) const { return {}; }
void CShape::Draw(QPainter&, const QRect&, const CDisplayFonts&, const CDisplayMode&) const {}
void CShape::GetRecord(ByteBuffer&) const {}
int CShape::GetKind() const { return KIND_NONE; }

void* CShape::operator new(std::size_t size) { return ItemPool::Allocate(size); }
void CShape::operator delete(void* p, std::size_t size) noexcept { ItemPool::Release(p, size); }
