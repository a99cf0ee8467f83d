// The one source of chance in the simulated link, so that a seed replays every fault it caused.
#pragma once

#include <cstdint>
#include <random>

namespace drive_sim {

class FaultDice {
public:
    explicit FaultDice(uint64_t seed) { reseed(seed); }

    // Starts the sequence anew when a test picked another seed since the last roll.
    void follow(uint64_t seed) {
        if (seed != seed_) {
            reseed(seed);
        }
    }

    // True with the given probability. A zero rate draws nothing, so a clean link leaves the
    // sequence where it was.
    bool roll(double probability) {
        if (probability <= 0.0) {
            return false;
        }
        // 53 random bits as a fraction in [0, 1): the same on every standard library.
        double fraction = double(engine_() >> 11) * 0x1p-53;
        return fraction < probability;
    }

    uint32_t word() { return uint32_t(engine_() >> 32); }

private:
    void reseed(uint64_t seed) {
        seed_ = seed;
        engine_.seed(seed);
    }

    uint64_t seed_ = 0;
    std::mt19937_64 engine_;
};

}  // namespace drive_sim
