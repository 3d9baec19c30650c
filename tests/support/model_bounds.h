#pragma once

#include <vector>

#include "model/triangle.h"

// Bounds as the STL reader takes them: from the first vertex of every facet.
inline Model_Bounds first_vertex_bounds(const std::vector<Triangle>& triangles) {
    Model_Bounds b;
    for (const Triangle& t : triangles) widen_bounds(b, t.v[0]);
    return b;
}
