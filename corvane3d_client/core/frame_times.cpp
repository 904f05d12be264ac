#include "frame_times.h"

#include <chrono>
#include <cstdlib>

namespace {
const int64_t kFlushIntervalUs = 200000;
} // namespace

FrameTimeLog::FrameTimeLog(const char* path) {
    if (path && *path) file_ = std::fopen(path, "a");
}

FrameTimeLog::~FrameTimeLog() {
    if (file_) std::fclose(file_);
}

void FrameTimeLog::frameEnded(int64_t nowUs, int32_t detail, int32_t width, int32_t height) {
    if (!file_) return;
    if (previousUs_ >= 0) {
        std::fprintf(file_, "%d %d %d %lld\n", detail, width, height,
                     static_cast<long long>(nowUs - previousUs_));
    }
    if (nowUs - flushedUs_ >= kFlushIntervalUs) {
        flush();
        flushedUs_ = nowUs;
    }
    previousUs_ = nowUs;
}

void FrameTimeLog::flush() {
    if (file_) std::fflush(file_);
}

FrameTimeLog& frameTimeLog() {
    static FrameTimeLog log(std::getenv("CORVANE_FRAME_TIMES"));
    return log;
}

int64_t monotonicMicroseconds() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
