// gl_test_context.h — a real headless Mesa GL context for tests that draw, and OpenGL feedback
// mode to see exactly which vertices, colours and texture coordinates a routine issued.
#pragma once

#include <GL/gl.h>

#include <cstddef>
#include <vector>

// Creates an 800 x 600 (or given size) off-screen compatibility context on Mesa's software
// renderer and makes it current. One per test; destroyed (and made non-current) by the destructor.
class GlTestContext {
public:
    explicit GlTestContext(int width = 800, int height = 600);
    ~GlTestContext();
    GlTestContext(const GlTestContext&) = delete;
    GlTestContext& operator=(const GlTestContext&) = delete;

    bool valid() const { return valid_; }

    // Reads the colour buffer as RGB rows, bottom row first.
    std::vector<unsigned char> readPixels() const;

private:
    void* display_ = nullptr;
    void* surface_ = nullptr;
    void* context_ = nullptr;
    int width_;
    int height_;
    bool valid_ = false;
};

// One vertex as feedback mode reports it (GL_4D_COLOR_TEXTURE): window coordinates, colour and
// texture coordinate.
struct FeedbackVertex {
    float x, y, z, w;
    float r, g, b, a;
    float s, t, p, q;
};

// One primitive as it survived clipping and culling: a polygon, a line or a point.
struct FeedbackPrimitive {
    GLenum token;  // GL_POLYGON_TOKEN, GL_LINE_TOKEN, GL_LINE_RESET_TOKEN or GL_POINT_TOKEN
    std::vector<FeedbackVertex> vertices;
};

// Sets projection and modelview to identity and an orthographic window-aligned projection so
// that feedback window coordinates equal the object coordinates x, y (for width x height).
void loadPixelExactProjection(int width, int height);

std::vector<FeedbackPrimitive> parseFeedback(const std::vector<GLfloat>& buffer, GLint count);

// Runs `draw` in feedback mode (GL_4D_COLOR_TEXTURE) and parses what GL reported. Culling,
// clipping and the current matrices apply as in normal rendering.
template <typename Draw>
std::vector<FeedbackPrimitive> captureFeedback(Draw&& draw, std::size_t capacity = 1 << 20) {
    std::vector<GLfloat> buffer(capacity);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_4D_COLOR_TEXTURE, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    GLint count = glRenderMode(GL_RENDER);
    return parseFeedback(buffer, count);
}
