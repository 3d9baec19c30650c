#pragma once

// The read benchmark's input files: a wavy height field written as binary
// STL and as ASCII STL in the layout common exporters write.
#include <sys/stat.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

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

inline void normal_of(const Triangle& t, float* n) {
    const double ux = t.v[1][0] - t.v[0][0], uy = t.v[1][1] - t.v[0][1], uz = t.v[1][2] - t.v[0][2];
    const double vx = t.v[2][0] - t.v[0][0], vy = t.v[2][1] - t.v[0][1], vz = t.v[2][2] - t.v[0][2];
    const double nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
    const double len = std::sqrt(nx * nx + ny * ny + nz * nz);
    const double inv = len > 0 ? 1.0 / len : 0.0;
    n[0] = static_cast<float>(nx * inv);
    n[1] = static_cast<float>(ny * inv);
    n[2] = static_cast<float>(nz * inv);
}

inline bool write_all(std::FILE* f, const std::string& s) {
    return std::fwrite(s.data(), 1, s.size(), f) == s.size();
}

inline bool write_binary(const std::string& path, const std::vector<Triangle>& facets) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    std::string buf(84, '\0');
    std::memcpy(&buf[0], "binary STL for the read benchmark", 33);
    const std::uint32_t n = static_cast<std::uint32_t>(facets.size());
    std::memcpy(&buf[80], &n, 4);
    bool ok = true;
    for (const Triangle& t : facets) {
        char record[50] = {};
        normal_of(t, reinterpret_cast<float*>(record));
        std::memcpy(record + 12, t.v, 36);
        buf.append(record, 50);
        if (buf.size() > (4u << 20)) {
            ok = ok && write_all(f, buf);
            buf.clear();
        }
    }
    ok = ok && write_all(f, buf);
    return std::fclose(f) == 0 && ok;
}

// The layout common exporters write, numbers in "%e".
inline bool write_ascii(const std::string& path, const std::vector<Triangle>& facets) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    std::string buf = "solid bench\n";
    char line[160];
    bool ok = true;
    for (const Triangle& t : facets) {
        float n[3];
        normal_of(t, n);
        std::snprintf(line, sizeof line, "  facet normal %e %e %e\n", n[0], n[1], n[2]);
        buf += line;
        buf += "    outer loop\n";
        for (const auto& v : t.v) {
            std::snprintf(line, sizeof line, "      vertex %e %e %e\n", v[0], v[1], v[2]);
            buf += line;
        }
        buf += "    endloop\n  endfacet\n";
        if (buf.size() > (4u << 20)) {
            ok = ok && write_all(f, buf);
            buf.clear();
        }
    }
    buf += "endsolid bench\n";
    ok = ok && write_all(f, buf);
    return std::fclose(f) == 0 && ok;
}

inline std::size_t file_size(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? static_cast<std::size_t>(st.st_size) : 0;
}

}  // namespace bench_files
