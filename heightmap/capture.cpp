#include "heightmap/capture.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "heightmap/height_map.h"
#include "heightmap/image_writer.h"

namespace {

bool at_top_view(const View_State& v) { return v.azimuth == 0.0f && v.elevation == 90.0f; }

// printf's formatting of one value, appended to text.
void append_line(std::string& text, const char* format, double value) {
    const int n = std::snprintf(nullptr, 0, format, value);
    if (n <= 0) return;
    std::string line(static_cast<std::size_t>(n) + 1, '\0');
    std::snprintf(&line[0], line.size(), format, value);
    line.pop_back();
    text += line;
}

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
    using namespace height_map;
    const Depth_Range range = depth_range(v.depth_samples, kSamples);
    std::string lines;
    append_line(lines, "max %f \n", range.max_depth);
    append_line(lines, "min %f \n", range.min_depth);
    append_line(lines, "real length %f \n",
                std::abs(range.min_depth - range.max_depth) * v.depth_extent * 2);

    depth_to_gray(v.depth_samples, kSamples, range.max_depth, v.depth_extent, v.gray_samples);
    lay_out(v.gray_samples, v.height_map);
    fill_pinholes(v.height_map);

    v.image_header = cv::Mat(kImageRows, kImageCols, CV_8UC1, v.height_map, kImageCols);
    return lines;
}

bool write_height_map(View_State& v) {
    const std::string lines = convert_height_map(v);
    std::fputs(lines.c_str(), stdout);
    std::fflush(stdout);

    std::string error;
    if (!write_image_atomically(v.output_path, v.image_header, error)) {
        std::fprintf(stderr, "ERROR: could not write \"%s\": %s\n", v.output_path, error.c_str());
        return false;
    }
    return true;
}
