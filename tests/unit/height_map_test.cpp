// Depth samples to gray levels, the image layout and pinholes, the values of
// a conversion, the name suffix, and what a capture lost.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "heightmap/bmp_name.h"
#include "heightmap/conversion.h"
#include "heightmap/height_map.h"
#include "heightmap/quality.h"

namespace {

using namespace height_map;

const double kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

TEST(DepthRange, ClearValueNeverBecomesMaxAndComparisonsAreStrict) {
    std::vector<float> d(kSamples, 1.0f);
    Depth_Range r = depth_range(d.data(), d.size());
    EXPECT_EQ(r.max_depth, 0.0);
    EXPECT_EQ(r.min_depth, 1.0);
    d[5] = 0.6f;
    d[9] = 0.4f;
    r = depth_range(d.data(), d.size());
    EXPECT_DOUBLE_EQ(r.max_depth, 0.6f);
    EXPECT_DOUBLE_EQ(r.min_depth, 0.4f);
}

// Level = (max_depth - d) x extent x 2 x 5. With max_depth 0.5 and extent
// 100 a level is (0.5 - d) x 1000, exact enough in float to sit far from an
// integer: 12.6 must give 12, not 13.
TEST(DepthToGray, FiveLevelsPerUnitTruncatedAndClamped) {
    const struct {
        float depth;
        int gray;
    } cases[] = {
        {0.5f, 0},    {0.4874f, 12}, {0.4879f, 12}, {0.375f, 125}, {0.2445f, 255},
        {0.24f, 255}, {-3.0f, 255},  {0.6f, 0},     {1.0f, 0}};  // farther than the plate: 0, not wrapped
    for (const auto& c : cases) {
        unsigned char g = 77;  // any value the conversion must overwrite
        depth_to_gray(&c.depth, 1, 0.5, 100, &g);
        EXPECT_EQ(g, c.gray) << "depth " << c.depth;
    }
}

TEST(Layout, QuarterTurnClockwise) {
    std::vector<unsigned char> gray(kSamples, 0), img(kSamples, 0);
    // (capture row from the bottom, column) -> (image row, column)
    const int cases[4][4] = {{0, 0, 0, 0}, {0, 359, 359, 0}, {149, 0, 0, 149}, {10, 20, 20, 10}};
    for (int k = 0; k < 4; ++k) gray[cases[k][0] * kCaptureWidth + cases[k][1]] = k + 1;
    lay_out(gray.data(), gray.size(), img.data(), img.size());
    for (int k = 0; k < 4; ++k) EXPECT_EQ(img[cases[k][2] * kImageCols + cases[k][3]], k + 1) << k;
}

struct Cell {
    int r, c, value;
};

// Each case: a 3 x 3 block of `fill` around (r, c) (a whole image of it when
// r is -1), then the cells put over it; after the pass the checked cells must
// hold their values.
struct Pinhole_Case {
    const char* what;
    int r, c, fill;
    std::vector<Cell> put, expect;
};

TEST(Pinholes, FillRuleOrderAndBorders) {
    // clang-format off
    const Pinhole_Case cases[] = {
        {"seven nonzero neighbours fill", 100, 50, 100, {{100, 50, 0}, {99, 49, 0}}, {{100, 50, 100}}},
        {"six do not", 100, 50, 100, {{100, 50, 0}, {99, 49, 0}, {99, 50, 0}}, {{100, 50, 0}}},
        {"the mean truncates (10.6)", 200, 80, 10, {{200, 80, 0}, {201, 81, 15}}, {{200, 80, 10}}},
        {"left to right, in place", 100, 50, 80,
         {{100, 50, 0}, {100, 51, 0}, {99, 52, 10}, {100, 52, 80}, {101, 52, 80}},
         {{100, 50, 80}, {100, 51, (80 * 7 + 10) / 8}}},
        {"bottom up, in place", 100, 50, 60,
         {{102, 49, 60}, {102, 50, 60}, {102, 51, 60}, {101, 50, 0}, {100, 50, 0}, {99, 49, 30}},
         {{101, 50, 60}, {100, 50, (60 * 7 + 30) / 8}}},
        {"borders never change", -1, 0, 90,
         {{0, 70, 0}, {359, 70, 0}, {180, 0, 0}, {180, 149, 0}, {0, 0, 0}, {359, 149, 0}},
         {{0, 70, 0}, {359, 70, 0}, {180, 0, 0}, {180, 149, 0}, {0, 0, 0}, {359, 149, 0}}},
    };
    // clang-format on
    for (const Pinhole_Case& t : cases) {
        std::vector<unsigned char> img(kSamples, t.r < 0 ? t.fill : 0);
        for (int r = t.r - 1; t.r >= 0 && r <= t.r + 1; ++r)
            for (int c = t.c - 1; c <= t.c + 1; ++c) img[r * kImageCols + c] = t.fill;
        for (const Cell& p : t.put) img[p.r * kImageCols + p.c] = p.value;
        fill_pinholes(img.data(), img.size());
        for (const Cell& p : t.expect)
            EXPECT_EQ(img[p.r * kImageCols + p.c], p.value)
                << t.what << " at " << p.r << "," << p.c;
    }
}

// The values both programs print and show come from the samples the image
// is made of: one range, and the height of the top above the plate.
TEST(ConvertDepth, GivesTheRangeAndHeightOfTheImagesSamples) {
    std::vector<float> depth(kSamples, 1.0f);                         // nothing drawn
    std::fill_n(depth.begin() + kCaptureWidth, kCaptureWidth, 0.5f);  // the plate: row 1
    depth[kCaptureWidth + 20] = 0.4874f;                              // 12.6 levels up
    std::vector<unsigned char> gray(kSamples, 7), image(kSamples, 7);
    const Converted_Depth d = convert_depth(depth.data(), depth.size(), 100, gray.data(),
                                            gray.size(), image.data(), image.size());
    EXPECT_EQ(d.range.max_depth, 0.5);
    EXPECT_EQ(d.range.min_depth, static_cast<double>(0.4874f));
    EXPECT_DOUBLE_EQ(d.real_length, (0.5 - 0.4874f) * 200);
    EXPECT_EQ(image[20 * kImageCols + 1], 12) << "the same sample's gray level, laid out";
    EXPECT_EQ(depth_lines(d), (std::vector<std::string>{"max 0.500000 ", "min 0.487400 ",
                                                        "real length 2.520001 "}));
    const std::size_t n = kSamples, s = kSamples - 1;
    EXPECT_DEATH(convert_depth(depth.data(), s, 100, gray.data(), n, image.data(), n),
                 "the depth samples: 53999 values");
    EXPECT_DEATH(convert_depth(depth.data(), n, 100, gray.data(), s, image.data(), n),
                 "the gray samples: 53999 values");
    EXPECT_DEATH(convert_depth(depth.data(), n, 100, gray.data(), n, image.data(), s),
                 "the height map: 53999 values");
}

// Only what occurred, in one order, "; " between.
TEST(Quality, DescribedByWhatOccurred) {
    EXPECT_EQ(describe(Quality{}), "");
    EXPECT_EQ(
        describe(Quality{3, 5, 4, false}),
        "3 pixels clipped at 255 (51 units or more above the plate); 5 pixels of the model on "
        "the capture border (cut off); 4 pixels with part of the model below the plate "
        "(hidden)");
    EXPECT_EQ(describe(Quality{0, 1, 0, true}),
              "1 pixels of the model on the capture border (cut off); the capture holds no model "
              "pixel (the model lies outside the capture window)");
}

TEST(BmpSuffix, ByteByByteRule) {
    // clang-format off
    const std::pair<const char*, const char*> cases[] = {
        {"scan", "scan.bmp"}, {"scan.bmp", "scan.bmp"}, {"scan.BMP", "scan.BMP.bmp"},
        {"scan.bmpx", "scan.bmpx.bmp"}, {"scan.bmq", "scan.bmq.bmp"}, {"scanxbmp", "scanxbmp.bmp"},
        {"bmp", "bmp.bmp"}, {".bmp", ".bmp"}, {"/tmp/a b/掃描", "/tmp/a b/掃描.bmp"}};
    // clang-format on
    for (const auto& c : cases) {
        char buf[500] = {};
        std::strcpy(buf, c.first);
        ASSERT_TRUE(apply_bmp_suffix(buf, sizeof buf));
        EXPECT_STREQ(buf, c.second);
    }
}

TEST(Quality, PixelsUnderTheModelBelowThePlateAreCounted) {
    const double lowered[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, -30, 0, 1},
                 far_out[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 500, -30, 0, 1};
    // Pixel centres at x = i - 179.5 and z = 74.5 - j: 10 x 10 under the square.
    const struct Case {
        const char* name;
        float y;
        const double (&to_plate)[16];
        int below;
    } cases[] = {{"above", 0, kIdentity, 0},
                 {"on the plate", -22.5f, kIdentity, 0},
                 {"a hair under it: rounding", -22.505f, kIdentity, 0},
                 {"under it", -23, kIdentity, 100},
                 {"moved under it", 0, lowered, 100},
                 {"outside the window", 0, far_out, 0}};
    for (const Case& c : cases) {
        // A square of two facets over plate x 0..10, z 0..10 at height y,
        // moved by `to_plate` (column-major).
        const float y = c.y, f[] = {0, y, 0, 10, y, 0, 10, y, 10, 10, y, 10, 0, y, 10, 0, y, 0};
        EXPECT_EQ(height_map::count_below_plate(f, 2, c.to_plate), c.below) << c.name;
    }
    // A facet sloping through the plate: only the part under it counts.
    const std::vector<float> slope = {0,  -32.5f, 0, 20, -12.5f, 0, 20, -12.5f, 1,
                                      20, -12.5f, 1, 0,  -32.5f, 1, 0,  -32.5f, 0};
    EXPECT_EQ(height_map::count_below_plate(slope.data(), 2, kIdentity), 10) << "x 0..10 of 0..20";
}

// The count of one facet as first written, a barycentric test on every
// pixel centre of its bounds: the reference the row spans must match.
int below_by_pixel(const float* t) {
    const double limit = -22.5 - 0.01;
    const double ia = t[0] + 179.5, ib = t[3] + 179.5, ic = t[6] + 179.5;
    const double ja = 74.5 - t[2], jb = 74.5 - t[5], jc = 74.5 - t[8];
    const double area = (ib - ia) * (jc - ja) - (ic - ia) * (jb - ja);
    if (area == 0.0 || (t[1] >= limit && t[4] >= limit && t[7] >= limit)) return 0;
    int n = 0;
    for (int j = std::max(0.0, std::ceil(std::min({ja, jb, jc})));
         j <= std::min(149.0, std::floor(std::max({ja, jb, jc}))); ++j)
        for (int i = std::max(0.0, std::ceil(std::min({ia, ib, ic})));
             i <= std::min(359.0, std::floor(std::max({ia, ib, ic}))); ++i) {
            const double wa = ((ib - i) * (jc - j) - (ic - i) * (jb - j)) / area;
            const double wb = ((ic - i) * (ja - j) - (ia - i) * (jc - j)) / area;
            const double wc = 1.0 - wa - wb;
            n += wa >= 0 && wb >= 0 && wc >= 0 && wa * t[1] + wb * t[4] + wc * t[7] < limit;
        }
    return n;
}

// Random facets of every shape, many with corners on pixel centres so that
// edges run through them, sloping through the plate.
TEST(Quality, RowSpansCountExactlyThePixelsThePerPixelTestCounts) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> unit;
    auto uniform = [&](double lo, double hi) { return lo + (hi - lo) * unit(random); };
    int counted = 0;
    for (int k = 0; k < 4000; ++k) {
        float t[9];
        const double size = k % 4 == 0 ? 2 : k % 4 == 1 ? 40 : 400;
        for (int v = 0; v < 3; ++v) {
            t[3 * v] = static_cast<float>(uniform(-200, 200 - size) + uniform(0, size));
            t[3 * v + 1] = static_cast<float>(uniform(-40, -5));
            t[3 * v + 2] = static_cast<float>(uniform(-90, 90 - size) + uniform(0, size));
            if (k % 3 == 0) {  // on pixel centres
                t[3 * v] = std::round(t[3 * v]) + 0.5f;
                t[3 * v + 2] = std::round(t[3 * v + 2]) + 0.5f;
            }
        }
        if (k % 5 == 0) {  // a sliver: the third corner near the first edge
            const double u = uniform(0, 1), off = k % 10 == 0 ? 1e-4 : 0;
            for (int a : {0, 2}) t[6 + a] = static_cast<float>(t[a] + u * (t[3 + a] - t[a]) + off);
        }
        if (k % 7 == 0) t[5] = t[2];  // an edge along a row
        const int want = below_by_pixel(t);
        counted += want;
        ASSERT_EQ(height_map::count_below_plate(t, 1, kIdentity), want) << "facet " << k;
    }
    EXPECT_GT(counted, 1000000) << "most facets reach under the plate";
}

}  // namespace
