#pragma once

#include <cmath>
#include <cstddef>
#include <vector>

#include "model/triangle.h"

// A generated insole-like relief for the tests and the converter's benchmark:
// the top surface of a foot-shaped sole over the base plate, with a heel
// cup, an arch and a toe bar, as a grid of about `facets` facets. `variant`
// changes proportions and heights, so models differ from one another.
inline std::vector<Triangle> insole_model(std::size_t facets, unsigned variant = 0) {
    const float length = 320.0f - 7.0f * static_cast<float>(variant % 5);
    const float width = 120.0f - 4.0f * static_cast<float>(variant % 3);
    const float lift = 3.0f + static_cast<float>(variant % 7);
    // cells along x and z in the ratio of the sole, two facets each; about a
    // third of the rectangle lies outside the outline.
    const double cells = static_cast<double>(facets) / 2 / 0.68;
    const int nx = static_cast<int>(std::sqrt(cells * length / width)) + 1;
    const int nz = static_cast<int>(cells / nx) + 1;
    const float dx = length / nx, dz = width / nz;
    auto inside = [&](float x, float z) {  // a foot outline, wider at the toes
        const float u = x / (length / 2);  // -1 heel .. 1 toes
        const float half = width / 2 * (0.72f + 0.25f * u - 0.22f * u * u * u * u);
        return std::fabs(z) <= half;
    };
    auto height = [&](float x, float z) {
        const float u = x / (length / 2), w = z / (width / 2);
        float h = lift + 4.0f * w * w;                                      // raised rim
        h += 18.0f * std::exp(-((u + 0.8f) * (u + 0.8f)) * 20.0f) * w * w;  // heel cup
        h += 14.0f * std::exp(-((u + 0.05f) * (u + 0.05f)) * 12.0f) *
             std::exp(-((w + 0.45f) * (w + 0.45f)) * 6.0f);          // arch on the inner side
        h += 6.0f * std::exp(-((u - 0.55f) * (u - 0.55f)) * 90.0f);  // toe bar
        return h + 0.37f;  // keeps levels off exact gray boundaries
    };
    std::vector<Triangle> t;
    t.reserve(static_cast<std::size_t>(nx) * nz * 2);
    for (int i = 0; i < nx; ++i)
        for (int k = 0; k < nz; ++k) {
            const float x0 = -length / 2 + i * dx, x1 = x0 + dx;
            const float z0 = -width / 2 + k * dz, z1 = z0 + dz;
            if (!inside((x0 + x1) / 2, (z0 + z1) / 2)) continue;
            const float a[3] = {x0, height(x0, z0), z0}, b[3] = {x1, height(x1, z0), z0};
            const float c[3] = {x1, height(x1, z1), z1}, d[3] = {x0, height(x0, z1), z1};
            // Wound so that (B-A)x(C-A) points up, toward the light.
            t.push_back(Triangle{{{a[0], a[1], a[2]}, {d[0], d[1], d[2]}, {c[0], c[1], c[2]}}});
            t.push_back(Triangle{{{c[0], c[1], c[2]}, {b[0], b[1], b[2]}, {a[0], a[1], a[2]}}});
        }
    return t;
}
