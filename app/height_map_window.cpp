#include "app/height_map_window.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Double_Window.H>

#include <vector>

#include "app/app_globals.h"
#include "app/height_map_view.h"
#include "app/map_file.h"
#include "heightmap/map_reading.h"
#include "heightmap/sizes.h"
#include "platform/file_names.h"

namespace {

constexpr int kMargin = 10;
constexpr int kLegendWidth = Map_Legend::kWidth;
constexpr int kLineHeight = 36;  // two lines of text: a pixel's line wraps at scale 1
// A window manager's title bar and frame, which the work area does not leave out.
constexpr int kDecoration = 40;
constexpr int kExtraWidth = 3 * kMargin + kLegendWidth;
constexpr int kExtraHeight = 2 * kMargin + kLineHeight + kMargin + kDecoration;

struct Map_Window {
    Fl_Double_Window* window;
    Map_View* map;
    Map_Legend* legend;
    Fl_Box* line;
};

Map_Window build() {
    Map_Window m{};
    m.window = new Fl_Double_Window(1, 1);
    m.line = new Fl_Box(0, 0, 1, kLineHeight);
    m.line->box(FL_FLAT_BOX);
    m.line->align(FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_INSIDE | FL_ALIGN_WRAP | FL_ALIGN_CLIP);
    m.line->labelsize(Map_Legend::kTextSize);
    m.map = new Map_View(m.line);
    m.legend = new Map_Legend();
    m.window->end();
    return m;
}

// Lays the window out for a scale; placed at the work area's right edge when
// it opens, left where the operator moved it while it stays open.
void lay_out(const Map_Window& m, int scale, int area_x, int area_y, int area_w) {
    const int map_w = sizes::kImageCols * scale, map_h = sizes::kImageRows * scale;
    m.map->position(kMargin, kMargin);
    m.legend->resize(2 * kMargin + map_w, kMargin, kLegendWidth, map_h);
    const int w = map_w + kExtraWidth;
    m.line->resize(kMargin, 2 * kMargin + map_h, w - 2 * kMargin, kLineHeight);
    const int h = map_h + kExtraHeight - kDecoration;
    if (m.window->shown())
        m.window->size(w, h);
    else
        m.window->resize(area_x + area_w - w, area_y, w, h);
}

Map_Window* shown_map = nullptr;  // built by the first Save that writes a map
std::string pending_path;

void show_pending(void*) { show_height_map_window(pending_path); }

}  // namespace

void show_height_map_window_after_frame(const std::string& path) {
    pending_path = path;
    Fl::remove_timeout(show_pending);
    Fl::add_timeout(0.0, show_pending);
}

void show_height_map_window(const std::string& path) {
    if (shown_map == nullptr) shown_map = new Map_Window(build());
    const Map_Window& m = *shown_map;
    int x, y, w, h;
    Fl::screen_work_area(x, y, w, h);
    const int scale = map_reading::whole_scale(w, h, kExtraWidth, kExtraHeight);
    const std::string name = platform::file_name_of(path);
    m.window->copy_label(name.c_str());
    std::vector<unsigned char> pixels;
    const Status read = map_reading::read_height_map(path, pixels);
    m.map->set(std::move(pixels), scale);
    show_map_line(m.line,
                  read ? kMapHint : "ERROR: could not read " + name + " back: " + read.reason());
    lay_out(m, scale, x, y, w);
    m.window->redraw();
    m.window->show();
}

void install_height_map_window() {
    // FLTK runs while any window is shown; its own callback hides just this one.
    main_window->callback([](Fl_Widget*, void*) {
        if (shown_map != nullptr) shown_map->window->hide();
        main_window->hide();
    });
}
