// Whole frames of the world: the layout as drawn, the viewer's offsets, the lights and the rain.
#include "scene/world.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <ctime>

#include "app/main_loop.h"
#include "assets/model.h"
#include "draw/font.h"
#include "scene/viewer.h"
#include "support/gl_test_context.h"
#include "support/scripted_platform.h"

// A still viewer at the origin looking straight down, each hangar a single triangle from its
// corner; window x, y = world x, y + 100.
struct World : ::testing::Test {
    ScriptedPlatformSession session;
    GlTestContext gl;
    TriangleModel savedModel = triangleModel;
    ModelTriangle hangar{{}, {{0, 0, 0}, {9, 0, 0}, {0, 9, 0}}};
    void SetUp() override {
        ASSERT_TRUE(gl.valid());
        triangleModel = {1, &hangar};
        createGlyphLists();
        loadPixelExactProjection(2200, 5000, -100, -100);
    }
    void TearDown() override { triangleModel = savedModel; }
};

// The world bounds x0, y0, x1, y1 of a quad drawn as the two triangles from `first`, to the
// hundredth, and the world height of its first corner (window depth is 0.5 - z / 2000).
static std::array<double, 5> quadBounds(const std::vector<FeedbackPrimitive>& all, size_t first) {
    std::array<double, 5> r{1e9, 1e9, -1e9, -1e9, (0.5 - all.at(first).vertices[0].z) * 2000};
    for (const auto& v : all[first].vertices) {
        const double x = std::round(v.x * 100) / 100 - 100, y = std::round(v.y * 100) / 100 - 100;
        r = {std::min(r[0], x), std::min(r[1], y), std::max(r[2], x), std::max(r[3], y), r[4]};
    }
    return r;
}

// The yard as its plan has it. The tiles' texture repeats; each hangar's corner; each box's
// footprint x0, y0, x1, y1 and the height of its top face (drawn first, then the bottom, 0.2
// above the ground, except box 2, which rests on box 1).
const char tileRepeats[] =
    "30x6 30x6 12x6 12x12 12x6 3x12 18x24 12x24 24x24 12x12 12x12 12x12 6x6 "
    "12x24 12x24 3x12 3x12 3x12 3x12 3x12 3x12 3x12 3x12 3x12 3x12 3x12 "
    "3x12 3x12 3x12 30x6 30x6 ";
const double hangarCorners[][2] = {{250, 850}, {1500, 1250}, {1500, 1550}, {1500, 1850}};
const double boxPlan[][5] = {{1200, 915, 1290, 1005, 120.2}, {1195, 910, 1295, 1010, 190.2},
                             {1290, 925, 1360, 995, 50.2},   {1360, 860, 1560, 1060, 100.2},
                             {0, 1800, 300, 2100, 200.2},    {50, 2100, 650, 2700, 300.2}};

TEST_F(World, GroundTilesCoverTheYardOnceAndBoxesStandWhereListed) {
    glDisable(GL_CULL_FACE);
    const auto all = captureFeedback(renderFrame);
    double area = 0;
    std::string repeats;
    for (int a = 0; a < groundTileCount; ++a) {
        const auto r = quadBounds(all, 6 + 2 * a);  // after the six lines of the axis cross
        const FeedbackVertex& corner = all[6 + 2 * a].vertices[0];
        repeats += std::to_string(int(corner.s)) + "x" + std::to_string(int(corner.t)) + " ";
        EXPECT_TRUE(r[0] >= 0 && r[1] >= 0 && r[2] <= 2000 && r[3] <= 4800) << "tile " << a + 1;
        area += (r[2] - r[0]) * (r[3] - r[1]);
        for (int b = 0; b < a; ++b) {
            const auto s = quadBounds(all, 6 + 2 * b);
            EXPECT_TRUE(r[2] <= s[0] || s[2] <= r[0] || r[3] <= s[1] || s[3] <= r[1]) << a << b;
        }
    }
    EXPECT_EQ(area, 2000.0 * 4800.0);  // inside, disjoint and of the full area: no gap
    EXPECT_EQ(repeats, tileRepeats);
    const size_t hangars = 6 + 2 * groundTileCount, boxes = hangars + std::size(hangarCorners);
    for (size_t h = 0; h < std::size(hangarCorners); ++h) {
        const auto r = quadBounds(all, hangars + h);
        EXPECT_TRUE(r[0] == hangarCorners[h][0] && r[1] == hangarCorners[h][1]) << h + 1;
    }
    for (int b = 0; b < ironBoxCount; ++b) {
        const auto t = quadBounds(all, boxes + 12 * b), base = quadBounds(all, boxes + 12 * b + 2);
        for (int i = 0; i < 5; ++i) EXPECT_NEAR(t[i], boxPlan[b][i], 1e-3) << b + 1;
        EXPECT_NEAR(base[4], b == 1 ? boxPlan[0][4] : 0.2, 1e-3) << b + 1;
    }
}

