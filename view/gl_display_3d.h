#pragma once

#include <FL/Fl_Gl_Window.H>

#include "view/view_state.h"

// The program's one OpenGL view and the owner of all model, view and output
// state (inherited from View_State). It redraws itself 120 times a second;
// commands and mouse events only change members.
class GL_Display_3D : public Fl_Gl_Window, public View_State {
public:
    GL_Display_3D();
    ~GL_Display_3D() override;

    void draw() override;  // public so offscreen tests can draw a frame
    int handle(int event) override;

    static void redraw_tick(void* view);
};
