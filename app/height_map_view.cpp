#include "app/height_map_view.h"

#include <FL/Fl.H>
#include <FL/fl_draw.H>

#include "app/status_line.h"
#include "heightmap/map_reading.h"
#include "heightmap/sizes.h"

using sizes::kImageCols;
using sizes::kImageRows;

const char* const kMapHint = "Point at the map to read a pixel's height and place on the plate.";

void show_map_line(Fl_Box* line, const std::string& text) {
    line->copy_label(literal_label(text).c_str());
    line->redraw();
}

Map_View::Map_View(Fl_Box* line) : Fl_Widget(0, 0, 1, 1), line_(line) {}

void Map_View::set(std::vector<unsigned char> pixels, int scale) {
    pixels_ = std::move(pixels);
    scale_ = scale;
    const int w = kImageCols * scale, h = kImageRows * scale;
    scaled_.assign(pixels_.empty() ? 0 : static_cast<std::size_t>(w) * h, 0);
    for (int y = 0; y < h && !pixels_.empty(); ++y)
        for (int x = 0; x < w; ++x)
            scaled_[static_cast<std::size_t>(y) * w + x] =
                pixels_[(y / scale) * kImageCols + x / scale];
    size(w, h);
    redraw();
}

void Map_View::draw() {
    if (scaled_.empty()) {  // an empty frame where the map would be
        fl_rectf(x(), y(), w(), h(), FL_BACKGROUND_COLOR);
        fl_color(FL_DARK3);
        fl_rect(x(), y(), w(), h());
        return;
    }
    fl_draw_image_mono(scaled_.data(), x(), y(), w(), h());
}

int Map_View::handle(int event) {
    if (pixels_.empty()) return Fl_Widget::handle(event);
    switch (event) {
    case FL_ENTER:  // taken, so that FL_MOVE follows
        return 1;
    case FL_MOVE: {
        const int row = (Fl::event_y() - y()) / scale_, col = (Fl::event_x() - x()) / scale_;
        if (row < 0 || row >= kImageRows || col < 0 || col >= kImageCols) return 1;
        show_map_line(line_,
                      map_reading::describe_pixel(row, col, pixels_[row * kImageCols + col]));
        return 1;
    }
    case FL_LEAVE: show_map_line(line_, kMapHint); return 1;
    default: return Fl_Widget::handle(event);
    }
}

Map_Legend::Map_Legend() : Fl_Widget(0, 0, kWidth, 0) {}

void Map_Legend::draw() {
    fl_font(FL_HELVETICA, kTextSize);
    fl_color(FL_FOREGROUND_COLOR);
    fl_draw("Height above the plate", x(), y() + kTextSize);
    const std::string levels = std::to_string(sizes::kLevelsPerUnit) + " gray levels a unit";
    fl_draw(levels.c_str(), x(), y() + 2 * kTextSize + 4);
    int top = y() + 3 * kTextSize + 12;
    for (const map_reading::Legend_Step& step : map_reading::legend_steps()) {
        const uchar g = static_cast<uchar>(step.gray);
        fl_rectf(x(), top, 24, 20, g, g, g);
        fl_color(FL_FOREGROUND_COLOR);
        fl_rect(x() - 1, top - 1, 26, 22);  // a black swatch still shows on any ground
        fl_draw(step.label.c_str(), x() + 32, top + 15);
        top += 28;
    }
}
