#include "heightmap/height_map.h"

#include <cmath>

#include "platform/buffer_size.h"

namespace height_map {

Depth_Range depth_range(const float* depth, std::size_t n) {
    Depth_Range r{0.0, 1.0};
    for (std::size_t k = 0; k < n; ++k) {
        const float d = depth[k];
        if (d > r.max_depth && d != 1.0f) r.max_depth = d;
        if (d < r.min_depth) r.min_depth = d;
    }
    return r;
}

namespace {

// The depth buffer runs from -depth_extent to depth_extent: depths 0 to 1
// span twice the extent.
double units_per_depth(double depth_extent) { return depth_extent * 2; }

}  // namespace

double real_length(const Depth_Range& range, double depth_extent) {
    return std::abs(range.min_depth - range.max_depth) * units_per_depth(depth_extent);
}

void depth_to_gray(const float* depth, std::size_t n, double max_depth, double depth_extent,
                   unsigned char* gray) {
    for (std::size_t k = 0; k < n; ++k) {
        int v = static_cast<int>((max_depth - depth[k]) * units_per_depth(depth_extent) *
                                 sizes::kLevelsPerUnit);
        if (v > sizes::kMaxGray) v = sizes::kMaxGray;
        if (v < 0) v = 0;
        gray[k] = static_cast<unsigned char>(v);
    }
}

void lay_out(const unsigned char* gray, std::size_t gray_count, unsigned char* image,
             std::size_t image_count) {
    platform::require_size(gray_count, kSamples, "the gray samples");
    platform::require_size(image_count, kImageRows * kImageCols, "the height map");
    for (int r = 0; r < kImageRows; ++r)
        for (int c = 0; c < kImageCols; ++c)
            image[r * kImageCols + c] = gray[c * kCaptureWidth + r];
}

void fill_pinholes(unsigned char* image, std::size_t image_count) {
    platform::require_size(image_count, kImageRows * kImageCols, "the height map");
    for (int r = kImageRows - 2; r >= 1; --r) {
        for (int c = 1; c <= kImageCols - 2; ++c) {
            unsigned char& cell = image[r * kImageCols + c];
            if (cell != 0) continue;
            int count = 0, sum = 0;
            for (int rr = r - 1; rr <= r + 1; ++rr)
                for (int cc = c - 1; cc <= c + 1; ++cc) {
                    const unsigned char n = image[rr * kImageCols + cc];
                    if (n != 0) {
                        ++count;
                        sum += n;
                    }
                }
            if (count > 6) cell = static_cast<unsigned char>(sum / count);
        }
    }
}

}  // namespace height_map
