// Whole frames of the world: the layout as drawn, the viewer's offsets, the lights and the rain.
#include "scene/world.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ctime>

#include "app/main_loop.h"
#include "assets/model.h"
#include "scene/viewer.h"
#include "support/gl_test_context.h"
#include "support/scripted_platform.h"

// The lighting flag as the program starts, before any test has touched it.
static const int32_t lightingAtStart = lightingEnabled;

// A viewer at the origin looking straight down, nothing moving, no hangar model.
struct World : ::testing::Test {
    GlTestContext gl;
    TriangleModel savedModel = triangleModel;
    void SetUp() override {
        ASSERT_TRUE(gl.valid());
        resetProgramState();
        triangleModel = {0, nullptr};
    }
    void TearDown() override { triangleModel = savedModel; }
};

// One frame in feedback, seen from above with window x, y = world x, y + 100 over the whole yard.
static std::vector<FeedbackPrimitive> frameFromAbove() {
    glViewport(0, 0, 2200, 5000);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-100, 2100, -100, 4900, -1000, 1000);
    glMatrixMode(GL_MODELVIEW);
    return captureFeedback([] { renderFrame(); });
}

// World bounds of the quads drawn, to the hundredth; Mesa reports a quad as two triangles.
struct Rect {
    double x0, y0, x1, y1, z;  // z: window depth of the first corner
};
static std::vector<Rect> quadBounds(const std::vector<FeedbackPrimitive>& all) {
    std::vector<Rect> out;
    for (size_t i = 0; i + 1 < all.size(); i += 2) {
        if (all[i].token != GL_POLYGON_TOKEN) break;
        Rect r{1e9, 1e9, -1e9, -1e9, all[i].vertices[0].z};
        for (const auto& v : all[i].vertices) {
            const double x = std::round(v.x * 100) / 100 - 100,
                         y = std::round(v.y * 100) / 100 - 100;
            r = {std::min(r.x0, x), std::min(r.y0, y), std::max(r.x1, x), std::max(r.y1, y), r.z};
        }
        out.push_back(r);
    }
    return out;
}

TEST_F(World, GroundTilesCoverTheYardOnceAndBoxesStandWhereListed) {
    glDisable(GL_CULL_FACE);
    auto all = frameFromAbove();
    all.erase(all.begin(), all.begin() + 6);  // the axis cross
    const auto drawn = quadBounds(all);
    ASSERT_GE(drawn.size(), size_t(groundTileCount + 6 * ironBoxCount));
    double area = 0;
    for (int a = 0; a < groundTileCount; ++a) {
        const Rect& r = drawn[a];
        EXPECT_TRUE(r.x0 >= 0 && r.y0 >= 0 && r.x1 <= 2000 && r.y1 <= 4800) << "tile " << a + 1;
        area += (r.x1 - r.x0) * (r.y1 - r.y0);
        for (int b = 0; b < a; ++b) {
            const Rect& s = drawn[b];
            EXPECT_TRUE(r.x1 <= s.x0 || s.x1 <= r.x0 || r.y1 <= s.y0 || s.y1 <= r.y0)
                << "tiles " << b + 1 << " and " << a + 1 << " overlap";
        }
    }
    EXPECT_EQ(area, 2000.0 * 4800.0);  // inside, disjoint and of the full area: no gap

    // Each box: top face first, then the bottom. Window depth is 0.5 - eye z / 2000.
    auto height = [](double depth) { return (0.5 - depth) * 2000 - groundZ; };
    auto top = [&](int b) { return drawn[groundTileCount + 6 * b]; };
    auto baseHeight = [&](int b) { return height(drawn[groundTileCount + 6 * b + 1].z); };
    for (int b = 0; b < ironBoxCount; ++b) {
        const IronBox& box = ironBoxes[b];
        EXPECT_EQ(top(b).x1 - top(b).x0, box.sizeX);
        EXPECT_TRUE(top(b).x1 == box.x && top(b).y0 == box.y) << "box " << b + 1;
        EXPECT_NEAR(baseHeight(b), box.z, 1e-3) << "box " << b + 1;
    }
    EXPECT_TRUE(top(1).x0 == top(0).x0 - 5 && top(1).x1 == top(0).x1 + 5);
    EXPECT_TRUE(top(1).y0 == top(0).y0 - 5 && top(1).y1 == top(0).y1 + 5);
    EXPECT_NEAR(baseHeight(1), height(top(0).z), 1e-3);  // box 2 rests on box 1
}

