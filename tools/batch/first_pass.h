#pragma once

#include <vector>

#include "tools/batch/jobs.h"
#include "tools/batch/options.h"
#include "tools/batch/outcomes.h"
#include "tools/batch/record_keeper.h"

// Every input of the command line, converted with options.jobs workers,
// each outcome recorded. A file still open for writing fails, or with
// `deferred` is put there for the watch to convert once its writer is done;
// so is a failure that may pass, after its row.
// Returns false only when the output folder cannot be made: every model
// then fails with that reason, each with its row.
bool run_first_pass(const Options& options, Outcomes& outcomes, Record_Keeper& records,
                    std::vector<Job>* deferred);
