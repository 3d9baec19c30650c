// Mouse navigation fed with synthetic FLTK events, then drawn offscreen at
// the front view, where screen x is model x, screen up is model y and +z
// faces the viewer: every check is a direction on the screen.
#include "support/offscreen_view.h"

#include <algorithm>
#include <array>

namespace {

constexpr double kSin10 = 0.17364817766693033, kCos10 = 0.984807753012208;

class Navigation : public Offscreen_View_Test {
protected:
    void SetUp() override {
        Offscreen_View_Test::SetUp();
        front_view();
    }
    void front_view() {
        view().azimuth = 0;
        view().elevation = 0;
        frame(2);
    }
    // Where model_matrix now takes the model point (x, y, z).
    std::array<double, 3> moved(double x, double y, double z) {
        const double* m = view().model_matrix;
        std::array<double, 3> p;
        for (int r = 0; r < 3; ++r) p[r] = m[r] * x + m[4 + r] * y + m[8 + r] * z + m[12 + r];
        return p;
    }
    void expect_moved(std::array<double, 3> p, double x, double y, double z, const char* what) {
        EXPECT_NEAR(p[0], x, 0.01) << what;
        EXPECT_NEAR(p[1], y, 0.01) << what;
        EXPECT_NEAR(p[2], z, 0.01) << what;
    }
};

TEST_F(Navigation, PressLinesReturnValuesAndThePointer) {
    const std::string out = captured([&] {
                                for (int button : {1, 2, 3, 4})
                                    EXPECT_EQ(event(FL_PUSH, 10, 10, button), 1);
                                EXPECT_EQ(event(FL_MOVE, 20, 30), 1);
                                EXPECT_EQ(event(FL_MOUSEWHEEL, 20, 30), 1);
                            }).first;
    EXPECT_EQ(out, "left mouse click \nmiddle mouse click \nright mouse click \n");
    EXPECT_EQ(view().last_x, 20);
    EXPECT_EQ(view().last_y, 30);
    event(FL_RELEASE, 90, 90, 1);  // passed on to the GL window, pointer not recorded
    EXPECT_EQ(view().last_x, 20);
}

TEST_F(Navigation, DragWithoutMotionChangesNothing) {
    view().azimuth = 7;
    view().elevation = 8;
    captured([&] {
        for (int button : {1, 2, 3}) {
            event(FL_PUSH, 300, 200, button);
            event(FL_DRAG, 300, 200, button);
        }
    });
    EXPECT_EQ(view().spin_angle, 0.0f);
    EXPECT_EQ(view().pan_amount, 0.0f);
    EXPECT_EQ(view().azimuth, 7.0f);
    EXPECT_EQ(view().elevation, 8.0f);
    frame();
    EXPECT_TRUE(is_identity(view().model_matrix));
}

TEST_F(Navigation, RightDragTurnsRightwardTiltsDownwardUnclamped) {
    view().azimuth = -30;  // the initial view
    view().elevation = 20;
    captured([&] {
        event(FL_PUSH, 100, 100, 3);
        event(FL_DRAG, 115, 130, 3);
        event(FL_DRAG, 130, 170, 3);
    });
    EXPECT_EQ(view().azimuth, 0.0f);  // exactly the top view, which the capture counts
    EXPECT_EQ(view().elevation, 90.0f);
    captured([&] { event(FL_DRAG, 500, 200, 3); });
    EXPECT_EQ(view().azimuth, 370.0f);
    EXPECT_EQ(view().elevation, 120.0f);
}

// The axis is the drag with x and y exchanged, so the side facing the
// viewer follows the pointer: the front point (0, 0, 100) turns 10 degrees
// toward the drag.
TEST_F(Navigation, TrackballTurnsTheFacingSideTheWayOfTheDrag) {
    captured([&] {
        event(FL_PUSH, 300, 300, 1);
        event(FL_DRAG, 300, 300, 1);  // a still step takes prev_depth from the probe
    });
    ASSERT_EQ(view().prev_depth, 1.0f);
    frame();
    const struct {
        int dx, dy;
        double x, y;
        const char* what;
    } cases[] = {{10, 0, kSin10, 0, "right"},
                 {0, 10, 0, -kSin10, "down"},
                 {-6, -8, -0.6 * kSin10, 0.8 * kSin10, "left and up"}};
    for (const auto& c : cases) {
        std::fill(view().model_matrix, view().model_matrix + 16, 0.0);
        for (int i = 0; i < 16; i += 5) view().model_matrix[i] = 1;
        frame();  // the unprojection's snapshot unturned too
        const int x = view().last_x + c.dx, y = view().last_y + c.dy;
        const std::string out = captured([&] { event(FL_DRAG, x, y, 1); }).first;
        char now[200];
        const double* to = view().unproject_to;
        std::snprintf(now, sizeof now, "NOW x y x : %f,%f, %f\n", to[0], to[1], to[2]);
        EXPECT_EQ(out, now);
        EXPECT_EQ(view().spin_angle, 10.0f);
        EXPECT_EQ(view().probe_x, x);
        EXPECT_EQ(view().probe_y, y) << "not turned upward";
        frame();
        expect_moved(moved(0, 0, 100), 100 * c.x, 100 * c.y, 100 * kCos10, c.what);
        frame(2);
        expect_moved(moved(0, 0, 100), 100 * c.x, 100 * c.y, 100 * kCos10, "applied once");
    }
}

// Before any step has set prev_depth (0, the near plane), the axis points
// along the line of sight; a pan step sets it too, and the trackball then
// turns across the drag.
TEST_F(Navigation, FirstTrackballStepSpinsAboutTheLineOfSightUnlessAPanCameFirst) {
    for (bool pan_first : {false, true}) {
        fresh_view();
        front_view();
        captured([&] {
            if (pan_first) {
                event(FL_PUSH, 300, 300, 2);
                event(FL_DRAG, 302, 300, 2);
            }
            event(FL_PUSH, 300, 300, 1);
            event(FL_DRAG, 310, 300, 1);
        });
        EXPECT_EQ(view().pan_amount, 0.0f) << "the trackball step cancels a pending pan";
        const float* a = view().spin_axis;
        const double along = std::fabs(a[2]) / std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]);
        if (pan_first) {
            EXPECT_NEAR(a[0], 0, 1e-3);
            EXPECT_NEAR(a[1], 10, 1e-3);
            EXPECT_NEAR(a[2], 0, 1e-3);
        } else {
            EXPECT_GT(along, 0.9999);
        }
    }
}

