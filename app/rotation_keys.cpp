#include "app/rotation_keys.h"

#include <FL/Fl.H>

#include "app/app_globals.h"
#include "app/load_pose.h"
#include "view/gl_display_3d.h"

namespace {

int on_shortcut(int event) {
    if (event != FL_SHORTCUT || gl_view == nullptr) return 0;
    const int key = Fl::event_key();
    if (key != 'x' && key != 'y' && key != 'z') return 0;
    if (Fl::event_state(FL_CTRL | FL_ALT | FL_META) != 0) return 0;
    queue_quarter_turn(*gl_view, static_cast<char>(key), Fl::event_state(FL_SHIFT) != 0);
    return 1;
}

}  // namespace

void install_rotation_keys() { Fl::add_handler(on_shortcut); }
