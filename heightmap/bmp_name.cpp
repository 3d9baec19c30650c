#include "heightmap/bmp_name.h"

#include <cstring>

bool apply_bmp_suffix(char* buf, std::size_t cap) {
    const std::size_t len = strnlen(buf, cap);
    if (len >= 4 && std::memcmp(buf + len - 4, ".bmp", 4) == 0) return true;
    if (len + 5 > cap) return false;
    std::memcpy(buf + len, ".bmp", 5);
    return true;
}
