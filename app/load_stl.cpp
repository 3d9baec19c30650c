// The "Load STL" command: choose a file and replace the view's model; the
// command line and file drops replace it through load_stl_file too.
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "app/app_globals.h"
#include "app/chooser_folders.h"
#include "app/commands.h"
#include "app/file_chooser.h"
#include "app/load_notice.h"
#include "app/load_pose.h"
#include "app/pick_file.h"
#include "app/status_line.h"
#include "model/stl_check.h"
#include "model/stl_file.h"
#include "model/stl_lines.h"
#include "platform/current_dir.h"
#include "platform/name_limit.h"
#include "platform/text_format.h"
#include "view/gl_display_3d.h"

namespace {

// The model folder beside the start-up directory. A start-up directory too
// long for the buffer falls back to the same folder named relative to it:
// the command has just made the start-up directory the current one.
void make_model_dir(GL_Display_3D& v) {
    const int n = std::snprintf(v.model_dir, sizeof v.model_dir, "%s/250_test/", v.startup_dir);
    if (n < 0 || static_cast<std::size_t>(n) >= sizeof v.model_dir) {
        std::fprintf(stderr, "model folder name does not fit %zu bytes; using \"250_test/\"\n",
                     sizeof v.model_dir);
        std::snprintf(v.model_dir, sizeof v.model_dir, "250_test/");
    }
}

void print(const std::string& text, std::FILE* stream) {
    std::fputs(text.c_str(), stream);
    std::fflush(stream);
}

}  // namespace

void load_stl() {
    GL_Display_3D& v = *gl_view;
    v.clear_model();

    std::unique_ptr<File_Chooser> chooser = make_file_chooser(File_Chooser::Browse_File);
    chooser->title("Load a STL-MODEL file");
    chooser->type(File_Chooser::Browse_File);
    chooser->filter("model\t*.stl\n");

    // Back where we started, so that the model folder is found from there.
    if (const Status back = platform::set_current_directory(v.startup_dir); !back)
        std::fprintf(stderr, "cannot return to the start-up directory \"%s\": %s\n", v.startup_dir,
                     back.reason().c_str());
    make_model_dir(v);

    const char* before = chooser->directory();
    std::printf("dir(before):%s\n", before ? before : "(null)");
    chooser->directory(v.model_dir);
    const char* after = chooser->directory();
    std::printf("dir(after):%s\n", after ? after : "(null)");
    std::printf("system_path:%s\n", v.startup_dir);
    std::printf("path:%s\n", v.model_dir);
    std::fflush(stdout);

    const Picked_File picked = pick_file(*chooser);
    if (picked.failed) {
        show_status(Notice_Tone::Error,
                    std::string("ERROR: the file chooser failed: ") + picked.error);
        return;
    }
    if (picked.name == nullptr) {
        show_status(Notice_Tone::Info, "Load cancelled: no model is loaded.");
        return;
    }
    load_stl_file(picked.name);
}

void load_stl_file(const char* picked) {
    GL_Display_3D& v = *gl_view;
    v.set_model({}, Model_Bounds());

    char name[kMaxNameBytes + 1];
    std::vector<std::string> out, err;  // console lines, printed at the end
    if (const Status taken = take_name(picked, name); !taken) {
        err = {taken.reason()};
        show_status(Notice_Tone::Error, "ERROR: the file name is too long " +
                                            name_length_note(std::strlen(picked)) + ".");
    } else {
        std::vector<Triangle> triangles;
        Model_Bounds bounds;
        Stl_Report report;
        const Status opened = read_stl_file(name, triangles, bounds, report);
        Status kind;
        if (opened) {
            out = stl_form_lines(report);
            err = stl_damage_lines(report, name);
            put_in_load_pose(v);
            // A head that cannot be read now (the file went away since) leaves
            // the read to speak for itself.
            stl_check::File_Head head;
            if (stl_check::read_file_head(name, head))
                kind = stl_check::check_kind(head.bytes, head.len, head.size);
        } else {
            err = {stl_open_failure_line(name, opened)};
        }
        if (opened) remember_loaded_model(name);
        v.set_model(std::move(triangles), bounds);  // none, no bounds if it failed
        show_status(opened ? load_tone(kind, report, v.triangles.size()) : Notice_Tone::Error,
                    load_notice(name, opened, kind, report, v.triangles.size()));
    }
    print(platform::as_lines(err), stderr);
    out.push_back("READ!");
    print(platform::as_lines(out), stdout);
}
