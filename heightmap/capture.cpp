#include "heightmap/capture.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "heightmap/height_map.h"
#include "heightmap/image_writer.h"

namespace {

bool at_top_view(const View_State& v) { return v.azimuth == 0.0f && v.elevation == 90.0f; }

}  // namespace

void run_capture_trigger(View_State& v) {
    // Frames drawn before the Save command has stored its name (its dialog
    // may still be open) neither count nor write.
    if (!v.capture_pending || !v.output_named) return;
    if (at_top_view(v)) ++v.frame_count;
    if (at_top_view(v) && v.frame_count == 10) {
        write_height_map(v);
        v.capture_pending = false;
        v.frame_count = 0;
    }
}

bool write_height_map(View_State& v) {
    using namespace height_map;
    const Depth_Range range = depth_range(v.depth_samples, kSamples);
    std::printf("max %f \n", range.max_depth);
    std::printf("min %f \n", range.min_depth);
    std::printf("real length %f \n", std::abs(range.min_depth - range.max_depth) * v.depth_extent * 2);
    std::fflush(stdout);

    depth_to_gray(v.depth_samples, kSamples, range.max_depth, v.depth_extent, v.gray_samples);
    lay_out(v.gray_samples, v.height_map);
    fill_pinholes(v.height_map);

    v.image_header = cv::Mat(kImageRows, kImageCols, CV_8UC1, v.height_map, kImageCols);
    std::string error;
    if (!write_image_atomically(v.output_path, v.image_header, error)) {
        std::fprintf(stderr, "ERROR: could not write \"%s\": %s\n", v.output_path, error.c_str());
        return false;
    }
    return true;
}
