#pragma once

// x, y and z turn the model a quarter turn (+90 degrees) about its own
// axis, Shift+x, Shift+y and Shift+z turn it back: the same trackball step
// as a --rotate step, one a frame, every press counted. Taken as FLTK
// shortcut events, so they work whenever the main window has the keyboard
// and no widget wanted the key.
void install_rotation_keys();
