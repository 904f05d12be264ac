// How long a game has been going: from its start to the moment it was decided, in the client's
// clock, so that a single-player win can say how long clearing the targets took.
#pragma once

#include <cstdint>
#include <string>

class PlayTimer {
  public:
    // Follows the game at nowMs: the first call, or startTicks falling below the last call's (a
    // new game), starts the clock at nowMs; the first call with decided true stops it.
    void observe(int32_t startTicks, bool decided, int64_t nowMs);
    // Time from the start to the stop, or to nowMs while the clock runs; 0 before any call.
    int64_t elapsedMs(int64_t nowMs) const;
    bool stopped() const { return stopMs_ >= 0; }

  private:
    bool started_ = false;
    int32_t lastStartTicks_ = 0;
    int64_t startMs_ = 0;
    int64_t stopMs_ = -1;
};

// "M:SS" for ms in whole seconds, rounded down; minutes go on past 59, negative times read 0:00.
std::string minutesSeconds(int64_t ms);
