#include "view/model_geometry.h"

// Buffer objects are GL 1.5; Mesa's libGL exports them directly.
#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>

#include <climits>
#include <cstring>

namespace {

constexpr int kVertexFloats = 6;  // normal, then position
constexpr GLsizei kStride = kVertexFloats * sizeof(float);

// One function for both paths, so the cached normals are bit for bit the
// ones immediate mode computes.
inline void facet_normal(const Triangle& t, float* n) {
    const float* a = t.v[0];
    const float* b = t.v[1];
    const float* c = t.v[2];
    const float ux = b[0] - a[0], uy = b[1] - a[1], uz = b[2] - a[2];
    const float vx = c[0] - a[0], vy = c[1] - a[1], vz = c[2] - a[2];
    n[0] = uy * vz - uz * vy;
    n[1] = uz * vx - ux * vz;
    n[2] = ux * vy - uy * vx;
}

}  // namespace

void draw_facets_immediately(const std::vector<Triangle>& triangles) {
    glBegin(GL_TRIANGLES);
    for (const Triangle& t : triangles) {
        if (!is_finite_facet(t)) continue;
        float n[3];
        facet_normal(t, n);
        glNormal3fv(n);
        glVertex3fv(t.v[0]);
        glVertex3fv(t.v[1]);
        glVertex3fv(t.v[2]);
    }
    glEnd();
}

void Model_Geometry::build(const std::vector<Triangle>& triangles, unsigned long generation) {
    ++builds_;
    stale_ = false;
    generation_ = generation;
    facets_ = triangles.size();
    vertices_ = 0;
    fallback_ = false;
    if (buffer_ != 0) glDeleteBuffers(1, &buffer_);  // made in this same context
    buffer_ = 0;
    if (triangles.empty()) return;
    if (triangles.size() > INT_MAX / 3) {  // beyond what one draw call can count
        fallback_ = true;
        return;
    }

    glGenBuffers(1, &buffer_);
    glBindBuffer(GL_ARRAY_BUFFER, buffer_);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(facets_ * 3 * kStride), nullptr,
                 GL_STATIC_DRAW);
    // Filled in place: no second copy of the whole model in client memory.
    float* out = static_cast<float*>(glMapBuffer(GL_ARRAY_BUFFER, GL_WRITE_ONLY));
    bool filled = false;
    if (out != nullptr) {
        for (const Triangle& t : triangles) {
            if (!is_finite_facet(t)) continue;
            float n[3];
            facet_normal(t, n);
            vertices_ += 3;
            for (const float* vertex : t.v) {
                std::memcpy(out, n, sizeof n);
                std::memcpy(out + 3, vertex, 3 * sizeof(float));
                out += kVertexFloats;
            }
        }
        filled = glUnmapBuffer(GL_ARRAY_BUFFER) == GL_TRUE;
    }
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    if (!filled) {  // out of memory or a lost store: keep drawing, the slow way
        glDeleteBuffers(1, &buffer_);
        buffer_ = 0;
        fallback_ = true;
    }
}

void Model_Geometry::release() {
    if (buffer_ != 0) glDeleteBuffers(1, &buffer_);
    buffer_ = 0;
    stale_ = true;
}

void Model_Geometry::draw(const std::vector<Triangle>& triangles, unsigned long generation,
                          bool context_new, Model_Path path) {
    if (context_new) {
        buffer_ = 0;  // that name belonged to the old context
        stale_ = true;
    }
    if (path == Model_Path::Immediate) {
        draw_facets_immediately(triangles);
        return;
    }
    if (stale_ || generation != generation_ || triangles.size() != facets_)
        build(triangles, generation);
    if (fallback_) {
        draw_facets_immediately(triangles);
        return;
    }
    if (buffer_ == 0 || vertices_ == 0) return;  // no facets to draw

    // Leaves the current colour alone (the plate is drawn in it); the
    // current normal is left undefined, and nothing lit follows without
    // its own normals.
    glBindBuffer(GL_ARRAY_BUFFER, buffer_);
    glNormalPointer(GL_FLOAT, kStride, nullptr);
    glVertexPointer(3, GL_FLOAT, kStride, reinterpret_cast<const void*>(3 * sizeof(float)));
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_VERTEX_ARRAY);
    glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(vertices_));
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
}
