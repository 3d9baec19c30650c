#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>

#include "app/command_line.h"
#include "app/main_window.h"
#include "app/label_font.h"

int main(int argc, char** argv) {
    const Command_Line line = parse_command_line(argc, argv);
    if (line.exit_status >= 0) return line.exit_status;  // before any display is opened
    use_cjk_label_font();
    build_main_window()->show(argc, argv);
    load_model_when_shown(line);
    return Fl::run();
}
