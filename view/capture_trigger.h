#pragma once

#include <string>

#include "view/view_state.h"

// End of every frame: counts frames drawn at exactly the top view while a
// capture is armed and named, and converts on the tenth.
void run_capture_trigger(View_State& view);

// Converts view.depth_samples to view.height_map, points view.image_header
// at it, and returns the three console lines the capture prints. Writes
// nothing, so the batch converter can keep them to itself.
std::string convert_height_map(View_State& view);

// convert_height_map, its console lines on standard output, and the image
// written under view.output_path. Returns whether the file was written.
bool write_height_map(View_State& view);
