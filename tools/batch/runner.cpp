#include "tools/batch/runner.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

#include "model/stl_lines.h"
#include "platform/stop_signals.h"
#include "platform/text_format.h"
#include "view/window_sizes.h"
#include "tools/batch/candidates.h"
#include "tools/batch/conversion_workers.h"
#include "tools/batch/watch_queue.h"
#include "tools/batch/stale_temporaries.h"
#include "view/offscreen_context.h"

namespace {

// The warnings of a converted model in one line: what the capture lost and
// what the reader worked around.
std::string warning_text(const std::string& quality, const std::vector<std::string>& warnings) {
    std::vector<std::string> lines;
    if (!quality.empty()) lines.push_back(quality);
    lines.insert(lines.end(), warnings.begin(), warnings.end());
    return platform::joined(lines, "; ");
}

bool gone(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) != 0 && errno == ENOENT;
}

// A file that is still being written: it fails, or with `deferred` waits
// for the watch.
void still_being_written(const Job& job, const std::string& why, Outcomes& outcomes,
                         std::vector<Job>* deferred) {
    if (deferred != nullptr) {
        std::fprintf(stderr, "%s: %s%s; converted once it is finished\n", job.input.c_str(),
                     kStillWritten, why.c_str());
        deferred->push_back(job);
        return;
    }
    const std::string reason = kStillWritten + why;
    std::fprintf(stderr, "%s: %s\n", job.input.c_str(), reason.c_str());
    Report_Row row = unconverted_row(job.input, job.output, "failed", reason);
    row.reason = job.why;
    outcomes.record(row, true);
}

// Sorts the listed jobs into those to convert now, skips and clashes. The
// files no lease can watch are looked at twice, a settle period apart,
// once for all of them: one that changed in between is still being
// written.
std::vector<Job> jobs_to_convert(const Options& options, const Job_List& list, Outcomes& outcomes,
                                 Record_Keeper& records, std::vector<Job>* deferred) {
    std::vector<Job> todo;
    std::vector<std::size_t> unwatched;  // in todo
    const std::int64_t now = now_ns();
    Clock_Skew skew(now);
    std::size_t by_time = 0;
    for (const Job& listed : list.jobs) {
        Job job = listed;
        const Job_Judgement j = judge_job(job, options, records, now);
        if (j.scan) skew.look_at(job.input, j.scan->mtime_ns);
        skew.look_at(job.output, j.image_mtime_ns);
        by_time += j.verdict.judged_by_time;
        switch (j.verdict.action) {
        case Freshness::Skip:
        case Freshness::Renew:
            outcomes.record(skipped_row(job, j.verdict.reason, j.digest), true);
            break;
        case Freshness::Clash:
            outcomes.record(clash_row(job, j.verdict.reason, j.digest), false);
            break;
        case Freshness::Convert:
            job.why = j.verdict.reason;
            job.settled = j.scan;
            if (j.needs_settle) unwatched.push_back(todo.size());
            todo.push_back(std::move(job));
            break;
        }
    }
    skew.say();
    if (by_time > 0)
        std::fprintf(stderr,
                     "veltrim-batch: note: %zu image%s no record of the scan %s made from; "
                     "judged by %s times as before (an image older than its scan is made "
                     "again)\n",
                     by_time, by_time == 1 ? " has" : "s have",
                     by_time == 1 ? "it was" : "they were", by_time == 1 ? "its" : "their");
    if (unwatched.empty()) return todo;
    std::fprintf(stderr, "waiting %g s for %zu file%s that no lease can watch to settle\n",
                 options.settle_seconds, unwatched.size(), unwatched.size() == 1 ? "" : "s");
    // A stop during the wait leaves them all unread: the run reports them
    // as interrupted.
    wait_unless_stopped(options.settle_seconds);
    std::vector<Job> settled;
    for (std::size_t k = 0, u = 0; k < todo.size(); ++k) {
        const bool looked = u < unwatched.size() && unwatched[u] == k;
        u += looked;
        struct stat st;
        if (looked && stat(todo[k].input.c_str(), &st) == 0 &&
            File_Stamp::of(st) != *todo[k].settled) {
            still_being_written(todo[k], "its size or times changed during the settle wait",
                                outcomes, deferred);
            continue;
        }
        if (!looked) todo[k].settled.reset();
        settled.push_back(std::move(todo[k]));
    }
    return settled;
}

}  // namespace

