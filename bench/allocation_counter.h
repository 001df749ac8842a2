// Counts the heap bytes the process holds, so that a benchmark can report the peak memory a call
// adds. The benchmark program replaces malloc, calloc, realloc, free and the aligned variants with
// versions that forward to the C library and keep a running total of malloc_usable_size of every
// live block; operator new and the solver's realloc storage go through them too.
#ifndef QUILLANE_BENCH_ALLOCATION_COUNTER_H
#define QUILLANE_BENCH_ALLOCATION_COUNTER_H

#include <cstdint>

namespace quillane::bench {

// False in builds that leave malloc to a sanitizer.
bool AllocationCounterActive();

// Bytes held now.
int64_t LiveHeapBytes();

// Starts a new peak measurement at the current level.
void ResetPeakHeapBytes();

// Highest level since the last reset.
int64_t PeakHeapBytes();

}  // namespace quillane::bench

#endif  // QUILLANE_BENCH_ALLOCATION_COUNTER_H
