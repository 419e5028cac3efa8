#pragma once
// Where the display lines keep their item slots. A long capture has millions
// of lines: taking each line's array from the general heap costs a heap chunk
// per line, and touching fresh memory page by page costs more than filling
// it. The arena hands out arrays from blocks of 2 MiB, asks the system to back
// them with huge pages, and lets a block go as soon as the last array in it
// is given back (a live capture gives back its oldest lines as it makes new
// ones). Arrays larger than a block come from the general heap.
//
// One arena belongs to one line store and is used under that store's lock.
#include "CShape.h"

#include <cstddef>
#include <cstdint>

class SlotArena {
public:
    SlotArena() = default;
    ~SlotArena();
    SlotArena(const SlotArena&) = delete;
    SlotArena& operator=(const SlotArena&) = delete;

    // Room for `count` slots (not initialised).
    CShape* Take(std::size_t count);
    // Gives back an array of `count` slots that Take returned.
    void Give(CShape* array, std::size_t count) noexcept;
    // Gives back every block at once: every array taken is gone.
    void Reset() noexcept;

    static constexpr std::size_t kBlockBytes = std::size_t{2} << 20;

private:
    struct Block; // the header at the start of each block
    Block* NewBlock();
    static void FreeBlock(Block* block) noexcept;

    Block* current = nullptr;
    Block* first = nullptr; // every block, linked for Reset
};
