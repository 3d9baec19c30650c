#pragma once

#include <cstddef>

#include "heightmap/sizes.h"

// Depth samples of the 360 x 150 capture window to the 150 x 360 gray height
// map. Pure functions, no GL: the capture trigger and the tests call them.
namespace height_map {

using sizes::kCaptureHeight;
using sizes::kCaptureWidth;
using sizes::kImageCols;
using sizes::kImageRows;
using sizes::kSamples;

struct Depth_Range {
    double max_depth;  // the base plate: farthest sample short of the clear value
    double min_depth;  // the highest visible point
};

// Strict comparisons; a sample of exactly 1.0 (nothing drawn) never becomes
// max_depth.
Depth_Range depth_range(const float* depth, std::size_t n);

// The model's height in model units, as the "real length" line prints it.
double real_length(const Depth_Range& range, double depth_extent);

// Five gray levels per model unit above max_depth, truncated, clamped to
// 0..255, from n samples into n gray bytes. Samples farther than the plate
// (only the clear value can be) give 0 instead of wrapping around to bright
// garbage.
void depth_to_gray(const float* depth, std::size_t n, double max_depth, double depth_extent,
                   unsigned char* gray);

// Capture window (bottom row first) turned a quarter turn clockwise:
// image (r, c) = gray[c * 360 + r]. gray holds at least kSamples of its
// gray_count bytes, image kImageRows x kImageCols of its image_count.
void lay_out(const unsigned char* gray, std::size_t gray_count, unsigned char* image,
             std::size_t image_count);

// In-place fill of isolated zero cells: rows 358 down to 1, columns 1 up to
// 148; a zero cell with more than six nonzero neighbours gets their
// truncated mean. Borders are never changed. image holds at least
// kImageRows x kImageCols of its image_count bytes.
void fill_pinholes(unsigned char* image, std::size_t image_count);

}  // namespace height_map
