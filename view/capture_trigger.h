#pragma once

#include "heightmap/conversion.h"
#include "heightmap/quality.h"

#include "view/view_state.h"

// End of every frame: counts frames drawn at exactly the top view while a
// capture is armed and named, and on the tenth finishes the Save command:
// converts, prints its console lines (and a "WARNING: " line on standard
// error when assess_capture finds a loss), writes the image under
// view.output_path and tells the operator how it went.
void run_capture_trigger(View_State& view);

// Whether the next frame would count toward the capture: the window draws
// it even when nothing in it changed.
bool capture_counts_frames(const View_State& view);

// Converts view.depth_samples to view.height_map, points view.image_header
// at it, and returns what the depth measured. Prints nothing, so the batch
// converter can keep its lines to itself.
height_map::Converted_Depth convert_height_map(View_State& view);

// What the last conversion lost: clipped and cut samples from
// view.gray_samples, parts under the plate from the model as the frame
// places it (model_matrix, model_scale, centred on the bounds) at the top
// view. Changes nothing.
height_map::Quality assess_capture(const View_State& view);
