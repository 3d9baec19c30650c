#pragma once

#include <string>

#include "view/operator_notice.h"

// The strip under the view (y 652 to 676) that tells the operator what last
// happened, for a window started from the desktop menu, whose console
// nobody sees. Warnings and errors stand out by their colour and prefix.
// It keeps its height and stays under the view when the window is resized.

// Adds it to the window being built and makes it the notice hook's target.
void build_status_line();

// Replaces the text shown; the notice hook the view calls.
void show_status(Notice_Tone tone, const std::string& text);

// text as an FLTK label shows it letter for letter.
std::string literal_label(const std::string& text);

// The text and tone shown now, for tests.
std::string status_text();
Notice_Tone status_tone();
