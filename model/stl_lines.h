#pragma once

#include <string>
#include <vector>

#include "model/stl_report.h"
#include "platform/status.h"

// The console lines a load prints, worded from what the reader found; the
// window's Load command and veltrim-batch print the same ones. Lines come
// without their '\n': the one who prints them ends them.

// Standard output: "bin STL Size %d" and the form line.
std::vector<std::string> stl_form_lines(const Stl_Report& report);

// Standard error: one line for each kind of damage the reader worked
// around; `path` names the file in a read error's line.
std::vector<std::string> stl_damage_lines(const Stl_Report& report, const char* path);

// Standard error: the file at `path` could not be opened, `why` says why.
std::string stl_open_failure_line(const char* path, const Status& why);

// Why a file counts as still being written, worded alike in both programs:
// kStillWritten and the reason.
constexpr const char* kStillWritten = "still being written: ";
constexpr const char* kWriterHasIt = "another process has it open for writing";
constexpr const char* kChangedWhileRead = "it changed while it was read";

// The reason for a read whose report says it was being written.
const char* being_written_reason(const Stl_Report& report);
