#include "app/status_line.h"

#include <FL/Fl_Box.H>

#include "view/window_sizes.h"

namespace {

Fl_Box* status_box = nullptr;
std::string shown_text;
Notice_Tone shown_tone = Notice_Tone::Info;

}  // namespace

void build_status_line() {
    // Under the view, across its width: the window's free strip.
    constexpr int kTop = sizes::kViewTop + sizes::kViewHeight;
    status_box =
        new Fl_Box(sizes::kViewLeft, kTop + 2, sizes::kViewWidth, sizes::kWindowHeight - kTop - 4);
    status_box->box(FL_FLAT_BOX);
    status_box->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE | FL_ALIGN_CLIP);
    status_box->labelsize(13);
    show_status(Notice_Tone::Info, "Load STL opens a model; Save BMP writes its height map.");
    set_notice_hook(show_status);
}

void show_status(Notice_Tone tone, const std::string& text) {
    shown_text = text;
    shown_tone = tone;
    if (status_box == nullptr) return;
    const Fl_Color back = tone == Notice_Tone::Error     ? fl_rgb_color(190, 30, 30)
                          : tone == Notice_Tone::Warning ? fl_rgb_color(250, 210, 90)
                                                         : FL_BACKGROUND_COLOR;
    status_box->color(back);
    status_box->labelcolor(tone == Notice_Tone::Error ? FL_WHITE : FL_BLACK);
    status_box->copy_label((" " + literal_label(text)).c_str());
    status_box->redraw();
}

std::string literal_label(const std::string& text) {
    // FLTK reads "&" and "@" in labels as markup; a file name may hold them.
    std::string label;
    for (char c : text) label += c == '&' || c == '@' ? std::string(2, c) : std::string(1, c);
    return label;
}

std::string status_text() { return shown_text; }

Notice_Tone status_tone() { return shown_tone; }
