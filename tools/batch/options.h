#pragma once

#include <optional>
#include <string>
#include <vector>

#include "view/rotation_steps.h"

struct Options {
    std::vector<std::string> inputs;
    std::string output_dir;
    std::string report;  // CSV file written at the end; empty for none
    std::vector<Rotation> rotations;
    bool recursive = false;
    bool overwrite = false;
    bool verbose = false;
    bool watch = false;
    bool strict = false;  // a file with any warning fails and gets no image
    unsigned jobs = 0;
};

// Fills options from the command line. Returns nothing to go on, else the
// exit status (0 after --help or --version, 2 after a usage error, printed).
std::optional<int> parse_command_line(int argc, char** argv, Options& options);
