#pragma once

#include "platform/status.h"

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

    // Whether the context could be made; a later failure of resize or
    // make_current shows here too.
    const Status& status() const { return status_; }
    int width() const { return width_; }
    int height() const { return height_; }

    // Makes the context current on the calling thread.
    Status make_current();
    // A new surface of another size, as a window resize gives.
    Status resize(int width, int height);

private:
    Status fail(const char* what);

    void* display_ = nullptr;
    void* config_ = nullptr;
    void* surface_ = nullptr;
    void* context_ = nullptr;
    int width_, height_;
    Status status_ = Status::failed("not made yet");
};
