// What the height-map window reads off a written map: a pixel's plate place
// and height, the legend, the whole scale, and the map read back from its file.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

#include "heightmap/height_map.h"
#include "heightmap/image_writer.h"
#include "app/map_file.h"
#include "heightmap/map_reading.h"
#include "support/temp_dir.h"

namespace {

using namespace map_reading;
using sizes::kImageCols;
using sizes::kImageRows;

// The capture sample at column i, row j (from the bottom) lies over plate
// x = i - 179.5, z = 74.5 - j (tests/gl/capture_test.cpp checks that against
// GL); wherever lay_out puts it, plate_place must say the same.
TEST(PlatePlace, FollowsTheLayoutBackToTheCapture) {
    const int samples[][2] = {{0, 0}, {359, 149}, {180, 75}, {17, 140}};
    for (const auto& s : samples) {
        std::vector<unsigned char> gray(sizes::kSamples, 0), image(sizes::kSamples, 0);
        gray[s[1] * sizes::kCaptureWidth + s[0]] = 1;
        height_map::lay_out(gray.data(), gray.size(), image.data(), image.size());
        const int at = static_cast<int>(std::find(image.begin(), image.end(), 1) - image.begin());
        const Plate_Place p = plate_place(at / kImageCols, at % kImageCols);
        EXPECT_DOUBLE_EQ(p.x, s[0] - 179.5) << s[0] << "," << s[1];
        EXPECT_DOUBLE_EQ(p.z, 74.5 - s[1]) << s[0] << "," << s[1];
    }
}

// A height h becomes the gray level the conversion gives it; reading that
// level back gives the fifth of a unit h lies in.
TEST(PixelHeight, ReadsBackTheConversionsLevel) {
    for (double h : {0.0, 0.19, 0.21, 3.47, 10.05, 50.99}) {
        const float depth = static_cast<float>(0.5 - h / 200);  // extent 100: 200 depth a unit
        unsigned char gray = 0;
        height_map::depth_to_gray(&depth, 1, 0.5, 100, &gray);
        EXPECT_LE(height_of(gray), h + 1e-6) << h;
        EXPECT_GT(height_of(gray) + 0.2, h) << h;
    }
    EXPECT_EQ(describe_pixel(180, 75, 17),
              "Row 180, column 75: plate x 0.5, z -0.5; 3.4 units above the plate (gray 17).");
    EXPECT_EQ(describe_pixel(0, 149, 0),
              "Row 0, column 149: plate x -179.5, z -74.5; on the plate or no model (gray 0).");
    EXPECT_EQ(describe_pixel(359, 0, 255),
              "Row 359, column 0: plate x 179.5, z 74.5; 51 units or more above the plate (gray "
              "255).");
}

TEST(Legend, EveryTenUnitsFromThePlateToTheCeiling) {
    const std::vector<Legend_Step> steps = legend_steps();
    const char* labels[] = {"plate or no model", "10 units", "20 units",        "30 units",
                            "40 units",          "50 units", "51 units or more"};
    const int grays[] = {0, 50, 100, 150, 200, 250, 255};
    ASSERT_EQ(steps.size(), 7u);
    for (std::size_t k = 0; k < steps.size(); ++k) {
        EXPECT_EQ(steps[k].gray, grays[k]);
        EXPECT_EQ(steps[k].label, labels[k]);
    }
}

TEST(WholeScale, LargestThatFitsAndNeverBelowOne) {
    EXPECT_EQ(whole_scale(1280, 1024, 230, 86), 2);                 // height decides
    EXPECT_EQ(whole_scale(3 * 360 + 86, 3 * 360 + 86, 86, 86), 3);  // just fits
    EXPECT_EQ(whole_scale(3 * 360 + 86, 3 * 360 + 85, 86, 86), 2);
    EXPECT_EQ(whole_scale(2 * 150 + 230 + 149, 4000, 230, 86), 2);  // width decides
    EXPECT_EQ(whole_scale(200, 300, 230, 86), 1);                   // a screen too small
}

TEST(ReadHeightMap, GivesTheFilesPixelsOrSaysWhyNot) {
    Temp_Dir dir;
    cv::Mat written(kImageRows, kImageCols, CV_8UC1);
    cv::randu(written, 0, 256);
    const std::string path = dir.file("map.bmp");
    ASSERT_TRUE(write_bmp_atomically(path.c_str(), written));
    std::vector<unsigned char> pixels;
    ASSERT_TRUE(read_height_map(path, pixels));
    ASSERT_EQ(pixels.size(), static_cast<std::size_t>(kImageRows * kImageCols));
    EXPECT_TRUE(std::equal(pixels.begin(), pixels.end(), written.begin<unsigned char>()));

    const auto reason = [&](const std::string& file) {
        pixels.assign(3, 7);
        const Status read = read_height_map(file, pixels);
        EXPECT_FALSE(read) << file;
        return read.reason();
    };
    EXPECT_EQ(reason(dir.file("missing.bmp")), "No such file or directory");
    std::ofstream(dir.file("notes.bmp")) << "not an image\n";
    EXPECT_EQ(reason(dir.file("notes.bmp")), "not an image that can be decoded");
    const cv::Mat colour(kImageRows, kImageCols, CV_8UC3, cv::Scalar(1, 2, 3));
    const cv::Mat small(kImageRows, kImageCols - 1, CV_8UC1, cv::Scalar(9));
    ASSERT_TRUE(cv::imwrite(dir.file("colour.bmp"), colour));
    ASSERT_TRUE(cv::imwrite(dir.file("small.bmp"), small));
    EXPECT_EQ(reason(dir.file("colour.bmp")),
              "a 150 x 360 image with 3 channel(s), not a 150 x 360 gray height map");
    EXPECT_EQ(reason(dir.file("small.bmp")),
              "a 149 x 360 image with 1 channel(s), not a 150 x 360 gray height map");
}

}  // namespace
