#pragma once

class Fl_Double_Window;

// Builds the main window with its buttons, the 3D view and the two hidden
// groups; sets main_window and gl_view. The window is not shown yet.
Fl_Double_Window* build_main_window();
