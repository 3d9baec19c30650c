#pragma once

#include <cctype>
#include <cstdlib>
#include <string>
#include <vector>

#include "model/triangle.h"

// An ASCII STL text's facets read the plain way: every word after "vertex"
// through strtof. The reference the fast reader must equal bit for bit.
inline std::vector<Triangle> strtof_vertices(const std::string& text) {
    std::vector<Triangle> out;
    std::size_t at = 0;
    auto word = [&] {
        while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
        const std::size_t start = at;
        while (at < text.size() && !std::isspace(static_cast<unsigned char>(text[at]))) ++at;
        return text.substr(start, at - start);
    };
    for (std::string w = word(); !w.empty(); w = word()) {
        if (w != "vertex") continue;
        Triangle t;
        for (int k = 0; k < 3; ++k) {
            if (k > 0) word();  // the "vertex" between groups
            for (int a = 0; a < 3; ++a) t.v[k][a] = std::strtof(word().c_str(), nullptr);
        }
        out.push_back(t);
    }
    return out;
}
