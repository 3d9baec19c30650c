#pragma once

#include <vector>

#include "model/triangle.h"

// Flat-topped blocks over the plate, in plate-frame coordinates, for
// captures whose every pixel can be worked out by hand.
struct Block {
    float x0, x1, z0, z1;  // footprint on the plate
    float height;          // top above the plate
};

constexpr float kPlateY = -22.5f;

// The blocks' tops, plus two degenerate facets whose first vertices put the
// middle of the bounds at the origin, so the model lands unmoved.
inline std::vector<Triangle> block_model(const std::vector<Block>& blocks) {
    std::vector<Triangle> t;
    t.push_back(Triangle{{{-170, -40, -70}, {-170, -40, -70}, {-170, -40, -70}}});
    t.push_back(Triangle{{{170, 40, 70}, {170, 40, 70}, {170, 40, 70}}});
    for (const Block& b : blocks) {
        const float y = kPlateY + b.height;
        t.push_back(Triangle{{{b.x0, y, b.z0}, {b.x1, y, b.z0}, {b.x1, y, b.z1}}});
        t.push_back(Triangle{{{b.x1, y, b.z1}, {b.x0, y, b.z1}, {b.x0, y, b.z0}}});
    }
    return t;
}

// Gray level of image cell (r, c) for that model at the top view: cell
// (r, c) lies over plate x = r - 179.5, z = 74.5 - c.
inline int expected_gray(const std::vector<Block>& blocks, int r, int c) {
    const float x = r - 179.5f, z = 74.5f - c;
    float h = 0;
    for (const Block& b : blocks)
        if (x > b.x0 && x < b.x1 && z > b.z0 && z < b.z1 && b.height > h) h = b.height;
    const int v = static_cast<int>(h * 5);
    return v > 255 ? 255 : v;
}
