// The process's pseudo-random source: integers 0..32767, std::rand unless replaced (tests).
#pragma once

#include <cstdint>

// Returns the next value 0..32767 of the current source.
int nextRandom();
// Replaces the source; nullptr restores std::rand.
void setRandomSource(int (*source)());
// Makes the source a linear congruential generator started at seed, the same sequence on every
// machine, so that whole games can be replayed (matches, tests, benchmarks).
void useSeededRandom(uint32_t seed);
// Seeds std::rand with the time mixed with the process id and the system's random bytes, so that
// two programs started in the same second draw different sequences.
void seedRandomForThisProcess();
