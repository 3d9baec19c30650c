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
// counts from the plate's top. Folded into one affine map.
struct Placement {
    double a[3][3], t[3];

    Placement(const Model_Bounds& b, const double* m, const float* scale) {
        const double centre[3] = {(b.max_x + b.min_x) / 2.0, (b.max_y + b.min_y) / 2.0,
                                  (b.max_z + b.min_z) / 2.0};
        for (int i = 0; i < 3; ++i) {
            t[i] = m[12 + i];
            for (int j = 0; j < 3; ++j) {
                a[i][j] = m[4 * j + i] * scale[j];
                t[i] -= a[i][j] * centre[j];
            }
        }
        t[1] -= sizes::kPlateY;
    }

    void place(const Triangle& facet, height_map::Plate_Triangle& out) const {
        for (int v = 0; v < 3; ++v) {
            const double p[3] = {facet.v[v][0], facet.v[v][1], facet.v[v][2]};
            for (int i = 0; i < 3; ++i)
                out.v[v][i] = a[i][0] * p[0] + a[i][1] * p[1] + a[i][2] * p[2] + t[i];
        }
    }
};

// Placed a block at a time: a large model needs no placed copy of itself.
height_map::Exact_Map heights_of(const std::vector<Triangle>& facets, const Placement& placement,
                                 double pixel_size) {
    constexpr std::size_t kBlock = 1024;
    std::vector<height_map::Plate_Triangle> block(kBlock);
    height_map::Height_Rasterizer rasterizer(pixel_size);
    for (std::size_t start = 0; start < facets.size(); start += kBlock) {
        const std::size_t count = std::min(kBlock, facets.size() - start);
        for (std::size_t k = 0; k < count; ++k) placement.place(facets[start + k], block[k]);
        rasterizer.draw(block.data(), count);
    }
    return rasterizer.finish();
}

}  // namespace

Precise_Map make_precise_map(const std::vector<Triangle>& facets, const Model_Bounds& bounds,
                             const double* model_matrix, const float* model_scale,
                             const Map_Options& options) {
    Precise_Map result;
    const height_map::Exact_Map map =
        heights_of(facets, Placement(bounds, model_matrix, model_scale), options.pixel_size);
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
