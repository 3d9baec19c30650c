#pragma once

#include <string>

class Fl_Widget;

// Button callbacks; all ignore their arguments and reach the view through
// gl_view. None draws: the view's timer shows the change on the next frame.
void load_stl_cb(Fl_Widget*, void*);
void save_bmp_cb(Fl_Widget*, void*);
void top_view_cb(Fl_Widget*, void*);
void side_view_cb(Fl_Widget*, void*);
void front_view_cb(Fl_Widget*, void*);
void reset_rotation_cb(Fl_Widget*, void*);

// The two file commands.
void load_stl();
void save_bmp();

// Replaces the view's model with the STL file named in UTF-8, printing the
// reader's lines and "READ!" (the reason on stderr when it cannot be read),
// as Load does once a file is chosen.
void load_stl_file(const char* utf8_name);

// A height map the Save wrote (the view's hook): the chooser opens there
// next time, a Save it replaced is told, and the map window shows it.
void map_written(const std::string& path);
