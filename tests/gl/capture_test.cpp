// Whole captures drawn offscreen and written to disk, checked pixel by pixel.
#include "support/offscreen_view.h"

#include <opencv2/imgcodecs.hpp>

#include "app/commands.h"
#include "support/block_model.h"
#include "support/temp_dir.h"
#include "support/wavy_surface.h"

namespace {

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
        view().triangles = block_model(kBlocks);
        ++view().model_generation;
        view().set_bounds(first_vertex_bounds(view().triangles));
        frame();
    }

    // Arms a capture the way a completed Save command leaves it.
    void arm(const std::string& path) {
        Chooser_Record record;
        answer_choosers_with({0, path.c_str(), nullptr}, record);
        save_bmp();
        ASSERT_TRUE(view().capture_pending);
    }
    // n frames; returns what they printed {stdout, stderr}.
    std::pair<std::string, std::string> frames(int n) {
        return captured([&] { frame(n); });
    }

    Temp_Dir dir_;
};

TEST_F(Capture, TenthTopViewFrameWritesTheExpectedHeightMap) {
    const std::string path = dir_.file("blocks.bmp");
    arm(path);
    EXPECT_EQ(frames(9).first, "");
    EXPECT_FALSE(exists(path)) << "nine frames do not write";
    const auto [console, warnings] = frames(1);
    EXPECT_EQ(warnings, kBlocksWarning);
    ASSERT_TRUE(exists(path));
    EXPECT_FALSE(view().capture_pending);
    EXPECT_EQ(view().frame_count, 0);

    const cv::Mat img = cv::imread(path, cv::IMREAD_UNCHANGED);
    ASSERT_EQ(img.type(), CV_8UC1);
    ASSERT_EQ(img.cols, 150);
    ASSERT_EQ(img.rows, 360);
    int wrong = 0;
    for (int r = 0; r < 360; ++r)
        for (int c = 0; c < 150; ++c)
            if (img.at<unsigned char>(r, c) != expected_gray(kBlocks, r, c) && ++wrong < 5)
                ADD_FAILURE() << "cell " << r << "," << c << ": "
                              << int(img.at<unsigned char>(r, c)) << " expected "
                              << expected_gray(kBlocks, r, c);
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(img.at<unsigned char>(100, 40), 50) << "the -x block near the top, +z at the left";

    // The three lines, with their trailing blanks: the plate's depth, the
    // tallest block's (60 units up) and its height.
    const double plate = 0.5 + 27.5 / (2 * 800.0 * 560.0), top = plate - 60 / (2 * 800.0 * 560.0);
    char expected[128];
    std::snprintf(expected, sizeof expected, "max %f \nmin %f \nreal length ", plate, top);
    ASSERT_EQ(console.substr(0, std::strlen(expected)), expected) << console;
    EXPECT_NEAR(std::stod(console.substr(std::strlen(expected))), 60.0, 0.06);
    EXPECT_EQ(console.find('\n', std::strlen(expected)), console.size() - 1);
    EXPECT_EQ(console.substr(console.size() - 2), " \n");
    EXPECT_EQ(dir_.count_entries(), 1) << "no temporary file left";
}

TEST_F(Capture, FramesAwayFromTheTopViewNeitherCountNorReset) {
    const std::string path = dir_.file("a.bmp");
    arm(path);
    frame(5);
    view().elevation = 89.9f;
    frame(20);
    EXPECT_EQ(view().frame_count, 5);
    view().azimuth = 0.5f;
    view().elevation = 90;
    frame(20);
    EXPECT_EQ(view().frame_count, 5);
    EXPECT_FALSE(exists(path));
    top_view_cb(nullptr, nullptr);
    frames(4);
    EXPECT_FALSE(exists(path));
    frames(1);
    EXPECT_TRUE(exists(path)) << "the count went on from 5";
}

TEST_F(Capture, ArmingAgainRestartsTheCount) {
    arm(dir_.file("first.bmp"));
    frame(7);
    arm(dir_.file("second.bmp"));
    EXPECT_EQ(view().frame_count, 0);
    frame(9);
    EXPECT_EQ(dir_.count_entries(), 0);
    frames(1);
    EXPECT_TRUE(exists(dir_.file("second.bmp")));
    EXPECT_FALSE(exists(dir_.file("first.bmp")));
}

TEST_F(Capture, NoModelGivesAnAllZeroImageAndZeroRealLength) {
    view().triangles.clear();
    ++view().model_generation;
    arm(dir_.file("empty.bmp"));
    const std::string console = frames(10).first;
    const cv::Mat img = cv::imread(dir_.file("empty.bmp"), cv::IMREAD_UNCHANGED);
    ASSERT_FALSE(img.empty());
    EXPECT_EQ(cv::countNonZero(img), 0);
    EXPECT_NE(console.find("real length 0.000000 \n"), std::string::npos) << console;
}

TEST_F(Capture, OddViewSizeNeverWrapsClearSamplesIntoBrightGray) {
    resize(801, 561);
    frame();
    arm(dir_.file("odd.bmp"));
    frames(10);
    const cv::Mat img = cv::imread(dir_.file("odd.bmp"), cv::IMREAD_UNCHANGED);
    ASSERT_FALSE(img.empty());
    double hi;
    cv::minMaxLoc(img.row(0), nullptr, &hi);
    EXPECT_EQ(hi, 0) << "image row 0 lies on the plate's edge: 0, not 255";
    cv::minMaxLoc(img.col(0), nullptr, &hi);
    EXPECT_EQ(hi, 0);
}

TEST_F(Capture, FailedWriteSaysSoKeepsWhatIsThereAndDisarms) {
    const std::string path = dir_.file("taken.bmp");
    ASSERT_EQ(mkdir(path.c_str(), 0755), 0);
    arm(path);
    const std::string err = frames(10).second;
    // The quality line of the blocks comes first: it is printed before the write.
    EXPECT_EQ(err, std::string(kBlocksWarning) + "ERROR: could not write \"" + path +
                       "\": is a folder\n");
    EXPECT_FALSE(view().capture_pending);
    EXPECT_EQ(dir_.count_entries(), 1);
}

}  // namespace
