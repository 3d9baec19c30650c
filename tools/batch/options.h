#pragma once

#include <string>
#include <vector>

#include "platform/status.h"

// One step of --rotate: degrees about the model's x, y or z axis.
struct Rotation {
    char axis = 'x';
    float degrees = 0.0f;
};

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

// "x:-90,y:30": the steps in the given order. On failure the reason is the
// whole line to print, beginning "--rotate: ".
Status parse_rotations(const std::string& text, std::vector<Rotation>& rotations);

// Fills options from the command line. Returns -1 to go on, else the exit
// status (0 after --help or --version, 2 after a usage error, printed).
int parse_command_line(int argc, char** argv, Options& options);
