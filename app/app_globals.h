#pragma once

class Fl_Double_Window;
class GL_Display_3D;

// Set once in main, never cleared; the commands reach the view through them.
extern Fl_Double_Window* main_window;
extern GL_Display_3D* gl_view;
