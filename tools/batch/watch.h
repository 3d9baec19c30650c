#pragma once

#include <vector>

#include "tools/batch/options.h"
#include "tools/batch/report.h"
#include "tools/batch/runner.h"

// --watch, after the first pass: converts every *.stl (any case) that is
// closed after writing or moved into a folder of the command line (with -r,
// their subfolders as they stand when the watch starts), once no process
// still has it open for writing, replacing its output. Runs until SIGINT or
// SIGTERM; the conversion in hand finishes first. Each file's row is added
// to rows, and the report, if any, is rewritten after each.
void watch_folders(const Options& options, std::vector<Report_Row>& rows, Tally& tally);
