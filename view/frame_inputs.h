#pragma once

#include <array>
#include <cstddef>
#include <deque>
#include <tuple>
#include <vector>

#include "view/view_state.h"

// Every member of View_State that draw_frame reads. While they and the
// surface size stay the same, a frame draws the pixels and depth samples the
// last one drew and leaves the view as it found it, so the window skips it.
// A member the frame starts to read belongs here; the unit tests hold every
// other member to a list of those it does not read.
inline constexpr auto kFrameInputs = std::make_tuple(
    &View_State::matrices_pending, &View_State::model_matrix, &View_State::view_matrix,
    &View_State::pan_amount, &View_State::pan_vector, &View_State::spin_angle,
    &View_State::spin_axis, &View_State::probe_x, &View_State::probe_y, &View_State::lighting,
    &View_State::model_scale, &View_State::max_x, &View_State::min_x, &View_State::max_y,
    &View_State::min_y, &View_State::max_z, &View_State::min_z, &View_State::queued_steps,
    &View_State::model_generation, &View_State::triangles, &View_State::model_path,
    &View_State::azimuth, &View_State::elevation);

namespace frame_inputs {

// How many values a member gives: one for each element of an array, a
// queue's length, a model's address and size.
template <typename T>
struct Values {
    static constexpr std::size_t count = 1;
};
template <typename T, std::size_t N>
struct Values<T[N]> {
    static constexpr std::size_t count = N;
};
template <typename T>
struct Values<std::vector<T>> {
    static constexpr std::size_t count = 2;
};

template <typename T>
struct Values<T View_State::*> : Values<T> {};

template <typename... Members>
constexpr std::size_t count_of(const std::tuple<Members...>&) {
    return (Values<Members>::count + ...);
}

}  // namespace frame_inputs

// The values of kFrameInputs with the surface size, compared whole.
class Frame_Inputs {
public:
    Frame_Inputs() = default;
    Frame_Inputs(const View_State& view, int w, int h);
    bool operator==(const Frame_Inputs& other) const { return values_ == other.values_; }
    bool operator!=(const Frame_Inputs& other) const { return !(*this == other); }

private:
    static constexpr std::size_t kCount = 2 + frame_inputs::count_of(kFrameInputs);
    // Doubles hold every float, int, count and address here exactly.
    std::array<double, kCount> values_ = {};
};
