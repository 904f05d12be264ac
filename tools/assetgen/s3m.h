// ScreamTracker 3 module writer: header, order list, parapointers, 16-bit sample instruments and
// packed patterns.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

const int kS3mRows = 64;
const int kS3mMaxChannels = 16;

struct S3mSample {
    std::string name;
    std::vector<int16_t> data;
    uint32_t loopStart = 0, loopEnd = 0; // loop only when loopEnd > loopStart
    uint32_t c2spd = 8363;               // playback rate of note C-4
    uint8_t volume = 64;
};

struct S3mCell {
    uint8_t note = 255; // 255 empty, 254 note off, else octave << 4 | semitone
    uint8_t ins = 0;    // 1-based instrument, 0 none
    uint8_t vol = 255;  // 0..64, 255 none
    uint8_t cmd = 0;    // effect letter as 1 = A .. 26 = Z, 0 none
    uint8_t info = 0;
};

struct S3mPattern {
    S3mCell cells[kS3mRows][kS3mMaxChannels];
};

struct S3mModule {
    std::string name;
    int channels = 8;
    uint8_t speed = 6, tempo = 125, globalVolume = 64, masterVolume = 48;
    uint8_t pan[kS3mMaxChannels] = {}; // 0 left .. 15 right
    std::vector<S3mSample> samples;
    std::vector<S3mPattern> patterns;
    std::vector<uint8_t> orders;
};

// S3M note byte for a MIDI key number (60 = C-4).
uint8_t s3mNote(int midi);
// Serialises the module into S3M bytes.
std::vector<uint8_t> buildS3m(const S3mModule& m);
