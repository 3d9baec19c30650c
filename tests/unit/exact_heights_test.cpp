// Heights from the facets: every pixel against the surface the mesh was
// built from, no cracks where centres lie on shared edges and vertices, and
// the counts beside the map.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>
#include <initializer_list>
#include <limits>
#include <vector>

#include "heightmap/exact_heights.h"

namespace {

using height_map::Exact_Map;
using height_map::Plate_Triangle;
using height_map::rasterize_heights;
using Mesh = std::vector<Plate_Triangle>;
using V = std::array<double, 3>;
using Surface = std::function<double(double x, double z)>;  // NaN: pixel not checked

const double kSkip = std::numeric_limits<double>::quiet_NaN();
const double kSizes[] = {1.0, 0.25};

void tri(Mesh& m, V a, V b, V c) {
    m.push_back({{{a[0], a[1], a[2]}, {b[0], b[1], b[2]}, {c[0], c[1], c[2]}}});
}
void quad(Mesh& m, V a, V b, V c, V d) {
    tri(m, a, b, c);
    tri(m, a, c, d);
}
// y = f(x, z) on a grid of cells `step` wide, those whose centre `keep`s.
void grid(Mesh& m, double x0, double x1, double z0, double z1, double step, const Surface& f,
          const std::function<bool(double, double)>& keep) {
    for (double x = x0; x < x1 - step / 2; x += step)
        for (double z = z0; z < z1 - step / 2; z += step)
            if (keep(x + step / 2, z + step / 2))
                quad(m, {x, f(x, z), z}, {x + step, f(x + step, z), z},
                     {x + step, f(x + step, z + step), z + step}, {x, f(x, z + step), z + step});
}

double plate_x(double size, double r) { return (r + 0.5) * size - 180; }
double plate_z(double size, double c) { return 75 - (c + 0.5) * size; }
// Whether v lies within one pixel of any of the lines.
bool near(double v, std::initializer_list<double> lines, double size) {
    for (double l : lines)
        if (std::fabs(v - l) <= size) return true;
    return false;
}

// Pixels off the expected height by more than 0.01; the first few are named.
int mismatches(const Exact_Map& m, const Surface& expect) {
    int bad = 0;
    for (int r = 0; r < m.rows; ++r)
        for (int c = 0; c < m.cols; ++c) {
            const double want = expect(plate_x(m.pixel_size, r), plate_z(m.pixel_size, c));
            const float got = m.heights[static_cast<std::size_t>(r) * m.cols + c];
            if (std::isnan(want) || std::fabs(got - want) <= 0.01) continue;
            if (++bad <= 3)
                ADD_FAILURE() << "size " << m.pixel_size << " pixel (" << r << ", " << c
                              << "): " << got << ", expected " << want;
        }
    return bad;
}

// x in (x0, x1) and z in (z0, z1) by more than a pixel: inside; farther than
// a pixel outside: outside; NaN on the outline.
double in_box(double x, double z, double x0, double x1, double z0, double z1, double size,
              double inside, double outside = 0) {
    if (near(x, {x0, x1}, size) && z > z0 - size && z < z1 + size) return kSkip;
    if (near(z, {z0, z1}, size) && x > x0 - size && x < x1 + size) return kSkip;
    return x > x0 && x < x1 && z > z0 && z < z1 ? inside : outside;
}

TEST(ExactHeights, PixelSizesThatDivideThePlate) {
    for (double ok : {0.01, 0.1, 0.25, 1.0, 2.5, 30.0})
        EXPECT_TRUE(height_map::check_pixel_size(ok)) << ok;
    for (double bad : {0.0, -1.0, 0.004, 0.7, 4.0, 0.105, 60.0, kSkip})
        EXPECT_FALSE(height_map::check_pixel_size(bad)) << bad;
    const Exact_Map m = rasterize_heights({}, 0.25);
    EXPECT_EQ(m.rows, 1440);
    EXPECT_EQ(m.cols, 600);
    EXPECT_TRUE(m.empty);
}

// The same small facet round five pixel centres, the corners included: each
// lands on its own pixel, with the height of its plane there.
TEST(ExactHeights, SmallFacetsLandOnTheirPixels) {
    const int pixels[5][2] = {{37, 11}, {0, 0}, {359, 149}, {0, 149}, {359, 0}};
    // The centre P = A + b (B - A) + c (C - A), by Cramer's rule on the
    // offsets below: B - A = (0.7, 0.1), C - A = (0.3, 0.7), P - A = (0.3, 0.3).
    const double d = 0.7 * 0.7 - 0.3 * 0.1;
    const double b = (0.3 * 0.7 - 0.3 * 0.3) / d, c = (0.7 * 0.3 - 0.1 * 0.3) / d;
    Mesh m;
    for (const auto& p : pixels) {
        const double x = plate_x(1, p[0]), z = plate_z(1, p[1]);
        tri(m, {x - 0.3, 2, z - 0.3}, {x + 0.4, 3, z - 0.2}, {x, 4, z + 0.4});
    }
    const Exact_Map map = rasterize_heights(m, 1);
    EXPECT_EQ(mismatches(map,
                         [&](double x, double z) {
                             for (const auto& p : pixels)
                                 if (x == plate_x(1, p[0]) && z == plate_z(1, p[1]))
                                     return 2 + b * 1 + c * 2;
                             return 0.0;
                         }),
              0);
    EXPECT_EQ(map.cut, 4u);
}

TEST(ExactHeights, AnalyticSurfacesEveryPixel) {
    for (double s : kSizes) {
        Mesh plane;  // a tilted plane of two facets
        const Surface tilt = [](double x, double z) { return 20 + 0.05 * x - 0.1 * z; };
        quad(plane, {-150, tilt(-150, -60), -60}, {120, tilt(120, -60), -60},
             {120, tilt(120, 50), 50}, {-150, tilt(-150, 50), 50});
        EXPECT_EQ(mismatches(rasterize_heights(plane, s),
                             [&](double x, double z) {
                                 return in_box(x, z, -150, 120, -60, 50, s, tilt(x, z));
                             }),
                  0);

        Mesh cap;  // a sphere cap of radius 100 seen out to 50 from its axis
        const Surface sphere = [](double x, double z) {
            return -70 + std::sqrt(1e4 - (x - 10) * (x - 10) - (z + 5) * (z + 5));
        };
        const auto off_axis = [](double x, double z) { return std::hypot(x - 10, z + 5); };
        grid(cap, -40, 60, -55, 45, 0.5, sphere,
             [&](double x, double z) { return off_axis(x, z) < 49.5; });
        EXPECT_EQ(mismatches(rasterize_heights(cap, s),
                             [&](double x, double z) {
                                 const double d = off_axis(x, z);
                                 return d < 48.5 ? sphere(x, z) : d > 50.5 ? 0.0 : kSkip;
                             }),
                  0);
    }
}

// Two levels with a vertical wall on a line of pixel centres: the wall covers
// nothing, and the centres on it take one level or the other, never 0.
TEST(ExactHeights, StepWithVerticalWall) {
    for (double s : kSizes) {
        const double wall = plate_x(s, 180 / s);
        Mesh m;
        quad(m, {-90, 4, -40}, {wall, 4, -40}, {wall, 4, 30}, {-90, 4, 30});
        quad(m, {wall, 9, -40}, {70, 9, -40}, {70, 9, 30}, {wall, 9, 30});
        quad(m, {wall, 4, -40}, {wall, 9, -40}, {wall, 9, 30}, {wall, 4, 30});
        const Exact_Map map = rasterize_heights(m, s);
        EXPECT_EQ(mismatches(map,
                             [&](double x, double z) {
                                 if (near(x, {wall}, s)) return kSkip;
                                 return in_box(x, z, -90, 70, -40, 30, s, x < wall ? 4 : 9);
                             }),
                  0);
        int cracks = 0;
        for (int c = 0; c < map.cols; ++c)
            if (!near(plate_z(s, c), {-40, 30}, s) && std::fabs(plate_z(s, c) + 5) < 35)
                cracks += map.heights[static_cast<std::size_t>(180 / s) * map.cols + c] < 4;
        EXPECT_EQ(cracks, 0) << s;
    }
}

// A facet a fiftieth of a pixel wide rising 50 units, whose snapped edge
// takes a line of centres just outside it: they get its lowest or highest
// height, not the plane's run-off far beyond either.
TEST(ExactHeights, SteepFacetsMakeNoSpikes) {
    const double wall = plate_x(1, 180);
    Mesh m;
    quad(m, {wall + 0.0005, 55, -40}, {wall + 0.0025, 5, -40}, {wall + 0.0025, 5, 30},
         {wall + 0.0005, 55, 30});
    const Exact_Map map = rasterize_heights(m, 1);
    EXPECT_EQ(mismatches(map, [&](double x, double) { return x == wall ? kSkip : 0.0; }), 0);
    for (int c = 0; c < map.cols; ++c) EXPECT_LE(map.heights[180 * 150 + c], 55) << c;
    EXPECT_EQ(map.below_plate, 0u);
    EXPECT_FALSE(map.empty);
}

// A closed box (bottom 2, top 10) with a hole in its top: the hole shows the
// bottom's inside.
TEST(ExactHeights, ClosedBoxWithHoleShowsTheSurfaceBelow) {
    const double x[4] = {-60, -20, 0, 40}, z[4] = {-30, -10, 5, 20};  // outer, hole, outer
    Mesh m;
    quad(m, {x[0], 2, z[0]}, {x[0], 2, z[3]}, {x[3], 2, z[3]}, {x[3], 2, z[0]});  // facing down
    for (int i = 0; i < 3; ++i)
        for (int k = 0; k < 3; ++k)
            if (i != 1 || k != 1)
                quad(m, {x[i], 10, z[k]}, {x[i + 1], 10, z[k]}, {x[i + 1], 10, z[k + 1]},
                     {x[i], 10, z[k + 1]});
    for (int i : {0, 3})
        quad(m, {x[i], 2, z[0]}, {x[i], 10, z[0]}, {x[i], 10, z[3]}, {x[i], 2, z[3]});
    for (int k : {0, 3})
        quad(m, {x[0], 2, z[k]}, {x[0], 10, z[k]}, {x[3], 10, z[k]}, {x[3], 2, z[k]});
    for (double s : kSizes)
        EXPECT_EQ(mismatches(rasterize_heights(m, s),
                             [&](double px, double pz) {
                                 const double hole =
                                     in_box(px, pz, x[1], x[2], z[1], z[2], s, 2, 10);
                                 return std::isnan(hole)
                                            ? kSkip
                                            : in_box(px, pz, x[0], x[3], z[0], z[3], s, hole);
                             }),
                  0);
}

// Vertices on pixel centres: a grid of 3 x 3-pixel cells with both diagonals
// and both windings, and a fan of 16 facets round one centre.
TEST(ExactHeights, NoCracksWhereCentresLieOnSharedEdgesAndVertices) {
    const Surface f = [](double x, double z) { return 1 + 0.01 * x + 0.02 * z; };
    for (double s : kSizes) {
        const auto at = [&](double r, double c) -> V {
            return {plate_x(s, r), f(plate_x(s, r), plate_z(s, c)), plate_z(s, c)};
        };
        Mesh m;
        for (int i = 0; i < 20; ++i)
            for (int k = 0; k < 12; ++k) {
                const V a = at(10 + 3 * i, 5 + 3 * k), b = at(13 + 3 * i, 5 + 3 * k);
                const V c = at(13 + 3 * i, 8 + 3 * k), d = at(10 + 3 * i, 8 + 3 * k);
                if ((i + k) % 2) {
                    quad(m, a, b, c, d);
                } else {  // the other diagonal, the other way round
                    tri(m, a, b, d);
                    tri(m, c, b, d);
                }
            }
        const int ring[16][2] = {{6, 0},  {6, 3},  {6, 6},  {3, 6},   {0, 6},   {-3, 6},
                                 {-6, 6}, {-6, 3}, {-6, 0}, {-6, -3}, {-6, -6}, {-3, -6},
                                 {0, -6}, {3, -6}, {6, -6}, {6, -3}};
        for (int k = 0; k < 16; ++k)
            tri(m, at(100, 60), at(100 + ring[k][0], 60 + ring[k][1]),
                at(100 + ring[(k + 1) % 16][0], 60 + ring[(k + 1) % 16][1]));
        const Exact_Map map = rasterize_heights(m, s);
        EXPECT_EQ(mismatches(map,
                             [&](double x, double z) {
                                 const double r = (x + 180) / s - 0.5, c = (75 - z) / s - 0.5;
                                 const bool in_grid = r > 10.5 && r < 69.5 && c > 5.5 && c < 40.5;
                                 const bool in_fan =
                                     std::fabs(r - 100) < 5.5 && std::fabs(c - 60) < 5.5;
                                 return in_grid || in_fan ? f(x, z) : kSkip;
                             }),
                  0);
    }
}

// Past the plate's edges, and facets 10^9 and 3 x 10^9 units across whose
// shared edge runs through pixel centres (they are cut at the edge of the
// map, or their edge tests would overflow).
TEST(ExactHeights, MeshBeyondThePlateCoversEveryPixelAndCounts) {
    const Surface f = [](double x, double z) { return 5 + 0.01 * x + 0.01 * z; };
    const Surface g = [](double x, double z) { return 6 + 2e-6 * x - 1e-6 * z; };
    Mesh wide, huge[2];
    quad(wide, {-250, f(-250, -100), -100}, {250, f(250, -100), -100}, {250, f(250, 100), 100},
         {-250, f(-250, 100), 100});
    for (int k = 0; k < 2; ++k) {
        const double far = k == 0 ? 1e9 : 3e9;
        const V a = {-far, g(-far, far - 105), far - 105};
        const V b = {far, g(far, -far - 105), -far - 105};
        tri(huge[k], a, b, {far, g(far, far), far});
        tri(huge[k], b, a, {-far, g(-far, -far), -far});
    }
    for (double s : kSizes)
        for (const auto& [mesh, surface] :
             {std::pair{wide, f}, std::pair{huge[0], g}, std::pair{huge[1], g}}) {
            const Exact_Map map = rasterize_heights(mesh, s);
            EXPECT_EQ(mismatches(map, surface), 0);
            EXPECT_EQ(map.cut, 2u * map.rows + 2u * map.cols - 4);
            EXPECT_EQ(map.below_plate, 0u);
            EXPECT_FALSE(map.empty);
        }
}

// A slope from under the plate to above it, a patch under the plate below a
// part that is above, and pixels on the border only where the slope is up.
TEST(ExactHeights, BelowThePlateIsZeroAndCounted) {
    const Surface f = [](double x, double) { return 0.05 * x + 0.3; };
    Mesh m;
    quad(m, {-200, f(-200, 0), -80}, {200, f(200, 0), -80}, {200, f(200, 0), 80},
         {-200, f(-200, 0), 80});
    quad(m, {50, -3, 0}, {60, -3, 0}, {60, -3, 10}, {50, -3, 10});
    for (double s : kSizes) {
        const Exact_Map map = rasterize_heights(m, s);
        std::size_t below = 0, cut = 0;
        for (int r = 0; r < map.rows; ++r)
            for (int c = 0; c < map.cols; ++c) {
                const double x = plate_x(s, r), z = plate_z(s, c), y = f(x, z);
                below += y < -0.01 || (x > 50 && x < 60 && z > 0 && z < 10);
                cut += y > 0 && (r == 0 || c == 0 || r == map.rows - 1 || c == map.cols - 1);
            }
        EXPECT_EQ(mismatches(map, [&](double x, double z) { return std::max(0.0, f(x, z)); }), 0);
        EXPECT_EQ(map.below_plate, below);
        EXPECT_EQ(map.cut, cut);
        EXPECT_FALSE(map.empty);
    }
    Mesh under;
    quad(under, {-200, -1, -80}, {200, -1, -80}, {200, -1, 80}, {-200, -1, 80});
    const Exact_Map map = rasterize_heights(under, 1);
    EXPECT_TRUE(map.empty);
    EXPECT_EQ(map.below_plate, 360u * 150u);
    EXPECT_EQ(map.cut, 0u);
    EXPECT_EQ(mismatches(map, [](double, double) { return 0.0; }), 0);
}

TEST(ExactHeights, FacetsNotFiniteAreLeftOutAndCounted) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    Mesh m;
    for (double bad : {nan, inf, -inf, 1e200})
        tri(m, {-170, 50, -70}, {170, bad, -70}, {0, 50, 70});
    quad(m, {-10, 3, -10}, {10, 3, -10}, {10, 3, 10}, {-10, 3, 10});
    const Exact_Map map = rasterize_heights(m, 1);
    EXPECT_EQ(map.non_finite, 4u);
    EXPECT_EQ(
        mismatches(map, [](double x, double z) { return in_box(x, z, -10, 10, -10, 10, 1, 3); }),
        0);
}

