#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tools/batch/convert.h"
#include "tools/batch/jobs.h"
#include "tools/batch/options.h"
#include "tools/batch/outcomes.h"
#include "tools/batch/progress.h"
#include "tools/batch/report.h"

// A stop signal (platform/stop_signals.h) asks the run to stop: the files
// in hand finish and no new one starts.

// Converts one job with the converter of the calling thread's GL context
// and prints its lines as a run does. Returns its report row, or nothing
// when a file found in a folder went away before it could be read: that is
// no failure, just a file that is no longer there.
std::optional<Report_Row> convert_job(Model_Converter& converter, const Job& job,
                                      const Options& options, Progress& progress);

// The line of a model refused because `owner` already claims its output.
std::string collision_reason(const std::string& output, const std::string& owner);

// The row of a model that was not converted.
Report_Row unconverted_row(const std::string& input, const std::string& output, const char* status,
                           const std::string& message);

// The skip line and row of a model whose output is up to date.
Report_Row skipped_row(const Job& job);

// Every input of the command line, converted with options.jobs workers,
// each outcome recorded. A file still open for writing fails, or with
// `deferred` is put there for the watch to convert once its writer is done.
// Returns false only when the output folder cannot be made: every model
// then fails with that reason, each with its row.
bool run_first_pass(const Options& options, Outcomes& outcomes, std::vector<Job>* deferred);
