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
