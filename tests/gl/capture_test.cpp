// Whole captures drawn offscreen and written to disk, checked pixel by pixel.
#include "support/offscreen_view.h"

#include <opencv2/imgcodecs.hpp>

#include "app/commands.h"
#include "support/temp_dir.h"
#include "support/model_bounds.h"

namespace {

// Flat-topped blocks over the plate, in plate-frame coordinates, so that
// every pixel of the capture can be worked out by hand.
struct Block {
    float x0, x1, z0, z1;  // footprint on the plate
    float height;          // top above the plate
};

// The blocks' tops, plus two degenerate facets whose first vertices put the
// middle of the bounds at the origin, so the model lands unmoved.
std::vector<Triangle> block_model(const std::vector<Block>& blocks) {
    std::vector<Triangle> t = {Triangle{{{-170, -40, -70}, {-170, -40, -70}, {-170, -40, -70}}},
                               Triangle{{{170, 40, 70}, {170, 40, 70}, {170, 40, 70}}}};
    for (const Block& b : blocks) {
        const float y = -22.5f + b.height;
        t.push_back(Triangle{{{b.x0, y, b.z0}, {b.x1, y, b.z0}, {b.x1, y, b.z1}}});
        t.push_back(Triangle{{{b.x1, y, b.z1}, {b.x0, y, b.z1}, {b.x0, y, b.z0}}});
    }
    return t;
}

// Cell (r, c) of the image lies over plate x = r - 179.5, z = 74.5 - c.
int expected_gray(const std::vector<Block>& blocks, int r, int c) {
    const float x = r - 179.5f, z = 74.5f - c;
    float h = 0;
    for (const Block& b : blocks)
        if (x > b.x0 && x < b.x1 && z > b.z0 && z < b.z1 && b.height > h) h = b.height;
    return std::min(static_cast<int>(h * 5), 255);
}

// Heights whose gray level lies half-way between two integers, so the
// quarter-level precision of a 24-bit depth buffer cannot tip the truncation.
const std::vector<Block> kBlocks = {
    {-100, -60, 20, 50, 10.1f},  // off-centre, toward -x and +z: 50
    {40, 120, -60, -10, 22.5f},  // 112
    {-20, 0, -30, -20, 60.0f},   // clamped: 255
};
// The 60-unit block, 20 x 10 pixels, is the only loss.
constexpr char kBlocksWarning[] =
    "WARNING: 200 pixels clipped at 255 (51 units or more above the plate)\n";

class Capture : public Offscreen_View_Test {
protected:
    void SetUp() override {
        Offscreen_View_Test::SetUp();
        std::vector<Triangle> blocks = block_model(kBlocks);
        const Model_Bounds bounds = first_vertex_bounds(blocks);
        view().set_model(std::move(blocks), bounds);
        frame();
    }
    // Arms a capture the way a completed Save command leaves it.
    void arm(const std::string& name) {
        answer_choosers_with({File_Chooser::Picked, (path_ = dir_.file(name)).c_str(), nullptr});
        save_bmp();
        ASSERT_TRUE(view().capture_pending);
    }
    std::pair<std::string, std::string> frames(int n) {
        return captured([&] { frame(n); });
    }
    cv::Mat image() { return cv::imread(path_, cv::IMREAD_UNCHANGED); }

    Temp_Dir dir_;
    std::string path_;
};

TEST_F(Capture, TenthTopViewFrameWritesTheExpectedHeightMapAndAFailedWriteSaysSo) {
    arm("blocks.bmp");
    EXPECT_EQ(frames(9).first, "");
    EXPECT_FALSE(exists(path_)) << "nine frames do not write";
    const auto [console, warnings] = frames(1);
    EXPECT_EQ(warnings, kBlocksWarning);
    EXPECT_FALSE(view().capture_pending);
    EXPECT_EQ(dir_.count_entries(), 1) << "no temporary file left";

    const cv::Mat img = image();
    ASSERT_EQ(img.type(), CV_8UC1);
    ASSERT_EQ(img.size(), cv::Size(150, 360));
    int wrong = 0;
    for (int r = 0; r < 360; ++r)
        for (int c = 0; c < 150; ++c)
            wrong += img.at<unsigned char>(r, c) != expected_gray(kBlocks, r, c);
    EXPECT_EQ(wrong, 0);

    // The plate's depth, the tallest block's (60 units up) and its height.
    const double plate = 0.5 + 27.5 / (2 * 800.0 * 560.0), top = plate - 60 / (2 * 800.0 * 560.0);
    const double length = std::stod(console.substr(console.rfind(' ', console.size() - 3)));
    EXPECT_NEAR(length, 60.0, 0.06);
    char expected[128];
    std::snprintf(expected, sizeof expected, "max %f \nmin %f \nreal length %f \n", plate, top,
                  length);
    EXPECT_EQ(console, expected);

    // A failed write: the quality line first, as it is printed before the write.
    ASSERT_EQ(mkdir(dir_.file("taken.bmp").c_str(), 0755), 0);
    arm("taken.bmp");
    EXPECT_EQ(frames(10).second, std::string(kBlocksWarning) + "ERROR: could not write \"" + path_ +
                                     "\": is a folder\n");
    EXPECT_FALSE(view().capture_pending);
    EXPECT_EQ(dir_.count_entries(), 2);
}

// No model, at an odd view size: the capture window sits off-centre, and its
// edge samples must still fall on the plate.
TEST_F(Capture, OnlyTopViewFramesCountAndArmingAgainRestarts) {
    view().clear_model();
    resize(801, 561);
    frame();
    arm("first.bmp");
    frame(5);
    view().elevation = 89.9f;
    frame(20);
    view().azimuth = 0.5f;
    view().elevation = 90;
    frame(20);
    EXPECT_EQ(view().frame_count, 5);
    top_view_cb(nullptr, nullptr);
    frame(4);
    EXPECT_EQ(dir_.count_entries(), 0);
    arm("second.bmp");
    frame(9);
    EXPECT_EQ(dir_.count_entries(), 0) << "the count starts again";
    const auto [console, warnings] = frames(1);
    EXPECT_NE(console.find("real length 0.000000 \n"), std::string::npos);
    EXPECT_EQ(warnings, "WARNING: no model is loaded: the map is all black\n");
    EXPECT_EQ(dir_.count_entries(), 1);
    ASSERT_FALSE(image().empty());
    EXPECT_EQ(cv::countNonZero(image()), 0) << "no clear samples wrapped into bright gray";
}

}  // namespace
