// Frame times of the uncapped mode: with CORVANE_FRAME_TIMES naming a file, the game and the menu
// redraw back to back (the game's tick stays at 25 Hz) and append one line per frame to that file:
// "detail width height microseconds", detail -1 for a menu frame.
#pragma once

#include <cstdint>
#include <cstdio>

class FrameTimeLog {
  public:
    // Opens path for appending; a null, empty or unwritable path leaves the log inactive.
    explicit FrameTimeLog(const char* path);
    ~FrameTimeLog();
    FrameTimeLog(const FrameTimeLog&) = delete;
    FrameTimeLog& operator=(const FrameTimeLog&) = delete;

    bool active() const { return file_ != nullptr; }
    // Records a frame ending at nowUs: its length is the time since the previous frame ended; the
    // first frame after construction or restart() only starts the count. Lines reach the file at
    // least every 200 ms.
    void frameEnded(int64_t nowUs, int32_t detail, int32_t width, int32_t height);
    // The next frame starts a new count (drawing paused in between).
    void restart() { previousUs_ = -1; }
    // Writes what is buffered to the file.
    void flush();

  private:
    FILE* file_ = nullptr;
    int64_t previousUs_ = -1;
    int64_t flushedUs_ = 0;
};

// The process's log, opened from CORVANE_FRAME_TIMES at the first call.
FrameTimeLog& frameTimeLog();
// Microseconds of a monotonic clock.
int64_t monotonicMicroseconds();
