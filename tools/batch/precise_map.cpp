#include "tools/batch/precise_map.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "heightmap/exact_heights.h"
#include "heightmap/map_files.h"
#include "heightmap/sizes.h"

namespace {

// As the frame draws a facet: scale, then model_matrix (column-major, as
// GL keeps it), after the translation that centres the bounds; y then
// counts from the plate's top.
std::vector<height_map::Plate_Triangle> placed(const std::vector<Triangle>& facets,
                                               const Model_Bounds& b, const double* m,
                                               const float* scale) {
    const double centre[3] = {(b.max_x + b.min_x) / 2.0, (b.max_y + b.min_y) / 2.0,
                              (b.max_z + b.min_z) / 2.0};
    std::vector<height_map::Plate_Triangle> out(facets.size());
    for (std::size_t k = 0; k < facets.size(); ++k)
        for (int v = 0; v < 3; ++v) {
            double p[3];
            for (int i = 0; i < 3; ++i) p[i] = scale[i] * (facets[k].v[v][i] - centre[i]);
            for (int i = 0; i < 3; ++i)
                out[k].v[v][i] = m[i] * p[0] + m[4 + i] * p[1] + m[8 + i] * p[2] + m[12 + i];
            out[k].v[v][1] -= sizes::kPlateY;
        }
    return out;
}

}  // namespace

Precise_Map make_precise_map(const std::vector<Triangle>& facets, const Model_Bounds& bounds,
                             const double* model_matrix, const float* model_scale,
                             const Map_Options& options) {
    Precise_Map result;
    const height_map::Exact_Map map = height_map::rasterize_heights(
        placed(facets, bounds, model_matrix, model_scale), options.pixel_size);
    result.quality.cut = static_cast<int>(map.cut);
    result.quality.below_plate = static_cast<int>(map.below_plate);
    result.quality.empty = map.empty;
    for (float h : map.heights) result.highest = std::max(result.highest, static_cast<double>(h));
    const bool tiff = options.format == Map_Format::Tiff;
    const map_files::Scale scale{tiff ? 1.0 : static_cast<double>(options.levels_per_unit),
                                 options.pixel_size, tiff};
    if (tiff) {
        result.status =
            map_files::encode_tiff(map.heights.data(), map.rows, map.cols, scale, result.bytes);
        return result;
    }
    // Levels truncated as the BMP's are; the top level holds what is above it.
    std::vector<std::uint16_t> levels(map.heights.size());
    for (std::size_t k = 0; k < levels.size(); ++k) {
        const double level = std::floor(map.heights[k] * options.levels_per_unit);
        result.quality.clipped += level >= 65535;
        levels[k] = static_cast<std::uint16_t>(std::min(level, 65535.0));
    }
    result.status = map_files::encode_png16(levels.data(), map.rows, map.cols, scale, result.bytes);
    return result;
}
