#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "model/triangle.h"

// Builders for small STL files in memory.
namespace stl_bytes {

inline std::string binary(const std::vector<Triangle>& facets, const char* header = "",
                          long long count = -1) {
    std::string s(84, '\0');
    std::memcpy(&s[0], header, std::min<std::size_t>(std::strlen(header), 80));
    // The facet count written in the header; by default the true one.
    const std::uint32_t n = static_cast<std::uint32_t>(count < 0 ? facets.size() : count);
    std::memcpy(&s[80], &n, 4);
    for (const Triangle& t : facets) {
        const float normal[3] = {9, 9, 9};  // must never reach the model
        s.append(reinterpret_cast<const char*>(normal), 12);
        s.append(reinterpret_cast<const char*>(t.v), 36);
        s.append("\x07\x00", 2);
    }
    return s;
}

inline std::string ascii(const std::vector<Triangle>& facets, const char* name = "part") {
    std::string s = std::string("solid ") + name + "\n";
    char line[160];
    for (const Triangle& t : facets) {
        s += "  facet normal 9.000000e+00 9.000000e+00 9.000000e+00\n    outer loop\n";
        for (const auto& v : t.v) {
            std::snprintf(line, sizeof line, "      vertex %.9g %.9g %.9g\n", v[0], v[1], v[2]);
            s += line;
        }
        s += "    endloop\n  endfacet\n";
    }
    return s + "endsolid " + name + "\n";
}

inline Triangle tri(float ax, float ay, float az, float bx, float by, float bz, float cx, float cy,
                    float cz) {
    return Triangle{{{ax, ay, az}, {bx, by, bz}, {cx, cy, cz}}};
}

}  // namespace stl_bytes
