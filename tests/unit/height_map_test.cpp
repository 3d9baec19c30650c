#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "heightmap/bmp_name.h"
#include "heightmap/height_map.h"

namespace {

using namespace height_map;

constexpr double kExtent = 800.0 * 560.0;  // the window's initial view
constexpr double kPlate = 0.5 + 27.5 / (2 * kExtent);

// Depth of a surface h units above the plate at the top view.
float depth_at_height(double h) { return static_cast<float>(kPlate - h / (2 * kExtent)); }

struct Image {
    std::vector<unsigned char> cells = std::vector<unsigned char>(kImageRows * kImageCols, 0);
    unsigned char& at(int r, int c) { return cells[r * kImageCols + c]; }
};

TEST(DepthRange, ClearValueNeverBecomesMaxAndComparisonsAreStrict) {
    std::vector<float> d(kSamples, 1.0f);
    d[5] = 0.6f;
    d[9] = 0.4f;
    const Depth_Range r = depth_range(d.data(), d.size());
    EXPECT_DOUBLE_EQ(r.max_depth, 0.6f);
    EXPECT_DOUBLE_EQ(r.min_depth, 0.4f);
    const std::vector<float> empty(kSamples, 1.0f);
    const Depth_Range e = depth_range(empty.data(), empty.size());
    EXPECT_EQ(e.max_depth, 0.0);
    EXPECT_EQ(e.min_depth, 1.0);
}

TEST(DepthToGray, FiveLevelsPerUnitTruncatedAndClamped) {
    const float plate = static_cast<float>(kPlate);
    const std::vector<float> d = {plate, depth_at_height(22.5), depth_at_height(51),
                                  depth_at_height(80), 1.0f};
    std::vector<unsigned char> g(d.size());
    depth_to_gray(d.data(), d.size(), plate, kExtent, g.data());
    EXPECT_EQ(g[0], 0);
    EXPECT_EQ(g[1], 112);  // 112.5 truncated
    EXPECT_EQ(g[2], 255);
    EXPECT_EQ(g[3], 255);  // clamped, not wrapped
    EXPECT_EQ(g[4], 0);    // the clear value below the plate: 0, not a wrapped 255
}

TEST(Layout, QuarterTurnClockwise) {
    std::vector<unsigned char> gray(kSamples, 0);
    gray[0 * kCaptureWidth + 0] = 1;    // capture bottom-left
    gray[0 * kCaptureWidth + 359] = 2;  // bottom-right
    gray[149 * kCaptureWidth + 0] = 3;  // top-left
    gray[10 * kCaptureWidth + 20] = 4;  // column 20, row 10 from the bottom
    Image img;
    lay_out(gray.data(), img.cells.data());
    EXPECT_EQ(img.at(0, 0), 1);
    EXPECT_EQ(img.at(359, 0), 2);
    EXPECT_EQ(img.at(0, 149), 3);
    EXPECT_EQ(img.at(20, 10), 4);
}

void fill_block(Image& img, int r0, int c0, int value) {
    for (int r = r0 - 1; r <= r0 + 1; ++r)
        for (int c = c0 - 1; c <= c0 + 1; ++c) img.at(r, c) = value;
}

TEST(Pinholes, SevenNonzeroNeighboursFillSixDoNot) {
    Image img;
    fill_block(img, 100, 50, 100);
    img.at(100, 50) = 0;
    img.at(99, 49) = 0;  // seven of 100 left
    fill_pinholes(img.cells.data());
    EXPECT_EQ(img.at(100, 50), 100);

    Image six;
    fill_block(six, 100, 50, 100);
    six.at(100, 50) = 0;
    six.at(99, 49) = 0;
    six.at(99, 50) = 0;
    fill_pinholes(six.cells.data());
    EXPECT_EQ(six.at(100, 50), 0);
}

TEST(Pinholes, AverageTruncates) {
    Image img;
    fill_block(img, 200, 80, 10);
    img.at(200, 80) = 0;
    img.at(201, 81) = 13;  // (7 * 10 + 13) / 8 = 10.375
    fill_pinholes(img.cells.data());
    EXPECT_EQ(img.at(200, 80), 10);
}

TEST(Pinholes, HorizontalPairFilledLeftToRightInPlace) {
    Image img;
    for (int r = 99; r <= 101; ++r)
        for (int c = 49; c <= 52; ++c) img.at(r, c) = 80;
    img.at(100, 50) = img.at(100, 51) = 0;
    img.at(99, 52) = 10;  // only the right cell sees it
    fill_pinholes(img.cells.data());
    EXPECT_EQ(img.at(100, 50), 80);                 // seven neighbours of 80
    EXPECT_EQ(img.at(100, 51), (80 * 7 + 10) / 8);  // eight, the filled left one included
}

TEST(Pinholes, VerticalPairFilledBottomUp) {
    Image img;
    for (int r = 99; r <= 102; ++r)
        for (int c = 49; c <= 51; ++c) img.at(r, c) = 60;
    img.at(100, 50) = img.at(101, 50) = 0;
    img.at(99, 49) = 30;  // seen by the upper cell only
    fill_pinholes(img.cells.data());
    EXPECT_EQ(img.at(101, 50), 60);                 // lower one first, seven neighbours
    EXPECT_EQ(img.at(100, 50), (60 * 7 + 30) / 8);  // then the upper sees eight
}

TEST(Pinholes, BordersAreNeverChanged) {
    Image img;
    std::fill(img.cells.begin(), img.cells.end(), 90);
    img.at(0, 70) = img.at(359, 70) = img.at(180, 0) = img.at(180, 149) = 0;
    img.at(0, 0) = img.at(359, 149) = 0;
    fill_pinholes(img.cells.data());
    EXPECT_EQ(img.at(0, 70), 0);
    EXPECT_EQ(img.at(359, 70), 0);
    EXPECT_EQ(img.at(180, 0), 0);
    EXPECT_EQ(img.at(180, 149), 0);
    EXPECT_EQ(img.at(0, 0), 0);
    EXPECT_EQ(img.at(359, 149), 0);
}

TEST(BmpSuffix, ByteByByteRule) {
    const std::pair<const char*, const char*> cases[] = {{"scan", "scan.bmp"},
                                                         {"scan.bmp", "scan.bmp"},
                                                         {"scan.BMP", "scan.BMP.bmp"},
                                                         {"scan.bmpx", "scan.bmpx.bmp"},
                                                         {"bmp", "bmp.bmp"},
                                                         {".bmp", ".bmp"},
                                                         {"/tmp/a b/掃描", "/tmp/a b/掃描.bmp"}};
    for (const auto& c : cases) {
        char buf[500] = {};
        std::strcpy(buf, c.first);
        ASSERT_TRUE(apply_bmp_suffix(buf, sizeof buf));
        EXPECT_STREQ(buf, c.second);
    }
}

TEST(BmpSuffix, RefusesWhatDoesNotFitAndWritesNothing) {
    char buf[500];
    std::memset(buf, 'a', 496);
    buf[496] = '\0';
    buf[497] = buf[498] = buf[499] = 'z';
    EXPECT_FALSE(apply_bmp_suffix(buf, sizeof buf));
    EXPECT_EQ(buf[496], '\0');
    EXPECT_EQ(buf[499], 'z');
    buf[495] = '\0';  // 495 bytes + ".bmp" + zero = 500: just fits
    EXPECT_TRUE(apply_bmp_suffix(buf, sizeof buf));
    EXPECT_STREQ(buf + 495, ".bmp");
}

}  // namespace
