#include "app/status_line.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Tooltip.H>
#include <FL/fl_draw.H>

#include "app/status_fit.h"
#include "view/window_sizes.h"

namespace {

std::string as_label(const std::string& text) { return " " + literal_label(text); }

// The strip fits its message to its width when it draws (the font is known
// then): what does not fit is in the tooltip, which a click shows at once.
class Status_Strip : public Fl_Box {
public:
    using Fl_Box::Fl_Box;
    void message(const std::string& text) {
        text_ = text;
        fitted_width_ = -1;
        redraw();
    }

    void draw() override {
        if (fitted_width_ != w()) fit();
        Fl_Box::draw();
    }

    int handle(int event) override {
        if (event == FL_PUSH && tooltip() != nullptr) {
            Fl_Tooltip::enter_area(this, 0, 0, w(), h(), tooltip());
            return 1;
        }
        return Fl_Box::handle(event);
    }

private:
    void fit() {
        fl_font(labelfont(), labelsize());
        const std::string shown = fitted_status(text_, w() - 12, [](const std::string& t) {
            return static_cast<int>(fl_width(as_label(t).c_str()));
        });
        copy_label(as_label(shown).c_str());
        if (shown == text_)
            tooltip(nullptr);
        else
            copy_tooltip(text_.c_str());
        fitted_width_ = w();
    }

    std::string text_;
    int fitted_width_ = -1;
};

Status_Strip* status_box = nullptr;
std::string shown_text;
Notice_Tone shown_tone = Notice_Tone::Info;

}  // namespace

void build_status_line() {
    // Under the view, across its width: the window's free strip.
    constexpr int kTop = sizes::kViewTop + sizes::kViewHeight;
    status_box = new Status_Strip(sizes::kViewLeft, kTop + 2, sizes::kViewWidth,
                                  sizes::kWindowHeight - kTop - 4);
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
    status_box->message(text);
}

std::string literal_label(const std::string& text) {
    // FLTK reads "&" and "@" in labels as markup; a file name may hold them.
    std::string label;
    for (char c : text) label += c == '&' || c == '@' ? std::string(2, c) : std::string(1, c);
    return label;
}

std::string status_text() { return shown_text; }

Notice_Tone status_tone() { return shown_tone; }
