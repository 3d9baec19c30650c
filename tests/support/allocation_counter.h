#pragma once

// Replaces the global operator new so that every allocation made through it,
// by any thread and any library that allocates the C++ way, is counted.
// Include in exactly one source file of an executable. (Over-aligned types
// go to the library's own aligned operator new, uncounted.)
#include <atomic>
#include <cstdlib>
#include <new>

namespace allocation_counter {

inline std::atomic<long> count{0};

inline void* counted(std::size_t n) {
    ++count;
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}

}  // namespace allocation_counter

void* operator new(std::size_t n) { return allocation_counter::counted(n); }
void* operator new[](std::size_t n) { return allocation_counter::counted(n); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
