#include "view/capture_trigger.h"

#include <cstdio>
#include <string>

#include "heightmap/conversion.h"
#include "heightmap/image_writer.h"
#include "heightmap/sizes.h"

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

std::string convert_height_map(View_State& v) {
    const std::string lines =
        height_map::convert_depth(v.depth_samples, v.depth_extent, v.gray_samples, v.height_map);
    v.image_header =
        cv::Mat(sizes::kImageRows, sizes::kImageCols, CV_8UC1, v.height_map, sizes::kImageCols);
    return lines;
}

bool write_height_map(View_State& v) {
    const std::string lines = convert_height_map(v);
    std::fputs(lines.c_str(), stdout);
    std::fflush(stdout);

    const Status written = write_image_atomically(v.output_path, v.image_header);
    if (!written) {
        std::fprintf(stderr, "ERROR: could not write \"%s\": %s\n", v.output_path,
                     written.reason().c_str());
        return false;
    }
    return true;
}
