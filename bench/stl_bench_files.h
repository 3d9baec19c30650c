#pragma once

// The read benchmark's input files: a wavy height field written as binary
// STL and as ASCII STL in the layout common exporters write.
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "model/stl_writer.h"
#include "model/triangle.h"

namespace bench_files {

struct Bench_Files {
    std::string dir, binary, ascii;
    std::size_t facets = 0;
};

// A wavy height field over a grid, two facets per cell, with coordinates
// of both signs and many magnitudes, as a scanned insole gives.
inline std::vector<Triangle> make_surface(int cells_x, int cells_z) {
    std::vector<Triangle> out;
    out.reserve(static_cast<std::size_t>(cells_x) * cells_z * 2);
    auto point = [&](int i, int k, float* p) {
        const double x = -125.0 + 250.0 * i / cells_x;
        const double z = -50.0 + 100.0 * k / cells_z;
        p[0] = static_cast<float>(x);
        p[1] = static_cast<float>(6.0 * std::sin(x / 17.0) * std::cos(z / 11.0) + 0.01 * x - 3.0);
        p[2] = static_cast<float>(z);
    };
    for (int i = 0; i < cells_x; ++i)
        for (int k = 0; k < cells_z; ++k) {
            Triangle a, b;
            point(i, k, a.v[0]);
            point(i, k + 1, a.v[1]);
            point(i + 1, k + 1, a.v[2]);
            point(i, k, b.v[0]);
            point(i + 1, k + 1, b.v[1]);
            point(i + 1, k, b.v[2]);
            out.push_back(a);
            out.push_back(b);
        }
    return out;
}

// Opens path for `write`, which hands the model's STL writer a sink that
// puts each piece into the file.
template <typename Write>
bool write_file(const std::string& path, Write write) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = write([f](const std::string& bytes) {
        return std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    });
    return std::fclose(f) == 0 && ok;
}

inline bool write_binary(const std::string& path, const std::vector<Triangle>& facets) {
    return write_file(path, [&](const Stl_Sink& sink) {
        return write_stl_binary(facets, "binary STL for the read benchmark", sink);
    });
}

// Numbers in "%e", the layout common exporters write.
inline bool write_ascii(const std::string& path, const std::vector<Triangle>& facets) {
    return write_file(path,
                      [&](const Stl_Sink& sink) { return write_stl_ascii(facets, "bench", sink); });
}

inline std::size_t file_size(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? static_cast<std::size_t>(st.st_size) : 0;
}

}  // namespace bench_files