Report_Row unconverted_row(const std::string& input, const std::string& output, const char* status,
                           const std::string& message) {
    Report_Row row;
    row.input = input;
    row.output = output;
    row.status = status;
    row.message = message;
    return row;
}

std::string collision_reason(const std::string& output, const std::string& owner) {
    return "not converted: its output \"" + output + "\" is also that of \"" + owner + "\"";
}

Report_Row skipped_row(const Job& job, const std::string& reason, const std::string& digest) {
    const std::string why =
        "\"" + job.output + "\" is up to date (--overwrite converts it again anyway)";
    std::fprintf(stderr, "%s: skipped: %s\n", job.input.c_str(), why.c_str());
    Report_Row row = unconverted_row(job.input, job.output, "skipped", why);
    row.digest = digest;
    row.reason = reason;
    return row;
}

Report_Row clash_row(const Job& job, const std::string& why, const std::string& digest) {
    std::fprintf(stderr, "%s: %s\n", job.input.c_str(), why.c_str());
    Report_Row row = unconverted_row(job.input, job.output, "failed", why);
    row.digest = digest;
    row.reason = "clash";
    return row;
}

std::optional<Job_Outcome> convert_job(Model_Converter& converter, const Job& job,
                                       const Options& options, Record_Keeper& records,
                                       Progress& progress, bool defer_busy) {
    progress.started(job.input);
    Conversion c;
    try {
        c = converter.convert(job, options, records);
    } catch (const std::exception& e) {  // a model too large for memory, say
        c.status = Status::failed(std::string("cannot convert: ") + e.what());
    }
    const bool ok = c.status.is_ok();
    if (!ok && !job.named && gone(job.input)) {
        progress.finished(job.input, job.output, false);
        progress.print(stderr, job.input + ": gone before it could be read; nothing to do\n");
        return std::nullopt;
    }
    if (c.being_written && defer_busy) {
        progress.finished(job.input, job.output, false);
        progress.print(stderr,
                       job.input + ": " + c.status.reason() + "; converted once it is finished\n");
        return Job_Outcome{unconverted_row(job.input, job.output, "failed", c.status.reason()),
                           true, true};
    }
    const bool may_pass = !ok && failure_may_pass(c.status.code(), c.being_written);
    const std::string quality = height_map::describe(c.quality);
    const std::string warnings = warning_text(quality, c.warnings);
    std::string why = c.status.reason();
    if (c.write_failed) why = "cannot write \"" + job.output + "\": " + why;
    if (c.held_back) why += ": " + warnings;
    // The image kept is not this scan's as it is now.
    if (!ok && !gone(job.output) && job.why != kOverwriteReason)
        why += "; the existing \"" + job.output + "\" is out of date (" + job.why + ")";
    if (options.verbose) {
        std::vector<std::string> console = c.console;
        if (c.depth) {
            const std::vector<std::string> depth = height_map::depth_lines(*c.depth);
            console.insert(console.end(), depth.begin(), depth.end());
        }
        progress.print(stdout, job.input + ":\n" + platform::as_lines(console));
        if (!c.warnings.empty())
            progress.print(stderr, platform::as_lines(c.warnings, job.input + ": "));
    } else if (ok && !c.warnings.empty()) {
        progress.print(stderr, platform::as_lines(c.warnings, job.input + ": warning: "));
    }
    if (ok && !quality.empty()) progress.print(stderr, job.input + ": WARNING: " + quality + "\n");
    if (!ok && !(job.retrying && may_pass)) progress.print(stderr, job.input + ": " + why + "\n");
    progress.finished(job.input, job.output, ok);

    Report_Row row =
        unconverted_row(job.input, job.output, ok ? "converted" : "failed", ok ? warnings : why);
    row.form = c.form;
    row.reason = job.why;
    if (c.read) {
        row.facets = std::to_string(c.facets);
        row.digest = c.digest.hex();
    }
    if (ok) {
        row.real_length = platform::format_text("%f", c.real_length);
        row.clipped = std::to_string(c.quality.clipped);
        row.cut = c.quality.cut > 0 ? "yes" : "no";
        row.below_plate = c.quality.below_plate > 0 ? "yes" : "no";
    }
    return Job_Outcome{row, false, may_pass};
}

