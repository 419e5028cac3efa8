#pragma once
// A small deterministic generator: the same seed gives the same traffic on
// every machine and with every standard library (std distributions differ).
#include <cstdint>

namespace sim {

class Random {
public:
    explicit Random(uint64_t seed = 1) : state(seed) {}

    uint64_t Next()
    {
        // splitmix64
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }

    // Uniform in [lo, hi], both included.
    uint32_t Range(uint32_t lo, uint32_t hi)
    {
        if (hi <= lo) return lo;
        return lo + static_cast<uint32_t>(Next() % (static_cast<uint64_t>(hi - lo) + 1));
    }

    // True with probability 1 / n.
    bool OneIn(uint32_t n) { return n != 0 && Next() % n == 0; }

    uint8_t Byte() { return static_cast<uint8_t>(Next() >> 56); }

private:
    uint64_t state;
};

} // namespace sim
