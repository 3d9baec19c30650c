#include "view/view_state.h"

#include "platform/current_dir.h"

View_State::View_State() {
    startup_dir_status = platform::current_directory(startup_dir, sizeof startup_dir);
    if (!startup_dir_status) {
        // Refuse rather than cut: a shortened path names another folder.
        // "." keeps every later use relative to where we started.
        startup_dir[0] = '.';
        startup_dir[1] = '\0';
    }
}

void View_State::set_bounds(const Model_Bounds& b) {
    max_x = b.max_x;
    min_x = b.min_x;
    max_y = b.max_y;
    min_y = b.min_y;
    max_z = b.max_z;
    min_z = b.min_z;
}
