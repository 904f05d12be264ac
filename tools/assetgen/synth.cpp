#include "synth.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

void Svf::step(float in, float cutoffHz, float q, float rate) {
    float g = std::tan(3.14159265f * std::fmin(cutoffHz, rate * 0.45f) / rate);
    float k = 1.0f / q;
    float a1 = 1 / (1 + g * (g + k)), a2 = g * a1, a3 = g * a2;
    float v3 = in - ic2_;
    float v1 = a1 * ic1_ + a2 * v3;
    float v2 = ic2_ + a2 * ic1_ + a3 * v3;
    ic1_ = 2 * v1 - ic1_;
    ic2_ = 2 * v2 - ic2_;
    low_ = v2;
    band_ = v1;
    high_ = in - k * v1 - v2;
}

void normalise(Wave& w, float peak) {
    float m = 0;
    for (float s : w)
        m = std::fmax(m, std::fabs(s));
    if (m <= 0) return;
    for (float& s : w)
        s *= peak / m;
}

void saturate(Wave& w, float drive) {
    for (float& s : w)
        s = std::tanh(s * drive);
}

void fadeOut(Wave& w, size_t n) {
    if (n > w.size()) n = w.size();
    for (size_t i = 0; i < n; ++i)
        w[w.size() - 1 - i] *= static_cast<float>(i) / n;
}

void mixInto(Wave& dst, const Wave& src, size_t offset, float gain) {
    if (dst.size() < offset + src.size()) dst.resize(offset + src.size(), 0.0f);
    for (size_t i = 0; i < src.size(); ++i)
        dst[offset + i] += src[i] * gain;
}

static void put16(FILE* f, uint16_t v) {
    std::fputc(v & 0xff, f);
    std::fputc(v >> 8, f);
}

static void put32(FILE* f, uint32_t v) {
    put16(f, v & 0xffff);
    put16(f, v >> 16);
}

bool writeWav(const std::string& path, const Wave& w, int rate) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    uint32_t bytes = static_cast<uint32_t>(w.size() * 2);
    std::fwrite("RIFF", 1, 4, f);
    put32(f, 36 + bytes);
    std::fwrite("WAVEfmt ", 1, 8, f);
    put32(f, 16);
    put16(f, 1);
    put16(f, 1);
    put32(f, rate);
    put32(f, rate * 2);
    put16(f, 2);
    put16(f, 16);
    std::fwrite("data", 1, 4, f);
    put32(f, bytes);
    for (float s : w) {
        long v = std::lround(s * 32767.0f);
        v = v > 32767 ? 32767 : (v < -32768 ? -32768 : v);
        put16(f, static_cast<uint16_t>(static_cast<int16_t>(v)));
    }
    return std::fclose(f) == 0;
}
