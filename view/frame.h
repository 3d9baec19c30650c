#pragma once

#include "heightmap/sizes.h"
#include "view/view_state.h"

// The per-frame sequence of the 3D view. The window's draw() and every
// offscreen renderer call this one function with a current GL context.
// context_valid is false on the first frame and after the context was
// (re)created or resized; the set-up then runs with the new w and h.
// context_new says the context itself was (re)created, so the model's
// cached geometry must be made again in it; a resize keeps it.
void draw_frame(View_State& view, int w, int h, bool context_valid, bool context_new = false);

// Lower-left pixel of the capture window in GL window coordinates.
inline int capture_x0(int w) { return (w - sizes::kCaptureWidth) / 2; }
inline int capture_y0(int h) { return (h - sizes::kCaptureHeight) / 2; }
