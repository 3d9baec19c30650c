#pragma once

// Binds FLTK's font 0, which every label uses, to a face with the CJK
// glyphs of the Chinese button labels. Left to the locale, "sans" resolves
// to a face without them everywhere but under a Chinese locale, and the
// labels show empty boxes.
void use_cjk_label_font();
