#pragma once

#include <vector>

#include "platform/status.h"
#include "tools/batch/folder_watch.h"
#include "tools/batch/jobs.h"
#include "tools/batch/options.h"
#include "tools/batch/outcomes.h"
#include "tools/batch/record_keeper.h"

// --watch, after the first pass: converts every scan that the folder watch
// reports, once no process still has it open for writing, and the files
// the first pass left to it (`deferred`, still being written then). A file
// of a closing or moving event is converted whatever its output, unless the
// output is another scan's; one found by listing a folder again follows the
// first pass's rule (an output whose record matches is skipped). Runs until SIGINT, SIGTERM or SIGHUP; the
// conversion in hand finishes first. Each outcome replaces the file's
// earlier one, and the report, if any, is rewritten after each. Fails when
// no conversion could be set up at all.
Status watch_folders(const Options& options, Folder_Watch& folders,
                     const std::vector<Job>& deferred, Outcomes& outcomes, Record_Keeper& records);

// Prints the watch's lines about its folders on standard error.
void print_notes(Folder_Watch& folders);
