// How the C library's allocator treats the large buffers of the software renderer.
#pragma once

// Keeps blocks below 32 MB in the heap and trims the heap only once 64 MB lie free at its top.
// The renderer allocates and frees buffers of about a megabyte every few frames; with the
// library's defaults each comes from the system again (mmap, or the heap grown after a trim) and
// every page is faulted in anew, which now and then made a 1 ms frame take 15 ms.
void keepRendererBuffersInHeap();
