#include "heightmap/conversion.h"

#include <cstdio>

#include "heightmap/height_map.h"

namespace height_map {

namespace {

// printf's formatting of one value, appended to text.
void append_line(std::string& text, const char* format, double value) {
    const int n = std::snprintf(nullptr, 0, format, value);
    if (n <= 0) return;
    std::string line(static_cast<std::size_t>(n) + 1, '\0');
    std::snprintf(&line[0], line.size(), format, value);
    line.pop_back();
    text += line;
}

}  // namespace

std::string convert_depth(const float* depth, double depth_extent, unsigned char* gray,
                          unsigned char* image) {
    const Depth_Range range = depth_range(depth, kSamples);
    std::string lines;
    append_line(lines, "max %f \n", range.max_depth);
    append_line(lines, "min %f \n", range.min_depth);
    append_line(lines, "real length %f \n", real_length(range, depth_extent));

    depth_to_gray(depth, kSamples, range.max_depth, depth_extent, gray);
    lay_out(gray, image);
    fill_pinholes(image);
    return lines;
}

}  // namespace height_map
