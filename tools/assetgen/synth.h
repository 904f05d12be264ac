// Small sound-synthesis kit: noise, filters, envelopes and WAV output, all deterministic.
#pragma once

#include "noise.h"

#include <string>
#include <vector>

using Wave = std::vector<float>;

// Second-order state-variable filter (trapezoidal form, stable at any cutoff below Nyquist);
// cutoff and resonance may change per sample.
class Svf {
  public:
    // Feeds one sample through the filter at sample rate rate; afterwards low(), band() and high()
    // hold the three responses.
    void step(float in, float cutoffHz, float q, float rate);
    float low() const { return low_; }
    float band() const { return band_; }
    float high() const { return high_; }

  private:
    float low_ = 0, band_ = 0, high_ = 0;
    float ic1_ = 0, ic2_ = 0;
};

// Scales the wave so that its largest magnitude is peak (a silent wave stays silent).
void normalise(Wave& w, float peak);
// Applies a gentle tanh saturation with the given drive.
void saturate(Wave& w, float drive);
// Fades the last n samples linearly to zero.
void fadeOut(Wave& w, size_t n);
// Writes a mono 16-bit PCM WAV file; returns false on any failure.
bool writeWav(const std::string& path, const Wave& w, int rate);
// Mixes src into dst starting at sample offset, growing dst when needed.
void mixInto(Wave& dst, const Wave& src, size_t offset, float gain);
