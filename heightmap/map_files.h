#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/status.h"

// Height maps as files that state their own scale, for CAM tools: PNG (8 or
// 16-bit gray) with text chunks, and TIFF (32-bit float) with its
// resolution and description tags. Encoded in memory, so that the one safe
// writer puts them on disk.
namespace map_files {

// How a map's values and pixels lie over the plate.
struct Scale {
    double levels_per_unit = 5;  // a value of N is N / levels_per_unit units above the plate
    double pixel_size = 1;       // units between pixel centres
    bool in_units = false;       // values are heights in units (float), no levels
};

// The scale in words, for a reader of the file: values, pixel size, where
// pixel (0, 0) lies on the plate and which way rows and columns run.
std::string description(const Scale& scale);

// The text chunks' keys and values, in the order written.
std::vector<std::pair<std::string, std::string>> text_fields(const Scale& scale);

// rows x cols gray values, row after row; 8 or 16 bits a value.
Status encode_png8(const std::uint8_t* values, int rows, int cols, const Scale& scale,
                   std::string& bytes);
Status encode_png16(const std::uint16_t* values, int rows, int cols, const Scale& scale,
                    std::string& bytes);
// Heights in units above the plate, 32-bit float, one strip a row.
Status encode_tiff(const float* heights, int rows, int cols, const Scale& scale,
                   std::string& bytes);

}  // namespace map_files
