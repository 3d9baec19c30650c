#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "model/stl_parser.h"

// STL bytes through the reader, fed `block` bytes at a time.
struct Parsed {
    std::vector<Triangle> triangles;
    Model_Bounds bounds;
    Stl_Form form;
    Stl_Report report;
};

inline Parsed parse(const std::string& bytes, std::size_t block = 1 << 20) {
    std::vector<Triangle> triangles;
    Stl_Parser parser(triangles, bytes.size());
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    for (std::size_t at = 0; at < bytes.size(); at += block)
        if (!parser.feed(data + at, std::min(block, bytes.size() - at))) break;
    parser.finish();
    return {triangles, parser.bounds(), parser.form(), parser.report()};
}
