// The losses a capture reports, on synthetic gray buffers and facets.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "heightmap/quality.h"
#include "heightmap/sizes.h"

namespace {

using height_map::Quality;
using sizes::kCaptureHeight;
using sizes::kCaptureWidth;

struct Gray_Case {
    const char* name;
    std::vector<std::pair<int, int>> cells;  // (i, j) in readback order set to `value`
    unsigned char value;
    int clipped, cut;
};

TEST(Quality, ClippedAndCutSamplesAreCountedFromTheGrayLevels) {
    const std::vector<Gray_Case> cases = {
        {"plate only", {}, 0, 0, 0},
        {"high inside", {{10, 10}, {200, 75}, {358, 148}}, 255, 3, 0},
        {"one short of the clip", {{10, 10}}, 254, 0, 0},
        {"on every border", {{0, 40}, {359, 40}, {100, 0}, {100, 149}, {0, 0}}, 1, 0, 5},
        {"clipped on the border", {{359, 149}, {180, 1}}, 255, 2, 1},
    };
    for (const Gray_Case& c : cases) {
        std::vector<unsigned char> gray(sizes::kSamples, 0);
        for (auto [i, j] : c.cells) gray[j * kCaptureWidth + i] = c.value;
        Quality q;
        height_map::count_gray_problems(gray.data(), q);
        EXPECT_EQ(q.clipped, c.clipped) << c.name;
        EXPECT_EQ(q.cut, c.cut) << c.name;
    }
}

// A square of two facets over plate x 0..10, z 0..10 at height y, moved by
// `to_plate` (column-major).
std::vector<float> square(float y) {
    return {0, y, 0, 10, y, 0, 10, y, 10, 10, y, 10, 0, y, 10, 0, y, 0};
}

TEST(Quality, PixelsUnderTheModelBelowThePlateAreCounted) {
    double identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}, lowered[16],
           far_out[16];
    std::copy(identity, identity + 16, lowered);
    std::copy(identity, identity + 16, far_out);
    lowered[13] = far_out[13] = -30;  // translation in y
    far_out[12] = 500;
    // Pixel centres at x = i - 179.5 and z = 74.5 - j: 10 x 10 under the square.
    const struct Case {
        const char* name;
        float y;
        const double* to_plate;
        int below;
    } cases[] = {{"above", 0, identity, 0},
                 {"on the plate", -22.5f, identity, 0},
                 {"a hair under it: rounding", -22.505f, identity, 0},
                 {"under it", -23, identity, 100},
                 {"moved under it", 0, lowered, 100},
                 {"outside the window", 0, far_out, 0}};
    for (const Case& c : cases) {
        const std::vector<float> f = square(c.y);
        EXPECT_EQ(height_map::count_below_plate(f.data(), 2, c.to_plate), c.below) << c.name;
    }
    // A facet sloping through the plate: only the part under it counts.
    const std::vector<float> slope = {0,  -32.5f, 0, 20, -12.5f, 0, 20, -12.5f, 1,
                                      20, -12.5f, 1, 0,  -32.5f, 1, 0,  -32.5f, 0};
    EXPECT_EQ(height_map::count_below_plate(slope.data(), 2, identity), 10) << "x 0..10 of 0..20";
}

}  // namespace