bool run_first_pass(const Options& options, Outcomes& outcomes, Record_Keeper& records,
                    std::vector<Job>* deferred) {
    const auto start = std::chrono::steady_clock::now();
    std::string no_folder;  // why every model fails, when the output folder cannot be made
    if (!options.output_dir.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(options.output_dir, ec);
        if (ec || !std::filesystem::is_directory(options.output_dir)) {
            no_folder = "cannot create the output folder \"" + options.output_dir +
                        "\": " + (ec ? ec.message() : "not a folder");
            std::fprintf(stderr, "veltrim-batch: %s\n", no_folder.c_str());
        }
    }

    const Job_List list = gather_jobs(options);
    if (!options.watch)  // the watch has named them once already, and keeps them named
        for (const std::string& note : list.notes) std::fprintf(stderr, "%s\n", note.c_str());
    if (const std::size_t removed = remove_stale_temporaries_of_run(options, list.jobs))
        std::fprintf(stderr, "veltrim-batch: removed %zu temporary file%s left by ended runs\n",
                     removed, removed == 1 ? "" : "s");
    for (const std::vector<Job_Failure>* failures : {&list.failures, &list.collisions})
        for (const Job_Failure& f : *failures) {
            const std::string why =
                f.claimant.empty() ? f.reason : collision_reason(f.output, f.claimant);
            std::fprintf(stderr, "%s: %s\n", f.input.c_str(), why.c_str());
            outcomes.record(unconverted_row(f.input, f.output, "failed", why), false);
        }
    std::vector<Job> todo;
    if (no_folder.empty())
        todo = jobs_to_convert(options, list, outcomes, records, deferred);
    else
        for (const Job& job : list.jobs) {
            std::fprintf(stderr, "%s: %s\n", job.input.c_str(), no_folder.c_str());
            outcomes.record(unconverted_row(job.input, job.output, "failed", no_folder), true);
        }

    Progress progress(todo.size(), isatty(STDERR_FILENO) == 1);
    std::vector<std::optional<Job_Outcome>> outcome_of(todo.size());
    std::vector<bool> taken(todo.size(), false);
    std::string no_context;
    if (!todo.empty()) {
        const unsigned count =
            static_cast<unsigned>(std::min<std::size_t>(options.jobs, todo.size()));
        Conversion_Workers workers(count, options, records, progress, deferred != nullptr);
        if (!workers.status()) no_context = workers.status().reason();
        for (const Job& job : todo)
            if (no_context.empty()) workers.submit(job);
        // A stop leaves the jobs no worker took; those in hand finish.
        while (no_context.empty() && workers.unfinished() > 0) {
            if (stop_signal() != 0) workers.take_unstarted();
            workers.wait(250);
            for (Finished_Job& f : workers.take_finished()) {
                taken[f.number] = true;
                outcome_of[f.number] = std::move(f.outcome);
            }
        }
        if (no_context.empty() && !workers.context_error().empty())
            std::fprintf(stderr, "veltrim-batch: note: a worker had no OpenGL context (%s)\n",
                         workers.context_error().c_str());
    }
    progress.close();

    std::size_t converted = 0, unconverted = 0;
    for (std::size_t k = 0; k < todo.size(); ++k) {
        if (taken[k]) {
            if (!outcome_of[k]) continue;
            if (outcome_of[k]->deferred) {
                deferred->push_back(todo[k]);
                continue;
            }
            converted += outcome_of[k]->row.status == "converted";
            outcomes.record(outcome_of[k]->row, true);
            // The watch tries it again: a full disk may have room by then.
            if (deferred != nullptr && outcome_of[k]->may_pass) deferred->push_back(todo[k]);
            continue;
        }
        ++unconverted;
        std::string why = "interrupted";
        if (!no_context.empty()) {  // no worker could draw: every model fails for that reason
            why = no_context;
            std::fprintf(stderr, "%s: %s\n", todo[k].input.c_str(), why.c_str());
        }
        Report_Row row = unconverted_row(todo[k].input, todo[k].output, "failed", why);
        row.reason = todo[k].why;
        outcomes.record(row, true);
    }

    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::fprintf(stderr, "%s in %.2f s", tally_text(outcomes.tally()).c_str(), seconds);
    if (converted > 0) std::fprintf(stderr, " (%.1f files/s)", converted / seconds);
    std::fprintf(stderr, "\n");
    if (stop_signal() != 0) std::fprintf(stderr, "interrupted: %zu not converted\n", unconverted);
    return no_folder.empty();
}
