#include "tools/batch/convert.h"

#include <algorithm>
#include <iterator>
#include <memory>
#include <thread>
#include <vector>

#include "heightmap/image_writer.h"
#include "heightmap/map_files.h"
#include "heightmap/sizes.h"
#include "platform/atomic_write.h"
#include "platform/file_activity.h"
#include "platform/file_names.h"
#include "tools/batch/precise_map.h"
#include "tools/batch/scan_reader.h"
#include "view/capture_trigger.h"
#include "view/frame.h"
#include "view/view_poses.h"
#include "view/view_state.h"
#include "view/window_sizes.h"

namespace {

// --strict: a model with any warning (the capture's losses, the reader's
// damage lines) is not written.
bool held_back(const Options& options, Conversion& result) {
    if (!options.strict || (!result.quality.any() && result.warnings.empty())) return false;
    result.held_back = true;
    result.status = Status::failed("not written (--strict): it has warnings");
    return true;
}

// The cores the jobs leave: as many threads as the GL path's software
// renderer takes for its frame.
unsigned threads_per_job(const Options& options) {
    const unsigned cores = std::thread::hardware_concurrency();
    return std::max(1u, cores / std::max(1u, options.jobs));
}

}  // namespace

Model_Converter::Model_Converter() : view_(std::make_unique<View_State>()) {
    view_->azimuth = kTopView.azimuth;
    view_->elevation = kTopView.elevation;
}

Model_Converter::~Model_Converter() = default;

Conversion Model_Converter::convert(const Job& job, const Options& options) {
    Conversion result;
    Scan_Read scan;
    if (!read_scan(job, options.settle_seconds, scan, result)) return result;

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
    if (options.map.precise()) return convert_precisely(job, options, scan, result);
    std::copy(std::begin(View_State::kIdentity), std::end(View_State::kIdentity),
              view.model_matrix);
    view.clear_model();
    const std::vector<Rotation>& rotations = options.rotations;
    const std::size_t turns = rotations.empty() ? 0 : rotations.size() - 1;
    const std::size_t empty_frames = set_up_ ? turns : std::max<std::size_t>(turns, 1);
    for (std::size_t k = 0; k < empty_frames; ++k) {
        if (k < turns) view.request_rotation(rotations[k]);
        draw_frame(view, sizes::kViewWidth, sizes::kViewHeight, set_up_);
        set_up_ = true;
    }
    if (!rotations.empty()) view.request_rotation(rotations.back());
    view.set_model(std::move(scan.triangles), scan.bounds);
    draw_frame(view, sizes::kViewWidth, sizes::kViewHeight, true);
    // The context outlives this model: free its buffer now, or one would
    // pile up there per model.
    view.model_geometry.release();

    result.depth = convert_height_map(view);
    result.real_length = result.depth->real_length;
    result.quality = assess_capture(view);
    view.clear_model();
    if (held_back(options, result)) return result;
    if (options.map.format == Map_Format::Png) {
        std::string bytes;
        result.status = map_files::encode_png8(view.height_map, sizes::kImageRows,
                                               sizes::kImageCols, {5, 1}, bytes);
        if (result.status) to_write(job, options, scan, std::move(bytes), result);
        return result;
    }
    // The next model draws into the view's pixels: the image keeps a copy.
    to_write(job, options, scan, view.image_header.clone(), result);
    return result;
}

void Model_Converter::to_write(const Job& job, const Options& options, const Scan_Read& scan,
                               Image_Bytes image, Conversion& result) {
    result.pending = Pending_Image{job.output, std::move(image),
                                   Source_Record{scan.report.digest,
                                                 platform::resolved_path(job.input),
                                                 scan.report.stamp,
                                                 now_ns(),
                                                 pixel_options_text(options),
                                                 kConversionVersion,
                                                 {}}};
}

void finish_writing(Conversion& c, Record_Keeper& records) {
    if (!c.pending) return;
    Pending_Image& p = *c.pending;
    File_Label label = Record_Keeper::label_for(p.record);
    try {
        c.status =
            std::holds_alternative<std::string>(p.image)
                ? write_file_atomically(p.output.c_str(), std::get<std::string>(p.image), &label)
                : write_bmp_atomically(p.output.c_str(), std::get<cv::Mat>(p.image), &label);
        c.write_failed = !c.status;
        if (c.status) records.written(p.output, p.record, label.stored);
    } catch (const std::exception& e) {  // no memory to encode, say
        c.status = Status::failed(std::string("cannot convert: ") + e.what());
    }
    c.pending.reset();
}

// The facets sampled exactly: no frame draws the model. The rotations'
// model_matrix is the one the trackball's frames give, made once.
Conversion Model_Converter::convert_precisely(const Job& job, const Options& options,
                                              Scan_Read& scan, Conversion& result) {
    View_State& view = *view_;
    if (!turned_) {
        std::copy(std::begin(View_State::kIdentity), std::end(View_State::kIdentity),
                  view.model_matrix);
        view.clear_model();
        set_up_ = set_up_ || options.rotations.empty();  // nothing to draw, no context
        const std::size_t frames =
            set_up_ ? options.rotations.size() : std::max<std::size_t>(options.rotations.size(), 1);
        for (std::size_t k = 0; k < frames; ++k) {
            if (k < options.rotations.size()) view.request_rotation(options.rotations[k]);
            draw_frame(view, sizes::kViewWidth, sizes::kViewHeight, set_up_);
            set_up_ = true;
        }
        std::copy(std::begin(view.model_matrix), std::end(view.model_matrix), turn_);
        turned_ = true;
    }
    Precise_Map map = make_precise_map(scan.triangles, scan.bounds, turn_, view.model_scale,
                                       options.map, threads_per_job(options));
    result.real_length = map.highest;
    result.quality = map.quality;
    result.status = map.status;
    if (!result.status) return result;
    if (held_back(options, result)) return result;
    to_write(job, options, scan, std::move(map.bytes), result);
    return result;
}
