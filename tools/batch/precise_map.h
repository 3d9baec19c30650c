#pragma once

#include <string>
#include <vector>

#include "heightmap/quality.h"
#include "model/triangle.h"
#include "platform/status.h"
#include "tools/batch/map_options.h"

// A png16 or tiff map made from the facets themselves: each placed as the
// window's frame places it (centred on its bounds, scaled, turned by
// model_matrix), its height above the plate's top sampled exactly at every
// pixel centre, and the map encoded with its scale. A large model's facets
// are shared out between up to `threads` threads.
struct Precise_Map {
    Status status;
    std::string bytes;   // the encoded file
    double highest = 0;  // units above the plate: the "real length"
    height_map::Quality quality;
};

Precise_Map make_precise_map(const std::vector<Triangle>& facets, const Model_Bounds& bounds,
                             const double* model_matrix, const float* model_scale,
                             const Map_Options& options, unsigned threads);
