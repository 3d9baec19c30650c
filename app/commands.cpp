#include "app/commands.h"

#include <algorithm>
#include <iterator>

#include "app/app_globals.h"
#include "app/load_pose.h"
#include "view/gl_display_3d.h"
#include "view/view_poses.h"

Fl_Double_Window* main_window = nullptr;
GL_Display_3D* gl_view = nullptr;

void load_stl_cb(Fl_Widget*, void*) { load_stl(); }

void save_bmp_cb(Fl_Widget*, void*) { save_bmp(); }

void top_view_cb(Fl_Widget*, void*) {
    gl_view->azimuth = kTopView.azimuth;
    gl_view->elevation = kTopView.elevation;
}

void side_view_cb(Fl_Widget*, void*) {
    gl_view->azimuth = kSideView.azimuth;
    gl_view->elevation = kSideView.elevation;
}

void front_view_cb(Fl_Widget*, void*) {
    gl_view->azimuth = kFrontView.azimuth;
    gl_view->elevation = kFrontView.elevation;
}

// Every frame leaves the modelview at the identity, so copying it between
// frames yields identity matrices. We set them directly: that needs no GL
// context to be current, which a callback cannot count on. The model goes
// back to its loaded pose: the identity, turned by --rotate's steps.
void reset_rotation_cb(Fl_Widget*, void*) {
    put_in_load_pose(*gl_view);
    std::copy(std::begin(View_State::kIdentity), std::end(View_State::kIdentity),
              gl_view->view_matrix);
}
