#include "view/capture_trigger.h"

#include <cstdio>
#include <iterator>
#include <string>
#include <sys/stat.h>

#include "heightmap/image_writer.h"
#include "heightmap/sizes.h"
#include "platform/file_names.h"
#include "platform/text_format.h"
#include "view/operator_notice.h"
#include "view/view_poses.h"

namespace {

bool at_top_view(const View_State& v) {
    return v.azimuth == kTopView.azimuth && v.elevation == kTopView.elevation;
}

// The end of the Save command, so its console lines and notices are printed here.
void write_height_map(View_State& v) {
    const height_map::Converted_Depth depth = convert_height_map(v);
    std::fputs(platform::as_lines(height_map::depth_lines(depth)).c_str(), stdout);
    std::fflush(stdout);
    const height_map::Quality quality = assess_capture(v);
    // With no model, "no model pixel" would send the operator looking for one.
    const std::string no_model = "no model is loaded: the map is all black";
    if (v.triangles.empty())
        std::fprintf(stderr, "WARNING: %s\n", no_model.c_str());
    else if (quality.any())
        std::fprintf(stderr, "WARNING: %s\n", height_map::describe(quality).c_str());

    struct stat before;
    const bool replacing = stat(v.output_path, &before) == 0;
    const Status written = write_bmp_atomically(v.output_path, v.image_header);
    const std::string name = platform::file_name_of(v.output_path);
    if (!written) {
        std::fprintf(stderr, "ERROR: could not write \"%s\": %s\n", v.output_path,
                     written.reason().c_str());
        notify_operator(Notice_Tone::Error,
                        "ERROR: could not write " + name + ": " + written.reason());
        return;
    }
    const std::string height =
        platform::format_text("highest point %.1f units above the plate", depth.real_length);
    // The whole path: the operator sees where it went, and what it replaced.
    const std::string saved =
        platform::resolved_path(v.output_path) + (replacing ? ", replacing the earlier file" : "");
    if (v.triangles.empty())
        notify_operator(Notice_Tone::Warning,
                        "WARNING: saved " + saved + ", but " + no_model + ".");
    else if (quality.any())
        notify_operator(Notice_Tone::Warning, "WARNING: saved " + saved + " (" + height +
                                                  "). It lost: " + height_map::describe(quality) +
                                                  ".");
    else
        notify_operator(Notice_Tone::Info, "Saved " + saved + ": " + height + ".");
    notify_map_written(v.output_path);
}

}  // namespace

void run_capture_trigger(View_State& v) {
    // Frames drawn before the Save command has stored its name (its dialog
    // may still be open) neither count nor write.
    if (!v.capture_pending || !v.output_named) return;
    // Turned away (a drag or a preset) before the tenth frame: the capture
    // waits for the top view, and the operator should know why.
    if (!at_top_view(v) && !v.capture_wait_told)
        notify_operator(Notice_Tone::Warning,
                        "Save is waiting: press 上視 (top view) to capture the height map.");
    v.capture_wait_told = !at_top_view(v);
    if (at_top_view(v)) ++v.frame_count;
    if (at_top_view(v) && v.frame_count == 10) {
        write_height_map(v);
        v.capture_pending = false;
        v.frame_count = 0;
    }
}

bool capture_counts_frames(const View_State& v) {
    return v.capture_pending && v.output_named && at_top_view(v);
}

height_map::Converted_Depth convert_height_map(View_State& v) {
    const height_map::Converted_Depth depth = height_map::convert_depth(
        v.depth_samples, std::size(v.depth_samples), v.depth_extent, v.gray_samples,
        std::size(v.gray_samples), v.height_map, std::size(v.height_map));
    v.image_header =
        cv::Mat(sizes::kImageRows, sizes::kImageCols, CV_8UC1, v.height_map, sizes::kImageCols);
    return depth;
}

height_map::Quality assess_capture(const View_State& v) {
    height_map::Quality q;
    height_map::count_gray_problems(v.gray_samples, std::size(v.gray_samples), q);
    // The frame's transform of a vertex, composed in double: model_matrix,
    // then the scale, then the centring on the bounds.
    const double* m = v.model_matrix;
    const float centre[3] = {-(v.max_x + v.min_x) / 2, -(v.max_y + v.min_y) / 2,
                             -(v.max_z + v.min_z) / 2};
    double to_plate[16];
    for (int col = 0; col < 3; ++col)
        for (int row = 0; row < 4; ++row)
            to_plate[col * 4 + row] = m[col * 4 + row] * v.model_scale[col];
    for (int row = 0; row < 4; ++row) {
        double t = m[12 + row];
        for (int col = 0; col < 3; ++col) t += to_plate[col * 4 + row] * centre[col];
        to_plate[12 + row] = t;
    }
    static_assert(sizeof(Triangle) == 9 * sizeof(float), "facets are read as 9 floats each");
    if (!v.triangles.empty())
        q.below_plate =
            height_map::count_below_plate(&v.triangles[0].v[0][0], v.triangles.size(), to_plate);
    return q;
}
