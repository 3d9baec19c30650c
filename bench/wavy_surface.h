#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "model/triangle.h"

// A wavy sheet of about `facets` facets spread over the plate (x within
// +-170, z within +-70, y within +-15): every facet tilts its own way, so a
// wrong normal shows as a wrong shade, and the facets grow small as their
// number grows, as in a finely meshed insole. phase shifts the waves, giving
// another model of the same size.
inline std::vector<Triangle> wavy_surface(std::size_t facets, float phase = 0.0f) {
    const std::size_t cells = std::max<std::size_t>(facets / 2, 1);
    const std::size_t nz = std::max<std::size_t>(
        static_cast<std::size_t>(std::lround(std::sqrt(cells * 140.0 / 340.0))), 1);
    const std::size_t nx = std::max<std::size_t>(cells / nz, 1);
    auto y = [phase](float x, float z) {
        return 10.0f * std::sin(x * 0.05f + phase) * std::cos(z * 0.07f) +
               5.0f * std::sin(z * 0.21f);
    };
    std::vector<Triangle> t;
    t.reserve(2 * nx * nz);
    for (std::size_t i = 0; i < nx; ++i)
        for (std::size_t j = 0; j < nz; ++j) {
            const float x0 = -170.0f + 340.0f * i / nx, x1 = -170.0f + 340.0f * (i + 1) / nx;
            const float z0 = -70.0f + 140.0f * j / nz, z1 = -70.0f + 140.0f * (j + 1) / nz;
            const float a[3] = {x0, y(x0, z0), z0}, b[3] = {x1, y(x1, z0), z0};
            const float c[3] = {x1, y(x1, z1), z1}, d[3] = {x0, y(x0, z1), z1};
            // Wound so that (B-A)x(C-A) points up, toward the light.
            t.push_back(Triangle{{{a[0], a[1], a[2]}, {d[0], d[1], d[2]}, {c[0], c[1], c[2]}}});
            t.push_back(Triangle{{{a[0], a[1], a[2]}, {c[0], c[1], c[2]}, {b[0], b[1], b[2]}}});
        }
    return t;
}
