// The process's pseudo-random source: integers 0..32767, std::rand unless replaced (tests).
#pragma once

// Returns the next value 0..32767 of the current source.
int nextRandom();
// Replaces the source; nullptr restores std::rand.
void setRandomSource(int (*source)());
