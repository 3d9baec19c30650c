#pragma once

#include <opencv2/core/mat.hpp>
#include <deque>
#include <vector>

#include "heightmap/sizes.h"
#include "model/rotation_steps.h"
#include "model/triangle.h"
#include "platform/name_limit.h"
#include "platform/status.h"
#include "view/model_geometry.h"

// Everything the 3D view owns: model, view, navigation and capture state.
// The window widget inherits it; the offscreen renderer and the batch
// converter use it directly, so every path draws from the same members.
struct View_State {
    View_State();

    bool capture_pending = false;
    int frame_count = 0;
    char output_path[kMaxNameBytes + 1] = {};
    // Set once the Save command has stored the name it picked; a capture
    // never completes without it (see save_bmp).
    bool output_named = false;
    // The operator has been told that the armed capture waits for the top view.
    bool capture_wait_told = false;
    std::vector<Triangle> triangles;
    // Grows whenever triangles is replaced (set_model, clear_model), so
    // cached geometry can follow.
    unsigned long model_generation = 0;
    Model_Geometry model_geometry;  // triangles as the GL keeps them between frames
    Model_Path model_path = Model_Path::Cached;
    float azimuth = -30.0f;
    float elevation = 20.0f;
    float spin_angle = 0.0f;
    float pan_amount = 0.0f;
    float pan_vector[3] = {0, 0, 0};
    float model_scale[3] = {1, 1, 1};
    int last_x = 0, last_y = 0;
    int probe_x = 0, probe_y = 0;
    float prev_depth = 0.0f;
    float probe_depth = 0.0f;
    double model_matrix[16] = {};
    double view_matrix[16] = {};
    int saved_viewport[4] = {};
    double saved_modelview[16] = {};
    double saved_projection[16] = {};
    double unproject_from[3] = {};
    double unproject_to[3] = {};
    float spin_axis[3] = {0, 0, 0};
    float max_x = 0, min_x = 0, max_y = 0, min_y = 0, max_z = 0, min_z = 0;
    float lighting[17] = {
        0.9f,  0.9f, 0.8f, 0.3f,  // material ambient and diffuse
        0.5f,  0.5f, 0.5f, 0.3f,  // material specular
        50.0f,                    // shininess
        0.5f,  0.5f, 1.0f, 0.0f,  // light 0 position (directional)
        0.8f,  0.8f, 0.8f, 0.8f,  // light 0 diffuse
    };
    cv::Mat image_header;  // wraps height_map for the writer; owns no pixels
    // Both sample buffers have the room of a whole 640 x 480 view, the size
    // they were first given; only their first sizes::kSamples (the capture
    // window, whatever the view's size) are ever written or read.
    unsigned char gray_samples[640 * 480] = {};
    unsigned char height_map[sizes::kImageRows * sizes::kImageCols] = {};
    float depth_samples[640 * 480] = {};
    double depth_extent = 0.0;   // the projection's near and far distance (set_up in frame.cpp)
    char startup_dir[256] = {};  // UTF-8, the form Linux file functions take
    Status startup_dir_status;   // why startup_dir is "." instead, when it is
    char model_dir[256] = {};
    bool matrices_pending = true;
    // Trackball steps to apply, one a frame, once no other turn is pending:
    // a loaded model's --rotate steps and the x, y and z keys.
    std::deque<Rotation> queued_steps;

    // The matrix the set-up frame reads back for both model_matrix and
    // view_matrix, for code that must put one back without a GL context.
    static constexpr double kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

    // Replaces the model and its bounds; model_generation grows, so the
    // frame refills its cached copy of the triangles.
    void set_model(std::vector<Triangle>&& t, const Model_Bounds& b);
    // No triangles (their memory given back); the bounds stay, as a
    // cancelled Load leaves them.
    void clear_model();

    // Pending navigation: the next frame pans by amount along direction,
    // then turns by degrees about axis, once (take_navigation). A later
    // request before that frame replaces the earlier one of its kind.
    void request_pan(float amount, const float* direction);
    void request_spin(float degrees, const float* axis);
    // The spin of one trackball step (--rotate, the x, y and z keys).
    void request_rotation(const Rotation& r);
    void drop_pending_navigation();
    struct Navigation_Step {
        float pan_amount;
        float pan_vector[3];
        float spin_angle;
        float spin_axis[3];
    };
    // What is pending, for the frame to apply; afterwards nothing is (the
    // direction and the axis stay for the next request of the same step).
    Navigation_Step take_navigation();
};
