#pragma once

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

// Widens the bounds to a facet's first vertex. Strict tests, each on its
// own: a coordinate that is not a number changes nothing.
inline void widen_bounds(Model_Bounds& b, const float* v) {
    if (v[0] > b.max_x) b.max_x = v[0];
    if (v[0] < b.min_x) b.min_x = v[0];
    if (v[1] > b.max_y) b.max_y = v[1];
    if (v[1] < b.min_y) b.min_y = v[1];
    if (v[2] > b.max_z) b.max_z = v[2];
    if (v[2] < b.min_z) b.min_z = v[2];
}
