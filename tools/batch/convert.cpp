#include "tools/batch/convert.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "app/load_lines.h"
#include "heightmap/image_writer.h"
#include "heightmap/sizes.h"
#include "model/stl_file.h"
#include "tools/batch/stl_check.h"
#include "view/capture_trigger.h"
#include "view/frame.h"
#include "view/view_state.h"

namespace {

// The size and the first bytes, for the checks that come before reading.
bool peek(const std::string& path, std::uint64_t& size, unsigned char* head, std::size_t& head_len,
          std::string& reason) {
    const int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0) {
        reason = std::string("cannot open: ") + std::strerror(errno);
        return false;
    }
    struct stat st;
    bool ok = fstat(fd, &st) == 0;
    if (!ok) {
        reason = std::string("cannot open: ") + std::strerror(errno);
    } else if (!S_ISREG(st.st_mode)) {
        reason = "cannot open: not a regular file";
        ok = false;
    } else {
        size = static_cast<std::uint64_t>(st.st_size);
        const ssize_t n = pread(fd, head, stl_check::kHeadSize, 0);
        if (n < 0) {
            reason = std::string("cannot read: ") + std::strerror(errno);
            ok = false;
        }
        head_len = n < 0 ? 0 : static_cast<std::size_t>(n);
    }
    close(fd);
    return ok;
}

}  // namespace

Conversion convert_model(const std::string& input, const std::string& output) {
    Conversion result;
    std::uint64_t size = 0;
    unsigned char head[stl_check::kHeadSize] = {};
    std::size_t head_len = 0;
    if (!peek(input, size, head, head_len, result.reason)) return result;
    result.reason = stl_check::problem_before_reading(head, head_len, size);
    if (!result.reason.empty()) return result;

    std::vector<Triangle> triangles;
    Model_Bounds bounds;
    Stl_Report report;
    const Status opened = read_stl_file(input.c_str(), triangles, bounds, report);
    if (!opened) {
        result.reason = "cannot open: " + opened.reason();
        return result;
    }
    result.console = stl_form_lines(report);
    result.warnings = stl_damage_lines(report, input.c_str());
    result.reason = stl_check::problem_after_reading(head, head_len, size, triangles.size());
    if (!result.reason.empty()) return result;

    // Frames: the window writes on the tenth frame drawn at the top view
    // after Save. Every frame clears the depth buffer and draws the model
    // with the view_matrix the previous frame left at its end (the
    // turn by azimuth and elevation), so the first top-view frame still
    // shows the model in the old orientation, and from the second on every
    // frame gives the same depth samples as the tenth: view_matrix is the
    // top view, model_matrix stays the identity (no trackball step or pan
    // is pending, and a zero pan and a zero angle leave it exact), and the
    // projection depends only on the view size. A fresh View_State's first
    // frame runs the set-up, which makes both matrices identities, draws
    // the model unturned, and ends by storing the top-view view_matrix from
    // the angles set before it. So two frames suffice, and the first needs
    // no model: nothing it draws outlives it (the depth buffer is cleared
    // and the samples are read again), which is why the model is handed
    // over only after it. The byte-equality test against the window's
    // capture path holds this to account.
    auto view = std::make_unique<View_State>();  // about 1.6 MB: not on a worker's stack
    view->azimuth = 0.0f;
    view->elevation = 90.0f;
    draw_frame(*view, sizes::kViewWidth, sizes::kViewHeight, false);
    view->triangles = std::move(triangles);
    view->set_bounds(bounds);
    ++view->model_generation;
    draw_frame(*view, sizes::kViewWidth, sizes::kViewHeight, true);
    // The worker's context outlives this View_State: free its buffer now,
    // or one would pile up there per model.
    view->model_geometry.release();

    result.console += convert_height_map(*view);
    const Status written = write_image_atomically(output.c_str(), view->image_header);
    if (!written) {
        result.reason = "cannot write \"" + output + "\": " + written.reason();
        return result;
    }
    result.ok = true;
    return result;
}
