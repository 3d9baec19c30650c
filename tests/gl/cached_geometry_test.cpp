// The cached geometry against the same frame in immediate mode: not a bit of
// colour or depth may differ, and the cache follows every model and context.
#define GL_GLEXT_PROTOTYPES  // glIsBuffer
#include <GL/gl.h>
#include <GL/glext.h>

#include "support/offscreen_view.h"

#include <numeric>

#include "app/commands.h"
#include "support/insole_model.h"
#include "support/model_bounds.h"

namespace {

struct Picture {
    std::vector<unsigned char> rgb;  // the whole view
    std::vector<float> depth;        // the capture window's samples
};

template <class T>
std::size_t differences(const std::vector<T>& a, const std::vector<T>& b) {
    return std::inner_product(a.begin(), a.end(), b.begin(), std::size_t{0}, std::plus<>(),
                              std::not_equal_to<>());
}
std::size_t differences(const Picture& a, const Picture& b) {
    return differences(a.rgb, b.rgb) + differences(a.depth, b.depth);
}

class CachedGeometry : public Offscreen_View_Test {
protected:
    void load(std::vector<Triangle> t) {
        const Model_Bounds bounds = first_vertex_bounds(t);
        view().set_model(std::move(t), bounds);
    }
    Picture draw(Model_Path path) {
        view().model_path = path;
        frame();
        Picture p{std::vector<unsigned char>(800 * 560 * 3),
                  std::vector<float>(view().depth_samples, view().depth_samples + 360 * 150)};
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, 800, 560, GL_RGB, GL_UNSIGNED_BYTE, p.rgb.data());
        return p;
    }
    // With nothing pending, consecutive frames see the same state.
    Picture expect_paths_agree(const char* where) {
        const Picture cached = draw(Model_Path::Cached);
        EXPECT_EQ(differences(cached, draw(Model_Path::Immediate)), 0u) << where;
        return cached;
    }
};

TEST_F(CachedGeometry, MatchesImmediateModeAndRebuildsForEveryModelAndContextNotForAResize) {
    load(insole_model(20000));
    top_view_cb(nullptr, nullptr);
    frame();
    const Picture top = expect_paths_agree("top view");
    const float plate = static_cast<float>(0.5 + 27.0 / (2 * 800.0 * 560.0));
    EXPECT_GT(std::count_if(top.depth.begin(), top.depth.end(), [&](float d) { return d < plate; }),
              1000)
        << "the model must reach the depth samples";
    captured([&] {
        event(FL_PUSH, 400, 280, 1);
        event(FL_DRAG, 430, 300, 1);
    });
    frame();
    expect_paths_agree("after a trackball turn");
    resize(640, 480);
    frame();
    resize(800, 560);
    frame(2);
    EXPECT_EQ(view().model_geometry.builds(), 1u) << "a resize keeps the context and its buffer";
    const Picture first = draw(Model_Path::Cached);

    context_ = nullptr;  // as on hide and show: the old context goes, with its buffer
    context_ = std::make_unique<Offscreen_Context>(800, 560);
    ASSERT_TRUE(context_->status()) << context_->status().reason();
    view().valid(0);
    view().context_valid(0);
    frame();
    const Picture after = expect_paths_agree("new context");
    EXPECT_EQ(differences(first, after), 0u);
    EXPECT_EQ(view().model_geometry.builds(), 2u);

    ASSERT_TRUE(glIsBuffer(1)) << "the only buffer this context has made";
    view().model_geometry.release();
    EXPECT_FALSE(glIsBuffer(1)) << "released, not left in the context";
    GLint bound = 0;
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &bound);
    EXPECT_EQ(bound, 0);
    EXPECT_EQ(differences(draw(Model_Path::Cached).rgb, first.rgb), 0u);

    std::vector<Triangle> shorter = view().triangles;  // the same size: only the generation tells
    for (Triangle& t : shorter)
        for (auto& v : t.v) v[0] /= 2;
    load(std::move(shorter));
    const Picture second = expect_paths_agree("replaced by a model of the same size");
    EXPECT_GT(differences(first.rgb, second.rgb), 10000u);
    load({});
    const Picture empty = expect_paths_agree("empty model");
    EXPECT_GT(differences(second.depth, empty.depth), 1000u) << "nothing of the old model remains";
    EXPECT_EQ(view().model_geometry.builds(), 5u);
}

}  // namespace
