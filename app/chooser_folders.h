#pragma once

#include <string>
#include <vector>

// Where the file chooser opens when the command names no folder that
// exists, as a desktop's chooser opens in a real folder: for Save, the
// folder of the last map saved in this run, else of the model loaded last,
// else the start-up folder; for Load, the model folder the command names if
// it exists, else the folder of the model loaded last, else the installed
// sample models. A chooser opened on no folder (GTK's "Recently Used") takes
// no bare file name.

void remember_loaded_model(const std::string& path);
void remember_saved_map(const std::string& path);

// `asked`: the folder the command set, or nullptr.
std::string save_start_folder(const char* asked, const std::string& startup_dir);
std::string load_start_folder(const char* asked);

// The first of `candidates` that is a folder; empty if none is.
std::string first_folder(const std::vector<std::string>& candidates);

// The sample models that come with the program: installed beside it
// (PREFIX/share/veltrim/250_test for PREFIX/bin/veltrim) or, run from the
// build, in the source tree.
std::string sample_folder();
