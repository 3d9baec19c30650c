// The frame sequence drawn offscreen: matrices, pending navigation, lighting
// and depth readback.
#include "support/offscreen_view.h"

#include "app/commands.h"

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
    frame(3);
    EXPECT_EQ(view().pan_amount, 0.0f);
    EXPECT_DOUBLE_EQ(view().model_matrix[12], 6) << "applied once, not every frame";
    EXPECT_DOUBLE_EQ(view().model_matrix[13], -3);

    view().spin_axis[2] = 5;
    view().spin_angle = 90;
    frame(3);
    EXPECT_EQ(view().spin_angle, 0.0f);
    EXPECT_NEAR(view().model_matrix[0], 0, 1e-6);  // x turned onto y: a quarter turn, once
    EXPECT_NEAR(view().model_matrix[1], 1, 1e-6);
    EXPECT_DOUBLE_EQ(view().model_matrix[12], 6) << "the turn acts in the model's own frame";
}

// The lit model's colour, worked out by hand from the fixed-function
// lighting equation for what the frame sets: colour tracking makes the
// material's ambient and diffuse the model colour m = (0.7, 0.7, 0.4);
// material specular 0.5, shininess 50; light 0 diffuse 0.8, specular 1 and
// ambient 0 (its defaults); the default light model adds 0.2 m and puts the
// viewer at infinity, V = (0, 0, 1). The light is directional, set under the
// identity modelview, so in eye coordinates L = (0.5, 0.5, 1) / sqrt(1.5) =
// (0.4082, 0.4082, 0.8165) and the half vector H = (L + V) / |L + V| =
// (0.2142, 0.2142, 0.9530). For an eye-space facet normal N:
//   colour = 0.2 m + 0.8 m max(N.L, 0) + (N.L > 0 ? 0.5 (N.H)^50 : 0)
// Facing the viewer, N = (0, 0, 1): N.L = 0.8165, 0.9530^50 = 0.0902:
//   r = g = 0.14 + 0.4572 + 0.0451 = 0.6423 (163.8), b = 0.08 + 0.2613 + 0.0451 = 0.3864 (98.5)
// Leaning left, N = (-0.6, 0, 0.8): N.L = 0.4082, N.H = 0.634, 0.634^50 ~ 1e-10:
//   r = g = 0.14 + 0.2286 = 0.3686 (94.0), b = 0.08 + 0.1306 = 0.2106 (53.7)
// Leaning up, N = (0, 0.6, 0.8): N.L = 0.8981, N.H = 0.8909, 0.8909^50 = 0.0031:
//   r = g = 0.14 + 0.5030 + 0.0016 = 0.6445 (164.4), b = 0.08 + 0.2874 + 0.0016 = 0.3690 (94.1)
// Turned away, N = (0, 0, -1): N.L < 0, ambient only: 0.14 (35.7), 0.08 (20.4)
// At the top view eye (x, y, z) is model (x, -z, y): model +y faces the
// viewer and model z runs down the screen; the facets stand above the plate.
TEST_F(ViewFrame, LitModelColourFollowsTheLightingEquation) {
    struct Quad {
        float a[3], e1[3], e2[3];  // a corner and its two edges: normal e1 x e2
        int x, y;                  // window pixel over its middle: (400 + x, 280 - z)
        double r, g, b;
    };
    const Quad quads[] = {
        {{20, 0, -20}, {100, 0, 0}, {0, 0, -40}, 470, 320, 163.8, 163.8, 98.5},
        {{-130, -15, -20}, {40, 30, 0}, {0, 0, -40}, 290, 320, 94.0, 94.0, 53.7},
        {{-130, 15, 60}, {40, 0, 0}, {0, -30, -40}, 290, 240, 164.4, 164.4, 94.1},
        {{20, 0, 20}, {100, 0, 0}, {0, 0, 40}, 470, 240, 35.7, 35.7, 20.4},
    };
    for (const Quad& q : quads) {
        Triangle t0, t1;
        for (int k = 0; k < 3; ++k) {
            t0.v[0][k] = t1.v[2][k] = q.a[k];
            t0.v[1][k] = q.a[k] + q.e1[k];
            t0.v[2][k] = t1.v[0][k] = q.a[k] + q.e1[k] + q.e2[k];
            t1.v[1][k] = q.a[k] + q.e2[k];
        }
        view().triangles.push_back(t0);
        view().triangles.push_back(t1);
    }
    ++view().model_generation;
    view().set_bounds(Model_Bounds{200, -200, 200, -200, 200, -200});  // centred as it is
    top_view_cb(nullptr, nullptr);
    frame(2);

    for (const Quad& p : quads) {
        unsigned char rgb[3];
        glReadPixels(p.x, p.y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
        EXPECT_NEAR(rgb[0], p.r, 2) << p.x << "," << p.y;
        EXPECT_NEAR(rgb[1], p.g, 2) << p.x << "," << p.y;
        EXPECT_NEAR(rgb[2], p.b, 2) << p.x << "," << p.y;
    }
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

TEST_F(ViewFrame, ProbeReadsTheClearValue) {
    for (const auto& at : {std::pair<int, int>(400, 300), std::pair<int, int>(3, 550)}) {
        view().probe_x = at.first;
        view().probe_y = at.second;
        view().probe_depth = 0.25f;
        frame(2);
        EXPECT_EQ(view().probe_depth, 1.0f);
    }
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

}  // namespace
