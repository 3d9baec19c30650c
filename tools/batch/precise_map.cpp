#include "tools/batch/precise_map.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <thread>

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
void draw_share(const Triangle* facets, std::size_t count, const Placement& placement,
                height_map::Height_Rasterizer& rasterizer) {
    constexpr std::size_t kBlock = 1024;
    std::vector<height_map::Plate_Triangle> block(kBlock);
    for (std::size_t start = 0; start < count; start += kBlock) {
        const std::size_t n = std::min(kBlock, count - start);
        for (std::size_t k = 0; k < n; ++k) placement.place(facets[start + k], block[k]);
        rasterizer.draw(block.data(), n);
    }
}

// The facets shared out between `threads` threads, each drawing into a map
// of its own, merged after: the highest surface is the same in any order.
height_map::Exact_Map heights_of(const std::vector<Triangle>& facets, const Placement& placement,
                                 double pixel_size, unsigned threads) {
    // Below this a thread costs more than it saves.
    constexpr std::size_t kFacetsPerThread = 20000;
    const std::size_t shares =
        std::max<std::size_t>(1, std::min<std::size_t>(threads, facets.size() / kFacetsPerThread));
    std::vector<height_map::Height_Rasterizer> maps(shares,
                                                    height_map::Height_Rasterizer(pixel_size));
    std::vector<std::thread> helpers;
    const std::size_t per_share = (facets.size() + shares - 1) / shares;
    for (std::size_t k = 0; k < shares; ++k) {
        const std::size_t start = std::min(facets.size(), k * per_share);
        const std::size_t count = std::min(per_share, facets.size() - start);
        auto draw = [&, start, count, k] {
            draw_share(facets.data() + start, count, placement, maps[k]);
        };
        if (k + 1 < shares)
            helpers.emplace_back(draw);
        else
            draw();  // the last share on the calling thread
    }
    for (std::thread& t : helpers) t.join();
    for (std::size_t k = 1; k < shares; ++k) maps[0].merge(std::move(maps[k]));
    return maps[0].finish();
}

}  // namespace

Precise_Map make_precise_map(const std::vector<Triangle>& facets, const Model_Bounds& bounds,
                             const double* model_matrix, const float* model_scale,
                             const Map_Options& options, unsigned threads) {
    Precise_Map result;
    const height_map::Exact_Map map = heights_of(
        facets, Placement(bounds, model_matrix, model_scale), options.pixel_size, threads);
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
