// The frame sequence drawn offscreen: matrices, pending navigation, depth
// readback and the preset commands.
#include "support/offscreen_view.h"

#include "app/commands.h"
#include "view/frame.h"

namespace {

constexpr double kExtent = 800.0 * 560.0;
constexpr double kDepthStep = 1.0 / 16777215.0;  // one step of a 24-bit depth buffer

// The view rotation, written out by hand: about X by elevation after about
// Y by azimuth, column-major.
void expected_view_rotation(double elevation, double azimuth, double* m) {
    const double a = elevation * M_PI / 180, b = azimuth * M_PI / 180;
    const double ca = std::cos(a), sa = std::sin(a), cb = std::cos(b), sb = std::sin(b);
    const double rows[3][3] = {{cb, 0, sb}, {sa * sb, ca, -sa * cb}, {-ca * sb, sa, ca * cb}};
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) m[c * 4 + r] = (r < 3 && c < 3) ? rows[r][c] : (r == c ? 1 : 0);
}

void expect_matrix_near(const double* actual, const double* expected) {
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(actual[i], expected[i], 1e-6) << "element " << i;
}

using ViewFrame = Offscreen_View_Test;

TEST_F(ViewFrame, FirstFrameDrawsUnturnedThenTheInitialViewFollows) {
    frame();
    EXPECT_TRUE(is_identity(view().model_matrix));
    EXPECT_TRUE(is_identity(view().saved_modelview)) << "first frame draws the model unturned";
    EXPECT_EQ(view().depth_extent, kExtent);
    double expected[16];
    expected_view_rotation(20, -30, expected);
    expect_matrix_near(view().view_matrix, expected);
    frame();
    expect_matrix_near(view().saved_modelview, expected);
    EXPECT_TRUE(is_identity(view().model_matrix));
}

TEST_F(ViewFrame, PendingStepsApplyExactlyOnceAndZeroAngleWithZeroAxisChangesNothing) {
    frame();
    view().spin_angle = 0;  // the zero axis stands before the first drag
    frame(3);
    EXPECT_TRUE(is_identity(view().model_matrix));

    view().pan_vector[0] = 2;
    view().pan_vector[1] = -1;
    view().pan_amount = 3;
    frame();
    EXPECT_EQ(view().pan_amount, 0.0f);
    EXPECT_DOUBLE_EQ(view().model_matrix[12], 6);
    EXPECT_DOUBLE_EQ(view().model_matrix[13], -3);
    frame(2);
    EXPECT_DOUBLE_EQ(view().model_matrix[12], 6) << "applied once, not every frame";

    view().spin_axis[2] = 5;
    view().spin_angle = 90;
    frame(3);
    EXPECT_EQ(view().spin_angle, 0.0f);
    EXPECT_NEAR(view().model_matrix[0], 0, 1e-6);  // x turned onto y: a quarter turn, once
    EXPECT_NEAR(view().model_matrix[1], 1, 1e-6);
    EXPECT_DOUBLE_EQ(view().model_matrix[12], 6) << "the turn acts in the model's own frame";
}

TEST_F(ViewFrame, TopViewWithoutModelReadsThePlateOnlyNeverBoxOrAxes) {
    top_view_cb(nullptr, nullptr);
    frame(2);
    const double plate = 0.5 + 27.5 / (2 * kExtent);
    int off = 0;
    for (int k = 0; k < 360 * 150; ++k)
        if (std::fabs(view().depth_samples[k] - plate) > kDepthStep) ++off;
    EXPECT_EQ(off, 0) << "the axes lie 22.5 above the plate and the box edges around it";
}

TEST_F(ViewFrame, ModelAndPlateReachTheDepthSamples) {
    // A large square 10 units above the plate, in the middle of the window.
    view().triangles = {Triangle{{{-50, 0, -50}, {50, 0, -50}, {50, 0, 50}}},
                        Triangle{{{50, 0, 50}, {-50, 0, 50}, {-50, 0, -50}}}};
    ++view().model_generation;
    view().set_bounds(Model_Bounds{50, -50, 10, -10, 50, -50});  // centre at y 0
    top_view_cb(nullptr, nullptr);
    frame(2);
    const double plate = 0.5 + 27.5 / (2 * kExtent);
    const double top = plate - 22.5 / (2 * kExtent);
    EXPECT_NEAR(view().depth_samples[75 * 360 + 180], top, kDepthStep);
    EXPECT_NEAR(view().depth_samples[0], plate, kDepthStep);
}

