// Ordinary frames allocate nothing: this executable counts every operator new.
#include "support/offscreen_view.h"

#include "app/commands.h"
#include "support/allocation_counter.h"
#include "support/insole_model.h"
#include "support/model_bounds.h"

namespace {

using FrameAllocation = Offscreen_View_Test;

TEST_F(FrameAllocation, OrdinaryFramesAllocateNothingOnEitherPath) {
    long before = allocation_counter::count.load();
    int* volatile probe = new int(1);  // the counter is live; volatile keeps the pair
    delete probe;
    ASSERT_EQ(allocation_counter::count.load() - before, 1);

    std::vector<Triangle> model = insole_model(20000);
    const Model_Bounds bounds = first_vertex_bounds(model);
    view().set_model(std::move(model), bounds);
    // The first round also builds the cache and has llvmpipe compile the shader
    // variants each path and view needs: LLVM allocates the C++ way.
    for (int round = 0; round < 2; ++round)
        for (Model_Path path : {Model_Path::Cached, Model_Path::Immediate}) {
            view().model_path = path;
            frame(2);
            before = allocation_counter::count.load();
            frame(5);
            const float x_axis[3] = {1, 0, 0}, y_axis[3] = {0, 1, 0};
            view().request_spin(25, y_axis);  // navigation pending: applied within the frame
            view().request_pan(4, x_axis);
            frame();
            top_view_cb(nullptr, nullptr);
            frame(3);
            view().capture_pending = true;  // counting frames toward a capture, short of the 10th
            view().output_named = true;
            view().frame_count = 0;
            frame(5);
            if (round == 1) {
                EXPECT_EQ(allocation_counter::count.load() - before, 0) << static_cast<int>(path);
            }
            view().capture_pending = false;
        }
    EXPECT_EQ(view().model_geometry.builds(), 1u);
}

}  // namespace
