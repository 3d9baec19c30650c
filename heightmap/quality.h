#pragma once

#include <cstddef>
#include <string>

// What a capture lost, counted so the operator hears of it. None of it
// changes the image: the counts are taken beside the conversion.
namespace height_map {

struct Quality {
    int clipped = 0;      // samples at 255: surface 51 units or more above the plate
    int cut = 0;          // model samples on the capture window's border rows and columns
    int below_plate = 0;  // capture pixels over which part of the model lies under the plate
    bool empty = false;   // no sample above gray 0: the picture shows no model

    bool any() const { return clipped > 0 || cut > 0 || below_plate > 0 || empty; }
};

// Clipped and cut samples, and whether none is above gray 0, from the gray
// levels in readback order (the first kSamples of gray_count bytes, rows of
// kCaptureWidth, the bottom row first).
void count_gray_problems(const unsigned char* gray, std::size_t gray_count, Quality& quality);

// Capture pixels under which some facet lies below the plate, the model
// seen at the top view. `facets` holds `count` facets of 9 floats (three
// vertices x, y, z); `to_plate` is the column-major 4 x 4 transform from
// model coordinates to the plate frame. The plate hides such parts from the
// depth buffer, so they are found from the geometry, on pixel centres;
// a facet seen edge-on from above covers none.
int count_below_plate(const float* facets, std::size_t count, const double (&to_plate)[16]);

// "1200 pixels clipped at 255 ...; ..." naming only what occurred; empty
// when nothing did.
std::string describe(const Quality& quality);

}  // namespace height_map
