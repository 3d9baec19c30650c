#include "app/label_font.h"

#include <FL/Enumerations.H>
#include <FL/Fl.H>

void use_cjk_label_font() {
    // Xft reads the leading blank as "regular"; fontconfig falls back to
    // its default sans face where this one is missing.
    Fl::set_font(FL_HELVETICA, " WenQuanYi Zen Hei");
}
