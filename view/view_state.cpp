#include "view/view_state.h"

#include <utility>

#include "platform/current_dir.h"

View_State::View_State() {
    startup_dir_status = platform::current_directory(startup_dir, sizeof startup_dir);
    if (!startup_dir_status) {
        // Refuse rather than cut: a shortened path names another folder.
        // "." keeps every later use relative to where we started.
        startup_dir[0] = '.';
        startup_dir[1] = '\0';
    }
}

void View_State::set_model(std::vector<Triangle>&& t, const Model_Bounds& b) {
    triangles = std::move(t);
    max_x = b.max_x;
    min_x = b.min_x;
    max_y = b.max_y;
    min_y = b.min_y;
    max_z = b.max_z;
    min_z = b.min_z;
    ++model_generation;
}

void View_State::clear_model() {
    std::vector<Triangle>().swap(triangles);
    ++model_generation;
}

void View_State::request_pan(float amount, const float* direction) {
    pan_amount = amount;
    for (int k = 0; k < 3; ++k) pan_vector[k] = direction[k];  // may be pan_vector itself
}

void View_State::request_spin(float degrees, const float* axis) {
    spin_angle = degrees;
    for (int k = 0; k < 3; ++k) spin_axis[k] = axis[k];  // may be spin_axis itself
}

void View_State::request_rotation(const Rotation& r) {
    const float axis[3] = {r.axis == 'x' ? 1.0f : 0.0f, r.axis == 'y' ? 1.0f : 0.0f,
                           r.axis == 'z' ? 1.0f : 0.0f};
    request_spin(r.degrees, axis);
}

void View_State::drop_pending_navigation() {
    pan_amount = 0.0f;
    spin_angle = 0.0f;
}

View_State::Navigation_Step View_State::take_navigation() {
    const Navigation_Step step{pan_amount,
                               {pan_vector[0], pan_vector[1], pan_vector[2]},
                               spin_angle,
                               {spin_axis[0], spin_axis[1], spin_axis[2]}};
    pan_amount = 0.0f;
    spin_angle = 0.0f;
    return step;
}
