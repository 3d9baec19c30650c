#pragma once

#include <string>

// The window's Save of one model in its loaded pose, without the window:
// read the STL file, draw the top view with the window's frame code into
// the calling thread's current GL context (an 800 x 560 Offscreen_Context),
// convert the depth and write the BMP file atomically.
struct Conversion {
    bool ok = false;
    std::string reason;    // why it failed: one line, without the file name
    std::string console;   // the reader's and the conversion's console lines
    std::string warnings;  // the reader's diagnostics about a damaged file
};

Conversion convert_model(const std::string& input, const std::string& output);
