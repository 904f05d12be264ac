// The client's millisecond wall clock (bomb fuses and flame times), replaceable for tests.
#pragma once

#include <cstdint>

// Milliseconds of the current clock: wall-clock seconds x 1000 + milliseconds unless replaced.
int64_t clockMs();
// Replaces the clock; nullptr restores the wall clock.
void setClock(int64_t (*source)());
