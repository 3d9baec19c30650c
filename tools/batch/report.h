#pragma once

#include <string>
#include <vector>

#include "platform/status.h"

// One input's line of the --report CSV. Cells that do not apply (the facets
// of a file never read, the quality of one never converted) stay empty.
struct Report_Row {
    std::string input, output;
    std::string status;  // "converted", "skipped" or "failed"
    std::string facets, form, real_length, clipped, cut, below_plate;
    std::string message;
};

// One CSV field, quoted when it holds a comma, a quote or a line break.
std::string csv_field(const std::string& text);

// The header row and the rows, CRLF line ends.
std::string csv_text(const std::vector<Report_Row>& rows);

// Writes the report whole or not at all: a temporary file in the same
// folder, flushed to disk, renamed into place.
Status write_report(const std::string& path, const std::vector<Report_Row>& rows);
