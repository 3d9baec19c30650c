#include "tools/batch/watch.h"

#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/file_activity.h"
#include "platform/stop_signals.h"
#include "tools/batch/candidates.h"
#include "tools/batch/conversion_workers.h"
#include "tools/batch/folder_walk.h"
#include "tools/batch/runner.h"
#include "tools/batch/watch_queue.h"

using Clock = std::chrono::steady_clock;

namespace {

// The report is written at most this often while work goes on.
constexpr auto kReportEvery = std::chrono::seconds(1);

class Watch_Loop {
public:
    Watch_Loop(const Options& options, Outcomes& outcomes, Record_Keeper& records,
               Conversion_Workers& workers, Progress& progress)
        : options_(options),
          outcomes_(outcomes),
          records_(records),
          workers_(workers),
          progress_(progress) {
        // The first pass's outcomes stand until their scans change.
        for (const Report_Row& row : outcomes.rows())
            stamp_at_outcome_[row.input] = stamp_of(row.input);
    }

    void sighted(const Sighting& s, bool named = false) {
        queue_.sighted(s.path, s.event, named, stamp_of(s.path), Clock::now());
    }

    // A scan the first pass left to the watch: its writer still had it, or
    // its failure may pass.
    void deferred(const Job& job) {
        sighted({job.input, true}, job.named);
        if (!outcomes_.known(job.input)) queue_.writer_busy(job.input, Clock::now());
    }

    // Looks at each scan that is due: converts it if its writer is done.
    void look_at_due() {
        const auto now = Clock::now();
        for (const std::string& path : queue_.due(now)) look_at(path, now);
    }

    void take_finished() {
        for (Finished_Job& f : workers_.take_finished()) finished(f);
    }

    int timeout_ms(int most) const {
        int ms = most;
        const auto now = Clock::now();
        auto until = [&](Clock::time_point t) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(t - now);
            ms = std::max(0, std::min<int>(ms, static_cast<int>(left.count()) + 1));
        };
        if (const auto due = queue_.next_due()) until(*due);
        if (report_dirty_) until(report_written_ + kReportEvery);
        return ms;
    }

    void write_report_if_due(bool now) {
        if (!report_dirty_ || options_.report.empty()) return;
        if (!now && Clock::now() < report_written_ + kReportEvery) return;
        const Status written =
            write_report(options_.report, outcomes_.rows(), report_columns(options_));
        if (!written)
            std::fprintf(stderr, "%s: %s\n", options_.report.c_str(), written.reason().c_str());
        report_written_ = Clock::now();
        report_dirty_ = false;
    }

    // After a stop: the conversions in hand finish; everything else in
    // hand is reported as interrupted.
    void stop() {
        workers_.take_unstarted();
        while (workers_.unfinished() > 0) {
            workers_.wait(100);
            take_finished();
        }
        for (const Watch_Queue::Interrupted& i : queue_.stop()) {
            if (!i.event && outcomes_.known(i.path)) continue;  // a listing again: no news
            std::fprintf(stderr, "%s: %s\n", i.path.c_str(), i.message.c_str());
            Report_Row row = unconverted_row(i.path, output_of(i.path), "failed", i.message);
            record(row, true);
        }
    }

private:
    std::string output_of(const std::string& path) const { return output_path_for(path, options_); }

