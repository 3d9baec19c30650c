// The frame drawn offscreen (matrices, pending steps, lighting) and mouse
// navigation fed with synthetic FLTK events.
#include "support/offscreen_view.h"

#include <array>
#include <filesystem>
#include <fstream>
#include <vector>

#include "app/commands.h"
#include "app/load_pose.h"
#include "support/insole_model.h"
#include "support/stl_bytes.h"
#include "support/temp_dir.h"

namespace {

constexpr double kSin10 = 0.17364817766693033, kCos10 = 0.984807753012208;

// The view rotation written out by hand: about X by elevation after about Y
// by azimuth, column-major.
std::array<double, 16> view_rotation(double elevation, double azimuth) {
    const double a = elevation * M_PI / 180, b = azimuth * M_PI / 180;
    const double ca = std::cos(a), sa = std::sin(a), cb = std::cos(b), sb = std::sin(b);
    return {cb, sa * sb, -ca * sb, 0, 0, ca, sa, 0, sb, -sa * cb, ca * cb, 0, 0, 0, 0, 1};
}

void expect_matrix(const double* actual, const std::array<double, 16>& expected) {
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(actual[i], expected[i], 1e-6) << "element " << i;
}

class ViewFrame : public Offscreen_View_Test {
protected:
    // Where model_matrix now takes the model point (x, y, z).
    void expect_moved(double x, double y, double z, double ex, double ey, double ez,
                      const char* what) {
        const double* m = view().model_matrix;
        const double e[3] = {ex, ey, ez};
        for (int r = 0; r < 3; ++r)
            EXPECT_NEAR(m[r] * x + m[4 + r] * y + m[8 + r] * z + m[12 + r], e[r], 0.01) << what;
    }
    // The front view: screen x is model x, screen up model y, +z faces the viewer.
    void front_view() {
        view().azimuth = 0;
        view().elevation = 0;
        frame(2);
    }
    // n ticks of the window's timer, which draws only a frame that is due.
    // Where a tick skips, a frame drawn anyway must change no pixel and no
    // depth sample. Returns the frames drawn.
    int ticks(int n) {
        const int w = view().w(), h = view().h();
        std::vector<unsigned char> shown(w * h * 3), drawn_anyway(shown.size());
        std::vector<float> depth(sizes::kCaptureWidth * sizes::kCaptureHeight);
        int drawn = 0;
        for (int i = 0; i < n; ++i) {
            if (view().frame_due()) {
                frame();
                ++drawn;
                continue;
            }
            glReadPixels(0, 0, w, h, GL_RGB, GL_UNSIGNED_BYTE, shown.data());
            std::copy_n(view().depth_samples, depth.size(), depth.begin());
            frame();
            glReadPixels(0, 0, w, h, GL_RGB, GL_UNSIGNED_BYTE, drawn_anyway.data());
            EXPECT_TRUE(shown == drawn_anyway) << "tick " << i << ": the screen was stale";
            EXPECT_TRUE(std::equal(depth.begin(), depth.end(), view().depth_samples));
        }
        return drawn;
    }
};

TEST_F(ViewFrame, FirstFrameUnturnedThenTheInitialViewPendingStepsOnceAndAResizeKeepsThem) {
    frame();
    EXPECT_TRUE(is_identity(view().saved_modelview)) << "first frame draws the model unturned";
    frame();
    expect_matrix(view().saved_modelview, view_rotation(20, -30));

    const float pan[3] = {2, -1, 0}, axis[3] = {0, 0, 5};
    view().request_pan(3, pan);
    frame(3);
    view().request_spin(90, axis);
    frame(3);
    EXPECT_EQ(view().pan_amount + view().spin_angle, 0.0f);
    resize(640, 480);  // runs the set-up again, keeping the matrices
    frame();
    // x turned onto y, a quarter turn once, after the pan: in the model's frame.
    expect_matrix(view().model_matrix, {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 6, -3, 0, 1});

    side_view_cb(nullptr, nullptr);
    frame();
    reset_rotation_cb(nullptr, nullptr);
    frame();
    EXPECT_TRUE(is_identity(view().saved_modelview)) << "the first frame after the reset";
    frame();
    expect_matrix(view().saved_modelview, view_rotation(0, 90));
}

TEST_F(ViewFrame, IdleTicksDrawNothingAndEveryChangeShowsOnTheNextTick) {
    const Temp_Dir dir;
    const std::string model = dir.file("m.stl"), bmp = dir.file("out.bmp");
    std::ofstream(model, std::ios::binary) << stl_bytes::binary(insole_model(3000));
    const std::pair<const char*, std::function<void()>> steps[] = {
        {"first frames", [] {}},
        {"load", [&] { load_stl_file(model.c_str()); }},
        {"preset", [] { side_view_cb(nullptr, nullptr); }},
        {"right drag, azimuth only", [&] { event(FL_DRAG, view().last_x + 20, view().last_y, 3); }},
        {"trackball", [&] { event(FL_DRAG, view().last_x + 30, view().last_y + 9, 1); }},
        {"a quarter turn queued by a key", [&] { queue_quarter_turn(view(), 'x', false); }},
        {"middle drag", [&] { event(FL_DRAG, view().last_x + 8, view().last_y + 6, 2); }},
        {"wheel", [&] { event(FL_MOUSEWHEEL, view().last_x - 10, view().last_y); }},
        {"reset rotation", [] { reset_rotation_cb(nullptr, nullptr); }},
        {"resize", [&] { resize(640, 480); }},
        {"new context", [&] { view().context_valid(0); }},
        {"top view, capture armed but not named", [&] {
             std::snprintf(view().output_path, sizeof view().output_path, "%s", bmp.c_str());
             view().capture_pending = true;
             top_view_cb(nullptr, nullptr);
         }}};
    for (const auto& [what, step] : steps) {
        captured(step);
        EXPECT_GE(ticks(4), 1) << what;
        EXPECT_FALSE(view().frame_due()) << what << ": idle again";
    }
    EXPECT_EQ(view().w() + view().azimuth, 640) << "every step above ran";
    view().output_named = true;  // now every tick counts a frame toward the capture
    EXPECT_EQ(ticks(9), 9);
    EXPECT_FALSE(std::filesystem::exists(bmp));
    captured([&] { EXPECT_EQ(ticks(3), 1) << "the tenth writes, then idle"; });
    EXPECT_TRUE(std::filesystem::exists(bmp));
}

// Colours from the fixed-function lighting equation, worked out by hand:
// ambient and diffuse track m = (0.7, 0.7, 0.4), specular 0.5, shininess 50;
// light 0 diffuse 0.8, specular 1, directional L = (0.5, 0.5, 1) / sqrt(1.5);
// light model ambient 0.2, viewer at infinity: H = (0.2142, 0.2142, 0.9530).
//   colour = 0.2 m + 0.8 m max(N.L, 0) + (N.L > 0 ? 0.5 (N.H)^50 : 0)
// N = (0, 0, 1): N.L 0.8165, (N.H)^50 0.0902; N = (-0.6, 0, 0.8): N.L 0.4082, ~0;
// N = (0, 0.6, 0.8): N.L 0.8981, 0.0031; N = (0, 0, -1): ambient only.
// At the top view eye (x, y, z) is model (x, -z, y).
TEST_F(ViewFrame, LitModelColourFollowsTheLightingEquation) {
    const struct {
        float a[3], e1[3], e2[3];  // a corner and its two edges: normal e1 x e2
        int x, y;                  // window pixel over its middle: (400 + x, 280 - z)
        double rgb[3];
    } quads[] = {
        {{20, 0, -20}, {100, 0, 0}, {0, 0, -40}, 470, 320, {163.8, 163.8, 98.5}},
        {{-130, -15, -20}, {40, 30, 0}, {0, 0, -40}, 290, 320, {94.0, 94.0, 53.7}},
        {{-130, 15, 60}, {40, 0, 0}, {0, -30, -40}, 290, 240, {164.4, 164.4, 94.1}},
        {{20, 0, 20}, {100, 0, 0}, {0, 0, 40}, 470, 240, {35.7, 35.7, 20.4}},
    };
    std::vector<Triangle> triangles;
    for (const auto& q : quads) {
        Triangle t0, t1;
        for (int k = 0; k < 3; ++k) {
            t0.v[0][k] = t1.v[2][k] = q.a[k];
            t0.v[1][k] = q.a[k] + q.e1[k];
            t0.v[2][k] = t1.v[0][k] = q.a[k] + q.e1[k] + q.e2[k];
            t1.v[1][k] = q.a[k] + q.e2[k];
        }
        triangles.insert(triangles.end(), {t0, t1});
    }
    // Bounds centred as the quads are, so they are drawn where they stand.
    view().set_model(std::move(triangles), Model_Bounds{200, -200, 200, -200, 200, -200});
    top_view_cb(nullptr, nullptr);
    frame(2);
    for (const auto& q : quads) {
        unsigned char rgb[3];
        glReadPixels(q.x, q.y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(rgb[k], q.rgb[k], 2) << q.x << "," << q.y;
    }
}

TEST_F(ViewFrame, PressLinesStillDragsAndEarlyEventsMoveNothingRightDragsTurnAndTilt) {
    captured([&] {  // the unprojection fails before the first frame: nothing pending
        for (int button : {1, 2}) {
            event(FL_PUSH, 100, 100, button);
            event(FL_DRAG, 130, 140, button);
        }
        event(FL_MOUSEWHEEL, 150, 150);
    });
    front_view();
    EXPECT_TRUE(is_identity(view().model_matrix));
    const std::string out = captured([&] {
                                for (int button : {1, 2, 3, 4})
                                    EXPECT_EQ(event(FL_PUSH, 300, 200, button), 1);
                                EXPECT_EQ(event(FL_MOVE, 20, 30), 1);
                            }).first;
    EXPECT_EQ(out, "left mouse click \nmiddle mouse click \nright mouse click \n");
    captured([&] {
        for (int button : {1, 2, 3}) event(FL_DRAG, 20, 30, button);
    });
    EXPECT_EQ(event(FL_RELEASE, 90, 90, 1), 0) << "passed on, pointer not recorded";
    EXPECT_EQ(view().last_x * 100 + view().last_y, 2030);
    EXPECT_EQ(view().spin_angle + view().pan_amount + view().azimuth + view().elevation, 0.0f);
    frame();
    EXPECT_TRUE(is_identity(view().model_matrix));
    captured([&] {  // the right button turns rightward and tilts downward, unclamped
        event(FL_DRAG, 35, 60, 3);
        event(FL_DRAG, 420, 130, 3);
    });
    EXPECT_EQ(view().azimuth, 400.0f);
    EXPECT_EQ(view().elevation, 100.0f);
}

// The axis is the drag with x and y exchanged, so the side facing the viewer
// follows the pointer: the front point (0, 0, 100) turns 10 degrees that way.
TEST_F(ViewFrame, TrackballTurnsTheFacingSideTheWayOfTheDrag) {
    front_view();
    captured([&] {
        event(FL_PUSH, 300, 300, 1);
        event(FL_DRAG, 300, 300, 1);  // a still step takes prev_depth from the probe
    });
    ASSERT_EQ(view().prev_depth, 1.0f);
    const struct {
        int dx, dy;
        double x, y;
        const char* what;
    } cases[] = {{10, 0, kSin10, 0, "right"},
                 {0, 10, 0, -kSin10, "down"},
                 {-6, -8, -0.6 * kSin10, 0.8 * kSin10, "left and up"}};
    for (const auto& c : cases) {
        reset_rotation_cb(nullptr, nullptr);  // the front view's matrix is the identity too
        frame();                              // the unprojection's snapshot unturned too
        const int x = view().last_x + c.dx, y = view().last_y + c.dy;
        const std::string out = captured([&] { event(FL_DRAG, x, y, 1); }).first;
        char now[200];
        const double* to = view().unproject_to;
        std::snprintf(now, sizeof now, "NOW x y x : %f,%f, %f\n", to[0], to[1], to[2]);
        EXPECT_EQ(out, now);
        EXPECT_EQ(view().spin_angle, 10.0f);
        EXPECT_EQ(view().probe_y, y) << "not turned upward";
        frame(3);
        expect_moved(0, 0, 100, 100 * c.x, 100 * c.y, 100 * kCos10, c.what);
    }
}

// One model unit is one pixel; pan_amount is half the step's length, so a
// 2-pixel step follows the pointer. Only the last step before a frame counts.
// A pan step sets prev_depth, so the trackball then turns across the drag,
// and the trackball step cancels the pending pan.
TEST_F(ViewFrame, MiddleDragAndWheelMoveWithThePointerThenTheTrackballTurnsAcross) {
    front_view();
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
        frame(3);
        x += c.x;
        y += c.y;
        expect_moved(0, 0, 0, x, y, 0, "pan, applied once");
    }
    event(FL_MOVE, 250, 250);  // the wheel: a fifth of the pointer travel, either way
    for (int dy : {1, -1}) {
        Fl::e_dy = dy;
        event(FL_MOUSEWHEEL, 250, 250);
    }
    EXPECT_EQ(view().pan_amount, 0.2f);
    EXPECT_EQ(view().probe_y, 560 - 250);
    frame();
    expect_moved(0, 0, 0, x, y, 0, "no pointer travel, no move");
    event(FL_MOUSEWHEEL, 260, 240);  // 10 px right, 10 px up: 2 units each
    frame();
    expect_moved(0, 0, 0, x + 2, y + 2, 0, "wheel");
    captured([&] {
        event(FL_PUSH, 300, 300, 2);
        event(FL_DRAG, 302, 300, 2);
        event(FL_PUSH, 300, 300, 1);
        event(FL_DRAG, 310, 300, 1);
    });
    EXPECT_EQ(view().pan_amount, 0.0f);
    const float* a = view().spin_axis;
    EXPECT_NEAR(std::fabs(a[0]) + std::fabs(a[1] - 10) + std::fabs(a[2]), 0, 3e-3);
}

}  // namespace
