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
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/main_window.h"
#include "assets/bitmap_reader.h"
#include "assets/model.h"
#include "assets/texture_set.h"
#include "draw/font.h"
#include "scene/world.h"

using Clock = std::chrono::steady_clock;

static long long nowNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}

static void report(const char* name, long long nanoseconds) {
    std::printf("%s %lld\n", name, nanoseconds);
}

// ---------------------------------------------------------------------------------------------
// The asset steps of the opening, timed one by one: after the measured start-up, in the same
// window's GL context, the probe makes the same calls again itself (every picture decoded and
// turned into mipmaps, the model read, the glyph lists built). The files are in the page cache
// by then, as they are for every start-up after the first, so the figures are the steps' shares
// of a warm start-up.
// ---------------------------------------------------------------------------------------------

template <typename Step>
static long long timed(Step step) {
    long long start = nowNanoseconds();
    step();
    return nowNanoseconds() - start;
}

static void reportAssetSteps() {
    long long decode = 0, mipmap = 0;
    GLuint scratch = 0;
    glGenTextures(1, &scratch);
    glBindTexture(GL_TEXTURE_2D, scratch);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    for (const char* file : textureFiles) {
        RgbImage* image = nullptr;
        decode += timed([&] { image = readBitmapFile(file); });
        if (image == nullptr) continue;
        mipmap += timed([&] {
            gluBuild2DMipmaps(GL_TEXTURE_2D, 3, image->width, image->height, GL_RGB,
                              GL_UNSIGNED_BYTE, image->pixels);
            glFinish();
        });
        std::free(image->pixels);
        std::free(image);
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glDeleteTextures(1, &scratch);
    report("decode", decode);
    report("mipmap", mipmap);
    report("model", timed([] { loadModel("STL/hangar.rin"); }));
    report("glyphs", timed([] {
               createGlyphLists();
               glFinish();
           }));
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
    reportAssetSteps();
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
