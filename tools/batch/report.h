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
    // The scan's content digest, and why its image was skipped or made.
    std::string digest, reason;
};

// One CSV field, quoted when it holds a comma, a quote or a line break.
std::string csv_field(const std::string& text);

// What every row of a run shares: the map's format and pixel size.
struct Run_Columns {
    std::string format = "bmp", pixel_size = "1";
};

// The header row and the rows, CRLF line ends. No cell starts as a formula
// would (=, +, -, @, tab, CR): a relative path gets "./" in front, so it
// still names its file, any other cell a "'".
std::string csv_text(const std::vector<Report_Row>& rows, const Run_Columns& run = {});

// Writes the report as the images are written: whole or not at all, a link
// kept a link, the mode of the earlier file or else the umask's.
Status write_report(const std::string& path, const std::vector<Report_Row>& rows,
                    const Run_Columns& run);
