// world.cpp — renderFrame: the per-frame list of steps, the two lights and the fixed world layout.
#include "scene/world.h"

#include <GL/gl.h>

#include <ctime>

#include "app/main_loop.h"
#include "assets/model.h"
#include "assets/texture_set.h"
#include "draw/primitives.h"
#include "scene/hud.h"
#include "scene/viewer.h"

// ---- the layout ---------------------------------------------------------------------------------
// World units, ground at z = 0. Each object is drawn at its place here plus the viewer's offsets.

// Ground and path tiles. Together they cover 0..2000 x 0..4800 exactly once.
// clang-format off
const GroundTile groundTiles[groundTileCount] = {
    //x    y     sizeX  sizeY  repeatS repeatT texture
    {800,  0,    800,   400,   30,     6,      groundTexture},  // 1
    {2000, 0,    1200,  400,   30,     6,      groundTexture},  // 2
    {800,  400,  800,   400,   12,     6,      groundTexture},  // 3
    {1600, 800,  400,   400,   12,     12,     pathTexture},    // 4
    {2000, 400,  800,   400,   12,     6,      groundTexture},  // 5
    {200,  800,  200,   800,   3,      12,     groundTexture},  // 6
    {800,  800,  600,   800,   18,     24,     pathTexture},    // 7
    {1200, 400,  400,   800,   12,     24,     pathTexture},    // 8
    {1200, 1200, 400,   800,   24,     24,     pathTexture},    // 9
    {1200, 2000, 400,   800,   12,     12,     pathTexture},    // 10
    {1200, 2800, 400,   800,   12,     12,     pathTexture},    // 11
    {1200, 3600, 400,   800,   12,     12,     pathTexture},    // 12
    {2000, 800,  400,   400,   6,      6,      groundTexture},  // 13
    {1800, 1200, 600,   800,   12,     24,     pathTexture},    // 14
    {1800, 2000, 600,   800,   12,     24,     pathTexture},    // 15
    {2000, 1200, 200,   800,   3,      12,     groundTexture},  // 16
    {2000, 2000, 200,   800,   3,      12,     groundTexture},  // 17
    {800,  1600, 800,   200,   3,      12,     groundTexture},  // 18
    {800,  2000, 800,   800,   3,      12,     pathTexture},    // 19
    {600,  1800, 600,   200,   3,      12,     pathTexture},    // 20
    {800,  1800, 200,   200,   3,      12,     groundTexture},  // 21
    {1800, 2800, 200,   200,   3,      12,     pathTexture},    // 22
    {1600, 2800, 200,   200,   3,      12,     groundTexture},  // 23
    {1800, 3000, 400,   400,   3,      12,     pathTexture},    // 24
    {2000, 2800, 200,   600,   3,      12,     groundTexture},  // 25
    {1400, 2800, 200,   600,   3,      12,     groundTexture},  // 26
    {2000, 3400, 800,   1000,  3,      12,     groundTexture},  // 27
    {800,  2800, 800,   800,   3,      12,     groundTexture},  // 28
    {800,  3600, 800,   800,   3,      12,     groundTexture},  // 29
    {800,  4400, 800,   400,   30,     6,      groundTexture},  // 30
    {2000, 4400, 1200,  400,   30,     6,      groundTexture},  // 31
};
// clang-format on

// The hangar model, drawn with the iron texture.
const HangarPlace hangarPlaces[hangarCount] = {
    {250, 850},    // 1
    {1500, 1250},  // 2
    {1500, 1550},  // 3
    {1500, 1850},  // 4
};

// Iron boxes, of iron. They float 0.2 above the ground so their bottoms never fight the ground
// for depth; box 2 sits on box 1 and overhangs it by 5 on every side.
// clang-format off
const IronBox ironBoxes[ironBoxCount] = {
    //x    y     z       sizeX sizeY height
    {1290, 915,  0.2,    90,   90,   120},          // 1
    {1295, 910,  120.2,  100,  100,  70},           // 2
    {1360, 925,  0.2,    70,   70,   50},           // 3
    {1560, 860,  0.2,    200,  200,  100},          // 4
    {300,  1800, 0.2,    300,  300,  200},          // 5
    {650,  2100, 0.2,    600,  600,  300},          // 6
};
// clang-format on

const float whiteLightAmbient[4] = {0.0f, 0.0f, 0.0f, 1.0f};
const float whiteLightDiffuse[4] = {1.0f, 1.0f, 1.0f, 1.0f};
const float yellowLightAmbient[4] = {0.0f, 0.0f, 0.0f, 1.0f};
const float yellowLightDiffuse[4] = {1.0f, 1.0f, 0.0f, 1.0f};

