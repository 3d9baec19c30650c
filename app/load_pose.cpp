#include "app/load_pose.h"

#include <algorithm>
#include <iterator>

namespace {
std::vector<Rotation> load_steps;
}

void set_load_steps(const std::vector<Rotation>& steps) { load_steps = steps; }

void put_in_load_pose(View_State& v) {
    std::copy(std::begin(View_State::kIdentity), std::end(View_State::kIdentity), v.model_matrix);
    v.drop_pending_navigation();
    v.queued_steps.assign(load_steps.begin(), load_steps.end());
}

void queue_quarter_turn(View_State& v, char axis, bool back) {
    v.queued_steps.push_back(Rotation{axis, back ? -90.0f : 90.0f});
}