TEST_F(World, ObjectsAndLightsFollowTheViewerWhileTheRainStaysAround) {
    const auto before = frameFromAbove();
    float lightBefore[4], lightAfter[4];
    glGetLightfv(GL_LIGHT2, GL_POSITION, lightBefore);
    worldOffsetX = 37;
    worldOffsetY = -11;
    const auto after = frameFromAbove();
    glGetLightfv(GL_LIGHT2, GL_POSITION, lightAfter);  // eye coordinates; the view is identity
    EXPECT_FLOAT_EQ(lightAfter[0] - lightBefore[0], 37);
    EXPECT_FLOAT_EQ(lightAfter[1] - lightBefore[1], -11);
    EXPECT_NEAR(lightAfter[2] - groundZ, 50, 1e-4);
    ASSERT_EQ(before.size(), after.size());
    // Ground and boxes move; the six axis lines run off the view and are clipped, so they are
    // skipped; the 2500 lines after them are the rain, which stays round the viewer.
    size_t lines = 0;
    for (size_t p = 0; p < before.size() && lines < 6 + 2500; ++p) {
        const bool polygon = before[p].token == GL_POLYGON_TOKEN;
        if (!polygon && ++lines <= 6) continue;
        for (size_t v = 0; v < before[p].vertices.size(); ++v) {
            EXPECT_FLOAT_EQ(after[p].vertices[v].x, before[p].vertices[v].x + (polygon ? 37 : 0));
            EXPECT_FLOAT_EQ(after[p].vertices[v].y, before[p].vertices[v].y + (polygon ? -11 : 0));
        }
    }
    EXPECT_EQ(lines, 6u + 2500u);
}

TEST_F(World, UnlitInTheFirstFrameAndWhileLIsHeld) {
    // The first tile's colour as GL lit it: exactly the white it was given only when unlit.
    auto unlit = [] {
        const FeedbackVertex v = frameFromAbove().at(6).vertices[0];
        return v.r == 1 && v.g == 1 && v.b == 1;
    };
    lightingEnabled = lightingAtStart;
    EXPECT_TRUE(unlit()) << "first frame";
    lightingEnabled = 1;  // the first frame step's bindings, L up
    EXPECT_FALSE(unlit());
    lightingEnabled = 0;  // L held, while the last frame's overlay left GL lighting on
    glEnable(GL_LIGHTING);
    EXPECT_TRUE(unlit());
    lightingEnabled = 1;  // L released
    EXPECT_FALSE(unlit());
}

// The rain in a side view (window x = world x + 100, window y = world z + 200) from `phase`.
static std::vector<FeedbackPrimitive> rainFrom(float phase) {
    animationPhase = phase;
    loadPixelExactProjection(800, 600);
    glTranslatef(100, 200, 0);
    glRotatef(-90, 1, 0, 0);
    return captureFeedback([] { drawRainField(); });
}

TEST_F(World, RainPullsThePhaseBackOncePerStreakAndHoldsItsPatternForASecond) {
    std::vector<FeedbackPrimitive> at55, again55, at60, at80;
    float after55 = 0, after60 = 0, after80 = 0;
    for (int attempt = 0; attempt < 3; ++attempt) {  // all four within one calendar second
        const std::time_t second = std::time(nullptr);
        at55 = rainFrom(55), after55 = animationPhase, again55 = rainFrom(55);
        at60 = rainFrom(60), after60 = animationPhase;
        at80 = rainFrom(80), after80 = animationPhase;
        if (std::time(nullptr) == second) break;
    }
    EXPECT_TRUE(after55 == 55 && after60 == 46 && after80 == 52);
    ASSERT_TRUE(at55.size() == 2500 && at60.size() == 2500 && at80.size() == 2500);
    for (size_t k = 0; k < 2500; ++k) {
        const FeedbackVertex& low = at55[k].vertices[0];
        EXPECT_NEAR(low.x - 100, 2.0f * (k / 50) - 50, 1e-3);  // the 50 x 50 grid
        EXPECT_NEAR(at55[k].vertices[1].y - low.y, 0.3, 1e-4);
        EXPECT_EQ(again55[k].vertices[0].y, low.y);  // same second, phase and ground: same rain
        // A streak stands at r + 50 - phase: 46 lifts it by 9 against 55, 52 by 3, 66 drops it 11.
        EXPECT_NEAR(at60[k].vertices[0].y, low.y + 9, 1e-3) << k;
        EXPECT_NEAR(at80[k].vertices[0].y, low.y + (k == 0 ? -11 : 3), 1e-3) << k;
    }
}
