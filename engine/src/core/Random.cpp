#include <engine/core/Random.h>

#include <algorithm>
#include <cmath>
#include <random>

namespace Engine::Random {

namespace {

// PCG32 (XSH RR): small, fast, and the same numbers on every platform.
struct Pcg32 {
    uint64_t state = 0;
    static constexpr uint64_t MULTIPLIER = 6364136223846793005ull;
    static constexpr uint64_t INCREMENT = 1442695040888963407ull;

    void Seed(uint64_t seed) {
        state = 0;
        Next();
        state += seed;
        Next();
    }
    uint32_t Next() {
        const uint64_t old = state;
        state = old * MULTIPLIER + INCREMENT;
        const auto xorShifted = uint32_t(((old >> 18u) ^ old) >> 27u);
        const auto rot = uint32_t(old >> 59u);
        return (xorShifted >> rot) | (xorShifted << ((32u - rot) & 31u));
    }
};

Pcg32& Generator() {
    thread_local Pcg32 generator = [] {
        Pcg32 g;
        std::random_device device;
        g.Seed((uint64_t(device()) << 32) | device());
        return g;
    }();
    return generator;
}

} // namespace

void SetSeed(uint64_t seed) {
    Generator().Seed(seed);
}

uint64_t GetState() {
    return Generator().state;
}

void SetState(uint64_t state) {
    Generator().state = state;
}

int Int(int lo, int hi) {
    if (lo > hi)
        std::swap(lo, hi);
    // Lemire's multiply-and-reject: no bias, one draw nearly always.
    const uint64_t range = uint64_t(int64_t(hi) - int64_t(lo)) + 1; // up to 2^32
    Pcg32& g = Generator();
    if (range > UINT32_MAX)
        return int(int64_t(lo) + int64_t(g.Next()));
    uint64_t product = uint64_t(g.Next()) * range;
    if (uint32_t(product) < uint32_t(range)) {
        const auto threshold = uint32_t(-uint32_t(range) % uint32_t(range));
        while (uint32_t(product) < threshold)
            product = uint64_t(g.Next()) * range;
    }
    return int(int64_t(lo) + int64_t(product >> 32));
}

float Float(float lo, float hi) {
    if (lo > hi)
        std::swap(lo, hi);
    // 24 bits: every value a float holds between 0 and 1 at that spacing.
    const double unit = double(Generator().Next() >> 8) / double(1u << 24);
    const auto value = float(double(lo) + (double(hi) - double(lo)) * unit);
    // Rounding to float can land on hi itself, which is not to be drawn.
    return value < hi || !(lo < hi) ? value : std::nextafter(hi, lo);
}

} // namespace Engine::Random
