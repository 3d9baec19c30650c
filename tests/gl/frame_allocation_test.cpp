// An ordinary frame allocates nothing. This executable replaces the global
// operator new to count allocations (support/allocation_counter.h).
#include "support/offscreen_view.h"

#include "app/commands.h"
#include "support/allocation_counter.h"
#include "support/wavy_surface.h"

namespace {

class FrameAllocation : public Offscreen_View_Test {
protected:
    long allocations_during(int frames) {
        const long before = allocation_counter::count.load();
        frame(frames);
        return allocation_counter::count.load() - before;
    }
};

TEST_F(FrameAllocation, OrdinaryFramesAllocateNothingOnEitherPath) {
    // The counter is live: this very executable's allocations reach it.
    const long before = allocation_counter::count.load();
    int* volatile probe = new int(1);  // volatile: the pair cannot be optimised away
    delete probe;
    ASSERT_EQ(allocation_counter::count.load() - before, 1);

    std::vector<Triangle> model = wavy_surface(20000);
    view().set_bounds(first_vertex_bounds(model));
    view().triangles = std::move(model);
    ++view().model_generation;
    // Set-up, cache build, and the renderer's own first-use work: llvmpipe
    // compiles some shader variants only after a few frames.
    frame(10);
    ASSERT_EQ(view().model_geometry.builds(), 1u);

    EXPECT_EQ(allocations_during(5), 0);

    view().spin_axis[1] = 1;  // navigation pending: applied within the frame
    view().spin_angle = 25;
    view().pan_vector[0] = 1;
    view().pan_amount = 4;
    EXPECT_EQ(allocations_during(1), 0);

    top_view_cb(nullptr, nullptr);
    EXPECT_EQ(allocations_during(3), 0);

    view().capture_pending = true;  // counting frames toward a capture, short of the 10th
    view().output_named = true;
    EXPECT_EQ(allocations_during(5), 0);
    view().capture_pending = false;

    view().model_path = Model_Path::Immediate;
    frame();
    EXPECT_EQ(allocations_during(3), 0);
    EXPECT_EQ(view().model_geometry.builds(), 1u);
}

}  // namespace
