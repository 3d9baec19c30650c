#pragma once

#include <string>

// A desktop-GL compatibility context on an EGL pbuffer with a 24-bit depth
// buffer, needing no X display (Mesa's surfaceless platform, which renders
// in software). Tests and the batch converter draw the window's very frame
// code into it.
class Offscreen_Context {
public:
    Offscreen_Context(int width, int height);
    ~Offscreen_Context();
    Offscreen_Context(const Offscreen_Context&) = delete;
    Offscreen_Context& operator=(const Offscreen_Context&) = delete;

    bool ok() const { return ok_; }
    const std::string& error() const { return error_; }
    int width() const { return width_; }
    int height() const { return height_; }

    // Makes the context current on the calling thread.
    bool make_current();
    // A new surface of another size, as a window resize gives.
    bool resize(int width, int height);

private:
    bool fail(const char* what);

    void* display_ = nullptr;
    void* config_ = nullptr;
    void* surface_ = nullptr;
    void* context_ = nullptr;
    int width_, height_;
    bool ok_ = false;
    std::string error_;
};
