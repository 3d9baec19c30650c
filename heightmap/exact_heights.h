#pragma once

#include <cstddef>
#include <vector>

#include "platform/status.h"

// Heights sampled from the facets themselves rather than from a depth buffer:
// any pixel size, double precision, no GL.
namespace height_map {

// A facet already placed over the plate: x along the plate's length
// (-180..180), y up (model units, the plate's top at y = 0), z across
// (-75..75).
struct Plate_Triangle {
    double v[3][3];
};

struct Exact_Map {
    double pixel_size = 0;
    int rows = 0, cols = 0;
    // rows x cols, row-major: pixel (r, c) lies over plate
    // x = (r + 0.5) * pixel_size - 180, z = 75 - (c + 0.5) * pixel_size.
    std::vector<float> heights;
    std::size_t non_finite = 0;   // facets left out: a coordinate not finite or beyond 1e100
    std::size_t below_plate = 0;  // pixels over which some surface lies under the plate
    std::size_t cut = 0;          // border pixels above 0: the model reaches the edge
    bool empty = true;            // no pixel above 0
};

// Whether the plate (360 x 150) divides into whole pixels of this size,
// given in hundredths of a unit (0.01, 0.1, 0.25, 1, 2.5 ...).
Status check_pixel_size(double pixel_size);

// Each pixel holds the highest surface above its centre: the largest y at
// which the vertical line through the centre meets a facet, but never less
// than 0. So a hole in a scan shows whatever lies below it (the inside of
// the bottom, another part of the model) and the plate, 0, where nothing
// does; a surface under the plate (y < -0.01) gives 0 and counts in
// below_plate. Facets seen edge-on from above (walls) cover nothing; their
// neighbours do. Coverage is decided on vertices snapped to 1/256 of a
// pixel with exact integer edge tests and the top-left rule, so facets that
// share an edge leave no pixel out along it, also where a centre lies
// exactly on the edge or on a vertex. Heights are the facet's plane at the
// centre, kept within the facet's own heights.
// Facets may come in blocks, so a large model needs no placed copy of the
// whole of it. pixel_size must pass check_pixel_size.
class Height_Rasterizer {
public:
    explicit Height_Rasterizer(double pixel_size);
    void draw(const Plate_Triangle* facets, std::size_t count);
    // Takes in what another rasterizer of the same pixel size drew, so that
    // threads can each draw a share of the facets; `other` is spent.
    void merge(Height_Rasterizer&& other);
    // The map of every facet drawn; the rasterizer is spent.
    Exact_Map finish();

private:
    Exact_Map map_;
    std::vector<float> top_;            // highest surface so far; -inf where none
    std::vector<unsigned char> under_;  // 1 where some surface lies under the plate
};

// All facets at once.
Exact_Map rasterize_heights(const std::vector<Plate_Triangle>& facets, double pixel_size);

}  // namespace height_map
