#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "heightmap/height_map.h"

// One capture's conversion, from the depth samples of the capture window to
// the finished height map: range, gray levels, layout and pinhole fill.
// Takes plain buffers, so the view, the batch converter and the tests share
// it without a view of their own.
namespace height_map {

// What the depth samples measured, besides the image made from them.
struct Converted_Depth {
    Depth_Range range;
    double real_length;  // the model's height in model units
};

// Fills gray (at least kSamples of gray_count bytes) and image (at least
// kImageRows x kImageCols of image_count bytes) from depth (at least
// kSamples of depth_count floats); the first kSamples of each are used.
Converted_Depth convert_depth(const float* depth, std::size_t depth_count, double depth_extent,
                              unsigned char* gray, std::size_t gray_count, unsigned char* image,
                              std::size_t image_count);

// The capture's console lines, each with its trailing blank: "max", "min"
// and "real length"; both programs print them.
std::vector<std::string> depth_lines(const Converted_Depth& depth);

}  // namespace height_map
