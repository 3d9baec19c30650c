#include "tools/batch/convert.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <iterator>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "model/stl_lines.h"
#include "heightmap/height_map.h"
#include "heightmap/image_writer.h"
#include "heightmap/sizes.h"
#include "model/stl_check.h"
#include "model/stl_file.h"
#include "platform/file_activity.h"
#include "platform/file_names.h"
#include "view/capture_trigger.h"
#include "view/frame.h"
#include "view/rotation_steps.h"
#include "view/view_poses.h"
#include "view/view_state.h"
#include "view/window_sizes.h"

namespace {

Status from_errno(const char* what) {
    return Status::failed(std::string(what) + std::strerror(errno));
}

// Closes the one descriptor a conversion reads through.
struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0) close(fd);
    }
};

// The checks that come before reading: the file's type and its first bytes.
Status peek(int fd, struct stat& st, unsigned char* head, std::size_t& head_len) {
    if (fstat(fd, &st) != 0) return from_errno("cannot open: ");
    if (!S_ISREG(st.st_mode)) return Status::failed("cannot open: not a regular file");
    const ssize_t n = pread(fd, head, stl_check::kSniffSize, 0);
    if (n < 0) return from_errno("cannot read: ");
    head_len = static_cast<std::size_t>(n);
    return stl_check::check_before_reading(head, head_len, static_cast<std::uint64_t>(st.st_size));
}

}  // namespace

Model_Converter::Model_Converter() : view_(std::make_unique<View_State>()) {
    view_->azimuth = kTopView.azimuth;
    view_->elevation = kTopView.elevation;
}

Model_Converter::~Model_Converter() = default;

Conversion Model_Converter::convert(const Job& job, const Options& options,
                                    Record_Keeper& records) {
    Conversion result;
    // One open: the lease, the checks and the read all go through it.
    const Descriptor file{open(job.input.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
    if (file.fd < 0) {
        result.status = from_errno("cannot open: ");
        return result;
    }
    const Read_Lease lease(file.fd);
    if (lease.state() == Lease_State::Busy) {
        result.being_written = true;
        result.status = Status::failed(kStillWritten + std::string("another process has it open "
                                                                   "for writing"));
        return result;
    }
    struct stat st;
    unsigned char head[stl_check::kSniffSize] = {};
    std::size_t head_len = 0;
    const Status peeked = peek(file.fd, st, head, head_len);
    // Without a lease, the settle wait's last look must still hold.
    if (job.settled && lease.state() == Lease_State::Unknown &&
        *job.settled != File_Stamp::of(st)) {
        result.being_written = true;
        result.status = Status::failed(kStillWritten + std::string("it changed after the settle "
                                                                   "wait"));
        return result;
    }
    result.status = peeked;
    if (!result.status) return result;
    result.form = stl_header::form(head, head_len) == Stl_Form::Ascii ? "ascii" : "binary";

    std::vector<Triangle> triangles;
    Model_Bounds bounds;
    Stl_Report report;
    result.status = read_stl_descriptor(file.fd, lease, triangles, bounds, report);
    if (!result.status) {
        result.status = Status::failed("cannot read: " + result.status.reason());
        return result;
    }
    if (report.being_written()) {
        result.being_written = true;
        result.status = Status::failed(kStillWritten + std::string("it changed while it was read"));
        return result;
    }
    result.console += stl_form_lines(report);
    result.warnings += stl_damage_lines(report, job.input.c_str());
    result.read = true;
    result.digest = report.digest;
    result.facets = triangles.size();
    result.status = stl_check::check_after_reading(
        head, head_len, static_cast<std::uint64_t>(st.st_size), triangles.size());
    if (!result.status) return result;

    // Frames: the window writes on the tenth frame drawn at the top view
    // after Save. Every frame clears the depth buffer and draws the model
    // with the view_matrix the previous frame left at its end (the turn by
    // azimuth and elevation), so the first top-view frame still shows the
    // model in the old orientation, and from the second on every frame
    // gives the same depth samples as the tenth: view_matrix is the top
    // view, model_matrix holds only the rotations (no pan is pending, and
    // a zero pan and a zero angle leave it exact), and the projection
    // depends only on the view size. A fresh view's first frame runs the
    // set-up, which makes both matrices identities, draws unturned, and
    // ends by storing the top-view view_matrix; it needs no model, since
    // nothing it draws outlives it (the depth buffer is cleared and the
    // samples are read again). After that frame the context and view_matrix
    // stay as they are from model to model, and putting model_matrix back
    // to the identity the set-up gives is all a new model needs. The
    // byte-equality tests against the window's capture path, over several
    // models in one run, hold this to account.
    //
    // Rotations go through the frame's own trackball step, one pending step
    // a frame, so model_matrix is accumulated by the very GL calls a left
    // drag makes: all but the last in frames without the model, the last
    // in the frame that captures.
    View_State& view = *view_;
    std::copy(std::begin(View_State::kIdentity), std::end(View_State::kIdentity),
              view.model_matrix);
    view.clear_model();
    const std::vector<Rotation>& rotations = options.rotations;
    const std::size_t turns = rotations.empty() ? 0 : rotations.size() - 1;
    const std::size_t empty_frames = set_up_ ? turns : std::max<std::size_t>(turns, 1);
    for (std::size_t k = 0; k < empty_frames; ++k) {
        if (k < turns) pend_rotation(view, rotations[k]);
        draw_frame(view, sizes::kViewWidth, sizes::kViewHeight, set_up_);
        set_up_ = true;
    }
    if (!rotations.empty()) pend_rotation(view, rotations.back());
    view.set_model(std::move(triangles), bounds);
    draw_frame(view, sizes::kViewWidth, sizes::kViewHeight, true);
    // The context outlives this model: free its buffer now, or one would
    // pile up there per model.
    view.model_geometry.release();

    result.console += convert_height_map(view);
    const height_map::Depth_Range range =
        height_map::depth_range(view.depth_samples, sizes::kSamples);
    result.real_length = height_map::real_length(range, view.depth_extent);
    result.quality = assess_capture(view);
    view.clear_model();
    if (options.strict && (result.quality.any() || !result.warnings.empty())) {
        result.held_back = true;
        result.status = Status::failed("not written (--strict): it has warnings");
        return result;
    }
    Source_Record record{report.digest,
                         platform::resolved_path(job.input),
                         report.stamp,
                         now_ns(),
                         pixel_options_text(options),
                         kConversionVersion,
                         {}};
    File_Label label = Record_Keeper::label_for(record);
    result.status = write_image_atomically(job.output.c_str(), view.image_header, &label);
    result.write_failed = !result.status;
    if (result.status) records.written(job.output, record, label.stored);
    return result;
}
