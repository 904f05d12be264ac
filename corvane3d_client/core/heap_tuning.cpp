#include "heap_tuning.h"

#include <malloc.h>

namespace {
const int kMmapThreshold = 32 << 20;
const int kTrimThreshold = 64 << 20;
} // namespace

void keepRendererBuffersInHeap() {
    mallopt(M_MMAP_THRESHOLD, kMmapThreshold);
    mallopt(M_TRIM_THRESHOLD, kTrimThreshold);
}
