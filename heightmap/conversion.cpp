#include "heightmap/conversion.h"

#include "platform/buffer_size.h"
#include "platform/text_format.h"

namespace height_map {

Converted_Depth convert_depth(const float* depth, std::size_t depth_count, double depth_extent,
                              unsigned char* gray, std::size_t gray_count, unsigned char* image,
                              std::size_t image_count) {
    platform::require_size(depth_count, kSamples, "the depth samples");
    platform::require_size(gray_count, kSamples, "the gray samples");
    const Depth_Range range = depth_range(depth, kSamples);
    depth_to_gray(depth, kSamples, range.max_depth, depth_extent, gray);
    lay_out(gray, kSamples, image, image_count);
    fill_pinholes(image, image_count);
    return {range, real_length(range, depth_extent)};
}

std::vector<std::string> depth_lines(const Converted_Depth& depth) {
    return {platform::format_text("max %f ", depth.range.max_depth),
            platform::format_text("min %f ", depth.range.min_depth),
            platform::format_text("real length %f ", depth.real_length)};
}

}  // namespace height_map
