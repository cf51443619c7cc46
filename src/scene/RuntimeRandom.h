// The runtime's pseudo-random generator: a 32-bit linear congruential sequence whose draws are
// bits 16 to 30 of each new seed, 0 to 32767.
#pragma once

#include <cstdint>

namespace Halcyra {

class TRuntimeRandom {
public:
    explicit TRuntimeRandom(std::uint32_t seed = 0) : FSeed(seed) {}

    void Seed(std::uint32_t seed) { FSeed = seed; }
    // The next draw, 0 to 32767.
    int Next()
    {
        FSeed = FSeed * 22695477u + 1u;
        return static_cast<int>((FSeed >> 16) & 0x7FFFu);
    }
    // A draw's remainder by n (n > 0).
    int Random(int n) { return Next() % n; }

private:
    std::uint32_t FSeed;
};

} // namespace Halcyra
