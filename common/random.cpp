#include "random.h"

#include <cstdlib>

namespace {
int (*currentSource)() = nullptr;
}

int nextRandom() {
    return currentSource ? currentSource() : (std::rand() & 0x7fff);
}

void setRandomSource(int (*source)()) {
    currentSource = source;
}
