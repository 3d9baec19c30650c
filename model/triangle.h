#pragma once

#include <cfloat>
#include <cstdint>
#include <cstring>

// One facet of the model: three vertices (x, y, z) in model units, in the
// order the file gives them. The file's facet normal is not kept.
struct Triangle {
    float v[3][3];
};
static_assert(sizeof(Triangle) == 36, "a facet is nine packed floats");

// Model bounds as fed by the first vertex of every facet.
struct Model_Bounds {
    float max_x = -100000.0f, min_x = 100000.0f;
    float max_y = -100000.0f, min_y = 100000.0f;
    float max_z = -100000.0f, min_z = 100000.0f;
};

// Widens the bounds to a facet's first vertex, each axis on its own, with
// strict tests: a coordinate that is not a number changes nothing, and an
// infinite one is kept out too (it would throw the model out of sight).
inline void widen_bounds(Model_Bounds& b, const float* v) {
    if (v[0] > b.max_x && v[0] <= FLT_MAX) b.max_x = v[0];
    if (v[0] < b.min_x && v[0] >= -FLT_MAX) b.min_x = v[0];
    if (v[1] > b.max_y && v[1] <= FLT_MAX) b.max_y = v[1];
    if (v[1] < b.min_y && v[1] >= -FLT_MAX) b.min_y = v[1];
    if (v[2] > b.max_z && v[2] <= FLT_MAX) b.max_z = v[2];
    if (v[2] < b.min_z && v[2] >= -FLT_MAX) b.min_z = v[2];
}

// Whether all nine coordinates of a facet are finite: those with an
// infinite or NaN one are kept as read but never drawn.
inline bool is_finite_facet(const float* v) {
    std::uint32_t w[9], all_ones = 0;  // exponent bits all ones carry into bit 31
    std::memcpy(w, v, sizeof w);
    for (int k = 0; k < 9; ++k) all_ones |= ((w[k] & 0x7f800000u) + 0x00800000u) & 0x80000000u;
    return all_ones == 0;
}
inline bool is_finite_facet(const Triangle& t) { return is_finite_facet(&t.v[0][0]); }
