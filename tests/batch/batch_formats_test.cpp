// Height maps for the mill: PNG with the BMP's pixels, and precise png16 and
// tiff maps from the facets, checked against the BMP of the same insoles.
#include <gtest/gtest.h>

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

#include "batch/batch_run.h"
#include "model/stl_file.h"

namespace {

using Batch_Formats = Batch_Test;

cv::Mat image(const std::string& path) { return cv::imread(path, cv::IMREAD_UNCHANGED); }

TEST_F(Batch_Formats, OptionsThatMakeNoMapAreUsageErrors) {
    put(dir_.file("a.stl"), insole_bytes(500, 1));
    const std::string a = dir_.file("a.stl");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--pixel-size", "0.5", a},
          {"--format", "png", "--levels-per-unit", "10", a},
          {"--format", "png16", "--pixel-size", "0.7", a},
          {"--format", "tiff", "--levels-per-unit", "10", a},
          {"--format", "png16", "--levels-per-unit", "1001", a},
          {"--format", "2", a}}) {  // a format's number is no name
        const Batch_Run r = run_batch(args);
        EXPECT_EQ(r.status, 2) << args[0] << " " << args[1] << " " << args[2] << ": " << r.err;
    }
    EXPECT_TRUE(files_in(dir_.path()) == std::vector<std::string>{"a.stl"});
}

// The highest surface over each pixel centre of a model placed as the
// window places it (centred on its first vertices' bounds, unturned, the
// plate's top at -22.5), found the plain way: every facet whose box holds
// the centre, by barycentric coordinates with its edges included.
std::vector<double> exact_heights(const std::string& path) {
    std::vector<Triangle> facets;
    Model_Bounds b;
    Stl_Report report;
    EXPECT_TRUE(read_stl_file(path.c_str(), facets, b, report));
    const double cx = (b.max_x + b.min_x) / 2.0, cy = (b.max_y + b.min_y) / 2.0,
                 cz = (b.max_z + b.min_z) / 2.0;
    std::vector<double> top(360 * 150, 0.0);
    for (const Triangle& t : facets) {
        double x[3], y[3], z[3];
        for (int v = 0; v < 3; ++v)
            x[v] = t.v[v][0] - cx, y[v] = t.v[v][1] - cy + 22.5, z[v] = t.v[v][2] - cz;
        const double det = (x[1] - x[0]) * (z[2] - z[0]) - (x[2] - x[0]) * (z[1] - z[0]);
        if (det == 0) continue;
        const int r0 = std::max(0, int(std::ceil(std::min({x[0], x[1], x[2]}) + 179.5)));
        const int r1 = std::min(359, int(std::floor(std::max({x[0], x[1], x[2]}) + 179.5)));
        const int c0 = std::max(0, int(std::ceil(74.5 - std::max({z[0], z[1], z[2]}))));
        const int c1 = std::min(149, int(std::floor(74.5 - std::min({z[0], z[1], z[2]}))));
        for (int r = r0; r <= r1; ++r)
            for (int c = c0; c <= c1; ++c) {
                const double px = r - 179.5, pz = 74.5 - c;
                const double a = ((x[1] - px) * (z[2] - pz) - (x[2] - px) * (z[1] - pz)) / det;
                const double bb = ((x[2] - px) * (z[0] - pz) - (x[0] - px) * (z[2] - pz)) / det;
                const double g = 1 - a - bb;
                if (a < 0 || bb < 0 || g < 0) continue;
                top[r * 150 + c] = std::max(top[r * 150 + c], a * y[0] + bb * y[1] + g * y[2]);
            }
    }
    return top;
}

