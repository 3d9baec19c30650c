#pragma once

#include <vector>

#include "model/rotation_steps.h"
#include "view/view_state.h"

// The pose every model of this run is loaded in: --rotate's steps, applied
// one a frame as the trackball steps they are, exactly as veltrim-batch
// applies them, so a Save gives the batch's image byte for byte.
void set_load_steps(const std::vector<Rotation>& steps);

// The model back to its loaded pose: model_matrix to the identity, no pan
// or turn pending, and the load steps queued for the next frames.
void put_in_load_pose(View_State& view);

// One quarter turn about the model's own axis ('x', 'y' or 'z'), +90
// degrees, or -90 when back; queued after any steps still waiting.
void queue_quarter_turn(View_State& view, char axis, bool back);
