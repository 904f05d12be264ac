#include "flame_preview.h"

namespace {
const int64_t kFuseMs = 3000;
const int64_t kBlinkFromMs = 1000;
const int64_t kBlinkPeriodMs = 250;
const float kBlinkDim = 0.6f;
} // namespace

float flamePreviewAlpha(int64_t remainingMs, bool remote) {
    if (remote && remainingMs <= 0) return kFlamePreviewRemote;
    if (remainingMs < 0) remainingMs = 0;
    if (remainingMs > kFuseMs) remainingMs = kFuseMs;
    const float progress = static_cast<float>(kFuseMs - remainingMs) / static_cast<float>(kFuseMs);
    float alpha = kFlamePreviewFaint + (kFlamePreviewStrong - kFlamePreviewFaint) * progress;
    if (remainingMs < kBlinkFromMs && (remainingMs / (kBlinkPeriodMs / 2)) % 2 == 1)
        alpha *= kBlinkDim;
    return alpha;
}
