// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Memory for the engine's large buffers (the document text, the element index, a file's
// bytes). A maximal profile needs over a hundred megabytes, and touching that much fresh memory
// one 4 KiB page at a time costs more than the parsing itself on some machines; large blocks
// are therefore mapped directly and offered to the kernel for huge pages, and they grow by
// remapping rather than by copying.

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace bigbuffer {

constexpr size_t kMapFrom = size_t{1} << 20;  // smaller blocks come from malloc
constexpr size_t kGranule = size_t{2} << 20;  // huge page size on x86-64 and arm64

inline size_t mappedSize(size_t bytes) {
    return (bytes + kGranule - 1) / kGranule * kGranule;
}

inline bool isMapped(size_t bytes) {
#if defined(__linux__)
    return bytes >= kMapFrom;
#else
    (void)bytes;
    return false;
#endif
}

inline void* allocate(size_t bytes) {
#if defined(__linux__)
    if (isMapped(bytes)) {
        void* p = mmap(nullptr, mappedSize(bytes), PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED) {
            std::abort();  // out of memory ends the program
        }
        madvise(p, mappedSize(bytes), MADV_HUGEPAGE);
        return p;
    }
#endif
    void* p = std::malloc(bytes == 0 ? 1 : bytes);
    if (p == nullptr) {
        std::abort();
    }
    return p;
}

inline void release(void* p, size_t bytes) {
    if (p == nullptr) {
        return;
    }
#if defined(__linux__)
    if (isMapped(bytes)) {
        munmap(p, mappedSize(bytes));
        return;
    }
#endif
    std::free(p);
}

// Grows a block from `oldBytes` to `newBytes`, keeping the first `used` bytes.
inline void* grow(void* p, size_t oldBytes, size_t newBytes, size_t used) {
#if defined(__linux__)
    if (p != nullptr && isMapped(oldBytes)) {
        void* q = mremap(p, mappedSize(oldBytes), mappedSize(newBytes), MREMAP_MAYMOVE);
        if (q == MAP_FAILED) {
            std::abort();
        }
        madvise(q, mappedSize(newBytes), MADV_HUGEPAGE);
        return q;
    }
    if (isMapped(newBytes)) {
        void* q = allocate(newBytes);
        if (used != 0) {
            std::memcpy(q, p, used);
        }
        release(p, oldBytes);
        return q;
    }
#endif
    (void)oldBytes;
    (void)used;
    void* q = std::realloc(p, newBytes);
    if (q == nullptr) {
        std::abort();
    }
    return q;
}

// For std::vector: blocks of the element index.
template <typename T>
struct Allocator {
    using value_type = T;
    Allocator() = default;
    template <typename U>
    Allocator(const Allocator<U>&) {}
    T* allocate(size_t n) { return static_cast<T*>(bigbuffer::allocate(n * sizeof(T))); }
    void deallocate(T* p, size_t n) { bigbuffer::release(p, n * sizeof(T)); }
    template <typename U>
    bool operator==(const Allocator<U>&) const {
        return true;
    }
};

}  // namespace bigbuffer
