// Per-pixel buffers of tens of megabytes. Their first touch costs one page fault per 4 KiB page,
// which on some machines (virtual ones above all) costs more than the work done on the page; with
// transparent huge pages one fault maps 2 MiB instead. Results do not depend on any of this.
#ifndef MIRRASK_LARGE_BUFFERS_H
#define MIRRASK_LARGE_BUFFERS_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace mirrask {

// Asks the system to back the whole 2 MiB pages inside [data, data + bytes) with huge pages.
// Does nothing for small ranges or where the system offers no such request. Header-only, so that
// the max-flow solver can be built on its own.
inline void AdviseHugePages(void* data, size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr uintptr_t kHugePage = uintptr_t{2} << 20;
    if (data == nullptr || bytes < 2 * kHugePage) return;
    const uintptr_t begin = (reinterpret_cast<uintptr_t>(data) + kHugePage - 1) & ~(kHugePage - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(data) + bytes) & ~(kHugePage - 1);
    // Only a request: if the system declines, the pages stay small.
    if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
    (void)data;
    (void)bytes;
#endif
}

// std::allocator, except that elements made without a value are left uninitialised: a per-pixel
// buffer that its step writes in full is not zero-filled first (tens of megabytes per image).
template <typename T>
class UninitialisedAllocator : public std::allocator<T> {
  public:
    using value_type = T;
    template <typename U>
    struct rebind {
        using other = UninitialisedAllocator<U>;
    };

    UninitialisedAllocator() = default;
    template <typename U>
    UninitialisedAllocator(const UninitialisedAllocator<U>&) noexcept {}

    template <typename U>
    void construct(U* place) noexcept(std::is_nothrow_default_constructible_v<U>) {
        ::new (static_cast<void*>(place)) U;
    }
    template <typename U, typename... Args>
    void construct(U* place, Args&&... args) {
        ::new (static_cast<void*>(place)) U(std::forward<Args>(args)...);
    }
};

// Makes room for count elements (keeping what the vector holds) and advises the storage before
// anything touches it.
template <typename T, typename Allocator>
void ReserveLarge(std::vector<T, Allocator>& buffer, size_t count) {
    if (buffer.capacity() < count) {
        std::vector<T, Allocator> larger;
        larger.reserve(count);
        AdviseHugePages(larger.data(), count * sizeof(T));
        larger.assign(buffer.begin(), buffer.end());
        buffer.swap(larger);
    }
}

// A vector of count value-initialised elements whose storage was advised before the first touch.
template <typename T>
std::vector<T> MakeLarge(size_t count, const T& value = T()) {
    std::vector<T> buffer;
    ReserveLarge(buffer, count);
    buffer.assign(count, value);
    return buffer;
}

}  // namespace mirrask

#endif  // MIRRASK_LARGE_BUFFERS_H
