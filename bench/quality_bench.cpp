// The quality check beside the capture (assess_capture: gray problems and
// the count of pixels below the plate) as a ratio to the capture frame it
// follows (the frame with its depth readback, then the conversion), both
// timed in the same run on the same model: (a) an insole of about 20,000
// facets, (b) 20,000 large facets reaching under the plate, the worst case
// of the count. Prints the median of each and the ratio.
//
//   quality_bench [ROUNDS]   (default 15)
#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

#include "bench/median_time.h"
#include "support/insole_model.h"
#include "support/model_bounds.h"
#include "view/capture_trigger.h"
#include "view/frame.h"
#include "view/offscreen_context.h"
#include "view/view_poses.h"
#include "view/window_sizes.h"

namespace {

constexpr int kW = sizes::kViewWidth, kH = sizes::kViewHeight;

// Triangles across most of the capture window at heights from -30 to +30
// about the middle of the bounds: the lower half lies under the plate.
std::vector<Triangle> large_facets_below(std::size_t n) {
    std::vector<Triangle> t(n);
    for (std::size_t k = 0; k < n; ++k) {
        const float y = -30.0f + 60.0f * static_cast<float>(k) / static_cast<float>(n - 1);
        const float s = k % 2 == 0 ? 1.0f : -1.0f;
        t[k] = Triangle{{{-170 * s, y, -70 * s}, {170 * s, y, -60 * s}, {0, y + 1, 70 * s}}};
    }
    return t;
}

void measure(const char* name, std::vector<Triangle> triangles, int rounds) {
    auto view = std::make_unique<View_State>();  // large: not on the stack
    view->azimuth = kTopView.azimuth;
    view->elevation = kTopView.elevation;
    const Model_Bounds bounds = first_vertex_bounds(triangles);
    view->set_model(std::move(triangles), bounds);
    draw_frame(*view, kW, kH, false, true);
    for (int i = 0; i < 8; ++i) draw_frame(*view, kW, kH, true);  // shaders compiled
    height_map::Quality quality;
    const double frame = median_ms(
        [&] {
            draw_frame(*view, kW, kH, true);
            glFinish();
            convert_height_map(*view);
        },
        rounds);
    const double check = median_ms([&] { quality = assess_capture(*view); }, rounds);
    std::printf("%-34s | %9.2f | %9.2f | %6.2fx | %d\n", name, frame, check, check / frame,
                quality.below_plate);
    view->clear_model();
    draw_frame(*view, kW, kH, true);  // frees the buffer while the context is current
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    Offscreen_Context context(kW, kH);
    if (!context.status()) {
        std::fprintf(stderr, "no offscreen GL context: %s\n", context.status().reason().c_str());
        return 1;
    }
    std::printf("%-34s | %9s | %9s | %7s | %s\n", "model", "frame ms", "check ms", "check/frame",
                "below-plate pixels");
    measure("insole, 20000 facets", insole_model(20000, 1), rounds);
    measure("20000 large facets under the plate", large_facets_below(20000), rounds);
    return 0;
}
