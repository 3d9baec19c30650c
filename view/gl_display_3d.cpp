#include "view/gl_display_3d.h"

#include <FL/Fl.H>

#include "heightmap/sizes.h"
#include "view/frame.h"

namespace {
constexpr double kFrameInterval = 1.0 / 120;
}

GL_Display_3D::GL_Display_3D()
    : Fl_Gl_Window(sizes::kViewLeft, sizes::kViewTop, sizes::kViewWidth, sizes::kViewHeight) {
    Fl::add_timeout(kFrameInterval, redraw_tick, this);
}

GL_Display_3D::~GL_Display_3D() {
    Fl::remove_timeout(redraw_tick, this);
    std::vector<Triangle>().swap(triangles);
}

void GL_Display_3D::redraw_tick(void* data) {
    static_cast<GL_Display_3D*>(data)->redraw();
    Fl::repeat_timeout(kFrameInterval, redraw_tick, data);
}

void GL_Display_3D::draw() { draw_frame(*this, w(), h(), valid(), !context_valid()); }