// The samples: png is the BMP's pixels; png16 at five levels a unit is the
// BMP's levels but for the depth buffer's rounding, and made with one job,
// whose facets are shared out between the cores; tiff holds the heights.
TEST_F(Batch_Formats, EachFormatAgreesWithTheBmpOfTheSameInsole) {
    const std::string samples = VELTRIM_SAMPLES, csv = dir_.file("r.csv");
    ASSERT_EQ(run_batch({"-o", dir_.file("bmp"), samples}).status, 0);
    ASSERT_EQ(run_batch({"--format", "png", "-o", dir_.file("png"), samples}).status, 0);
    ASSERT_EQ(run_batch({"-j", "1", "--format", "png16", "--levels-per-unit", "5", "-o",
                         dir_.file("p16"), samples})
                  .status,
              0);
    const Batch_Run tiff = run_batch({"--format", "tiff", "--pixel-size", "0.25", "--report", csv,
                                      "-o", dir_.file("tif"), samples});
    ASSERT_EQ(tiff.status, 0) << tiff.err;
    EXPECT_EQ(count_lines_with(slurp(csv), ",tiff,0.25\r"),
              static_cast<int>(files_in(dir_.file("tif")).size()))
        << slurp(csv);
    for (const std::string& bmp_name : files_in(dir_.file("bmp"))) {
        const std::string stem = bmp_name.substr(0, bmp_name.size() - 4);
        const cv::Mat bmp = image(dir_.file("bmp/" + bmp_name));
        const cv::Mat png = image(dir_.file("png/" + stem + ".png"));
        const cv::Mat p16 = image(dir_.file("p16/" + stem + ".png"));
        const cv::Mat tif = image(dir_.file("tif/" + stem + ".tif"));
        ASSERT_EQ(png.type(), CV_8UC1) << stem;
        EXPECT_EQ(cv::norm(bmp, png, cv::NORM_INF), 0) << stem << ": png is not the bmp's pixels";
        ASSERT_EQ(p16.type(), CV_16UC1) << stem;
        ASSERT_EQ(p16.size(), bmp.size()) << stem;
        ASSERT_EQ(tif.type(), CV_32FC1) << stem;
        ASSERT_EQ(tif.size(), cv::Size(600, 1440)) << stem;
        int inside = 0, equal = 0, far = 0;
        for (int r = 1; r + 1 < bmp.rows; ++r)
            for (int c = 1; c + 1 < bmp.cols; ++c) {
                // The outline: the model's edge, where a pixel centre and the
                // depth buffer's sample may fall on either side.
                bool edge = false;
                for (int dr = -1; dr <= 1; ++dr)
                    for (int dc = -1; dc <= 1; ++dc)
                        edge = edge || (bmp.at<std::uint8_t>(r + dr, c + dc) == 0) !=
                                           (bmp.at<std::uint8_t>(r, c) == 0);
                if (edge) continue;
                const int precise = std::min(255, static_cast<int>(p16.at<std::uint16_t>(r, c)));
                const int level = bmp.at<std::uint8_t>(r, c);
                ++inside;
                equal += precise == level;
                far += std::abs(precise - level) > 1;
            }
        EXPECT_EQ(far, 0) << stem << ": more than a level from the bmp";
        EXPECT_GE(equal, inside * 0.94) << stem << ": " << equal << " of " << inside << " equal";
        // The highest point, five levels a unit: the bmp's top level, and
        // within the finer grid's reach in the tiff.
        double bmp_top = 0, p16_top = 0, tif_top = 0;
        cv::minMaxLoc(bmp, nullptr, &bmp_top);
        cv::minMaxLoc(p16, nullptr, &p16_top);
        cv::minMaxLoc(tif, nullptr, &tif_top);
        EXPECT_NEAR(p16_top, bmp_top, 1) << stem;
        EXPECT_NEAR(tif_top * 5, bmp_top, 2) << stem;
        // The png16 is the exactly truncated heights, which the depth buffer
        // misses on a few per cent of pixels.
        const std::vector<double> exact = exact_heights(samples + "/" + stem + ".stl");
        int exact_equal = 0;
        for (int k = 0; k < 360 * 150; ++k)
            exact_equal += std::min(255, int(p16.at<std::uint16_t>(k / 150, k % 150))) ==
                           std::min(255, int(std::floor(exact[k] * 5)));
        EXPECT_GE(exact_equal, 0.995 * 360 * 150) << stem << ": " << exact_equal << " exact";
    }
}

// A strip longer than the plate: the precise map is cut where the bmp is
// (the bounds come from each facet's first vertex, both at x = -200 here,
// so the strip reaches past one end only), and --strict keeps it back.
TEST_F(Batch_Formats, APreciseMapWarnsAndStrictHoldsItBack) {
    const std::vector<Triangle> strip = {{{{-200, 0, -5}, {200, 0, -5}, {200, 0, 5}}},
                                         {{{-200, 0, -5}, {200, 0, 5}, {-200, 0, 5}}}};
    put(dir_.file("long.stl"), stl_bytes::binary(strip));
    const std::string cut = "long.stl: WARNING: 10 pixels of the model on the capture border";
    EXPECT_EQ(run_batch({dir_.file("long.stl")}).lines_with(cut), 1);
    const Batch_Run r = run_batch({"--format", "png16", dir_.file("long.stl")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.lines_with(cut), 1) << r.err;
    ASSERT_EQ(unlink(dir_.file("long.png").c_str()), 0);
    const Batch_Run strict = run_batch({"--format", "tiff", "--strict", dir_.file("long.stl")});
    EXPECT_EQ(strict.status, 1) << strict.err;
    EXPECT_EQ(strict.lines_with("not written (--strict)"), 1) << strict.err;
    EXPECT_FALSE(exists(dir_.file("long.tif")));
}

}  // namespace
