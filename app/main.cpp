#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>

#include <cstdio>

#include "app/app_globals.h"
#include "app/command_line.h"
#include "app/main_window.h"
#include "app/label_font.h"
#include "view/gl_display_3d.h"

int main(int argc, char** argv) {
    const Command_Line line = parse_command_line(argc, argv);
    if (line.exit_status) return *line.exit_status;  // before any display is opened
    use_cjk_label_font();
    build_main_window()->show(argc, argv);
    if (!gl_view->startup_dir_status)
        std::fprintf(stderr, "cannot keep the start-up directory (%s); using \".\"\n",
                     gl_view->startup_dir_status.reason().c_str());
    load_model_when_shown(line);
    return Fl::run();
}
