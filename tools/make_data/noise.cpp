// noise.cpp — the generator's own seeded random numbers and seamless value noise.
#include <algorithm>
#include <cmath>

#include "make_data.h"

// xorshift64*: small, fast and the same everywhere, unlike the standard library's engines'
// distributions.
uint32_t Random::next() {
    state ^= state >> 12;
    state ^= state << 25;
    state ^= state >> 27;
    return static_cast<uint32_t>((state * 0x2545F4914F6CDD1DULL) >> 32);
}

float Random::uniform() {
    return static_cast<float>(next() >> 8) / 16777216.0f;
}

float Random::range(float low, float high) {
    return low + (high - low) * uniform();
}

TilingNoise::TilingNoise(int period, Random& random) : period(period) {
    lattice.resize(static_cast<size_t>(period) * period);
    for (float& value : lattice) value = random.uniform();
}

float TilingNoise::at(float u, float v) const {
    float x = u * period;
    float y = v * period;
    float fx = std::floor(x);
    float fy = std::floor(y);
    auto wrap = [this](float cell) {
        int i = static_cast<int>(cell) % period;
        return i < 0 ? i + period : i;
    };
    int x0 = wrap(fx), x1 = wrap(fx + 1), y0 = wrap(fy), y1 = wrap(fy + 1);
    float tx = smoothStep(0, 1, x - fx);
    float ty = smoothStep(0, 1, y - fy);
    auto value = [this](int i, int j) { return lattice[static_cast<size_t>(j) * period + i]; };
    float top = value(x0, y0) + (value(x1, y0) - value(x0, y0)) * tx;
    float bottom = value(x0, y1) + (value(x1, y1) - value(x0, y1)) * tx;
    return top + (bottom - top) * ty;
}

std::vector<TilingNoise> makeOctaves(int basePeriod, int count, Random& random) {
    std::vector<TilingNoise> octaves;
    for (int i = 0; i < count; ++i) octaves.emplace_back(basePeriod << i, random);
    return octaves;
}

float fractalNoise(const std::vector<TilingNoise>& octaves, float u, float v) {
    float sum = 0;
    float weight = 0.5f;
    float total = 0;
    for (const TilingNoise& octave : octaves) {
        sum += weight * octave.at(u, v);
        total += weight;
        weight *= 0.5f;
    }
    return sum / total;
}

Colour mix(Colour a, Colour b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

float clamp01(float x) {
    return std::min(1.0f, std::max(0.0f, x));
}

float smoothStep(float edge0, float edge1, float x) {
    float t = clamp01((x - edge0) / (edge1 - edge0));
    return t * t * (3 - 2 * t);
}
