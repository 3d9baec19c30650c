// The "Save BMP" command: turn to the top view, arm the capture and name the
// file. The frames that follow write it (see view/capture_trigger.cpp).
#include <cstdio>
#include <cstring>

#include "app/app_globals.h"
#include "app/commands.h"
#include "app/file_chooser.h"
#include "app/status_line.h"
#include "heightmap/bmp_name.h"
#include "model/utf8_to_ansi.h"
#include "platform/name_limit.h"
#include "view/gl_display_3d.h"
#include "view/view_poses.h"

void save_bmp() {
    GL_Display_3D& v = *gl_view;
    v.azimuth = kTopView.azimuth;
    v.elevation = kTopView.elevation;
    v.capture_pending = true;
    v.frame_count = 0;
    // Until this command stores its own name, no frame may complete the
    // capture: not under an earlier name, nor under none.
    v.output_named = false;

    std::unique_ptr<File_Chooser> chooser = make_file_chooser(File_Chooser::Browse_Save_File);
    chooser->title("Save BMP Insole");
    chooser->type(File_Chooser::Browse_Save_File);
    chooser->filter("Insole\t*.bmp\n");
    chooser->preset_file("*.bmp");

    const int result = chooser->show();
    const char* picked = result == -1 || result == 1 ? nullptr : chooser->filename();
    if (result == -1) std::fprintf(stderr, "ERROR: %s\n", chooser->errmsg());
    if (result == 1) std::fprintf(stderr, "*** CANCEL\n");
    if (picked == nullptr) {  // nothing was picked: nothing may be written
        v.capture_pending = false;
        if (result == -1)
            show_status(Notice_Tone::Error,
                        std::string("ERROR: the file chooser failed: ") + chooser->errmsg());
        else
            show_status(Notice_Tone::Info, "Save cancelled: nothing was written.");
        return;
    }

    char name[sizeof v.output_path];
    const std::size_t length = std::strlen(picked);
    if (length >= sizeof name) {
        std::fprintf(stderr, "file name too long (%zu bytes, at most %zu); nothing saved\n", length,
                     kMaxNameBytes);
        show_status(Notice_Tone::Error, "ERROR: the file name is too long; nothing was saved.");
        v.capture_pending = false;
        return;
    }
    std::memcpy(name, picked, length + 1);
    utf8_to_ansi(name);
    if (!apply_bmp_suffix(name, sizeof name)) {
        std::fprintf(stderr,
                     "file name too long for \".bmp\" (%zu bytes, at most 495); nothing saved\n",
                     length);
        show_status(Notice_Tone::Error, "ERROR: the file name is too long; nothing was saved.");
        v.capture_pending = false;
        return;
    }
    std::memcpy(v.output_path, name, sizeof name);
    v.output_named = true;
    v.capture_wait_told = false;
    show_status(Notice_Tone::Info, "Saving: the height map is captured at the top view.");
}
