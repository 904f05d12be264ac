// Deterministic random numbers and tileable gradient noise for the generator.
#pragma once

#include <cstdint>

class Rng {
  public:
    explicit Rng(uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}
    // Next 32 random bits; the sequence depends only on the seed.
    uint32_t next();
    // Uniform value in [0, 1).
    float uniform() { return (next() >> 8) * (1.0f / 16777216.0f); }
    // Uniform value in [lo, hi).
    float range(float lo, float hi) { return lo + (hi - lo) * uniform(); }
    // Uniform integer in [0, n).
    int below(int n) { return static_cast<int>(next() % static_cast<uint32_t>(n)); }

  private:
    uint64_t state_;
};

// Smooth 3-D gradient noise in about [-1, 1]; it repeats every px lattice cells along x and every
// pz along z (0 means no repeat). seed picks an independent field.
float noise3(float x, float y, float z, int px, int pz, uint32_t seed);
// Sum of octaves of noise3, each at twice the frequency and gain times the amplitude; the repeat
// periods double with the frequency, so the sum repeats like the first octave.
float fbm3(float x, float y, float z, int px, int pz, int octaves, float gain, uint32_t seed);
