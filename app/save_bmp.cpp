// The "Save BMP" command: turn to the top view, arm the capture and name the
// file. The frames that follow write it (see view/capture_trigger.cpp).
#include <cstdio>
#include <cstring>
#include <string>

#include "app/app_globals.h"
#include "app/commands.h"
#include "app/file_chooser.h"
#include "app/height_map_window.h"
#include "app/pick_file.h"
#include "app/status_line.h"
#include "heightmap/bmp_name.h"
#include "platform/file_names.h"
#include "platform/name_limit.h"
#include "app/chooser_folders.h"
#include "view/gl_display_3d.h"
#include "view/view_poses.h"

namespace {

// Stores the picked name, with the ".bmp" rule applied, as the capture's
// output; fails when it does not fit.
Status name_the_capture(View_State& v, const char* picked) {
    char name[sizeof v.output_path];
    if (const Status taken = take_name(picked, name); !taken) return taken;
    if (!apply_bmp_suffix(name, sizeof name))
        return Status::failed("file name too long for \".bmp\" (" +
                              std::to_string(std::strlen(picked)) + " bytes, at most " +
                              std::to_string(kMaxNameBytes - 4) + ")");
    std::memcpy(v.output_path, name, sizeof name);
    return Status::ok();
}

// The name of a capture that a new Save took over before it was written,
// said again once the new one is written.
std::string replaced_name;

}  // namespace

void map_written(const std::string& path) {
    remember_saved_map(path);
    show_height_map_window_after_frame(path);
    if (replaced_name.empty()) return;
    show_status(Notice_Tone::Warning, status_text() + " " + replaced_name +
                                          " was not written: the new Save replaced it.");
    replaced_name.clear();
}

void save_bmp() {
    GL_Display_3D& v = *gl_view;
    // A capture still waiting (turned away from the top view) is re-armed
    // under the new name: its own name is never written.
    const std::string waiting =
        v.capture_pending && v.output_named ? platform::file_name_of(v.output_path) : "";
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

    const Picked_File picked = pick_file(*chooser);
    if (picked.name == nullptr) {  // nothing was picked: nothing may be written
        v.capture_pending = false;
        replaced_name.clear();
        const std::string neither =
            waiting.empty() ? "" : " Neither " + waiting + " nor a new map was written.";
        if (picked.failed)
            show_status(Notice_Tone::Error, std::string("ERROR: the file chooser failed: ") +
                                                picked.error + "." + neither);
        else if (!waiting.empty())
            show_status(Notice_Tone::Warning, "WARNING: Save cancelled." + neither);
        else
            show_status(Notice_Tone::Info, "Save cancelled: nothing was written.");
        return;
    }
    const Status named = name_the_capture(v, picked.name);
    if (!named) {
        std::fprintf(stderr, "%s; nothing saved\n", named.reason().c_str());
        show_status(Notice_Tone::Error, "ERROR: the file name is too long; nothing was saved.");
        v.capture_pending = false;
        return;
    }
    v.output_named = true;
    v.capture_wait_told = false;
    replaced_name = waiting;
    const std::string name = platform::file_name_of(v.output_path);
    if (waiting.empty())
        show_status(Notice_Tone::Info,
                    "Saving " + name + ": the height map is captured at the top view.");
    else
        show_status(Notice_Tone::Warning,
                    "WARNING: " + waiting + " was not written: the new Save replaces it. Saving " +
                        name + " at the top view.");
}
