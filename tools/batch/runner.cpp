#include "tools/batch/runner.h"

#include <cerrno>
#include <cstdio>
#include <exception>
#include <mutex>
#include <sys/stat.h>

#include "model/stl_lines.h"
#include "platform/text_format.h"
#include "view/window_sizes.h"
#include "tools/batch/candidates.h"
#include "tools/batch/watch_queue.h"
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

Conversion convert_model(Model_Converter& converter, const Job& job, const Options& options,
                         Progress& progress) {
    progress.started(job.input);
    Conversion c;
    try {
        c = converter.convert(job, options);
    } catch (const std::exception& e) {  // a model too large for memory, say
        c.status = Status::failed(std::string("cannot convert: ") + e.what());
    }
    return c;
}

std::optional<Job_Outcome> finish_job(Conversion& c, const Job& job, const Options& options,
                                      Record_Keeper& records, Progress& progress, bool defer_busy) {
    finish_writing(c, records);
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
