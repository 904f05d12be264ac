// A hand-driven millisecond clock for tests of timed rules (bomb fuses, flame times).
#pragma once

#include <cstdint>

#include "clock.h"

namespace testclock {

// The time the client's clock reads once setClock(testclock::read) is installed.
inline int64_t now = 0;

inline int64_t read() {
    return now;
}

} // namespace testclock
