#pragma once

#include <gtest/gtest.h>

#include <GL/gl.h>
#include <FL/Fl.H>

#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "app/app_globals.h"
#include "app/file_chooser.h"
#include "view/gl_display_3d.h"
#include "view/offscreen_context.h"

// The window's view drawn into an offscreen EGL context, as FLTK would:
// draw(), then the context marked valid.
class Offscreen_View_Test : public ::testing::Test {
protected:
    void SetUp() override {
        context_ = std::make_unique<Offscreen_Context>(800, 560);
        ASSERT_TRUE(context_->status()) << context_->status().reason();
        fresh_view();
    }
    void TearDown() override {
        set_file_chooser_factory(nullptr);
        gl_view = nullptr;
    }
    GL_Display_3D& view() { return *view_; }
    void fresh_view() {
        view_ = std::make_unique<GL_Display_3D>();
        gl_view = view_.get();
    }
    void frame(int n = 1) {
        for (int i = 0; i < n; ++i) {
            view_->draw();
            view_->valid(1);
            view_->context_valid(1);
        }
    }
    // The next frame runs the set-up again.
    void resize(int w, int h) {
        ASSERT_TRUE(context_->resize(w, h));
        view_->size(w, h);
        view_->valid(0);
    }
    int event(int type, int x, int y, int button = 0) {
        Fl::e_x = x;
        Fl::e_y = y;
        if (button) Fl::e_keysym = FL_Button + button;
        return view_->handle(type);
    }
    std::unique_ptr<Offscreen_Context> context_;
    std::unique_ptr<GL_Display_3D> view_;
};

// Runs f with standard output and error captured; returns {stdout, stderr}.
inline std::pair<std::string, std::string> captured(const std::function<void()>& f) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    f();
    std::string out = testing::internal::GetCapturedStdout();
    return {out, testing::internal::GetCapturedStderr()};
}

// A chooser that answers from a script instead of asking anybody.
struct Scripted_Chooser_Answer {
    File_Chooser::Result result = File_Chooser::Picked;  // what show() returns
    const char* filename = nullptr;                      // what filename() gives
    std::function<void()> while_open;  // runs inside show(), as a modal dialog's loop would
};

struct Scripted_Chooser : File_Chooser {
    explicit Scripted_Chooser(Scripted_Chooser_Answer a) : answer(std::move(a)) {}
    void title(const char*) override {}
    void type(Type) override {}
    void filter(const char*) override {}
    void directory(const char* d) override { dir = d; }
    const char* directory() const override { return dir.empty() ? nullptr : dir.c_str(); }
    void preset_file(const char*) override {}
    Result show() override {
        if (answer.while_open) answer.while_open();
        return answer.result;
    }
    const char* filename() const override { return answer.filename; }
    const char* errmsg() const override { return "no display"; }
    Scripted_Chooser_Answer answer;
    std::string dir;
};

inline void answer_choosers_with(Scripted_Chooser_Answer answer) {
    set_file_chooser_factory(
        [answer](File_Chooser::Type) { return std::make_unique<Scripted_Chooser>(answer); });
}

// "~piece": text holds piece; otherwise text is exactly want.
inline bool says(const std::string& text, const char* want) {
    return *want == '~' ? text.find(want + 1) != std::string::npos : text == want;
}

inline bool is_identity(const double* m) {
    for (int i = 0; i < 16; ++i)
        if (m[i] != (i % 5 == 0 ? 1.0 : 0.0)) return false;
    return true;
}
