#pragma once

#include <string>

// What the operator is told in the window's status line. The view reports
// its own events (a capture written or failed, a capture waiting for the
// top view) through a hook the program sets; the batch converter sets none,
// so its frames tell nobody. The console lines are printed as before.
enum class Notice_Tone { Info, Warning, Error };

using Notice_Hook = void (*)(Notice_Tone tone, const std::string& text);

// nullptr (the default) drops notices.
void set_notice_hook(Notice_Hook hook);

void notify_operator(Notice_Tone tone, const std::string& text);

// A height map the Save has just written, whole, at `path`: the program
// shows it (the height-map window). nullptr (the default) shows nothing.
using Map_Written_Hook = void (*)(const std::string& path);

void set_map_written_hook(Map_Written_Hook hook);

void notify_map_written(const std::string& path);
