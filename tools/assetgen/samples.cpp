#include "audio.h"
#include "synth.h"

#include <cmath>
#include <cstdio>

namespace {

const int kRate = 22050;
const float kTwoPi = 6.2831853f;

size_t len(float seconds) {
    return static_cast<size_t>(seconds * kRate);
}

// Noise burst, a falling low-pass sweep, a sub-bass thump and a long rumble.
Wave explode() {
    Rng rng(101);
    Wave w(len(1.9f));
    Svf body, rumble, crack;
    float phase = 0;
    for (size_t i = 0; i < w.size(); ++i) {
        float t = static_cast<float>(i) / kRate;
        float n = rng.range(-1, 1);
        float cutoff = 180 + 5200 * std::exp(-t / 0.18f);
        body.step(n, cutoff, 0.8f, kRate);
        rumble.step(n, 120, 0.9f, kRate);
        crack.step(n, 3000, 0.7f, kRate);
        float attack = std::fmin(1.0f, t / 0.004f);
        float f = 38 + 70 * std::exp(-t / 0.12f);
        phase += kTwoPi * f / kRate;
        float thump = std::sin(phase) * std::exp(-t / 0.35f);
        float s = body.low() * 1.6f * std::exp(-t / 0.42f) +
                  rumble.low() * 6.0f * std::exp(-t / 0.8f) + thump * 0.9f +
                  crack.high() * 1.2f * std::exp(-t / 0.03f);
        w[i] = s * attack;
    }
    saturate(w, 1.6f);
    fadeOut(w, len(0.3f));
    // Headroom for the mixer's resampling and for the music playing under it.
    normalise(w, 0.6f);
    return w;
}

// A short mechanical key click.
Wave typeClick() {
    Rng rng(202);
    Wave w(len(0.07f));
    Svf hp;
    for (size_t i = 0; i < w.size(); ++i) {
        float t = static_cast<float>(i) / kRate;
        hp.step(rng.range(-1, 1), 4000, 0.7f, kRate);
        float s = hp.high() * std::exp(-t / 0.0025f) * 0.9f +
                  std::sin(kTwoPi * 2300 * t) * std::exp(-t / 0.006f) * 0.5f +
                  std::sin(kTwoPi * 720 * t) * std::exp(-t / 0.012f) * 0.45f;
        w[i] = s;
    }
    fadeOut(w, len(0.01f));
    normalise(w, 0.8f);
    return w;
}

// Band-passed noise whose centre sweeps up and back down, swelling and fading.
Wave whoosh() {
    Rng rng(303);
    Wave w(len(0.75f));
    Svf bp, bp2;
    for (size_t i = 0; i < w.size(); ++i) {
        float x = static_cast<float>(i) / w.size();
        float centre = 250 + 2600 * std::pow(std::sin(3.14159265f * x), 2.0f);
        float n = rng.range(-1, 1);
        bp.step(n, centre, 2.5f, kRate);
        bp2.step(bp.band(), centre * 1.1f, 1.5f, kRate);
        float env = std::pow(std::sin(3.14159265f * std::pow(x, 0.7f)), 2.0f);
        w[i] = bp2.band() * env;
    }
    normalise(w, 0.85f);
    return w;
}

// A bright rising arpeggio C6 E6 G6 C7 with a sparkle on top.
Wave itemPickup() {
    Wave w(len(0.65f));
    const float notes[4] = {1046.5f, 1318.5f, 1568.0f, 2093.0f};
    for (int k = 0; k < 4; ++k) {
        size_t start = len(0.065f * k);
        for (size_t i = start; i < w.size(); ++i) {
            float t = static_cast<float>(i - start) / kRate;
            float f = notes[k];
            float tone = std::sin(kTwoPi * f * t) + 0.3f * std::sin(kTwoPi * 2 * f * t) +
                         0.15f * std::sin(kTwoPi * 3 * f * t) +
                         0.12f * std::sin(kTwoPi * 4.01f * f * t) * std::exp(-t / 0.05f);
            float env = std::fmin(1.0f, t / 0.003f) * std::exp(-t / (k == 3 ? 0.2f : 0.09f));
            w[i] += tone * env * (k == 3 ? 1.0f : 0.8f);
        }
    }
    fadeOut(w, len(0.08f));
    normalise(w, 0.8f);
    return w;
}

// Tyre screech: a wobbling squeal over hissing noise.
Wave carBrake() {
    Rng rng(404);
    Wave w(len(0.95f));
    Svf bp;
    float phase = 0;
    for (size_t i = 0; i < w.size(); ++i) {
        float t = static_cast<float>(i) / kRate;
        float f = 1450 - 250 * t / 0.95f + 45 * std::sin(kTwoPi * 17 * t) +
                  20 * std::sin(kTwoPi * 5.3f * t);
        phase += kTwoPi * f / kRate;
        float squeal = std::sin(phase) + 0.35f * std::sin(2 * phase) + 0.2f * std::sin(3 * phase);
        bp.step(rng.range(-1, 1), 3200, 1.2f, kRate);
        float env = std::fmin(1.0f, t / 0.04f) * (t > 0.7f ? (0.95f - t) / 0.25f : 1.0f);
        w[i] = (squeal * 0.6f + bp.band() * 0.8f) * env;
    }
    normalise(w, 0.8f);
    return w;
}

// An engine revving up: a pulse train whose firing rate rises, through a resonant low-pass.
Wave carAccel() {
    Rng rng(505);
    Wave w(len(1.6f));
    Svf lp;
    float phase = 0;
    for (size_t i = 0; i < w.size(); ++i) {
        float t = static_cast<float>(i) / kRate;
        float x = t / 1.6f;
        float f = 42 + 120 * std::pow(x, 0.75f);
        phase += f / kRate;
        float p = phase - std::floor(phase);
        float pulse = std::exp(-p * 9) - 0.11f + 0.5f * std::exp(-std::fabs(p - 0.5f) * 14);
        float n = rng.range(-1, 1) * 0.15f;
        lp.step(pulse + n, 300 + 900 * x, 2.0f, kRate);
        float env = std::fmin(1.0f, t / 0.08f) * (x > 0.85f ? (1 - x) / 0.15f : 1.0f);
        w[i] = lp.low() * env;
    }
    saturate(w, 2.0f);
    normalise(w, 0.85f);
    return w;
}

// A camera shutter (two clicks) followed by a low failure buzz.
Wave camera() {
    Rng rng(606);
    Wave w(len(0.5f));
    Svf lp, buzzLp;
    const float clicks[2] = {0.0f, 0.085f};
    for (size_t i = 0; i < w.size(); ++i) {
        float t = static_cast<float>(i) / kRate;
        float s = 0;
        lp.step(rng.range(-1, 1), 3500, 0.8f, kRate);
        for (float c : clicks)
            if (t >= c)
                s += (lp.low() * 1.3f + std::sin(kTwoPi * 1900 * (t - c)) * 0.4f) *
                     std::exp(-(t - c) / 0.006f);
        if (t >= 0.17f) {
            float bt = t - 0.17f;
            float f = 120 - 20 * bt;
            float sq = std::sin(kTwoPi * f * bt) > 0 ? 1.0f : -1.0f;
            buzzLp.step(sq, 1400, 0.9f, kRate);
            float env = std::fmin(1.0f, bt / 0.01f) * (t > 0.42f ? (0.5f - t) / 0.08f : 1.0f);
            s += buzzLp.low() * 0.45f * env;
        }
        w[i] = s;
    }
    normalise(w, 0.85f);
    return w;
}

int save(const Wave& w, const std::string& dir, const char* name) {
    if (writeWav(dir + "/" + name, w, kRate)) return 0;
    std::fprintf(stderr, "cannot write %s/%s\n", dir.c_str(), name);
    return 1;
}

} // namespace

int writeSamples(const std::string& dir) {
    return save(explode(), dir, "explode.wav") + save(typeClick(), dir, "type.wav") +
           save(whoosh(), dir, "whoosh.wav") + save(itemPickup(), dir, "itempickup.wav") +
           save(carBrake(), dir, "carbrake.wav") + save(carAccel(), dir, "caraccel.wav") +
           save(camera(), dir, "camera.wav");
}
