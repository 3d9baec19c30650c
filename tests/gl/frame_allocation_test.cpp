// Ordinary frames allocate nothing: this executable counts every operator new.
#include "support/offscreen_view.h"

#include "app/commands.h"
#include "support/allocation_counter.h"
#include "support/wavy_surface.h"

namespace {

using FrameAllocation = Offscreen_View_Test;

TEST_F(FrameAllocation, OrdinaryFramesAllocateNothingOnEitherPath) {
    long before = allocation_counter::count.load();
    int* volatile probe = new int(1);  // the counter is live; volatile keeps the pair
    delete probe;
    ASSERT_EQ(allocation_counter::count.load() - before, 1);

    std::vector<Triangle> model = wavy_surface(20000);
    view().set_bounds(first_vertex_bounds(model));
    view().triangles = std::move(model);
    ++view().model_generation;
    frame(10);  // set-up, cache build, and llvmpipe's shader variants compiled on first use
    before = allocation_counter::count.load();
    frame(5);
    view().spin_axis[1] = 1;  // navigation pending: applied within the frame
    view().spin_angle = 25;
    view().pan_vector[0] = 1;
    view().pan_amount = 4;
    frame();
    top_view_cb(nullptr, nullptr);
    frame(3);
    view().capture_pending = true;  // counting frames toward a capture, short of the 10th
    view().output_named = true;
    frame(5);
    EXPECT_EQ(allocation_counter::count.load() - before, 0);
    view().capture_pending = false;
    view().model_path = Model_Path::Immediate;
    frame();
    before = allocation_counter::count.load();
    frame(3);
    EXPECT_EQ(allocation_counter::count.load() - before, 0) << "immediate mode";
    EXPECT_EQ(view().model_geometry.builds(), 1u);
}

}  // namespace
