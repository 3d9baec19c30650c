#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>

#include "app/main_window.h"

int main(int argc, char** argv) {
    build_main_window()->show(argc, argv);
    return Fl::run();
}
