#include "tools/batch/watch.h"

#include <chrono>
#include <fcntl.h>
#include <cstdio>
#include <filesystem>
#include <map>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/file_activity.h"
#include "platform/stop_signals.h"
#include "view/window_sizes.h"
#include "tools/batch/candidates.h"
#include "tools/batch/runner.h"
#include "view/offscreen_context.h"

using Clock = std::chrono::steady_clock;

namespace {

// Events for one file often come in a burst (a copy tool's close, then its
// rename): it is taken once it has been quiet this long.
constexpr auto kSettle = std::chrono::milliseconds(150);

struct Pending {
    Clock::time_point due;
    struct stat seen {};  // size and time at the last sighting, for the fallback test
    bool stat_ok = false;
    bool event = false;  // converted whatever its output
    bool named = false;  // named on the command line: its absence is a failure
};

void sighted(std::map<std::string, Pending>& pending, const std::string& path, bool event) {
    Pending& p = pending[path];
    p.due = Clock::now() + kSettle;
    p.stat_ok = stat(path.c_str(), &p.seen) == 0;
    p.event = p.event || event;
}

class Watch_Loop {
public:
    Watch_Loop(const Options& options, Outcomes& outcomes, Record_Keeper& records)
        : options_(options), outcomes_(outcomes), records_(records) {}

    // Whether the entry is ready: no writer, or (where that cannot be told)
    // unchanged since its last sighting. A busy file is dropped: its
    // writer's close brings it back.
    bool settled(const std::string& path, Pending& p, bool& drop) {
        // O_NONBLOCK: a FIFO must not hold the watch in open.
        const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) return true;  // gone: the conversion says so
        const Lease_State writer = Read_Lease(fd).state();
        close(fd);
        drop = writer == Lease_State::Busy;
        if (writer != Lease_State::Unknown) return true;
        struct stat now {};
        if (p.stat_ok && stat(path.c_str(), &now) == 0 &&
            File_Stamp::of(now) == File_Stamp::of(p.seen))
            return true;
        p.due = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                   std::chrono::duration<double>(options_.settle_seconds));
        p.stat_ok = stat(path.c_str(), &p.seen) == 0;
        return false;
    }

    void take(const std::string& path, const Pending& p) {
        struct stat st;
        if (stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) return;  // a FIFO is no scan
        Job job{path, output_path_for(path, options_.output_dir), p.named, {}, {}};
        const std::string owner = outcomes_.claimant(job.input, job.output);
        if (!owner.empty()) {
            const std::string why = collision_reason(job.output, owner);
            std::fprintf(stderr, "%s: %s\n", job.input.c_str(), why.c_str());
            record(unconverted_row(job.input, job.output, "failed", why), false);
            return;
        }
        const Job_Judgement j = judge_job(job, options_, records_, now_ns());
        if (j.verdict.action == Freshness::Clash) {
            record(clash_row(job, j.verdict.reason, j.digest), false);
            return;
        }
        if (!p.event && j.verdict.action != Freshness::Convert) {
            // A listing again finds what the watch has done: no new outcome.
            if (!outcomes_.known(job.input))
                record(skipped_row(job, j.verdict.reason, j.digest), true);
            return;
        }
        job.why =
            j.verdict.action == Freshness::Convert ? j.verdict.reason : "closed after writing";
        // The settle test has just seen it unchanged where no lease could tell.
        if (p.stat_ok) job.settled = File_Stamp::of(p.seen);
        if (!options_.output_dir.empty()) {  // made again if it was removed
            std::error_code ignored;
            std::filesystem::create_directories(options_.output_dir, ignored);
        }
        Progress progress(1, isatty(STDERR_FILENO) == 1);
        const std::optional<Job_Outcome> outcome =
            convert_job(converter_, job, options_, records_, progress, false);
        progress.close();
        if (outcome) record(outcome->row, true);
    }

private:
    void record(const Report_Row& row, bool owns_output) {
        outcomes_.record(row, owns_output);
        const Status kept = records_.flush(false);
        if (!kept) std::fprintf(stderr, "veltrim-batch: %s\n", kept.reason().c_str());
        if (options_.report.empty()) return;
        const Status written = write_report(options_.report, outcomes_.rows());
        if (!written)
            std::fprintf(stderr, "%s: %s\n", options_.report.c_str(), written.reason().c_str());
    }

    const Options& options_;
    Outcomes& outcomes_;
    Record_Keeper& records_;
    Model_Converter converter_;
};

}  // namespace

void print_notes(Folder_Watch& folders) {
    for (const std::string& note : folders.take_notes()) std::fprintf(stderr, "%s\n", note.c_str());
}

Status watch_folders(const Options& options, Folder_Watch& folders,
                     const std::vector<Job>& deferred, Outcomes& outcomes, Record_Keeper& records) {
    Offscreen_Context context(sizes::kViewWidth, sizes::kViewHeight);
    if (!context.status())
        return Status::failed("no offscreen OpenGL context: " + context.status().reason());
    const std::string stoppers = stopping_signals();
    std::fprintf(stderr, "watching %zu folder%s for *.stl files (%s stops)\n",
                 folders.folder_count(), folders.folder_count() == 1 ? "" : "s",
                 stoppers.empty() ? "no signal" : stoppers.c_str());
    std::map<std::string, Pending> pending;
    for (const Job& job : deferred) {
        sighted(pending, job.input, true);
        pending[job.input].named = job.named;
    }
    Watch_Loop loop(options, outcomes, records);
    std::vector<Sighting> found;
    while (stop_signal() == 0) {
        int timeout_ms = 250;  // bounds the wait for a signal, and for a folder to come back
        const auto now = Clock::now();
        for (const auto& p : pending) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(p.second.due - now).count();
            timeout_ms = std::max(0, std::min<int>(timeout_ms, static_cast<int>(left) + 1));
        }
        pollfd pfd{folders.fd(), POLLIN, 0};
        poll(&pfd, 1, timeout_ms);
        found.clear();
        folders.collect(found);
        print_notes(folders);
        for (const Sighting& s : found) sighted(pending, s.path, s.event);
        for (auto it = pending.begin(); it != pending.end() && stop_signal() == 0;) {
            bool drop = false;
            if (it->second.due > Clock::now() || !loop.settled(it->first, it->second, drop)) {
                ++it;
                continue;
            }
            if (!drop) loop.take(it->first, it->second);
            it = pending.erase(it);
        }
    }
    return Status::ok();
}