// The white light over (530, 1000) and the yellow over (1500, 1400), 50 up, light the world only
// while L is up (lighting starts on, as the overlay leaves it). Ground and boxes move, rain stays.
TEST_F(World, ObjectsAndLightsFollowTheViewerWhileTheRainStaysAround) {
    auto unlit = [](const FeedbackVertex& v) { return v.r == 1 && v.g == 1 && v.b == 1; };
    glEnable(GL_LIGHTING);
    const auto before = captureFeedback(renderFrame);
    worldOffsetX = 37, worldOffsetY = -11, lightingEnabled = 1;
    const auto after = captureFeedback(renderFrame);
    EXPECT_TRUE(unlit(before.at(6).vertices[0]) && !unlit(after.at(6).vertices[0]));  // tile 1
    const FeedbackVertex& axis = before[0].vertices[0];  // the axis cross, tinted
    EXPECT_TRUE(axis.r == 1 && axis.g == 0.4f && axis.b == 0.6f);
    // Position (in eye coordinates, under a view that is the identity), diffuse, then ambient.
    const std::vector<float> lights[] = {{530 + 37, 1000 - 11, groundZ + 50, 1, 1, 1, 1, 1},
                                         {1500 + 37, 1400 - 11, groundZ + 50, 1, 1, 1, 0, 1}};
    for (int i = 0; i < 2; ++i) {
        std::vector<float> light(12), wanted = lights[i];
        glGetLightfv(GL_LIGHT1 + i, GL_POSITION, &light[0]);
        glGetLightfv(GL_LIGHT1 + i, GL_DIFFUSE, &light[4]);
        glGetLightfv(GL_LIGHT1 + i, GL_AMBIENT, &light[8]);
        wanted.insert(wanted.end(), {0, 0, 0, 1});
        EXPECT_TRUE(glIsEnabled(GL_LIGHT1 + i));
        EXPECT_EQ(light, wanted);
    }
    // Past the six axis lines, which run off the view and are clipped, to the 2500 of the rain.
    size_t lines = 0;
    for (size_t p = 0; p < before.size() && lines < 6 + 2500; ++p) {
        const bool polygon = before[p].token == GL_POLYGON_TOKEN;
        if (!polygon && ++lines <= 6) continue;
        for (size_t v = 0; v < before[p].vertices.size(); ++v) {
            const FeedbackVertex &b = before[p].vertices[v], &a = after.at(p).vertices.at(v);
            EXPECT_FLOAT_EQ(a.x, b.x + (polygon ? 37 : 0));
            EXPECT_FLOAT_EQ(a.y, b.y + (polygon ? -11 : 0));
        }
    }
    EXPECT_EQ(lines, 6u + 2500u);
    EXPECT_EQ(before.back().token, GL_POLYGON_TOKEN);  // the overlay's glyphs over it all
}

// Side view: window x, y = world x + 100, z + 200. A streak stands r + 50 - phase above the ground,
// r from 0 to 99 drawn afresh from the calendar second in every frame: the pattern holds a second.
TEST_F(World, RainPullsThePhaseBackOncePerStreakAndHoldsItsPatternForASecond) {
    loadPixelExactProjection(800, 600, -100, -200);
    glRotatef(-90, 1, 0, 0);
    auto rainFrom = [](float p) { return animationPhase = p, captureFeedback(drawRainField); };
    std::vector<FeedbackPrimitive> rain[4];  // from the phases 55, 55 again, 60 and 80
    std::vector<float> phaseAfter(4);
    for (int attempt = 0; attempt < 10; ++attempt) {  // all four within one calendar second
        const std::time_t second = std::time(nullptr);
        for (int i = 0; i < 4; ++i)
            rain[i] = rainFrom(i < 2 ? 55 : i == 2 ? 60 : 80), phaseAfter[i] = animationPhase;
        if (std::time(nullptr) == second) break;
    }
    EXPECT_EQ(phaseAfter, (std::vector<float>{55, 55, 46, 52}));
    for (const auto& frame : rain) ASSERT_EQ(frame.size(), 2500u);
    float lowest = 1e9, highest = -1e9;
    for (size_t k = 0; k < 2500; ++k) {
        const FeedbackVertex& low = rain[0][k].vertices[0];
        lowest = std::min(lowest, low.y - 200), highest = std::max(highest, low.y - 200);
        EXPECT_NEAR(low.x - 100, 2.0f * (k / 50) - 50, 1e-3);  // the 50 x 50 grid
        EXPECT_NEAR(rain[0][k].vertices[1].y - low.y, 0.3, 1e-4);
        EXPECT_EQ(rain[1][k].vertices[0].y, low.y);
        // 46 lifts a streak by 9 against 55, 52 by 3, 66 (the first streak of 80) drops it 11.
        EXPECT_NEAR(rain[2][k].vertices[0].y, low.y + 9, 1e-3) << k;
        EXPECT_NEAR(rain[3][k].vertices[0].y, low.y + (k == 0 ? -11 : 3), 1e-3) << k;
    }
    EXPECT_TRUE(lowest >= -5 && lowest < 0 && highest <= 94 && highest > 89) << lowest << highest;
}
