#include "view/gl_display_3d.h"

#include <FL/Fl.H>

#include "view/window_sizes.h"
#include "view/capture_trigger.h"
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

bool GL_Display_3D::frame_due() const {
    return !valid() || !context_valid() || capture_counts_frames(*this) ||
           Frame_Inputs(*this, w(), h()) != drawn_;
}

// An unchanged frame is not drawn at all: no draw, no buffer swap, and the
// window keeps showing the last one (an expose still draws it again).
void GL_Display_3D::redraw_tick(void* data) {
    auto* view = static_cast<GL_Display_3D*>(data);
    if (view->frame_due()) view->redraw();
    Fl::repeat_timeout(kFrameInterval, redraw_tick, data);
}

void GL_Display_3D::draw() {
    drawn_ = Frame_Inputs(*this, w(), h());
    draw_frame(*this, w(), h(), valid(), !context_valid());
}
