// The show's one random generator: the classic linear congruential rand()/srand() pair,
// reproduced exactly so that every platform draws the same numbers in the same order.
// It counts its draws so that traces and tests can tell when a draw was added or lost.
#pragma once

#include <cstdint>

namespace nb {

struct ShowRandom {
    uint32_t state = 1;
    uint64_t draws = 0;

    void Seed(uint32_t seed) {
        state = seed;
        draws = 0;
    }

    // 0..32767, like rand().
    int32_t Next() {
        state = state * 214013u + 2531011u;
        ++draws;
        return static_cast<int32_t>((state >> 16) & 0x7fffu);
    }
};

}  // namespace nb
