#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tools/batch/convert.h"
#include "tools/batch/jobs.h"
#include "tools/batch/options.h"
#include "tools/batch/outcomes.h"
#include "tools/batch/progress.h"
#include "tools/batch/record_keeper.h"
#include "tools/batch/report.h"

// A stop signal (platform/stop_signals.h) asks the run to stop: the files
// in hand finish and no new one starts.

// What became of one job: its report row, or with `deferred` a file still
// being written that waits for the watch instead of failing. A failure
// that `may_pass` (a full disk, an I/O error, a writer) is worth trying again.
struct Job_Outcome {
    Report_Row row;
    bool deferred = false;
    bool may_pass = false;
};

// Converts one job with the converter of the calling thread's GL context;
// its image is not written yet.
Conversion convert_model(Model_Converter& converter, const Job& job, const Options& options,
                         Progress& progress);

// Writes the image a conversion made, with its record, and prints the
// job's lines as a run does. Returns its outcome, or nothing when a file
// found in a folder went away before it could be read: that is no
// failure, just a file that is no longer there. With defer_busy, a file
// still being written is deferred instead of failed.
std::optional<Job_Outcome> finish_job(Conversion& c, const Job& job, const Options& options,
                                      Record_Keeper& records, Progress& progress, bool defer_busy);

// The line of a model refused because `owner` already claims its output.
std::string collision_reason(const std::string& output, const std::string& owner);

// The row of a model that was not converted.
Report_Row unconverted_row(const std::string& input, const std::string& output, const char* status,
                           const std::string& message);

// The skip line and row of a model whose output is up to date; reason and
// digest fill the report's columns of those names.
Report_Row skipped_row(const Job& job, const std::string& reason, const std::string& digest);

// The failure line and row of a model whose output is another scan's image.
Report_Row clash_row(const Job& job, const std::string& why, const std::string& digest);