TEST_F(ViewFrame, CaptureWindowCornerAndOddWidths) {
    EXPECT_EQ(capture_x0(800), 220);
    EXPECT_EQ(capture_y0(560), 205);
    EXPECT_EQ(capture_x0(801), 220);
    EXPECT_EQ(capture_y0(151), 0);
    resize(801, 561);
    top_view_cb(nullptr, nullptr);
    frame(2);
    EXPECT_EQ(view().depth_extent, 801.0 * 561.0);
    // Every sample is the plate or, on the edges the plate runs through, the
    // clear value; nothing else reaches the readback.
    const double plate = 0.5 + 27.5 / (2 * view().depth_extent);
    for (int k = 0; k < 360 * 150; ++k) {
        const float d = view().depth_samples[k];
        ASSERT_TRUE(std::fabs(d - plate) <= kDepthStep || d == 1.0f) << k << " " << d;
    }
}

TEST_F(ViewFrame, ProbeReadsTheClearValue) {
    view().probe_x = 400;
    view().probe_y = 300;
    frame(2);
    EXPECT_EQ(view().probe_depth, 1.0f);
    view().probe_x = 3;
    view().probe_y = 550;
    frame();
    EXPECT_EQ(view().probe_depth, 1.0f);
}

TEST_F(ViewFrame, PresetsSetExactAnglesAndLeaveTheModelMatrix) {
    frame();
    view().spin_axis[0] = 1;
    view().spin_angle = 30;
    frame();
    double turned[16];
    std::copy(view().model_matrix, view().model_matrix + 16, turned);
    side_view_cb(nullptr, nullptr);
    EXPECT_EQ(view().azimuth, 90.0f);
    EXPECT_EQ(view().elevation, 0.0f);
    front_view_cb(nullptr, nullptr);
    EXPECT_EQ(view().azimuth, 0.0f);
    EXPECT_EQ(view().elevation, 0.0f);
    top_view_cb(nullptr, nullptr);
    EXPECT_EQ(view().azimuth, 0.0f);
    EXPECT_EQ(view().elevation, 90.0f);
    frame();
    EXPECT_TRUE(std::equal(turned, turned + 16, view().model_matrix));
}

TEST_F(ViewFrame, ResetRotationAfterSideViewKeepsTheViewAndRestoresTheLoadedPose) {
    frame();
    view().spin_axis[1] = 1;
    view().spin_angle = 45;
    view().pan_vector[0] = 1;
    view().pan_amount = 10;
    side_view_cb(nullptr, nullptr);
    frame(2);
    ASSERT_FALSE(is_identity(view().model_matrix));
    reset_rotation_cb(nullptr, nullptr);
    EXPECT_TRUE(is_identity(view().model_matrix));
    EXPECT_TRUE(is_identity(view().view_matrix));
    EXPECT_EQ(view().azimuth, 90.0f);
    EXPECT_EQ(view().elevation, 0.0f);
    frame();
    EXPECT_TRUE(is_identity(view().saved_modelview))
        << "the first frame after the reset is unturned";
    double side[16];
    expected_view_rotation(0, 90, side);
    frame();
    expect_matrix_near(view().saved_modelview, side);
}

TEST_F(ViewFrame, ResizeRunsTheSetUpAgainAndKeepsTheMatrices) {
    frame();
    view().pan_vector[1] = 4;
    view().pan_amount = 1;
    frame();
    resize(640, 480);
    frame();
    EXPECT_EQ(view().depth_extent, 640.0 * 480.0);
    EXPECT_DOUBLE_EQ(view().model_matrix[13], 4);
    EXPECT_EQ(view().saved_viewport[2], 640);
    EXPECT_EQ(view().saved_viewport[3], 480);
}

TEST_F(ViewFrame, ViewSmallerThanTheCaptureWindowStillReadsSafely) {
    resize(100, 60);
    frame(3);
    EXPECT_EQ(view().depth_extent, 6000.0);
}

}  // namespace
