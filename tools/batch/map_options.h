#pragma once

#include <string>

#include "platform/status.h"

namespace CLI {
class App;
}

// What kind of height map a run writes: today's BMP, or for a mill's CAM
// tools the same pixels as PNG, or precise maps from the facets themselves
// (16-bit PNG levels, 32-bit float TIFF heights) on a finer grid.
enum class Map_Format { Bmp, Png, Png16, Tiff };

struct Map_Options {
    Map_Format format = Map_Format::Bmp;
    double pixel_size = 1.0;    // png16 and tiff: units between pixel centres
    int levels_per_unit = 100;  // png16: a level is 1 / levels_per_unit units
    bool precise() const { return format == Map_Format::Png16 || format == Map_Format::Tiff; }
};

// ".bmp", ".png" or ".tif": what NAME.stl becomes.
const char* map_extension(Map_Format format);

// --format, --pixel-size and --levels-per-unit.
void add_map_options(CLI::App& app, Map_Options& options);
// After parsing: the combinations and values that make no map, for a usage
// error (exit 2).
Status check_map_options(const CLI::App& app, const Map_Options& options);

// The map's part of an image's record: "" for bmp, as records have always
// been; else ";format=png16;pixel-size=0.25;levels-per-unit=100".
std::string map_options_text(const Map_Options& options);

// The report's columns for these options: "png16" and "0.25", say.
std::string format_name(Map_Format format);
std::string pixel_size_text(const Map_Options& options);
