// gl_test_context.cpp — the headless context through EGL's surfaceless platform, and feedback.
#include "support/gl_test_context.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstring>

GlTestContext::GlTestContext(int width, int height) {
    display_ = eglGetPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (!display_ || !eglInitialize(display_, nullptr, nullptr)) return;  // clang-format off
    const EGLint configAttributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE,
        EGL_OPENGL_BIT, EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8, EGL_DEPTH_SIZE, 16,
        EGL_NONE};  // clang-format on
    const EGLint surfaceAttributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
    EGLConfig config;
    EGLint configCount = 0;
    if (!eglChooseConfig(display_, configAttributes, &config, 1, &configCount) || !configCount ||
        !(surface_ = eglCreatePbufferSurface(display_, config, surfaceAttributes)))
        return;
    eglBindAPI(EGL_OPENGL_API);
    context_ = eglCreateContext(display_, config, EGL_NO_CONTEXT, nullptr);
    valid_ = context_ && eglMakeCurrent(display_, surface_, surface_, context_);
}

// The display stays initialised: EGL shares it between all contexts of the process.
GlTestContext::~GlTestContext() {
    eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (context_) eglDestroyContext(display_, context_);
    if (surface_) eglDestroySurface(display_, surface_);
}

bool GlTestContext::makeCurrent() const {
    return valid_ && eglMakeCurrent(display_, surface_, surface_, context_);
}

void loadPixelExactProjection(int width, int height, int left, int bottom) {
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(left, left + width, bottom, bottom + height, -1000, 1000);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

std::vector<FeedbackPrimitive> captureFeedback(const std::function<void()>& draw) {
    std::vector<GLfloat> buffer(1 << 20);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_4D_COLOR_TEXTURE, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    const GLint count = glRenderMode(GL_RENDER);
    std::vector<FeedbackPrimitive> primitives;
    for (GLint i = 0; i < count;) {  // the count is -1 if the buffer ran over
        const auto token = static_cast<GLenum>(buffer[i++]);
        const GLint n =
            token == GL_POLYGON_TOKEN ? GLint(buffer[i++]) : 2 - (token == GL_POINT_TOKEN);
        primitives.push_back({token, std::vector<FeedbackVertex>(n)});
        std::memcpy(primitives.back().vertices.data(), &buffer[i], n * sizeof(FeedbackVertex));
        i += 12 * n;
    }
    return primitives;
}