// ---- the steps of a frame -----------------------------------------------------------------------

// A light 50 units above the ground point (groundX, groundY). The position is handed over while
// the modelview holds the view transform, so GL pins the light to the world. The spot direction is
// handed over as well, but with the cut-off left at 180 degrees it narrows nothing.
static void placeLight(GLenum light, const float ambient[4], const float diffuse[4], float groundX,
                       float groundY) {
    float ambientNow[4];
    float diffuseNow[4];
    for (int c = 0; c < 4; ++c) {
        ambientNow[c] = ambient[c];
        diffuseNow[c] = diffuse[c];
    }
    const float position[4] = {worldOffsetX + groundX, worldOffsetY + groundY, groundZ + 50.0f,
                               1.0f};
    const float spotDirection[4] = {worldOffsetX + groundX, worldOffsetY + groundY, groundZ, 0.0f};
    glLightfv(light, GL_AMBIENT, ambientNow);
    glLightfv(light, GL_DIFFUSE, diffuseNow);
    glLightfv(light, GL_POSITION, position);
    glLightfv(light, GL_SPOT_DIRECTION, spotDirection);
    glEnable(light);
}

static void drawGround() {
    for (const GroundTile& t : groundTiles)
        drawFlatQuad(worldOffsetX + t.x, worldOffsetY + t.y, groundZ, t.sizeX, t.sizeY, t.repeatS,
                     t.repeatT, 0.0f, t.textureIndex);
}

static void drawHangars() {
    for (const HangarPlace& h : hangarPlaces)
        drawModel(worldOffsetX + h.x, worldOffsetY + h.y, groundZ, ironTexture);
}

static void drawBoxes() {
    for (const IronBox& b : ironBoxes)
        drawBox(worldOffsetX + b.x, worldOffsetY + b.y, static_cast<float>(groundZ + b.z), b.sizeX,
                b.sizeY, b.height, 0.0f, ironTexture);
}

// The streaks' heights come from a small generator of our own, seeded afresh in every frame from
// the calendar second: within one second every frame draws the same height pattern, and the pattern
// changes once per second. (The C library's rand() would serve as well, but it takes a lock on
// every call once the GL driver has started its threads, 2500 times per frame.)
struct RainGenerator {
    uint32_t state;
};

static int nextRainHeight(RainGenerator& generator) {
    generator.state = generator.state * 1103515245u + 12345u;
    return static_cast<int>((generator.state >> 16) & 0x7fff) % 100;
}

// The streaks stand on a 50 x 50 grid two units apart that moves with the viewer (no world offset
// on x and y), so the rain never runs out however far one walks. Their heights fall with
// animationPhase; whenever the phase passes 55 it is pulled back by 14 before the next streak, so
// the field keeps falling through the same band.
void drawRainField() {
    RainGenerator generator{static_cast<uint32_t>(std::time(nullptr))};
    for (int i = 0; i < 50; ++i) {
        for (int j = 0; j < 50; ++j) {
            if (50.0f - animationPhase < -5.0f) animationPhase -= 14.0f;
            const int r = nextRainHeight(generator);
            const float height = static_cast<float>(r) + ((groundZ + 50.0f) - animationPhase);
            drawVerticalLine(static_cast<float>(2 * i - 50), static_cast<float>(2 * j - 50), height,
                             0.3f, 1.0f, rainTexture);
        }
    }
}

int32_t renderFrame() {
    // Frame opening, one frame of motion, the view transform.
    advanceViewer();

    // The lights, every frame, so they follow the viewer's offsets.
    placeLight(GL_LIGHT1, whiteLightAmbient, whiteLightDiffuse, 530.0f, 1000.0f);
    placeLight(GL_LIGHT2, yellowLightAmbient, yellowLightDiffuse, 1500.0f, 1400.0f);

    // Lighting as L says, set afresh each frame: the overlay of the previous frame left it on.
    if (lightingEnabled == 0)
        glDisable(GL_LIGHTING);
    else
        glEnable(GL_LIGHTING);
    glEnable(GL_NORMALIZE);

    // Clock, frame count, animationPhase, frame rate.
    updateFrameTiming();

    // The axis cross at the world origin.
    glColor3f(1.0f, 0.4f, 0.6f);
    drawAxisCross(worldOffsetX, worldOffsetY, groundZ, 2500.0f, 2);

    // The rest of the world untinted.
    glColor3f(1.0f, 1.0f, 1.0f);
    drawGround();
    drawHangars();
    drawBoxes();
    drawRainField();

    // The four overlay lines over the finished picture.
    drawHudOverlay();
    return 1;
}
