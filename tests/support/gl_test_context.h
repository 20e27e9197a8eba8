// gl_test_context.h — a headless Mesa GL context, and OpenGL feedback: exactly what GL was given.
#pragma once

#include <GL/gl.h>

#include <functional>
#include <vector>

// An off-screen compatibility context on Mesa's software renderer, current while it lives.
class GlTestContext {
public:
    explicit GlTestContext(int width = 800, int height = 600);
    ~GlTestContext();
    GlTestContext(const GlTestContext&) = delete;
    GlTestContext& operator=(const GlTestContext&) = delete;
    bool valid() const { return valid_; }
    bool makeCurrent() const;  // again, after another context was

private:
    void *display_ = nullptr, *surface_ = nullptr, *context_ = nullptr;
    bool valid_ = false;
};

// A vertex as GL_4D_COLOR_TEXTURE feedback gives it; a primitive left after clipping and culling.
struct FeedbackVertex {
    float x, y, z, w, r, g, b, a, s, t, p, q;
};
struct FeedbackPrimitive {
    GLenum token;
    std::vector<FeedbackVertex> vertices;
};

// Identity modelview; window x, y = object x - left, y - bottom under an orthographic projection.
void loadPixelExactProjection(int width, int height, int left = 0, int bottom = 0);

// What `draw` issued, run in feedback mode under the current matrices, culling and clipping.
std::vector<FeedbackPrimitive> captureFeedback(const std::function<void()>& draw);
