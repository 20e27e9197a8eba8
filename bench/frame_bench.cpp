// frame_bench.cpp — whole frames of the world at 800 x 600 on Mesa's software renderer.
#include <GL/gl.h>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <vector>

#include "app/main_window.h"
#include "assets/texture_set.h"
#include "draw/font.h"
#include "scene/viewer.h"
#include "scene/world.h"
#include "support/gl_test_context.h"

// Without the data folder the frame still costs the same: same calls, same texture binds, only
// with made-up 64 x 64 pictures instead of the real ones.
static void makeStandInTextures() {
    std::vector<unsigned char> picture(64 * 64 * 3);
    for (size_t i = 0; i < picture.size(); ++i) picture[i] = static_cast<unsigned char>(i * 37);
    glGenTextures(textureCount, textures);
    for (uint32_t name : textures) {
        glBindTexture(GL_TEXTURE_2D, name);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, GL_TRUE);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 64, 64, 0, GL_RGB, GL_UNSIGNED_BYTE, picture.data());
    }
    createGlyphLists();
    glShadeModel(GL_SMOOTH);
    glClearColor(0, 0, 0, 1);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_CULL_FACE);
}

static void BM_RenderFrame(benchmark::State& state) {
    GlTestContext gl(800, 600);
    if (!gl.valid()) {
        state.SkipWithError("no headless GL context");
        return;
    }
    setProjection(800, 600);
    const bool realData = chdir(KALIMBOR_DATA_DIR) == 0 && access("Tex/zem.bmp", R_OK) == 0 &&
                          setupRenderState() == 1 && glIsTexture(textures[7]);
    if (!realData) makeStandInTextures();
    state.SetLabel(realData ? "data files" : "stand-in textures");
    // Looking 20 degrees below the horizon along the yard, as one does while walking, rather than
    // straight down at the feet as the very first frames do.
    pitchAccumulator = -70;
    for (auto _ : state) {
        renderFrame();
        glFinish();  // the renderer works behind the calls; a frame counts once it is on the buffer
    }
}
BENCHMARK(BM_RenderFrame)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
