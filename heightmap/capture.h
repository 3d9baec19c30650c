#pragma once

#include "view/view_state.h"

// End of every frame: counts frames drawn at exactly the top view while a
// capture is armed and named, and converts on the tenth.
void run_capture_trigger(View_State& view);

// Converts view.depth_samples to view.height_map, prints the three console
// lines and writes the image under view.output_path. Returns whether the
// file was written.
bool write_height_map(View_State& view);
