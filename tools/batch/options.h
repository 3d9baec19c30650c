#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tools/batch/map_options.h"
#include "tools/batch/report.h"
#include "model/rotation_steps.h"

struct Options {
    std::vector<std::string> inputs;
    std::string output_dir;
    std::string report;  // CSV file written at the end; empty for none
    std::vector<Rotation> rotations;
    bool recursive = false;
    bool follow_links = false;  // under recursive, into linked folders too
    bool overwrite = false;
    bool verbose = false;
    bool watch = false;
    bool strict = false;  // a file with any warning fails and gets no image
    unsigned jobs = 0;
    // Where no lease can tell whether a file is still being written, it
    // must keep its size and times this long.
    double settle_seconds = 2.0;
    // How often the watch lists its folders again: < 0 only those on a
    // network file system (every kRemoteRescanSeconds), 0 never.
    double rescan_seconds = -1.0;
    Map_Options map;
};

// The options that change an image's pixels, as its record keeps them:
// "rotate=x:-90,z:30" ("rotate=" without turns), then the map's
// (map_options_text).
std::string pixel_options_text(const Options& options);

// The report's columns every row of this run shares.
Run_Columns report_columns(const Options& options);

// Fills options from the command line. Returns nothing to go on, else the
// exit status (0 after --help or --version, 2 after a usage error, printed).
std::optional<int> parse_command_line(int argc, char** argv, Options& options);