    void look_at(const std::string& path, Clock::time_point now) {
        const Watch_Queue::Scan& scan = *queue_.find(path);
        // Listed again unchanged since its outcome: a failure that cannot
        // pass is not tried again until the scan changes.
        const auto outcome = stamp_at_outcome_.find(path);
        if (!scan.event && outcome != stamp_at_outcome_.end() &&
            outcome->second == stamp_of(path)) {
            queue_.done(path, now);
            return;
        }
        // O_NONBLOCK: a FIFO must not hold the watch in open.
        const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) {
            struct stat st;
            const bool regular = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
            const Lease_State writer = regular ? Read_Lease(fd).state() : Lease_State::Held;
            close(fd);
            if (!regular) {  // a FIFO or a device is no scan: said once, until it changes
                std::fprintf(stderr, "%s\n", not_a_file_note(path).c_str());
                stamp_at_outcome_[path] = File_Stamp::of(st);
                queue_.done(path, now);
                return;
            }
            if (writer == Lease_State::Busy) {
                queue_.writer_busy(path, now);
                return;
            }
            if (writer == Lease_State::Unknown &&
                (!scan.seen || File_Stamp::of(st) != *scan.seen)) {
                queue_.unsettled(path, File_Stamp::of(st), now,
                                 std::chrono::duration_cast<Clock::duration>(
                                     std::chrono::duration<double>(options_.settle_seconds)));
                return;
            }
        }
        // Gone since: the conversion says so.
        Job job{path, output_of(path), scan.named, {}, {}, scan.failures > 0};
        const std::string owner = outcomes_.claimant(job.input, job.output);
        if (!owner.empty()) {
            const std::string why = collision_reason(job.output, owner);
            std::fprintf(stderr, "%s: %s\n", job.input.c_str(), why.c_str());
            record(unconverted_row(job.input, job.output, "failed", why), false);
            queue_.done(path, now);
            return;
        }
        // Another scan with this output is being converted: after it.
        const std::string output_id = identity_of(job.output);
        const auto busy = output_in_hand_.find(output_id);
        if (busy != output_in_hand_.end() && busy->second != path) {
            queue_.writer_busy(path, now);
            return;
        }
        const Job_Judgement j = judge_job(job, options_, records_, now_ns());
        if (j.verdict.action == Freshness::Clash) {
            record(clash_row(job, j.verdict.reason, j.digest), false);
            queue_.done(path, now);
            return;
        }
        if (!scan.event && j.verdict.action != Freshness::Convert) {
            // A listing again finds what the watch has done: no new outcome.
            if (!outcomes_.known(job.input))
                record(skipped_row(job, j.verdict.reason, j.digest), true);
            queue_.done(path, now);
            return;
        }
        job.why =
            j.verdict.action == Freshness::Convert ? j.verdict.reason : "closed after writing";
        // The settle test has just seen it unchanged where no lease could tell.
        job.settled = scan.seen;
        if (!options_.output_dir.empty()) {  // made again if it was removed
            std::error_code ignored;
            std::filesystem::create_directories(options_.output_dir, ignored);
        }
        output_in_hand_[output_id] = path;
        queue_.converting(path);
        progress_.expect_more(1);
        workers_.submit(std::move(job));
    }

    void finished(const Finished_Job& f) {
        const auto now = Clock::now();
        output_in_hand_.erase(identity_of(f.job.output));
        if (!f.outcome) {
            queue_.done(f.job.input, now);
            return;
        }
        record(f.outcome->row, true);
        if (!f.outcome->may_pass || stop_signal() != 0) {
            queue_.done(f.job.input, now);
            return;
        }
        if (queue_.retry(f.job.input, f.outcome->row.message, now))
            progress_.print(stderr, f.job.input +
                                        ": tried again in 1 s, then less often (at most a "
                                        "minute apart), until it passes\n");
    }

    void record(const Report_Row& row, bool owns_output) {
        outcomes_.record(row, owns_output);
        stamp_at_outcome_[row.input] = stamp_of(row.input);
        const Status kept = records_.flush(false);
        if (!kept) std::fprintf(stderr, "veltrim-batch: %s\n", kept.reason().c_str());
        report_dirty_ = true;
    }

    const Options& options_;
    Outcomes& outcomes_;
    Record_Keeper& records_;
    Conversion_Workers& workers_;
    Progress& progress_;
    Watch_Queue queue_;
    std::map<std::string, std::string> output_in_hand_;  // output identity -> its scan
    std::map<std::string, std::optional<File_Stamp>> stamp_at_outcome_;
    bool report_dirty_ = false;
    Clock::time_point report_written_{};
};

}  // namespace

void print_notes(Folder_Watch& folders) {
    for (const std::string& note : folders.take_notes()) std::fprintf(stderr, "%s\n", note.c_str());
}

Status watch_folders(const Options& options, Folder_Watch& folders,
                     const std::vector<Job>& deferred, Outcomes& outcomes, Record_Keeper& records) {
    Progress progress(0, isatty(STDERR_FILENO) == 1);
    Conversion_Workers workers(options.jobs, options, records, progress, false);
    if (!workers.status()) return workers.status();
    const std::string stoppers = stopping_signals();
    std::fprintf(stderr, "watching %zu folder%s for *.stl files (%s stops)\n",
                 folders.folder_count(), folders.folder_count() == 1 ? "" : "s",
                 stoppers.empty() ? "no signal" : stoppers.c_str());
    Watch_Loop loop(options, outcomes, records, workers, progress);
    for (const Job& job : deferred) loop.deferred(job);
    std::vector<Sighting> found;
    while (stop_signal() == 0) {
        // 250 ms bounds the wait for a signal and for the folders' looks.
        pollfd pfd[2] = {{folders.fd(), POLLIN, 0}, {workers.wake_fd(), POLLIN, 0}};
        poll(pfd, 2, loop.timeout_ms(250));
        found.clear();
        folders.collect(found);
        print_notes(folders);
        for (const Sighting& s : found) loop.sighted(s);
        loop.take_finished();
        if (stop_signal() == 0) loop.look_at_due();
        loop.write_report_if_due(false);
    }
    loop.stop();
    progress.close();
    return Status::ok();
}
