#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "heightmap/quality.h"
#include "platform/status.h"
#include "tools/batch/options.h"

// The window's Save of one model without the window: read the STL file,
// turn it by the rotations as trackball steps, draw the top view with the
// window's frame code into the calling thread's current GL context (an
// 800 x 560 Offscreen_Context), convert the depth and write the BMP file
// atomically.
struct Conversion {
    Status status;         // why it failed: one line, without the file name
    std::string console;   // the reader's and the conversion's console lines
    std::string warnings;  // the reader's diagnostics about a damaged file
    bool read = false;     // the facets below were read
    std::size_t facets = 0;
    const char* form = "";     // "binary" or "ascii" once the first bytes are known
    double real_length = 0.0;  // the "real length" line's value
    height_map::Quality quality;
};

Conversion convert_model(const std::string& input, const std::string& output,
                         const std::vector<Rotation>& rotations);
