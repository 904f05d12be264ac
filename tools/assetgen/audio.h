// Synthesises the game's sound samples (WAV) and music modules (S3M) into a data directory.
#pragma once

#include <string>

// Writes explode, type, whoosh, itempickup, carbrake, caraccel and camera .wav; returns the number
// of files that could not be written.
int writeSamples(const std::string& dir);
// Writes sound.s3m (game) and intro.s3m (menu); returns the number of failures.
int writeModules(const std::string& dir);
