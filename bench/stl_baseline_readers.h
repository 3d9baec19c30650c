#pragma once

// The read benchmark's baselines: a straightforward stdio reader of each
// form, and assimp's importer.
#include <assimp/Importer.hpp>
#include <assimp/scene.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "model/triangle.h"

namespace bench_readers {

// The plain way: one fread per field of every 50-byte record.
inline bool read_straightforward_binary(const std::string& path, std::vector<Triangle>& tris) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    char header[80];
    std::uint32_t count = 0;
    bool ok = std::fread(header, 1, 80, f) == 80 && std::fread(&count, 4, 1, f) == 1;
    Model_Bounds b;
    for (std::uint32_t i = 0; ok && i < count; ++i) {
        float normal[3];
        Triangle t;
        unsigned short attribute;
        ok = std::fread(normal, 12, 1, f) == 1 && std::fread(t.v[0], 12, 1, f) == 1 &&
             std::fread(t.v[1], 12, 1, f) == 1 && std::fread(t.v[2], 12, 1, f) == 1 &&
             std::fread(&attribute, 2, 1, f) == 1;
        if (ok) {
            widen_bounds(b, t.v[0]);
            tris.push_back(t);
        }
    }
    std::fclose(f);
    return ok;
}

// The plain way: fscanf a word at a time, three "%f" after each "vertex".
inline bool read_straightforward_ascii(const std::string& path, std::vector<Triangle>& tris) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    char word[1024];
    Model_Bounds b;
    bool ok = true;
    while (ok && std::fscanf(f, "%1023s", word) == 1) {
        if (std::strcmp(word, "vertex") != 0) continue;
        Triangle t;
        ok = std::fscanf(f, "%f %f %f", &t.v[0][0], &t.v[0][1], &t.v[0][2]) == 3 &&
             std::fscanf(f, "%1023s", word) == 1 &&
             std::fscanf(f, "%f %f %f", &t.v[1][0], &t.v[1][1], &t.v[1][2]) == 3 &&
             std::fscanf(f, "%1023s", word) == 1 &&
             std::fscanf(f, "%f %f %f", &t.v[2][0], &t.v[2][1], &t.v[2][2]) == 3;
        if (ok) {
            widen_bounds(b, t.v[0]);
            tris.push_back(t);
        }
    }
    std::fclose(f);
    return ok;
}

inline std::size_t read_assimp(const std::string& path, Assimp::Importer& importer) {
    const aiScene* scene = importer.ReadFile(path, 0);
    if (!scene) return 0;
    std::size_t faces = 0;
    for (unsigned m = 0; m < scene->mNumMeshes; ++m) faces += scene->mMeshes[m]->mNumFaces;
    return faces;
}

}  // namespace bench_readers
