#include "view/offscreen_context.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstdio>
#include <string>

#include "platform/text_format.h"

namespace {

EGLDisplay open_display() {
    auto get_platform_display = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (get_platform_display != nullptr) {
        EGLDisplay d =
            get_platform_display(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        if (d != EGL_NO_DISPLAY) return d;
    }
    return eglGetDisplay(EGL_DEFAULT_DISPLAY);
}

}  // namespace

Offscreen_Context::Offscreen_Context(int width, int height) : width_(width), height_(height) {
    EGLDisplay display = open_display();
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr)) {
        fail("no EGL display");
        return;
    }
    display_ = display;
    const EGLint config_attributes[] = {EGL_SURFACE_TYPE,
                                        EGL_PBUFFER_BIT,
                                        EGL_RED_SIZE,
                                        8,
                                        EGL_GREEN_SIZE,
                                        8,
                                        EGL_BLUE_SIZE,
                                        8,
                                        EGL_DEPTH_SIZE,
                                        24,
                                        EGL_RENDERABLE_TYPE,
                                        EGL_OPENGL_BIT,
                                        EGL_NONE};
    EGLConfig config;
    EGLint count = 0;
    if (!eglChooseConfig(display, config_attributes, &config, 1, &count) || count < 1) {
        fail("no EGL configuration with a 24-bit depth buffer");
        return;
    }
    config_ = config;
    if (!eglBindAPI(EGL_OPENGL_API)) {
        fail("desktop OpenGL is not available through EGL");
        return;
    }
    const EGLint context_attributes[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                         EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
    context_ = eglCreateContext(display, config, EGL_NO_CONTEXT, context_attributes);
    if (context_ == EGL_NO_CONTEXT) {
        context_ = nullptr;
        fail("no compatibility-profile OpenGL context");
        return;
    }
    status_ = resize(width, height);
}

Offscreen_Context::~Offscreen_Context() {
    if (display_ == nullptr) return;
    eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (surface_ != nullptr) eglDestroySurface(display_, surface_);
    if (context_ != nullptr) eglDestroyContext(display_, context_);
    eglReleaseThread();
}

Status Offscreen_Context::resize(int width, int height) {
    if (surface_ != nullptr) {
        eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        eglDestroySurface(display_, surface_);
        surface_ = nullptr;
    }
    const EGLint attributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
    surface_ = eglCreatePbufferSurface(display_, config_, attributes);
    if (surface_ == EGL_NO_SURFACE) {
        surface_ = nullptr;
        return fail("cannot create the pbuffer");
    }
    width_ = width;
    height_ = height;
    return make_current();
}

Status Offscreen_Context::make_current() {
    if (!eglMakeCurrent(display_, surface_, surface_, context_))
        return fail("cannot make the context current");
    return Status::ok();
}

Status Offscreen_Context::fail(const char* what) {
    status_ = Status::failed(what + platform::format_text(" (EGL error 0x%x)", eglGetError()));
    return status_;
}
