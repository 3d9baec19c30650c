#pragma once

#include <cstddef>
#include <vector>

#include "model/triangle.h"

// How the model's facets reach GL each frame.
enum class Model_Path {
    Cached,     // from a vertex buffer filled once per model
    Immediate,  // glBegin/glEnd every frame: the reference the cache must
                // match pixel for pixel, and the benchmarks' baseline
};

// The model's facets kept in a GL vertex buffer between frames: each facet
// as three vertices that carry its unnormalised normal (B-A)x(C-A), the very
// values immediate mode would send, so both paths draw the same pixels.
// Neither path sends a facet with an infinite or NaN coordinate: the model
// keeps such facets as read, but they have no place on the screen.
//
// The buffer is refilled when the model generation changes and forgotten
// when the GL context is new. Destruction leaves it alone (the owner's
// context may not be current then, and a destroyed context takes its
// buffers with it); a renderer whose context outlives the View_State calls
// release() first.
class Model_Geometry {
public:
    Model_Geometry() = default;
    // A copy names no GL objects; assigning one makes the cache stale.
    Model_Geometry(const Model_Geometry&) {}
    Model_Geometry& operator=(const Model_Geometry&) {
        stale_ = true;
        return *this;
    }

    // Draws the facets with the current colour, matrices and lighting.
    // context_new: the GL context was (re)created, so names held from an
    // earlier one mean nothing in it.
    void draw(const std::vector<Triangle>& triangles, unsigned long generation, bool context_new,
              Model_Path path);

    // Deletes the buffer; the context it was made in must be current.
    void release();

    // How many times the cache was (re)filled.
    unsigned long builds() const { return builds_; }

private:
    void build(const std::vector<Triangle>& triangles, unsigned long generation);

    unsigned buffer_ = 0;  // GL name; 0 while there is nothing to draw from
    bool stale_ = true;
    unsigned long generation_ = 0;
    // Also compared, so a replacement whose generation was not counted still
    // cannot draw the old model's facets.
    std::size_t facets_ = 0;
    std::size_t vertices_ = 0;  // in the buffer: three for each finite facet
    bool fallback_ = false;     // the buffer could not be had: draw immediately
    unsigned long builds_ = 0;
};

// Sends every finite facet by glBegin/glEnd, normals computed on the way.
void draw_facets_immediately(const std::vector<Triangle>& triangles);
