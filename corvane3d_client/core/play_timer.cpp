#include "play_timer.h"

#include <cstdio>

void PlayTimer::observe(int32_t startTicks, bool decided, int64_t nowMs) {
    if (!started_ || startTicks < lastStartTicks_) {
        started_ = true;
        startMs_ = nowMs;
        stopMs_ = -1;
    }
    lastStartTicks_ = startTicks;
    if (decided && stopMs_ < 0) stopMs_ = nowMs;
}

int64_t PlayTimer::elapsedMs(int64_t nowMs) const {
    if (!started_) return 0;
    return (stopMs_ >= 0 ? stopMs_ : nowMs) - startMs_;
}

std::string minutesSeconds(int64_t ms) {
    if (ms < 0) ms = 0;
    const int64_t seconds = ms / 1000;
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(seconds / 60),
                  static_cast<long long>(seconds % 60));
    return text;
}
