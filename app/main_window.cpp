#include "app/main_window.h"

#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Value_Input.H>

#include "app/app_globals.h"
#include "app/commands.h"
#include "app/height_map_window.h"
#include "app/rotation_keys.h"
#include "app/status_line.h"
#include "heightmap/sizes.h"
#include "view/window_sizes.h"
#include "view/file_drop.h"
#include "view/operator_notice.h"
#include "view/gl_display_3d.h"

namespace {

// One button of the row along the top, 40 pixels high, with what it does
// in plain English for an operator who does not read its label.
void add_button(int x, int w, const char* label, Fl_Callback* callback, const char* tip) {
    Fl_Button* b = new Fl_Button(x, 27, w, 40, label);
    b->callback(callback);
    b->tooltip(tip);
}

}  // namespace

Fl_Double_Window* build_main_window() {
    main_window = new Fl_Double_Window(sizes::kWindowWidth, sizes::kWindowHeight, "Veltrim");
    add_button(53, 84, "Load STL", load_stl_cb, "Load an STL model");
    {
        gl_view = new GL_Display_3D();
        GL_Display_3D* o = gl_view;
        o->box(FL_GTK_DOWN_BOX);
        o->color(FL_BACKGROUND_COLOR);
        o->selection_color(FL_BACKGROUND_COLOR);
        o->labeltype(FL_NORMAL_LABEL);
        o->labelfont(0);
        o->labelsize(14);
        o->labelcolor(FL_FOREGROUND_COLOR);
        o->align(Fl_Align(FL_ALIGN_TOP));
        o->when(FL_WHEN_RELEASE);
        o->end();
        Fl_Group::current()->resizable(o);
        set_file_drop_hook(load_stl_file);
    }
    add_button(138, 84, "Save BMP", save_bmp_cb, "Save the height map as BMP");
    add_button(259, 64, "上視", top_view_cb, "Top view");
    add_button(323, 64, "側視", side_view_cb, "Side view");
    add_button(387, 64, "正視", front_view_cb, "Front view");
    add_button(471, 64, "旋轉還原", reset_rotation_cb,
               "Reset rotation: undo trackball turns, pans and the x/y/z keys");
    {
        Fl_Group* o = new Fl_Group(695, 90, 325, 482, "產生結果");
        o->box(FL_THIN_DOWN_BOX);
        o->selection_color(FL_YELLOW);
        o->hide();
        o->end();
    }
    {
        Fl_Group* o = new Fl_Group(685, 35, 245, 101, "深度值定義");
        o->box(FL_THIN_DOWN_BOX);
        o->hide();
        {
            Fl_Value_Input* i = new Fl_Value_Input(780, 51, 80, 24, "最低值(底板)");
            i->maximum(sizes::kMaxGray);
            i->step(1);
        }
        {
            Fl_Value_Input* i = new Fl_Value_Input(780, 84, 80, 24, "次低值(模型)");
            i->maximum(sizes::kMaxGray);
            i->step(1);
            i->value(10);
        }
        o->end();
    }
    build_status_line();
    set_map_written_hook(map_written);
    install_rotation_keys();
    install_height_map_window();
    main_window->size_range(945, 605, 945, 453);
    main_window->end();
    return main_window;
}
