// Heights from the facets (rasterize_heights) of an insole of 1,000,000
// facets at pixel sizes 1 and 0.1 (360 x 150 and 3,600 x 1,500 pixels),
// against a baseline in the same run: one pass that reads every coordinate
// and writes every pixel, the least any such map costs. Prints the median
// of each and the ratio.
//
//   exact_heights_bench [ROUNDS]   (default 7; VELTRIM_BENCH_SHORT=1 gives 3)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include "heightmap/exact_heights.h"
#include "bench/median_time.h"
#include "support/insole_model.h"

namespace {

using height_map::Plate_Triangle;

// The insole centred on the plate in x and z, its lowest point on the plate.
std::vector<Plate_Triangle> on_plate(const std::vector<Triangle>& model) {
    double lo[3] = {1e300, 1e300, 1e300}, hi[3] = {-1e300, -1e300, -1e300};
    for (const Triangle& t : model)
        for (const auto& v : t.v)
            for (int a = 0; a < 3; ++a) {
                lo[a] = std::min<double>(lo[a], v[a]);
                hi[a] = std::max<double>(hi[a], v[a]);
            }
    const double shift[3] = {-(lo[0] + hi[0]) / 2, -lo[1], -(lo[2] + hi[2]) / 2};
    std::vector<Plate_Triangle> out(model.size());
    for (std::size_t k = 0; k < model.size(); ++k)
        for (int i = 0; i < 3; ++i)
            for (int a = 0; a < 3; ++a) out[k].v[i][a] = model[k].v[i][a] + shift[a];
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    const bool short_mode = std::getenv("VELTRIM_BENCH_SHORT") != nullptr;
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : short_mode ? 3 : 7;
    const std::vector<Plate_Triangle> facets = on_plate(insole_model(1000000, 1));
    std::printf("%zu facets\n%-10s | %11s | %13s | %6s | %s\n", facets.size(), "pixel size",
                "baseline ms", "rasterize ms", "ratio", "pixels above 0");
    for (const double size : {1.0, 0.1}) {
        const height_map::Exact_Map probe = height_map::rasterize_heights({}, size);
        std::vector<float> pixels(probe.heights.size());
        volatile double sink = 0;
        const double baseline = median_ms(
            [&] {
                double sum = 0;
                for (const Plate_Triangle& t : facets)
                    for (const auto& v : t.v) sum += v[0] + v[1] + v[2];
                std::fill(pixels.begin(), pixels.end(), static_cast<float>(sum));
                sink = sink + pixels[pixels.size() / 2];
            },
            rounds);
        height_map::Exact_Map map;
        const double exact =
            median_ms([&] { map = height_map::rasterize_heights(facets, size); }, rounds);
        const auto above =
            std::count_if(map.heights.begin(), map.heights.end(), [](float h) { return h > 0; });
        std::printf("%-10g | %11.2f | %13.2f | %5.2fx | %ld\n", size, baseline, exact,
                    exact / baseline, static_cast<long>(above));
    }
    return 0;
}
