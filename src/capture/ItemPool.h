#pragma once
// A pooled allocator for display items. A capture holds millions of 16- and
// 24-byte items; taking each from the general heap would cost more in chunk
// headers than the items themselves. Freed slots are kept for reuse (a live
// capture frees its oldest lines as fast as it makes new ones).
#include <cstddef>

namespace ItemPool {

void* Allocate(std::size_t size);
void Release(void* p, std::size_t size) noexcept;

// Bytes taken from the system for pooled items so far (for benchmarks).
std::size_t ReservedBytes();

} // namespace ItemPool
