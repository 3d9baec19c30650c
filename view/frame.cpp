#include "view/frame.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include "heightmap/sizes.h"
#include "view/capture_trigger.h"

namespace {

// The plate's top and its edges, as GL takes them.
const float kPlateY = static_cast<float>(sizes::kPlateY);
const float kPlateX = static_cast<float>(sizes::kPlateLength / 2);
const float kPlateZ = static_cast<float>(sizes::kPlateWidth / 2);
// The projection draws one unit a pixel, so the capture window's samples
// are the plate's only while the two sizes agree.
static_assert(sizes::kCaptureWidth == sizes::kPlateLength &&
                  sizes::kCaptureHeight == sizes::kPlateWidth,
              "the capture window must cover the plate at one unit a pixel");

void begin_overlay_2d(int w, int h) {
    glPushMatrix();
    glLoadIdentity();
    glTranslatef(0.375f, 0.375f, 0.0f);  // pixel centres for exact 2D fills
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    gluOrtho2D(0, static_cast<unsigned>(w), 0, static_cast<unsigned>(h));
    glMatrixMode(GL_MODELVIEW);
    glPushAttrib(GL_ENABLE_BIT);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
}

void end_overlay_2d() {
    glPopAttrib();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}

// The offsets follow View_State::lighting: four-float GL vectors (RGBA, or
// x, y, z, w for the position) at 0, 4, 9 and 13, the shininess alone at 8.
// The position is taken in the current modelview, the identity here, so
// the light stays with the viewer whichever way the model turns.
void apply_lighting(const float* block) {
    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, block + 0);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, block + 4);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, block[8]);
    glEnable(GL_LIGHTING);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, block + 13);
    glLightfv(GL_LIGHT0, GL_POSITION, block + 9);
    glEnable(GL_LIGHT0);
}

void draw_model(View_State& v, bool context_new) {
    glEnable(GL_NORMALIZE);
    glPushMatrix();
    glColor3f(0.7f, 0.7f, 0.4f);
    glTranslatef(-(v.max_x + v.min_x) / 2, -(v.max_y + v.min_y) / 2, -(v.max_z + v.min_z) / 2);
    v.model_geometry.draw(v.triangles, v.model_generation, context_new, v.model_path);
    glPopMatrix();
    glDisable(GL_NORMALIZE);
}

void draw_axes() {
    glBegin(GL_LINES);
    glColor3f(1, 0, 0);
    glVertex3f(0, 0, 0);
    glVertex3f(300, 0, 0);
    glColor3f(0, 1, 0);
    glVertex3f(0, 0, 0);
    glVertex3f(0, 300, 0);
    glColor3f(0, 0, 1);
    glVertex3f(0, 0, 0);
    glVertex3f(0, 0, 300);
    glEnd();
}

void rotate_to_view(const View_State& v) {
    glRotatef(v.elevation, 1, 0, 0);
    glRotatef(v.azimuth, 0, 1, 0);
}

void draw_wire_box() {
    static const float xs[2] = {-kPlateX, kPlateX}, zs[2] = {-kPlateZ, kPlateZ},
                       ys[2] = {kPlateY, -kPlateY};
    glColor3f(1, 0, 1);
    glBegin(GL_LINES);
    for (float y : ys) {  // the rectangles at the bottom and the top
        glVertex3f(xs[0], y, zs[0]);
        glVertex3f(xs[1], y, zs[0]);
        glVertex3f(xs[1], y, zs[0]);
        glVertex3f(xs[1], y, zs[1]);
        glVertex3f(xs[1], y, zs[1]);
        glVertex3f(xs[0], y, zs[1]);
        glVertex3f(xs[0], y, zs[1]);
        glVertex3f(xs[0], y, zs[0]);
    }
    for (float x : xs)  // the vertical edges
        for (float z : zs) {
            glVertex3f(x, ys[0], z);
            glVertex3f(x, ys[1], z);
        }
    glEnd();
}

