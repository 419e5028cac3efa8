#include "SlotArena.h"

#include <new>

#include <sys/mman.h>

struct SlotArena::Block {
    Block* previous; // the list of every block, for Reset
    Block* next;
    std::size_t used;  // bytes handed out, header included
    std::size_t arrays; // arrays handed out and not yet given back
};

namespace {

constexpr std::size_t kHeaderBytes = (sizeof(void*) * 2 + sizeof(std::size_t) * 2 + 15) / 16 * 16;
constexpr std::uintptr_t kBlockMask = ~static_cast<std::uintptr_t>(SlotArena::kBlockBytes - 1);

// Address-sanitizer builds take every array from the general heap, so that a
// read past a line's slots or of a trimmed line is caught instead of landing
// in a block.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kHeapOnly = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kHeapOnly = true;
#else
constexpr bool kHeapOnly = false;
#endif
#else
constexpr bool kHeapOnly = false;
#endif

bool FromHeap(std::size_t bytes) { return kHeapOnly || bytes > SlotArena::kBlockBytes - kHeaderBytes; }

} // namespace

SlotArena::~SlotArena() { Reset(); }

SlotArena::Block* SlotArena::NewBlock()
{
    // Twice the size, so that a block aligned to its size fits inside; the
    // ends around it are given back at once.
    const std::size_t span = 2 * kBlockBytes;
    void* raw = ::mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) throw std::bad_alloc();
    const auto start = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t aligned = (start + kBlockBytes - 1) & kBlockMask;
    if (aligned > start) ::munmap(raw, aligned - start);
    const std::uintptr_t end = start + span;
    if (end > aligned + kBlockBytes) ::munmap(reinterpret_cast<void*>(aligned + kBlockBytes), end - (aligned + kBlockBytes));
    // Only advice: without huge pages the block works as well, just slower
    // to touch.
    (void)::madvise(reinterpret_cast<void*>(aligned), kBlockBytes, MADV_HUGEPAGE);
    auto* block = new (reinterpret_cast<void*>(aligned)) Block{nullptr, first, kHeaderBytes, 0};
    if (first) first->previous = block;
    first = block;
    return block;
}

void SlotArena::FreeBlock(Block* block) noexcept { ::munmap(static_cast<void*>(block), kBlockBytes); }

CShape* SlotArena::Take(std::size_t count)
{
    const std::size_t bytes = count * sizeof(CShape);
    if (FromHeap(bytes)) return static_cast<CShape*>(::operator new(bytes));
    if (!current || current->used + bytes > kBlockBytes) {
        Block* full = current;
        current = NewBlock();
        // A block nobody holds an array in any more is of no use.
        if (full && full->arrays == 0) {
            if (full->previous) full->previous->next = full->next;
            if (full->next) full->next->previous = full->previous;
            if (first == full) first = full->next;
            FreeBlock(full);
        }
    }
    auto* array = reinterpret_cast<CShape*>(reinterpret_cast<char*>(current) + current->used);
    current->used += bytes;
    ++current->arrays;
    return array;
}

void SlotArena::Give(CShape* array, std::size_t count) noexcept
{
    if (!array) return;
    if (FromHeap(count * sizeof(CShape))) {
        ::operator delete(static_cast<void*>(array));
        return;
    }
    auto* block = reinterpret_cast<Block*>(reinterpret_cast<std::uintptr_t>(array) & kBlockMask);
    if (--block->arrays > 0 || block == current) return;
    if (block->previous) block->previous->next = block->next;
    if (block->next) block->next->previous = block->previous;
    if (first == block) first = block->next;
    FreeBlock(block);
}

void SlotArena::Reset() noexcept
{
    // Arrays from the general heap are given back one by one by their lines.
    for (Block* block = first; block;) {
        Block* next = block->next;
        FreeBlock(block);
        block = next;
    }
    first = current = nullptr;
}
