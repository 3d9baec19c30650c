#pragma once

#include <FL/Fl_Gl_Window.H>

#include "view/frame_inputs.h"
#include "view/view_state.h"

// The program's one OpenGL view and the owner of all model, view and output
// state (inherited from View_State). Its timer looks 120 times a second for
// a frame that would differ from the last one drawn and only then redraws;
// commands and mouse events only change members.
class GL_Display_3D : public Fl_Gl_Window, public View_State {
public:
    GL_Display_3D();
    ~GL_Display_3D() override;

    void draw() override;  // public so offscreen tests can draw a frame
    int handle(int event) override;

    // Whether the next tick redraws: a new context or size, a counted
    // capture frame, or any input of the frame changed since the last draw.
    bool frame_due() const;

    static void redraw_tick(void* view);

private:
    Frame_Inputs drawn_;  // what the last frame read
};
