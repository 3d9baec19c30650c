#pragma once

#include <string>
#include <vector>

// What a pixel of a written height map tells the operator: its height above
// the plate and its place there. Pure, so the map window's numbers are tested
// without a display.
namespace map_reading {

// Where the pixel's centre lies on the plate, in model units, the plate's
// middle at 0: x grows down the image, z to the left.
struct Plate_Place {
    double x, z;
};
Plate_Place plate_place(int row, int col);

// The height a gray level stands for: the lower end of the fifth of a unit
// the conversion truncated to. 0 is also the plate and no model at all;
// the ceiling is that height or more.
double height_of(int gray);

// One line for the pixel at (row, col) with that gray level.
std::string describe_pixel(int row, int col, int gray);

// The legend: every ten units from the plate, then the ceiling.
struct Legend_Step {
    int gray;
    std::string label;
};
std::vector<Legend_Step> legend_steps();

// The largest whole scale at which the map and `extra_w` x `extra_h`
// pixels around it fit a work area of `work_w` x `work_h`; at least 1, so a
// small screen still shows every pixel.
int whole_scale(int work_w, int work_h, int extra_w, int extra_h);

}  // namespace map_reading
