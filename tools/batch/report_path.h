#pragma once

#include "platform/status.h"
#include "tools/batch/options.h"

// Whether options.report may be written by this run, judged before any
// work on the file it leads to (links followed, a dangling link's target
// too): it is no folder, its folder exists, and it is no input or output
// of the run, no *.stl name (a folder would take it as a scan) and, under
// --watch, no *.bmp name where a later output may land. The reason names
// no report.
Status check_report_path(const Options& options);
