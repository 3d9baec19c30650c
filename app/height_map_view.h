#pragma once

#include <FL/Fl_Box.H>
#include <FL/Fl_Widget.H>

#include <string>
#include <vector>

// The widgets of the height-map window (app/height_map_window.h).

// Text for the line under the map, shown letter for letter.
void show_map_line(Fl_Box* line, const std::string& text);

// What the line says while the pointer is off the map.
extern const char* const kMapHint;

// The map at a whole scale, each pixel a square of scale x scale; it tells
// the line what the pointer is over.
class Map_View : public Fl_Widget {
public:
    explicit Map_View(Fl_Box* line);

    // pixels: the map's rows one after another, or none when there is no
    // map to show; the widget takes the map's size at that scale.
    void set(std::vector<unsigned char> pixels, int scale);

    void draw() override;
    int handle(int event) override;

private:
    Fl_Box* line_;
    std::vector<unsigned char> pixels_;  // as read from the file
    std::vector<unsigned char> scaled_;
    int scale_ = 1;
};

// A swatch of each legend step's gray beside the height it stands for.
class Map_Legend : public Fl_Widget {
public:
    static constexpr int kWidth = 200;
    static constexpr int kTextSize = 13;

    Map_Legend();
    void draw() override;
};
