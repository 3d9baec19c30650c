#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

#include "view/frame_inputs.h"

namespace {

// Every member of View_State the frame does not read: what it only writes,
// the capture's state (frame_due asks the capture trigger for it), names.
constexpr auto kNotInputs = std::make_tuple(
    &View_State::capture_pending, &View_State::frame_count, &View_State::output_path,
    &View_State::output_named, &View_State::capture_wait_told, &View_State::model_geometry,
    &View_State::last_x, &View_State::last_y, &View_State::prev_depth, &View_State::probe_depth,
    &View_State::saved_viewport, &View_State::saved_modelview, &View_State::saved_projection,
    &View_State::unproject_from, &View_State::unproject_to, &View_State::image_header,
    &View_State::gray_samples, &View_State::height_map, &View_State::depth_samples,
    &View_State::depth_extent, &View_State::startup_dir, &View_State::startup_dir_status,
    &View_State::model_dir);

using Span = std::array<std::size_t, 3>;  // offset, size, alignment

template <typename Members>
void add_spans(const View_State& v, const Members& members, std::vector<Span>& spans) {
    const auto at = [&v](const auto& member) {
        return static_cast<std::size_t>(reinterpret_cast<const char*>(&member) -
                                        reinterpret_cast<const char*>(&v));
    };
    std::apply(
        [&](auto... m) {
            (spans.push_back({at(v.*m), sizeof(v.*m), alignof(decltype(v.*m))}), ...);
        },
        members);
}

std::size_t aligned(std::size_t at, std::size_t align) { return (at + align - 1) / align * align; }

// A member in neither list leaves a gap wider than alignment asks for (one
// small enough to sit in such padding goes unseen); one in both, an overlap.
TEST(FrameInputs, EveryMemberOfTheViewIsAnInputOrListedAsNone) {
    const auto v = std::make_unique<View_State>();
    std::vector<Span> spans;
    add_spans(*v, kFrameInputs, spans);
    add_spans(*v, kNotInputs, spans);
    std::sort(spans.begin(), spans.end());
    std::size_t end = 0;
    for (const auto& [at, size, align] : spans) {
        EXPECT_EQ(at, aligned(end, align)) << "an unlisted member, or one listed twice";
        end = at + size;
    }
    EXPECT_EQ(aligned(end, alignof(View_State)), sizeof(View_State)) << "an unlisted last member";
}

// Changes value (each element of an array) in turn, calls check, puts it back.
template <typename T, typename Check>
void change_each(T& value, const Check& check) {
    const T old = value;
    if constexpr (std::is_same_v<T, bool>)
        value = !value;
    else if constexpr (std::is_same_v<T, Model_Path>)
        value = value == Model_Path::Cached ? Model_Path::Immediate : Model_Path::Cached;
    else
        value = static_cast<T>(value + 1);
    check();
    value = old;
}
template <typename T, std::size_t N, typename Check>
void change_each(T (&values)[N], const Check& check) {
    for (T& value : values) change_each(value, check);
}
template <typename Check>
void change_each(std::deque<Rotation>& steps, const Check& check) {
    steps.push_back(Rotation{});
    check();
    steps.pop_back();
}
template <typename Check>
void change_each(std::vector<Triangle>& model, const Check& check) {
    std::vector<Triangle> same_size(model.size());  // another model at another address
    model.swap(same_size);
    check();
    model.swap(same_size);
    model.emplace_back();  // within its capacity: the same address, one facet more
    check();
    model.pop_back();
}

TEST(FrameInputs, ChangingAnyInputValueMakesAFrameDue) {
    const auto v = std::make_unique<View_State>();
    v->triangles.reserve(2);
    v->triangles.resize(1);
    const Frame_Inputs drawn(*v, 800, 560);
    std::size_t member = 0, changes = 0;
    const auto check = [&] {
        ++changes;
        EXPECT_NE(Frame_Inputs(*v, 800, 560), drawn)
            << "input " << member << ", change " << changes;
    };
    std::apply([&](auto... m) { ((change_each((*v).*m, check), ++member), ...); }, kFrameInputs);
    EXPECT_EQ(changes, frame_inputs::count_of(kFrameInputs)) << "each value changed once";
    EXPECT_EQ(Frame_Inputs(*v, 800, 560), drawn) << "every value put back";
    EXPECT_NE(Frame_Inputs(*v, 801, 560), drawn);
    EXPECT_NE(Frame_Inputs(*v, 800, 561), drawn);
}

}  // namespace
