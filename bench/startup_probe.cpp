// startup_probe.cpp — one start-up per process, for the start-up benchmark: "real" opens the
// program's window with every asset and presents its first frame; "bare" is the least an SDL + GL
// program of this kind does before its first picture. Either prints its timings and closes again.
//
// Usage: kalimbor_startup_probe real|bare, started in the data folder with DISPLAY set. Every
// line of the report is "name value", times in nanoseconds on the monotonic clock that the
// benchmark shares, so it can measure from the moment it started the process.
#include <GL/gl.h>
#include <GL/glu.h>
#include <SDL.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "app/main_window.h"
#include "assets/bitmap_reader.h"
#include "scene/world.h"

using Clock = std::chrono::steady_clock;

static long long nowNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}

// ---------------------------------------------------------------------------------------------
// The asset steps inside the real opening. The probe is linked with --wrap for the picture
// reader, GLU's mipmap builder, the model reader and the glyph list builder (bench/CMakeLists.txt),
// so every call the window opening makes to them passes through these timers: the shares are
// measured inside the very start-up they belong to.
// ---------------------------------------------------------------------------------------------

static long long decodeNanoseconds;
static long long mipmapNanoseconds;
static long long modelNanoseconds;
static long long glyphNanoseconds;

extern "C" {
RgbImage* __real__Z14readBitmapFilePKc(const char* path);
GLint __real_gluBuild2DMipmaps(GLenum target, GLint components, GLint width, GLint height,
                               GLenum format, GLenum type, const void* data);
void __real__Z9loadModelPKc(const char* path);
void __real__Z16createGlyphListsv();

RgbImage* __wrap__Z14readBitmapFilePKc(const char* path) {
    long long start = nowNanoseconds();
    RgbImage* image = __real__Z14readBitmapFilePKc(path);
    decodeNanoseconds += nowNanoseconds() - start;
    return image;
}

GLint __wrap_gluBuild2DMipmaps(GLenum target, GLint components, GLint width, GLint height,
                               GLenum format, GLenum type, const void* data) {
    long long start = nowNanoseconds();
    GLint result = __real_gluBuild2DMipmaps(target, components, width, height, format, type, data);
    mipmapNanoseconds += nowNanoseconds() - start;
    return result;
}

void __wrap__Z9loadModelPKc(const char* path) {
    long long start = nowNanoseconds();
    __real__Z9loadModelPKc(path);
    modelNanoseconds += nowNanoseconds() - start;
}

void __wrap__Z16createGlyphListsv() {
    long long start = nowNanoseconds();
    __real__Z16createGlyphListsv();
    glyphNanoseconds += nowNanoseconds() - start;
}
}

static void report(const char* name, long long nanoseconds) {
    std::printf("%s %lld\n", name, nanoseconds);
}

// ---------------------------------------------------------------------------------------------
// Real: the program's own opening on the SDL platform layer, its first frame, its closing.
// ---------------------------------------------------------------------------------------------

static int runReal(long long entered) {
    if (!openMainWindow(windowTitle, windowWidth, windowHeight, colorBits, true)) return 1;
    long long opened = nowNanoseconds();
    renderFrame();
    platform->swapBuffers(mainWindow);
    glFinish();  // presented means on the screen, not queued behind the call
    long long presented = nowNanoseconds();
    report("entered", entered);
    report("presented", presented);
    report("open", opened - entered);
    report("first_frame", presented - opened);
    report("decode", decodeNanoseconds);
    report("mipmap", mipmapNanoseconds);
    report("model", modelNanoseconds);
    report("glyphs", glyphNanoseconds);
    std::fflush(stdout);
    closeMainWindow();
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Bare: the same hints and video start, the same fullscreen 800 x 600 window with the same GL
// attributes (16-bit colour, 16-bit depth, double buffer, compatibility profile), twelve
// 256 x 256 textures through gluBuild2DMipmaps, one cleared and presented frame, teardown.
// ---------------------------------------------------------------------------------------------

static void requestBareVisual() {
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 5);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 6);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 5);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, 0);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, 0);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
}

static SDL_Window* openBareWindow() {
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "0");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return nullptr;
    SDL_DisplayMode wanted = {0, 800, 600, 0, nullptr};
    SDL_DisplayMode mode;
    if (SDL_GetClosestDisplayMode(0, &wanted, &mode) == nullptr) return nullptr;
    requestBareVisual();
    SDL_Window* window = SDL_CreateWindow(
        "bare", 0, 0, mode.w, mode.h,
        SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS | SDL_WINDOW_FULLSCREEN);
    if (window == nullptr) return nullptr;
    if (SDL_SetWindowDisplayMode(window, &mode) != 0) return nullptr;
    return window;
}

static void uploadBareTextures() {
    std::vector<unsigned char> picture(256 * 256 * 3);
    for (size_t i = 0; i < picture.size(); ++i) picture[i] = static_cast<unsigned char>(i * 37);
    GLuint names[12];
    glGenTextures(12, names);
    for (GLuint name : names) {
        glBindTexture(GL_TEXTURE_2D, name);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
        gluBuild2DMipmaps(GL_TEXTURE_2D, 3, 256, 256, GL_RGB, GL_UNSIGNED_BYTE, picture.data());
    }
}

static int runBare(long long entered) {
    SDL_Window* window = openBareWindow();
    SDL_GLContext context = window != nullptr ? SDL_GL_CreateContext(window) : nullptr;
    if (context == nullptr) return 1;
    SDL_ShowWindow(window);
    long long opened = nowNanoseconds();
    uploadBareTextures();
    long long uploaded = nowNanoseconds();
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    SDL_GL_SwapWindow(window);
    glFinish();
    long long presented = nowNanoseconds();
    report("entered", entered);
    report("presented", presented);
    report("open", opened - entered);
    report("textures", uploaded - opened);
    report("first_frame", presented - uploaded);
    std::fflush(stdout);
    SDL_GL_DeleteContext(context);
    SDL_DestroyWindow(window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return 0;
}

int main(int argc, char** argv) {
    long long entered = nowNanoseconds();
    if (argc == 2 && std::strcmp(argv[1], "real") == 0) return runReal(entered);
    if (argc == 2 && std::strcmp(argv[1], "bare") == 0) return runBare(entered);
    std::fprintf(stderr, "usage: %s real|bare\n", argv[0]);
    return 2;
}
