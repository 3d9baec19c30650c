#pragma once

#include <string>

// The height map each Save has just written, read back from its file so the
// operator sees what the mill gets: a window of its own, titled with the
// file's name, beside the main one and never modal. It shows the map at the
// largest whole scale the screen takes, a legend of heights, and the height
// and plate place of the pixel under the pointer. Each Save refreshes the
// same window, reopening it when it was closed.

// Shows the map at path, or why it cannot be read, in the window.
void show_height_map_window(const std::string& path);

// The same, for a map written inside a frame: shown once that frame is drawn.
void show_height_map_window_after_frame(const std::string& path);

// Closes the window with the main one, so the program still ends when its
// main window is closed.
void install_height_map_window();
