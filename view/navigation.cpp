// Mouse navigation: turns pointer events into view changes. The handler
// only writes members; the next frame applies the pending steps once.
#include <cmath>
#include <cstdio>

#include <FL/Fl.H>
#include <GL/glu.h>

#include "view/file_drop.h"
#include "view/gl_display_3d.h"

namespace {

// Unprojects a window point against the last frame's snapshots. The target
// keeps its value when GLU fails (singular snapshot before the first frame)
// or when the result is not finite, so pending values always stay finite.
void unproject(const View_State& v, double wx, double wy, double depth, double* out) {
    double p[3];
    if (gluUnProject(wx, wy, depth, v.saved_modelview, v.saved_projection, v.saved_viewport, &p[0],
                     &p[1], &p[2]) != GL_TRUE)
        return;
    if (!std::isfinite(p[0]) || !std::isfinite(p[1]) || !std::isfinite(p[2])) return;
    out[0] = p[0];
    out[1] = p[1];
    out[2] = p[2];
}

void difference(const double* to, const double* from, float* out) {
    for (int k = 0; k < 3; ++k) out[k] = static_cast<float>(to[k] - from[k]);
}

float travel(int dx, int dy) { return std::sqrt(static_cast<float>(dx * dx + dy * dy)); }

// A pan along the pointer's travel on the near plane; GL counts window rows
// from the bottom, FLTK from the top.
void request_pointer_pan(GL_Display_3D& v, int x, int y, float amount) {
    unproject(v, v.last_x, v.h() - v.last_y, 0, v.unproject_from);
    unproject(v, x, v.h() - y, 0, v.unproject_to);
    float direction[3];
    difference(v.unproject_to, v.unproject_from, direction);
    v.request_pan(amount, direction);
}

}  // namespace

int GL_Display_3D::handle(int event) {
    if (file_drop_event(event, Fl::event_text(), Fl::event_length())) return 1;
    const int x = Fl::event_x();
    const int y = Fl::event_y();
    const int dx = x - last_x;
    const int dy = y - last_y;
    switch (event) {
    case FL_PUSH:
        switch (Fl::event_button()) {
        case FL_LEFT_MOUSE: std::printf("left mouse click \n"); break;
        case FL_MIDDLE_MOUSE: std::printf("middle mouse click \n"); break;
        case FL_RIGHT_MOUSE: std::printf("right mouse click \n"); break;
        default: break;
        }
        std::fflush(stdout);
        break;
    case FL_DRAG:
        switch (Fl::event_button()) {
        case FL_LEFT_MOUSE: {  // trackball step, in place of a pending pan
            probe_x = x;
            probe_y = y;
            // x and y exchanged on purpose: the screen part of the axis is
            // then at right angles to the drag.
            unproject(*this, last_y, last_x, prev_depth, unproject_from);
            unproject(*this, y, x, probe_depth, unproject_to);
            float axis[3];
            difference(unproject_to, unproject_from, axis);
            drop_pending_navigation();
            request_spin(travel(dx, dy), axis);
            std::printf("NOW x y x : %f,%f, %f\n", unproject_to[0], unproject_to[1],
                        unproject_to[2]);
            std::fflush(stdout);
            prev_depth = probe_depth;
            break;
        }
        case FL_RIGHT_MOUSE:  // turn and tilt, one degree per pixel
            if (x != last_x) azimuth += dx;
            if (y != last_y) elevation += dy;
            break;
        case FL_MIDDLE_MOUSE:  // pan
            probe_x = x;
            probe_y = y;
            request_pointer_pan(*this, x, y, 0.5f * travel(dx, dy));
            prev_depth = probe_depth;
            break;
        default: break;
        }
        break;
    case FL_MOVE: break;
    case FL_MOUSEWHEEL:  // a fixed pan step along the pointer's travel
        probe_x = x;
        // The drags above keep FLTK's row (from the top), the wheel takes
        // GL's (from the bottom). Inside the view either row reads the clear
        // depth the trackball relies on: the probe is read before anything
        // but the background is drawn (see draw_frame).
        probe_y = h() - y;
        request_pointer_pan(*this, x, y, 0.2f);
        break;
    default: return Fl_Gl_Window::handle(event);
    }
    last_x = x;
    last_y = y;
    return 1;
}
