#include "app/command_line.h"

#include <FL/Fl.H>

#include <cstdio>
#include <cstring>

#include "app/commands.h"
#include "app/load_pose.h"

namespace {

// Fl::args takes a plain function, so the callback reports through these.
Command_Line* parsing = nullptr;
bool after_dashes = false;

const char kHelp[] =
    "Usage: veltrim [OPTION...] [--] [MODEL.stl]\n"
    "Shows an STL insole model (binary or ASCII) in a 3D view; Save BMP writes its\n"
    "150 x 360 gray height map.\n"
    "\n"
    "  MODEL.stl                 load this model once the window is up\n"
    "  --rotate AXIS:DEG[,...]   turn every model loaded in this run by these trackball\n"
    "                            steps about its own x, y or z axis, as veltrim-batch\n"
    "                            --rotate does (a Z-up scan takes x:-90); at most 64\n"
    "  --help                    print this help and exit\n"
    "  --version                 print the version and exit\n"
    "\n"
    "In the view, the keys x, y and z turn the model a quarter turn about its own\n"
    "axis and Shift+x, Shift+y, Shift+z turn it back. The button 旋轉還原 (Reset\n"
    "rotation) undoes them, the left drags (trackball turns) and the middle drags\n"
    "(pans), back to the loaded pose; the direction of the view, which right drags\n"
    "and the buttons 上視, 側視 and 正視 (top, side, front view) set, stays.\n"
    "\n"
    "FLTK's window options:\n";

void set_rotations(const char* text) {
    const Status parsed = parse_rotations(text, parsing->rotations);
    if (!parsed) {
        std::fprintf(stderr, "%s\n", parsed.reason().c_str());
        parsing->exit_status = 2;
    }
}

// Our own options, before FLTK sees the word: how many words they took.
int take_own_option(int argc, char** argv, int i) {
    const char* word = argv[i];
    if (std::strcmp(word, "--help") == 0 || std::strcmp(word, "--version") == 0) {
        if (word[2] == 'h')
            std::printf("%s%s", kHelp, Fl::help);
        else
            std::printf("veltrim %s\n", VELTRIM_VERSION);
        if (parsing->exit_status != 2) parsing->exit_status = 0;
        return 1;
    }
    if (std::strncmp(word, "--rotate=", 9) == 0) {
        set_rotations(word + 9);
        return 1;
    }
    if (std::strcmp(word, "--rotate") != 0) return 0;
    set_rotations(i + 1 < argc ? argv[i + 1] : "");
    return i + 1 < argc ? 2 : 1;
}

int take_model(int argc, char** argv, int& i) {
    const char* word = argv[i];
    if (!after_dashes && std::strcmp(word, "--") == 0) {
        after_dashes = true;
        ++i;
        return 1;
    }
    if (!after_dashes) {
        const int taken = take_own_option(argc, argv, i);
        i += taken;
        if (taken > 0) return taken;
    }
    if (!after_dashes && word[0] == '-') return 0;  // FLTK's, or unknown
    if (parsing->model == nullptr) {
        parsing->model = word;
    } else {
        std::fprintf(stderr, "more than one model named; loading only %s\n", parsing->model);
    }
    ++i;
    return 1;
}

void load_named_model(void* name) { load_stl_file(static_cast<const char*>(name)); }

}  // namespace

Command_Line parse_command_line(int argc, char** argv) {
    Command_Line line;
    parsing = &line;
    after_dashes = false;
    // Fl::args stops at a word it does not know. Parsing goes on after it:
    // the next call sees the list from that word on, and skips the word as
    // if it were the program name.
    int base = 0;
    while (base < argc - 1) {
        int i = 0;
        Fl::args(argc - base, argv + base, i, take_model);
        if (i >= argc - base) break;
        line.unknown_option = true;
        base += i;
    }
    if (line.unknown_option) Fl::error("options are:\n%s", Fl::help);  // as Fl::args(argc, argv)
    parsing = nullptr;
    return line;
}

void load_model_when_shown(const Command_Line& line) {
    set_load_steps(line.rotations);
    if (line.model != nullptr)
        Fl::add_timeout(0.0, load_named_model, const_cast<char*>(line.model));
}
