#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "model/stl_writer.h"
#include "model/triangle.h"

// Small STL files in memory for the tests: a normal and an attribute no
// model has, which must never reach it, and numbers that read back exactly.
namespace stl_bytes {

inline constexpr Stl_Write_Options kTestOptions = {std::array<float, 3>{9, 9, 9}, 7,
                                                   Stl_Numbers::Exact};

// `count` >= 0 writes that facet count in the header instead of the true one.
inline std::string binary(const std::vector<Triangle>& facets, const char* header = "",
                          long long count = -1) {
    std::string s = stl_binary(facets, header, kTestOptions);
    const std::uint32_t n = static_cast<std::uint32_t>(count);
    if (count >= 0) std::memcpy(&s[80], &n, 4);
    return s;
}

inline std::string ascii(const std::vector<Triangle>& facets, const char* name = "part") {
    return stl_ascii(facets, name, kTestOptions);
}

inline Triangle tri(float ax, float ay, float az, float bx, float by, float bz, float cx, float cy,
                    float cz) {
    return Triangle{{{ax, ay, az}, {bx, by, bz}, {cx, cy, cz}}};
}

}  // namespace stl_bytes
