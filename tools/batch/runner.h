#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "tools/batch/convert.h"
#include "tools/batch/jobs.h"
#include "tools/batch/options.h"
#include "tools/batch/progress.h"
#include "tools/batch/report.h"

// SIGINT, SIGTERM and SIGHUP ask the run to stop: the files in hand finish,
// so no temporary file is left behind; a second signal ends the program at
// once, with no temporary left either.
void catch_signals();
int stop_signal();  // the signal that asked to stop, 0 while none did

struct Tally {
    std::size_t converted = 0, skipped = 0, failed = 0;
};

// Converts one job with the converter of the calling thread's GL context,
// prints its lines as a run does, counts it and returns its report row.
Report_Row convert_job(Model_Converter& converter, const Job& job, const Options& options,
                       Progress& progress, Tally& tally);

// The row of a model that was not converted.
Report_Row unconverted_row(const std::string& input, const std::string& output, const char* status,
                           const std::string& message);

// Every input of the command line, converted with options.jobs workers, one
// row each in rows. Returns false only when the output folder cannot be made.
bool run_first_pass(const Options& options, std::vector<Report_Row>& rows, Tally& tally);
