#include "clock.h"

#include <sys/time.h>

namespace {
int64_t (*currentClock)() = nullptr;
}

int64_t clockMs() {
    if (currentClock) return currentClock();
    timeval tv;
    gettimeofday(&tv, nullptr);
    return static_cast<int64_t>(tv.tv_sec) * 1000 + tv.tv_usec / 1000;
}

void setClock(int64_t (*source)()) {
    currentClock = source;
}
