#pragma once

#include <cstddef>

// Buffers cross function boundaries as a pointer and a count; the callee
// checks the count against what it will touch.
namespace platform {

// A caller's buffer of `count` elements must hold `needed`: a shorter one is
// our own fault, so the program stops, naming `what`, before going past it.
void require_size(std::size_t count, std::size_t needed, const char* what);

}  // namespace platform
