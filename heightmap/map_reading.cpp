#include "heightmap/map_reading.h"

#include <algorithm>

#include "heightmap/sizes.h"
#include "platform/text_format.h"

namespace map_reading {

namespace {

constexpr int kLegendEveryUnits = 10;

std::string units(double height) { return platform::format_text("%g units", height); }

}  // namespace

// The image is the capture window turned a quarter turn: its rows run along
// the capture's columns (x), its columns along the capture's rows (-z).
Plate_Place plate_place(int row, int col) {
    return {row - sizes::kMidColumn, sizes::kMidRow - col};
}

double height_of(int gray) { return static_cast<double>(gray) / sizes::kLevelsPerUnit; }

std::string describe_pixel(int row, int col, int gray) {
    const Plate_Place at = plate_place(row, col);
    const std::string place =
        platform::format_text("Row %d, column %d: plate x %.1f, z %.1f; ", row, col, at.x, at.z);
    std::string height;
    if (gray == 0)
        height = "on the plate or no model";
    else if (gray == sizes::kMaxGray)
        height = units(height_of(gray)) + " or more above the plate";
    else
        height = units(height_of(gray)) + " above the plate";
    return place + height + " (gray " + std::to_string(gray) + ").";
}

std::vector<Legend_Step> legend_steps() {
    std::vector<Legend_Step> steps{{0, "plate or no model"}};
    constexpr int kStep = kLegendEveryUnits * sizes::kLevelsPerUnit;
    for (int gray = kStep; gray < sizes::kMaxGray; gray += kStep)
        steps.push_back({gray, units(height_of(gray))});
    steps.push_back({sizes::kMaxGray, units(height_of(sizes::kMaxGray)) + " or more"});
    return steps;
}

int whole_scale(int work_w, int work_h, int extra_w, int extra_h) {
    const int across = (work_w - extra_w) / sizes::kImageCols;
    const int down = (work_h - extra_h) / sizes::kImageRows;
    return std::max(1, std::min(across, down));
}

}  // namespace map_reading
