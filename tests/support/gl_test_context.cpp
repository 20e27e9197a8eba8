// gl_test_context.cpp — the headless context through EGL's surfaceless platform, and feedback.
#include "support/gl_test_context.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstring>

GlTestContext::GlTestContext(int width, int height) {
    EGLDisplay display =
        eglGetPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr)) return;
    display_ = display;
    // clang-format off
    const EGLint configAttributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE,
        EGL_OPENGL_BIT, EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8, EGL_DEPTH_SIZE, 16,
        EGL_NONE};  // clang-format on
    const EGLint surfaceAttributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
    EGLConfig config;
    EGLint configCount = 0;
    if (!eglChooseConfig(display, configAttributes, &config, 1, &configCount) || configCount < 1 ||
        (surface_ = eglCreatePbufferSurface(display, config, surfaceAttributes)) == EGL_NO_SURFACE)
        return;
    eglBindAPI(EGL_OPENGL_API);
    context_ = eglCreateContext(display, config, EGL_NO_CONTEXT, nullptr);
    valid_ = context_ != EGL_NO_CONTEXT && eglMakeCurrent(display, surface_, surface_, context_);
    if (valid_) glViewport(0, 0, width, height);
}

// The display stays initialised: EGL shares it between all contexts of the process.
GlTestContext::~GlTestContext() {
    if (!display_) return;
    eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (context_ != EGL_NO_CONTEXT) eglDestroyContext(display_, context_);
    if (surface_ != EGL_NO_SURFACE) eglDestroySurface(display_, surface_);
}

void loadPixelExactProjection(int width, int height) {
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, width, 0, height, -1000, 1000);
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
    for (size_t i = 0, end = count < 0 ? 0 : static_cast<size_t>(count); i < end;) {
        FeedbackPrimitive primitive{static_cast<GLenum>(buffer[i++]), {}};
        size_t vertices = primitive.token == GL_POINT_TOKEN ? 1 : 2;
        if (primitive.token == GL_POLYGON_TOKEN) vertices = static_cast<size_t>(buffer[i++]);
        primitive.vertices.resize(vertices);
        std::memcpy(primitive.vertices.data(), &buffer[i], vertices * sizeof(FeedbackVertex));
        i += 12 * vertices;
        primitives.push_back(std::move(primitive));
    }
    return primitives;
}
