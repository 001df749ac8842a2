#include "allocation_counter.h"

#include <atomic>
#include <cerrno>
#include <cstddef>

#ifndef QUILLANE_BENCH_NO_ALLOCATION_COUNTER
#include <malloc.h>

// glibc's own entry points, which the replacements below forward to.
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void __libc_free(void* block);
void* __libc_memalign(size_t alignment, size_t size);
void* __libc_valloc(size_t size);
void* __libc_pvalloc(size_t size);
}
#endif

namespace quillane::bench {

namespace {
std::atomic<int64_t> liveBytes{0};
std::atomic<int64_t> peakBytes{0};

#ifndef QUILLANE_BENCH_NO_ALLOCATION_COUNTER
void Count(int64_t delta) {
    const int64_t now = liveBytes.fetch_add(delta, std::memory_order_relaxed) + delta;
    int64_t peak = peakBytes.load(std::memory_order_relaxed);
    while (now > peak && !peakBytes.compare_exchange_weak(peak, now, std::memory_order_relaxed)) {
    }
}

int64_t SizeOf(void* block) {
    return block != nullptr ? int64_t(malloc_usable_size(block)) : 0;
}

void* Counted(void* block) {
    Count(SizeOf(block));
    return block;
}
#endif
}  // namespace

bool AllocationCounterActive() {
#ifndef QUILLANE_BENCH_NO_ALLOCATION_COUNTER
    return true;
#else
    return false;
#endif
}

int64_t LiveHeapBytes() {
    return liveBytes.load(std::memory_order_relaxed);
}

void ResetPeakHeapBytes() {
    peakBytes.store(liveBytes.load(std::memory_order_relaxed), std::memory_order_relaxed);
}

int64_t PeakHeapBytes() {
    return peakBytes.load(std::memory_order_relaxed);
}

}  // namespace quillane::bench

#ifndef QUILLANE_BENCH_NO_ALLOCATION_COUNTER
using quillane::bench::Count;
using quillane::bench::Counted;
using quillane::bench::SizeOf;

extern "C" {

void* malloc(size_t size) {
    return Counted(__libc_malloc(size));
}

void* calloc(size_t count, size_t size) {
    return Counted(__libc_calloc(count, size));
}

void* realloc(void* block, size_t size) {
    const int64_t before = SizeOf(block);
    void* grown = __libc_realloc(block, size);
    if (grown != nullptr || size == 0) Count(SizeOf(grown) - before);
    return grown;
}

void free(void* block) {
    Count(-SizeOf(block));
    __libc_free(block);
}

void* memalign(size_t alignment, size_t size) {
    return Counted(__libc_memalign(alignment, size));
}

void* valloc(size_t size) {
    return Counted(__libc_valloc(size));
}

void* pvalloc(size_t size) {
    return Counted(__libc_pvalloc(size));
}

void* aligned_alloc(size_t alignment, size_t size) {
    return Counted(__libc_memalign(alignment, size));
}

int posix_memalign(void** result, size_t alignment, size_t size) {
    if (alignment % sizeof(void*) != 0 || (alignment & (alignment - 1)) != 0) return EINVAL;
    void* block = __libc_memalign(alignment, size);
    if (block == nullptr) return ENOMEM;
    *result = Counted(block);
    return 0;
}

}  // extern "C"
#endif
