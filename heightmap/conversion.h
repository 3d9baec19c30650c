#pragma once

#include <string>

// One capture's conversion, from the depth samples of the capture window to
// the finished height map: range, gray levels, layout and pinhole fill.
// Takes plain buffers, so the view, the batch converter and the tests share
// it without a view of their own.
namespace height_map {

// Fills gray (kSamples bytes) and image (kImageRows x kImageCols bytes) from
// depth (kSamples floats) and returns the three console lines the capture
// prints: "max", "min" and "real length".
std::string convert_depth(const float* depth, double depth_extent, unsigned char* gray,
                          unsigned char* image);

}  // namespace height_map
