#pragma once

#include <vector>

#include "platform/status.h"
#include "tools/batch/folder_watch.h"
#include "tools/batch/jobs.h"
#include "tools/batch/options.h"
#include "tools/batch/outcomes.h"
#include "tools/batch/record_keeper.h"

// --watch, after the first pass: converts every scan that the folder watch
// reports, with options.jobs workers, once the "still being written" rule
// says it is finished, and the files the first pass left to it
// (`deferred`). A file of a creating, closing, moving or linking event is
// converted whatever its output, unless the output is another scan's; one
// found by listing again or by a change of its attributes follows the
// first pass's rule (an output whose record matches is skipped). A failure
// that may pass (a full disk, an I/O error, a writer still at it) is tried
// again with a back-off. Runs until SIGINT, SIGTERM or SIGHUP: the
// conversions in hand finish, and every other scan in hand gets a failed
// row "interrupted (...)". Each outcome replaces the file's earlier one;
// the report, if any, is written at most once a second. Fails when no
// conversion could be set up at all.
Status watch_folders(const Options& options, Folder_Watch& folders,
                     const std::vector<Job>& deferred, Outcomes& outcomes, Record_Keeper& records);

// Prints the watch's lines about its folders on standard error.
void print_notes(Folder_Watch& folders);
