// veltrim-batch: the window's "Save BMP" for many STL files at once, with no
// display. Each model is drawn in its loaded pose (or turned by --rotate as
// the trackball turns it) at the top view by the window's own frame code in
// an offscreen EGL context and written as the same height map, byte for
// byte. --report writes a CSV of the run, --watch keeps converting new
// files.
#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/stop_signals.h"
#include "tools/batch/folder_watch.h"
#include "tools/batch/job_memory.h"
#include "tools/batch/options.h"
#include "tools/batch/outcomes.h"
#include "tools/batch/record_keeper.h"
#include "tools/batch/report.h"
#include "tools/batch/report_path.h"
#include "tools/batch/first_pass.h"
#include "tools/batch/watch.h"

namespace {

// Every model allocates and frees the same few large blocks (its facets,
// the GL's vertex buffer): left to glibc's defaults they are mapped and
// unmapped again per model, and touching fresh pages costs more than the
// reading. Keep them in the heap for the next model instead; a model
// larger than this still gets its own mapping and gives it back.
void keep_model_sized_blocks() {
    constexpr int kBlock = 256 << 20;
    mallopt(M_MMAP_THRESHOLD, kBlock);
    mallopt(M_TRIM_THRESHOLD, kBlock);
}

// More jobs than memory holds, each with a model as large as is accepted,
// could end the run in the kernel's out-of-memory killer: fewer, said.
void limit_jobs_to_memory(Options& options) {
    const std::optional<std::uint64_t> available = available_memory();
    if (!available) return;
    const unsigned allowed = jobs_memory_allows(options.jobs, *available, kBytesPerJob);
    if (allowed == options.jobs) return;
    std::fprintf(stderr,
                 "veltrim-batch: note: -j %u lowered to %u: a job may need %.1f GB (a model of "
                 "%u facets) and %.1f GB of memory is free\n",
                 options.jobs, allowed, kBytesPerJob / 1e9, stl_check::kMaxFacets,
                 *available / 1e9);
    options.jobs = allowed;
}

}  // namespace

int main(int argc, char** argv) {
    keep_model_sized_blocks();
    Options options;
    if (const std::optional<int> ended = parse_command_line(argc, argv, options)) return *ended;
    if (!options.report.empty()) {
        const Status usable = check_report_path(options);  // before any work it could undo
        if (!usable) {
            std::fprintf(stderr, "--report: \"%s\": %s\n", options.report.c_str(),
                         usable.reason().c_str());
            return 2;
        }
    }
    limit_jobs_to_memory(options);
    finish_work_on_stop();

    // Watching starts before the first pass, so that what arrives during
    // it is converted too.
    std::unique_ptr<Folder_Watch> folders;
    if (options.watch) {
        folders = std::make_unique<Folder_Watch>(options);
        print_notes(*folders);
        if (!folders->status()) {
            std::fprintf(stderr, "veltrim-batch: cannot watch: %s\n",
                         folders->status().reason().c_str());
            return 1;
        }
    }
    Outcomes outcomes;
    Record_Keeper records;
    std::vector<Job> deferred;
    // Folders awaited by the watch have nothing to convert yet.
    Options first_pass = options;
    if (folders) {
        const std::vector<std::string> awaited = folders->awaited();
        auto is_awaited = [&](const std::string& input) {
            return std::find(awaited.begin(), awaited.end(), input) != awaited.end();
        };
        first_pass.inputs.erase(
            std::remove_if(first_pass.inputs.begin(), first_pass.inputs.end(), is_awaited),
            first_pass.inputs.end());
    }
    bool ok = run_first_pass(first_pass, outcomes, records, folders ? &deferred : nullptr);
    if (ok && folders && stop_signal() == 0) {
        const Status watched = watch_folders(options, *folders, deferred, outcomes, records);
        if (!watched)
            std::fprintf(stderr, "veltrim-batch: cannot watch: %s\n", watched.reason().c_str());
        ok = watched.is_ok();
        std::fprintf(stderr, "stopped: %s in all\n", tally_text(outcomes.tally()).c_str());
    }
    const Status kept = records.flush(true);
    if (!kept) {
        std::fprintf(stderr, "veltrim-batch: %s\n", kept.reason().c_str());
        ok = false;
    }
    if (records.used_record_files())
        std::fprintf(stderr,
                     "veltrim-batch: note: an output folder keeps no file attributes; the "
                     "images' records are in its %s\n",
                     kRecordFileName);
    if (!options.report.empty()) {
        const Status written =
            write_report(options.report, outcomes.rows(), report_columns(options));
        if (!written) {
            std::fprintf(stderr, "%s: %s\n", options.report.c_str(), written.reason().c_str());
            ok = false;
        }
    }
    // A watch ends by a signal as its normal stop; a plain run that was
    // interrupted ends as the signal would have ended it.
    if (!options.watch) end_as_stopped();
    return ok && outcomes.tally().failed == 0 ? 0 : 1;
}
