// The model drawn from its cached geometry against the very same frame
// drawn in immediate mode: colour buffer and depth samples must not differ
// by a single bit, and the cache must follow every new model and context.
#define GL_GLEXT_PROTOTYPES  // glIsBuffer
#include <GL/gl.h>
#include <GL/glext.h>

#include "support/offscreen_view.h"

#include <algorithm>
#include <filesystem>

#include "app/commands.h"
#include "model/stl_file.h"
#include "support/wavy_surface.h"

namespace {

constexpr int kW = 800, kH = 560;
constexpr int kSamples = 360 * 150;
constexpr double kDepthStep = 1.0 / 16777215.0;

struct Picture {
    std::vector<unsigned char> rgb;  // the whole view
    std::vector<float> depth;        // the capture window's samples
};

std::size_t colour_differences(const Picture& a, const Picture& b) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < a.rgb.size(); ++i) n += a.rgb[i] != b.rgb[i];
    return n;
}

std::size_t depth_differences(const Picture& a, const Picture& b) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < a.depth.size(); ++i) n += a.depth[i] != b.depth[i];
    return n;
}

// Samples nearer than the plate at the top view: the model's own.
int samples_above_plate(const Picture& p) {
    const double plate = 0.5 + 27.5 / (2.0 * kW * kH);
    return static_cast<int>(std::count_if(p.depth.begin(), p.depth.end(),
                                          [&](float d) { return d < plate - kDepthStep; }));
}

class CachedGeometry : public Offscreen_View_Test {
protected:
    void load(std::vector<Triangle> t) {
        view().set_bounds(first_vertex_bounds(t));
        view().triangles = std::move(t);
        ++view().model_generation;
    }

    void load_file(const std::string& path) {
        std::vector<Triangle> t;
        Model_Bounds b;
        Stl_Report report;
        const Status opened = read_stl_file(path.c_str(), t, b, report);
        ASSERT_TRUE(opened) << opened.reason();
        ASSERT_FALSE(t.empty());
        view().triangles = std::move(t);
        view().set_bounds(b);
        ++view().model_generation;
    }

    Picture draw(Model_Path path) {
        view().model_path = path;
        frame();
        Picture p;
        p.rgb.resize(kW * kH * 3);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, kW, kH, GL_RGB, GL_UNSIGNED_BYTE, p.rgb.data());
        p.depth.assign(view().depth_samples, view().depth_samples + kSamples);
        return p;
    }

    // A frame from the cache, then the same frame in immediate mode: with
    // nothing pending, consecutive frames see the same state.
    Picture expect_paths_agree(const char* where) {
        const Picture cached = draw(Model_Path::Cached);
        const Picture immediate = draw(Model_Path::Immediate);
        EXPECT_EQ(colour_differences(cached, immediate), 0u) << where;
        EXPECT_EQ(depth_differences(cached, immediate), 0u) << where;
        return cached;
    }

    // From a fresh view: the initial view, the top view, then a trackball
    // turn. Each change gets one frame to settle before the comparison.
    void compare_at_views() {
        frame();  // unturned; the initial view follows
        expect_paths_agree("initial view");
        top_view_cb(nullptr, nullptr);
        frame();
        const Picture top = expect_paths_agree("top view");
        EXPECT_GT(samples_above_plate(top), 1000) << "the model must reach the depth samples";
        testing::internal::CaptureStdout();
        event(FL_PUSH, 400, 280, 1);
        event(FL_DRAG, 430, 300, 1);
        testing::internal::GetCapturedStdout();
        frame();  // applies the turn
        EXPECT_FALSE(is_identity(view().model_matrix));
        expect_paths_agree("after a trackball turn");
    }
};

TEST_F(CachedGeometry, SampleModelsMatchImmediateModeAtEveryView) {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(VELTRIM_SAMPLES_DIR))
        if (entry.path().extension() == ".stl") files.push_back(entry.path().string());
    ASSERT_FALSE(files.empty()) << "no sample models in " VELTRIM_SAMPLES_DIR;
    std::sort(files.begin(), files.end());
    for (const std::string& path : files) {
        SCOPED_TRACE(path);
        view_ = std::make_unique<GL_Display_3D>();  // each model from the initial view
        gl_view = view_.get();
        load_file(path);
        compare_at_views();
    }
}

TEST_F(CachedGeometry, LargeModelMatchesImmediateModeAndEveryReplacementIsDrawn) {
    load(wavy_surface(200000));
    compare_at_views();
    const Picture first = draw(Model_Path::Cached);

    // The same number of facets in another shape: only the generation tells.
    load(wavy_surface(200000, 1.0f));
    const Picture second = expect_paths_agree("replaced by a model of the same size");
    EXPECT_GT(colour_differences(first, second), 10000u);

    load({});
    const Picture empty = expect_paths_agree("empty model");
    EXPECT_GT(depth_differences(second, empty), 1000u) << "nothing of the old model may remain";

    EXPECT_EQ(view().model_geometry.builds(), 3u) << "once per model, never per frame";
}

TEST_F(CachedGeometry, ResizeKeepsTheCacheANewContextRebuildsIt) {
    load(wavy_surface(20000));
    frame(3);
    EXPECT_EQ(view().model_geometry.builds(), 1u);
    resize(640, 480);
    frame();
    resize(kW, kH);
    frame(2);
    EXPECT_EQ(view().model_geometry.builds(), 1u) << "a resize keeps the context and its buffer";
    const Picture before = draw(Model_Path::Cached);

    // As FLTK does on hide and show: the old context goes, with its buffer.
    context_.reset();
    context_ = std::make_unique<Offscreen_Context>(kW, kH);
    ASSERT_TRUE(context_->ok()) << context_->error();
    view().valid(0);
    view().context_valid(0);
    frame();
    EXPECT_EQ(view().model_geometry.builds(), 2u);
    const Picture after = expect_paths_agree("new context");
    EXPECT_EQ(colour_differences(before, after), 0u);
    EXPECT_EQ(depth_differences(before, after), 0u);
}

TEST_F(CachedGeometry, ReleaseFreesTheBufferAndTheNextFrameRebuildsIt) {
    load(wavy_surface(20000));
    frame(2);
    GLint bound = 0;
    const Picture before = draw(Model_Path::Cached);
    // The buffer is the only one this context has made: name 1.
    ASSERT_TRUE(glIsBuffer(1));
    view().model_geometry.release();
    EXPECT_FALSE(glIsBuffer(1)) << "released, not left in the context";
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &bound);
    EXPECT_EQ(bound, 0);
    const Picture after = draw(Model_Path::Cached);
    EXPECT_EQ(view().model_geometry.builds(), 2u);
    EXPECT_EQ(colour_differences(before, after), 0u);
}

}  // namespace
