#include "app/command_line.h"

#include <FL/Fl.H>

#include <cstdio>
#include <cstring>

#include "app/commands.h"

namespace {

// Fl::args takes a plain function, so the callback reports through these.
Command_Line* parsing = nullptr;
bool after_dashes = false;

int take_model(int, char** argv, int& i) {
    const char* word = argv[i];
    if (!after_dashes && std::strcmp(word, "--") == 0) {
        after_dashes = true;
        ++i;
        return 1;
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
    if (line.model != nullptr)
        Fl::add_timeout(0.0, load_named_model, const_cast<char*>(line.model));
}