void set_up(View_State& v, int w, int h) {
    // Near and far at +-w*h units: beyond any model the view can show,
    // turned any way. The conversion scales depths back into units by this
    // same value, and a 24-bit depth buffer's step (2*w*h / 2^24 units,
    // about a quarter of a gray level at 800 x 560) follows it, so the
    // images' rounding does too.
    v.depth_extent = static_cast<double>(w * h);
    glClearColor(0.0f, 0.5f, 0.5f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glViewport(0, 0, w, h);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-w / 2.0, w / 2.0, -h / 2.0, h / 2.0, -v.depth_extent, v.depth_extent);
    // The eye translation belongs to the projection, not to the modelview.
    gluLookAt(0, 0, 5, 0, 0, 0, 0, 1, 0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    if (v.matrices_pending) {
        glGetDoublev(GL_MODELVIEW_MATRIX, v.model_matrix);
        glGetDoublev(GL_MODELVIEW_MATRIX, v.view_matrix);
        v.matrices_pending = false;
    }
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glClearDepth(1.0);
}

void apply_pending_navigation(View_State& v) {
    if (v.spin_angle == 0.0f && !v.queued_steps.empty()) {
        v.request_rotation(v.queued_steps.front());
        v.queued_steps.pop_front();
    }
    glPushMatrix();
    glMultMatrixd(v.model_matrix);
    const View_State::Navigation_Step step = v.take_navigation();
    const float a = step.pan_amount;
    glTranslatef(step.pan_vector[0] * a, step.pan_vector[1] * a, step.pan_vector[2] * a);
    // A zero angle leaves the matrix alone whatever the axis; GL would
    // otherwise normalise the zero axis that stands before the first drag.
    if (step.spin_angle != 0.0f)
        glRotatef(step.spin_angle, step.spin_axis[0], step.spin_axis[1], step.spin_axis[2]);
    glGetDoublev(GL_MODELVIEW_MATRIX, v.model_matrix);
}

}  // namespace

void draw_frame(View_State& v, int w, int h, bool context_valid, bool context_new) {
    if (!context_valid) set_up(v, w, h);

    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    begin_overlay_2d(w, h);
    glBegin(GL_QUADS);
    glColor3f(0.0f, 0.8f, 0.8f);
    glVertex2i(0, 0);
    glVertex2i(w, 0);
    glColor3f(0.0f, 0.2f, 0.2f);
    glVertex2i(w, h);
    glVertex2i(0, h);
    glEnd();
    end_overlay_2d();

    glLoadIdentity();
    glViewport(0, 0, w, h);

    apply_pending_navigation(v);

    // Depth under the pointer, read before anything but the background is
    // drawn; the trackball relies on it being the clear value here.
    glReadPixels(v.probe_x, v.probe_y, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &v.probe_depth);
    glPopMatrix();

    apply_lighting(v.lighting);

    glPushMatrix();
    glLoadMatrixd(v.view_matrix);
    glMultMatrixd(v.model_matrix);
    glGetIntegerv(GL_VIEWPORT, v.saved_viewport);
    glGetDoublev(GL_MODELVIEW_MATRIX, v.saved_modelview);
    glGetDoublev(GL_PROJECTION_MATRIX, v.saved_projection);
    glScalef(v.model_scale[0], v.model_scale[1], v.model_scale[2]);
    draw_model(v, context_new);
    glPopMatrix();

    glDisable(GL_LIGHTING);

    glPushMatrix();
    rotate_to_view(v);
    glBegin(GL_QUADS);  // base plate, in the model colour left by draw_model
    glVertex3f(-kPlateX, kPlateY, -kPlateZ);
    glVertex3f(kPlateX, kPlateY, -kPlateZ);
    glVertex3f(kPlateX, kPlateY, kPlateZ);
    glVertex3f(-kPlateX, kPlateY, kPlateZ);
    glEnd();
    glPopMatrix();

    // Only the model and the plate are in the depth buffer at this point.
    glReadPixels(capture_x0(w), capture_y0(h), sizes::kCaptureWidth, sizes::kCaptureHeight,
                 GL_DEPTH_COMPONENT, GL_FLOAT, v.depth_samples);

    glPushMatrix();
    rotate_to_view(v);
    draw_wire_box();
    glPopMatrix();

    glPushMatrix();
    rotate_to_view(v);
    glGetDoublev(GL_MODELVIEW_MATRIX, v.view_matrix);
    draw_axes();
    glPopMatrix();

    run_capture_trigger(v);
}
