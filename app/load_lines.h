#pragma once

#include <cstddef>
#include <string>

#include "model/stl_report.h"
#include "platform/status.h"
#include "view/operator_notice.h"

// The console lines of the Load command, worded from what the reader
// found; veltrim-batch prints the same ones.

// Standard output: "bin STL Size %d\n" and the form line.
std::string stl_form_lines(const Stl_Report& report);

// Standard error: one line for each kind of damage the reader worked
// around; `path` names the file in a read error's line.
std::string stl_damage_lines(const Stl_Report& report, const char* path);

// Standard error: the file at `path` could not be opened, `why` says why.
std::string stl_open_failure_line(const char* path, const Status& why);

// The status line's words for a load: the file's name, its facet count and
// form and what the reader worked around, or why it could not be read.
std::string load_notice(const char* path, const Status& opened, const Stl_Report& report,
                        std::size_t facets);

// Whether that load needs the operator's attention: damage, or no facets.
Notice_Tone load_tone(const Stl_Report& report, std::size_t facets);
