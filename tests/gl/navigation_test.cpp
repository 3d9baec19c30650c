// Mouse navigation fed with synthetic FLTK events, then drawn offscreen.
#include "support/offscreen_view.h"

namespace {

using Navigation = Offscreen_View_Test;

std::string capture_stdout(const std::function<void()>& f) {
    testing::internal::CaptureStdout();
    f();
    return testing::internal::GetCapturedStdout();
}

int count_of(const std::string& text, const std::string& what) {
    int n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

bool finite(const double* m, int n) {
    for (int i = 0; i < n; ++i)
        if (!std::isfinite(m[i])) return false;
    return true;
}

// Eye-space direction of a model-space vector under the last frame's snapshot.
void to_eye(const double* modelview, const float* v, double* out) {
    for (int r = 0; r < 3; ++r)
        out[r] = modelview[r] * v[0] + modelview[4 + r] * v[1] + modelview[8 + r] * v[2];
}

TEST_F(Navigation, PressLinesAndReturnValues) {
    frame();
    const std::string out = capture_stdout([&] {
        EXPECT_EQ(event(FL_PUSH, 10, 10, 1), 1);
        EXPECT_EQ(event(FL_PUSH, 10, 10, 2), 1);
        EXPECT_EQ(event(FL_PUSH, 10, 10, 3), 1);
        EXPECT_EQ(event(FL_PUSH, 10, 10, 4), 1);
        EXPECT_EQ(event(FL_MOVE, 20, 30), 1);
        EXPECT_EQ(event(FL_MOUSEWHEEL, 20, 30), 1);
    });
    EXPECT_EQ(out, "left mouse click \nmiddle mouse click \nright mouse click \n");
    EXPECT_EQ(view().last_x, 20);
    EXPECT_EQ(view().last_y, 30);
    event(FL_RELEASE, 90, 90, 1);  // passed on to the GL window, pointer not recorded
    EXPECT_EQ(view().last_x, 20);
}

TEST_F(Navigation, DragWithoutMotionChangesNothing) {
    frame(2);
    double before[16];
    std::copy(view().model_matrix, view().model_matrix + 16, before);
    const float azimuth = view().azimuth, elevation = view().elevation;
    capture_stdout([&] {
        for (int button : {1, 2, 3}) {
            event(FL_PUSH, 300, 200, button);
            event(FL_DRAG, 300, 200, button);
        }
    });
    EXPECT_EQ(view().spin_angle, 0.0f);
    EXPECT_EQ(view().pan_amount, 0.0f);
    EXPECT_EQ(view().azimuth, azimuth);
    EXPECT_EQ(view().elevation, elevation);
    frame();
    EXPECT_TRUE(std::equal(before, before + 16, view().model_matrix));
}

TEST_F(Navigation, RightDragToTheExactTopViewCountsForTheCapture) {
    frame(2);
    capture_stdout([&] {
        event(FL_PUSH, 100, 100, 3);
        event(FL_DRAG, 115, 130, 3);
        event(FL_DRAG, 130, 170, 3);
    });
    EXPECT_EQ(view().azimuth, 0.0f);
    EXPECT_EQ(view().elevation, 90.0f);
    view().capture_pending = true;
    view().output_named = true;
    frame(3);
    EXPECT_EQ(view().frame_count, 3);
    view().capture_pending = false;
}

TEST_F(Navigation, TurnAndTiltAreNeitherClampedNorWrapped) {
    frame();
    capture_stdout([&] {
        event(FL_PUSH, 0, 0, 3);
        event(FL_DRAG, 400, 100, 3);
    });
    EXPECT_EQ(view().azimuth, 370.0f);
    EXPECT_EQ(view().elevation, 120.0f);
    frame();
    EXPECT_TRUE(finite(view().view_matrix, 16));
}

TEST_F(Navigation, WheelWithoutPointerMotionLeavesTheModelWhereItIs) {
    view().azimuth = 0;  // unturned, so screen x is model x
    view().elevation = 0;
    frame(2);
    double before[16];
    std::copy(view().model_matrix, view().model_matrix + 16, before);
    event(FL_MOVE, 250, 250);
    Fl::e_dy = 1;
    event(FL_MOUSEWHEEL, 250, 250);
    Fl::e_dy = -1;
    event(FL_MOUSEWHEEL, 250, 250);
    EXPECT_EQ(view().pan_amount, 0.2f);
    frame();
    EXPECT_TRUE(std::equal(before, before + 16, view().model_matrix));
    event(FL_MOUSEWHEEL, 260, 250);  // 10 px of travel: 2 units along x
    frame();
    EXPECT_NEAR(view().model_matrix[12] - before[12], 2.0, 1e-4);
}

TEST_F(Navigation, OnlyTheLastPanBetweenTwoFramesIsApplied) {
    view().azimuth = 0;
    view().elevation = 0;
    frame(2);
    capture_stdout([&] {
        event(FL_PUSH, 100, 100, 2);
        event(FL_DRAG, 140, 100, 2);  // lost: overwritten before the frame
        event(FL_DRAG, 142, 100, 2);  // 2 px: pan amount 1, moves 2 units
    });
    frame();
    EXPECT_NEAR(view().model_matrix[12], 2.0, 1e-4);
    frame(3);
    EXPECT_NEAR(view().model_matrix[12], 2.0, 1e-4) << "applied once";
}

TEST_F(Navigation, OneTrackballStepTurnsOnceAndPrintsOneLine) {
    frame(2);
    const std::string out = capture_stdout([&] {
        event(FL_PUSH, 300, 300, 1);
        event(FL_DRAG, 306, 308, 1);
    });
    EXPECT_EQ(count_of(out, "NOW x y x : "), 1);
    EXPECT_EQ(view().spin_angle, 10.0f);
    EXPECT_EQ(view().pan_amount, 0.0f);
    EXPECT_EQ(view().probe_x, 306);
    EXPECT_EQ(view().probe_y, 308);
    double before[16];
    std::copy(view().model_matrix, view().model_matrix + 16, before);
    frame();
    EXPECT_FALSE(std::equal(before, before + 16, view().model_matrix));
    double after[16];
    std::copy(view().model_matrix, view().model_matrix + 16, after);
    frame(3);
    EXPECT_TRUE(std::equal(after, after + 16, view().model_matrix));
}

TEST_F(Navigation, FirstTrackballStepSpinsAboutTheLineOfSightLaterOnesAcrossTheDrag) {
    frame(2);
    capture_stdout([&] {
        event(FL_PUSH, 300, 300, 1);
        event(FL_DRAG, 310, 300, 1);
    });
    EXPECT_EQ(view().prev_depth, 1.0f);
    double eye[3];
    to_eye(view().saved_modelview, view().spin_axis, eye);
    const double length = std::sqrt(eye[0] * eye[0] + eye[1] * eye[1] + eye[2] * eye[2]);
    EXPECT_GT(std::fabs(eye[2]) / length, 0.9999) << "nearly along the line of sight";

    frame();
    capture_stdout([&] { event(FL_DRAG, 320, 300, 1); });  // 10 px to the right
    to_eye(view().saved_modelview, view().spin_axis, eye);
    EXPECT_NEAR(eye[2], 0, 1e-3) << "in the screen plane";
    EXPECT_NEAR(eye[0], 0, 1e-3) << "at right angles to a horizontal drag";
    EXPECT_NEAR(std::fabs(eye[1]), 10, 1e-3);
}

TEST_F(Navigation, EventsBeforeTheFirstFrameKeepEverythingFinite) {
    capture_stdout([&] {
        event(FL_PUSH, 100, 100, 1);
        event(FL_DRAG, 130, 140, 1);
        event(FL_PUSH, 100, 100, 2);
        event(FL_DRAG, 130, 140, 2);
        event(FL_MOUSEWHEEL, 150, 150);
    });
    for (float f : view().spin_axis) EXPECT_TRUE(std::isfinite(f));
    for (float f : view().pan_vector) EXPECT_TRUE(std::isfinite(f));
    frame(2);
    EXPECT_TRUE(finite(view().model_matrix, 16));
    EXPECT_TRUE(is_identity(view().model_matrix)) << "a failed unprojection moves nothing";
}

}  // namespace
