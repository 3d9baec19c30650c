#pragma once

#include <optional>
#include <vector>

#include "model/rotation_steps.h"

// veltrim [FLTK options] [--rotate AXIS:DEG[,...]] [MODEL.stl]
struct Command_Line {
    const char* model = nullptr;      // the first argument that is not an option
    bool unknown_option = false;      // FLTK's list of options has been printed
    std::vector<Rotation> rotations;  // --rotate: the pose every model is loaded in
    // Set when the program ends before the window opens, with this status:
    // 0 after --help or --version, 2 after a bad --rotate (printed).
    std::optional<int> exit_status;
};

// Hands the options to FLTK (Fl::args), which keeps them for the main
// window's show(argc, argv). An option FLTK does not know prints its list
// of options; the rest of the line is still read. Arguments after "--" are
// never options. --help and --version print to standard output and need
// no display.
Command_Line parse_command_line(int argc, char** argv);

// Loads the model named on the command line, if any, once the event loop
// runs, so that the window is up first.
void load_model_when_shown(const Command_Line& line);