// A large model's facets are drawn in shares by several threads: the merged
// map must be the one drawn at once, to the bit, counts included.
TEST(ExactHeights, SharesDrawnApartAndMergedGiveTheSameMap) {
    Mesh m;
    grid(
        m, -100, 100, -50, 50, 0.7, [](double x, double z) { return 20 - (x * x + z * z) / 900; },
        [](double, double) { return true; });
    quad(m, {-179, -2, -74}, {-150, -2, -74}, {-150, -2, 74}, {-179, -2, 74});  // under the plate
    quad(m, {150, 1, -75}, {181, 9, -75}, {181, 9, 75}, {150, 1, 75});          // past the edge
    tri(m, {0, std::numeric_limits<double>::infinity(), 0}, {1, 1, 1}, {2, 2, 0});
    for (double s : kSizes) {
        const Exact_Map whole = rasterize_heights(m, s);
        height_map::Height_Rasterizer first(s), second(s);
        second.draw(m.data() + m.size() / 2, m.size() - m.size() / 2);
        first.draw(m.data(), m.size() / 2);
        first.merge(std::move(second));
        const Exact_Map merged = first.finish();
        EXPECT_EQ(merged.heights, whole.heights) << "size " << s;
        EXPECT_EQ(merged.below_plate, whole.below_plate);
        EXPECT_EQ(merged.cut, whole.cut);
        EXPECT_EQ(merged.non_finite, 1u);
        EXPECT_TRUE(whole.below_plate > 0 && whole.cut > 0) << "the mesh reaches both";
    }
}

}  // namespace
