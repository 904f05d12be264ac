#include "random.h"

#include <sys/random.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <ctime>

namespace {
int (*currentSource)() = nullptr;
uint32_t seededState = 1;

int seededNext() {
    seededState = seededState * 1103515245u + 12345u;
    return static_cast<int>((seededState >> 16) & 0x7fff);
}
} // namespace

int nextRandom() {
    return currentSource ? currentSource() : (std::rand() & 0x7fff);
}

void setRandomSource(int (*source)()) {
    currentSource = source;
}

void useSeededRandom(uint32_t seed) {
    seededState = seed;
    currentSource = seededNext;
}

void seedRandomForThisProcess() {
    uint32_t seed = static_cast<uint32_t>(std::time(nullptr));
    seed ^= static_cast<uint32_t>(getpid()) * 2654435761u;
    uint32_t bytes = 0;
    if (getrandom(&bytes, sizeof bytes, GRND_NONBLOCK) == static_cast<ssize_t>(sizeof bytes))
        seed ^= bytes;
    std::srand(seed);
}
