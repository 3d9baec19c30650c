// Height maps for CAM tools: the values read back as a CAM tool reads them
// (OpenCV's imread), and the scale stated in the file itself.
#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>
#include <tiffio.h>

#include <fstream>

#include "heightmap/map_files.h"
#include "support/temp_dir.h"

namespace {

cv::Mat decoded(const std::string& bytes) {
    const std::vector<unsigned char> data(bytes.begin(), bytes.end());
    return cv::imdecode(data, cv::IMREAD_UNCHANGED);
}

// A tEXt chunk holds "key\0value": the file states it for any reader.
bool has_text(const std::string& png, const std::string& key, const std::string& value) {
    return png.find(key + std::string(1, '\0') + value) != std::string::npos;
}

TEST(Map_Files, PngValuesReadBackExactlyWithTheirScale) {
    const int rows = 7, cols = 3;
    std::vector<std::uint8_t> eight(rows * cols);
    std::vector<std::uint16_t> sixteen(rows * cols);
    for (int k = 0; k < rows * cols; ++k) {
        eight[k] = static_cast<std::uint8_t>(k * 12);
        sixteen[k] = static_cast<std::uint16_t>(k * 3001 + 1);  // both bytes differ
    }
    std::string png8, png16;
    ASSERT_TRUE(map_files::encode_png8(eight.data(), rows, cols, {5, 1}, png8));
    ASSERT_TRUE(map_files::encode_png16(sixteen.data(), rows, cols, {100, 0.25}, png16));
    const cv::Mat a = decoded(png8), b = decoded(png16);
    ASSERT_EQ(a.type(), CV_8UC1);
    ASSERT_EQ(b.type(), CV_16UC1);
    ASSERT_EQ(a.size(), cv::Size(cols, rows));
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c) {
            EXPECT_EQ(a.at<std::uint8_t>(r, c), eight[r * cols + c]);
            EXPECT_EQ(b.at<std::uint16_t>(r, c), sixteen[r * cols + c]);
        }
    EXPECT_TRUE(has_text(png8, "levels-per-unit", "5"));
    EXPECT_TRUE(has_text(png16, "levels-per-unit", "100"));
    EXPECT_TRUE(has_text(png16, "pixel-size", "0.25"));
    EXPECT_TRUE(has_text(png16, "Description", map_files::description({100, 0.25})));
    EXPECT_NE(
        map_files::description({100, 0.25}).find("pixel (0, 0) is over x = -179.875, z = 74.875"),
        std::string::npos);
}

TEST(Map_Files, TiffHoldsFloatHeightsAndItsResolution) {
    const int rows = 4, cols = 5;
    std::vector<float> heights(rows * cols);
    for (int k = 0; k < rows * cols; ++k) heights[k] = 0.001f * static_cast<float>(k * k);
    std::string bytes;
    ASSERT_TRUE(map_files::encode_tiff(heights.data(), rows, cols, {1, 0.1, true}, bytes));
    const cv::Mat m = decoded(bytes);
    ASSERT_EQ(m.type(), CV_32FC1);
    ASSERT_EQ(m.size(), cv::Size(cols, rows));
    for (int k = 0; k < rows * cols; ++k) EXPECT_EQ(m.at<float>(k / cols, k % cols), heights[k]);

    Temp_Dir dir;
    std::ofstream(dir.file("m.tif"), std::ios::binary) << bytes;
    TIFF* tiff = TIFFOpen(dir.file("m.tif").c_str(), "r");
    ASSERT_NE(tiff, nullptr);
    float x_resolution = 0;
    char* text = nullptr;
    EXPECT_EQ(TIFFGetField(tiff, TIFFTAG_XRESOLUTION, &x_resolution), 1);
    EXPECT_FLOAT_EQ(x_resolution, 10.0f) << "pixels a unit";
    ASSERT_EQ(TIFFGetField(tiff, TIFFTAG_IMAGEDESCRIPTION, &text), 1);
    EXPECT_EQ(
        std::string(text).rfind("Veltrim height map: a value is the height in model units", 0), 0u)
        << text;
    TIFFClose(tiff);
}

}  // namespace
