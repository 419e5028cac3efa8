#include "ItemPool.h"

#include <array>
#include <mutex>
#include <new>
#include <vector>

namespace ItemPool {
namespace {

constexpr std::size_t kGranule = 8;
constexpr std::size_t kMaxPooled = 32;
constexpr std::size_t kSlabBytes = 64 * 1024;

struct FreeSlot {
    FreeSlot* next;
};

// One size class. Items are made on the device's dispatch thread and the UI
// thread and freed on the UI thread, so each class has its own lock; it is
// held for a few instructions and never while waiting on anything else.
class SizeClass {
public:
    void* Allocate(std::size_t slotSize)
    {
        std::lock_guard lock(mutex);
        if (freeList != nullptr) {
            FreeSlot* slot = freeList;
            freeList = slot->next;
            return slot;
        }
        if (remaining < slotSize) {
            slabs.push_back(static_cast<char*>(::operator new(kSlabBytes)));
            cursor = slabs.back();
            remaining = kSlabBytes;
        }
        void* p = cursor;
        cursor += slotSize;
        remaining -= slotSize;
        return p;
    }

    void Release(void* p)
    {
        std::lock_guard lock(mutex);
        auto* slot = static_cast<FreeSlot*>(p);
        slot->next = freeList;
        freeList = slot;
    }

    std::size_t Reserved()
    {
        std::lock_guard lock(mutex);
        return slabs.size() * kSlabBytes;
    }

private:
    std::mutex mutex;
    FreeSlot* freeList = nullptr;
    char* cursor = nullptr;
    std::size_t remaining = 0;
    std::vector<char*> slabs; // kept for the life of the process
};

std::array<SizeClass, kMaxPooled / kGranule>& Classes()
{
    // Never destroyed: items may still be released during static destruction.
    static auto* classes = new std::array<SizeClass, kMaxPooled / kGranule>();
    return *classes;
}

std::size_t RoundUp(std::size_t size) { return (size + kGranule - 1) / kGranule * kGranule; }

} // namespace

// Address-sanitizer builds take every item from the general heap so that a
// use after free is caught instead of landing in a recycled slot.
#if defined(__SANITIZE_ADDRESS__)
#define KS_POOL_BYPASS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KS_POOL_BYPASS 1
#endif
#endif

void* Allocate(std::size_t size)
{
#ifdef KS_POOL_BYPASS
    return ::operator new(size);
#endif
    const std::size_t slot = RoundUp(size < sizeof(FreeSlot) ? sizeof(FreeSlot) : size);
    if (slot > kMaxPooled) return ::operator new(size);
    return Classes()[slot / kGranule - 1].Allocate(slot);
}

void Release(void* p, std::size_t size) noexcept
{
    if (p == nullptr) return;
#ifdef KS_POOL_BYPASS
    ::operator delete(p); // sized delete is not declared by clang without -fsized-deallocation
    return;
#endif
    const std::size_t slot = RoundUp(size < sizeof(FreeSlot) ? sizeof(FreeSlot) : size);
    if (slot > kMaxPooled) {
        ::operator delete(p);
        return;
    }
    Classes()[slot / kGranule - 1].Release(p);
}

std::size_t ReservedBytes()
{
    std::size_t total = 0;
    for (auto& c : Classes()) total += c.Reserved();
    return total;
}

} // namespace ItemPool