// One model unit is one pixel; pan_amount is half the step's length, so a
// 2-pixel step follows the pointer. Only the last step before a frame counts.
TEST_F(Navigation, MiddleDragMovesTheModelWithThePointer) {
    const struct {
        int dx, dy;
        double x, y;
    } cases[] = {{2, 0, 2, 0}, {0, -2, 0, 2}, {-2, 0, -2, 0}, {0, 2, 0, -2}};
    double x = 0, y = 0;
    for (const auto& c : cases) {
        captured([&] {
            event(FL_PUSH, 400, 300, 2);
            event(FL_DRAG, 440, 330, 2);  // lost: overwritten before the frame
            event(FL_DRAG, 440 + c.dx, 330 + c.dy, 2);
        });
        EXPECT_EQ(view().probe_x, 440 + c.dx);
        frame(3);
        x += c.x;
        y += c.y;
        expect_moved(moved(0, 0, 0), x, y, 0, "pan, applied once");
    }
}

TEST_F(Navigation, WheelMovesByAFifthOfThePointerTravelWhateverItsDirection) {
    event(FL_MOVE, 250, 250);
    Fl::e_dy = 1;
    event(FL_MOUSEWHEEL, 250, 250);
    Fl::e_dy = -1;
    event(FL_MOUSEWHEEL, 250, 250);
    EXPECT_EQ(view().pan_amount, 0.2f);
    EXPECT_EQ(view().probe_y, 560 - 250);
    frame();
    EXPECT_TRUE(is_identity(view().model_matrix)) << "no pointer travel, no move";
    event(FL_MOUSEWHEEL, 260, 240);  // 10 px right, 10 px up: 2 units each
    frame();
    expect_moved(moved(0, 0, 0), 2, 2, 0, "wheel");
}

TEST_F(Navigation, EventsBeforeTheFirstFrameKeepEverythingFinite) {
    fresh_view();
    captured([&] {
        event(FL_PUSH, 100, 100, 1);
        event(FL_DRAG, 130, 140, 1);
        event(FL_PUSH, 100, 100, 2);
        event(FL_DRAG, 130, 140, 2);
        event(FL_MOUSEWHEEL, 150, 150);
    });
    frame(2);
    EXPECT_TRUE(is_identity(view().model_matrix)) << "a failed unprojection moves nothing";
}

}  // namespace
