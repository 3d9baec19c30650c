#include "platform/buffer_size.h"

#include <cstdio>
#include <cstdlib>

namespace platform {

void require_size(std::size_t count, std::size_t needed, const char* what) {
    if (count >= needed) return;
    std::fprintf(stderr, "veltrim: internal error: %s: %zu values, not the %zu needed\n", what,
                 count, needed);
    std::abort();
}

}  // namespace platform
