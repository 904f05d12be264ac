#include "noise.h"

#include <cmath>

uint32_t Rng::next() {
    state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
    uint32_t xorshifted = static_cast<uint32_t>(((state_ >> 18u) ^ state_) >> 27u);
    uint32_t rot = static_cast<uint32_t>(state_ >> 59u);
    return (xorshifted >> rot) | (xorshifted << ((32 - rot) & 31));
}

static uint32_t hash3(int x, int y, int z, uint32_t seed) {
    uint32_t h = seed * 0x27d4eb2du;
    h ^= static_cast<uint32_t>(x) * 0x8da6b343u;
    h ^= static_cast<uint32_t>(y) * 0xd8163841u;
    h ^= static_cast<uint32_t>(z) * 0xcb1ab31fu;
    h ^= h >> 15;
    h *= 0x2c1b3c6du;
    h ^= h >> 12;
    h *= 0x297a2d39u;
    h ^= h >> 15;
    return h;
}

static float grad(uint32_t h, float x, float y, float z) {
    switch (h % 12) {
    case 0:
        return x + y;
    case 1:
        return -x + y;
    case 2:
        return x - y;
    case 3:
        return -x - y;
    case 4:
        return x + z;
    case 5:
        return -x + z;
    case 6:
        return x - z;
    case 7:
        return -x - z;
    case 8:
        return y + z;
    case 9:
        return -y + z;
    case 10:
        return y - z;
    default:
        return -y - z;
    }
}

static int wrap(int v, int p) {
    if (p <= 0) return v;
    int m = v % p;
    return m < 0 ? m + p : m;
}

static float fade(float t) {
    return t * t * t * (t * (t * 6 - 15) + 10);
}

float noise3(float x, float y, float z, int px, int pz, uint32_t seed) {
    int ix = static_cast<int>(std::floor(x)), iy = static_cast<int>(std::floor(y)),
        iz = static_cast<int>(std::floor(z));
    float fx = x - ix, fy = y - iy, fz = z - iz;
    float u = fade(fx), v = fade(fy), w = fade(fz);
    float c[2][2][2];
    for (int dz = 0; dz < 2; ++dz)
        for (int dy = 0; dy < 2; ++dy)
            for (int dx = 0; dx < 2; ++dx)
                c[dz][dy][dx] = grad(hash3(wrap(ix + dx, px), iy + dy, wrap(iz + dz, pz), seed),
                                     fx - dx, fy - dy, fz - dz);
    auto lerp = [](float a, float b, float t) { return a + (b - a) * t; };
    float y0 = lerp(lerp(c[0][0][0], c[0][0][1], u), lerp(c[0][1][0], c[0][1][1], u), v);
    float y1 = lerp(lerp(c[1][0][0], c[1][0][1], u), lerp(c[1][1][0], c[1][1][1], u), v);
    return lerp(y0, y1, w);
}

float fbm3(float x, float y, float z, int px, int pz, int octaves, float gain, uint32_t seed) {
    float sum = 0, amp = 1, norm = 0;
    for (int o = 0; o < octaves; ++o) {
        sum += amp * noise3(x, y, z, px, pz, seed + o * 101u);
        norm += amp;
        amp *= gain;
        x *= 2, y *= 2, z *= 2;
        px *= 2, pz *= 2;
    }
    return sum / norm;
}
