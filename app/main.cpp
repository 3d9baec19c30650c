#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>

#include "app/command_line.h"
#include "app/main_window.h"

int main(int argc, char** argv) {
    const Command_Line line = parse_command_line(argc, argv);
    build_main_window()->show(argc, argv);
    load_model_when_shown(line);
    return Fl::run();
}
