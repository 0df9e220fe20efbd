// A repeatable pseudo-random sequence in [0, 1), the same on every machine.
#pragma once

#include <cstdint>

namespace chart::test {

class Noise {
public:
    explicit Noise(uint64_t seed = 42) : state_(seed) {}
    double Next() {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<double>(state_ >> 11) / static_cast<double>(1ULL << 53);
    }

private:
    uint64_t state_;
};

} // namespace chart::test
