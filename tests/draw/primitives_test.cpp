// The textured primitives, seen through OpenGL feedback and the pixels they leave.
#include "draw/primitives.h"

#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cmath>

#include "assets/texture_set.h"
#include "support/gl_test_context.h"

// Mesa reports each quad as the triangles (0, 1, 3) and (1, 2, 3); put the quads back together.
static std::vector<FeedbackPrimitive> asQuads(const std::vector<FeedbackPrimitive>& reported) {
    std::vector<FeedbackPrimitive> out;
    for (size_t i = 0; i < reported.size(); ++i) {
        out.push_back(reported[i]);
        if (reported[i].token != GL_POLYGON_TOKEN || i + 1 == reported.size()) continue;
        const auto &a = reported[i].vertices, &b = reported[++i].vertices;
        out.back().vertices = {a[0], a[1], b[1], a[2]};
    }
    return out;
}

// Feedback of one call under the pixel-exact projection (window x, y = world x, y) with culling on.
template <typename Draw>
static std::vector<FeedbackPrimitive> topView(Draw draw) {
    loadPixelExactProjection(800, 600);
    glEnable(GL_CULL_FACE);
    return asQuads(captureFeedback(draw));
}

static void expectCorner(const FeedbackVertex& v, float x, float y) {
    EXPECT_NEAR(v.x, x, 1e-3);
    EXPECT_NEAR(v.y, y, 1e-3);
}

TEST(Footprint, ExtentsAtZeroAndNinetyDegreesAreNotSwapped) {
    GlTestContext gl;
    ASSERT_TRUE(gl.valid());
    auto at0 = topView([] { drawFlatQuad(400, 100, 0, 300, 200, 5, 3, 0, 7); });
    ASSERT_EQ(at0.size(), 1u);
    const float corners[4][2] = {{400, 100}, {400, 300}, {100, 300}, {100, 100}};
    const float texCoords[4][2] = {{5, 3}, {5, 0}, {0, 0}, {0, 3}};
    for (int i = 0; i < 4; ++i) {
        expectCorner(at0[0].vertices[i], corners[i][0], corners[i][1]);
        EXPECT_FLOAT_EQ(at0[0].vertices[i].s, texCoords[i][0]);
        EXPECT_FLOAT_EQ(at0[0].vertices[i].t, texCoords[i][1]);
    }
    auto at90 = topView([] { drawFlatQuad(100, 100, 0, 300, 200, 1, 1, 90, 7); });
    ASSERT_EQ(at90.size(), 1u);
    const float turned[4][2] = {{100, 100}, {400, 100}, {400, 300}, {100, 300}};
    for (int i = 0; i < 4; ++i) expectCorner(at90[0].vertices[i], turned[i][0], turned[i][1]);
}

TEST(Footprint, UnequalSizesAtThirtyDegreesGiveAParallelogram) {
    GlTestContext gl;
    ASSERT_TRUE(gl.valid());
    for (float depth : {100.0f, 200.0f}) {
        auto q = topView([depth] { drawFlatQuad(400, 300, 0, 200, depth, 1, 1, 30, 7); });
        ASSERT_EQ(q.size(), 1u);
        const auto& c = q[0].vertices;
        expectCorner(c[1], 400 + 200 * 0.5f, 300 + depth * 0.8660254f);
        expectCorner(c[3], 400 - 200 * 0.8660254f, 300 + depth * 0.5f);
        expectCorner(c[2], c[1].x + c[3].x - 400, c[1].y + c[3].y - 300);
        const float edgeDot = (c[1].x - 400) * (c[3].x - 400) + (c[1].y - 300) * (c[3].y - 300);
        if (depth == 200)
            EXPECT_NEAR(edgeDot, 0, 0.05);  // equal sizes: a turned square
        else
            EXPECT_GT(std::abs(edgeDot), 1000);  // otherwise the corners are not square
    }
}

TEST(Footprint, OneNegativeSizeTurnsThePatchAwayBothKeepIt) {
    GlTestContext gl;
    ASSERT_TRUE(gl.valid());
    EXPECT_TRUE(topView([] { drawFlatQuad(400, 300, 0, -100, 100, 1, 1, 0, 7); }).empty());
    EXPECT_TRUE(topView([] { drawFlatQuad(400, 300, 0, 100, -100, 1, 1, 0, 7); }).empty());
    auto box = topView([] { drawBox(400, 300, 0, -100, 100, 50, 0, 11); });
    ASSERT_EQ(box.size(), 1u);
    EXPECT_NEAR(box[0].vertices[0].z, 0.5, 1e-6);  // the box's inside: its bottom, not its top
    glCullFace(GL_FRONT);                          // the mirrored patch shows from below instead
    EXPECT_EQ(topView([] { drawFlatQuad(400, 300, 0, -100, 100, 1, 1, 0, 7); }).size(), 1u);
    glCullFace(GL_BACK);
    auto both = topView([] { drawFlatQuad(400, 300, 0, -100, -100, 1, 1, 0, 7); });
    ASSERT_EQ(both.size(), 1u);
    expectCorner(both[0].vertices[2], 500, 200);  // half a turn about the anchor
}

// The faces of the 10-unit box round the origin that an eye at `eye` looking at `to` sees.
static std::vector<FeedbackPrimitive> boxSeenFrom(const double eye[3], const double to[3]) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(90, 4.0 / 3.0, 0.01, 100);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    const double up =
        std::abs(eye[2] - to[2]) > std::abs(eye[0] - to[0]) + std::abs(eye[1] - to[1]);
    gluLookAt(eye[0], eye[1], eye[2], to[0], to[1], to[2], up, 0, 1 - up);
    return asQuads(captureFeedback([] { drawBox(5, -5, -5, 10, 10, 10, 0, 11); }));
}

TEST(Box, OutsideShowsFromEverySideInsideNever) {
    GlTestContext gl;
    ASSERT_TRUE(gl.valid());
    glEnable(GL_CULL_FACE);
    const double centre[3] = {0, 0, 0};
    const double axes[6][3] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    for (const auto& a : axes) {
        const double outside[3] = {20 * a[0], 20 * a[1], 20 * a[2]};
        EXPECT_EQ(boxSeenFrom(outside, centre).size(), 1u);
        EXPECT_EQ(boxSeenFrom(centre, a).size(), 0u);
    }
    const double corner[3] = {15, 12, 9};
    EXPECT_EQ(boxSeenFrom(corner, centre).size(), 3u);
    glDisable(GL_CULL_FACE);
    auto faces = boxSeenFrom(corner, centre);
    ASSERT_EQ(faces.size(), 6u);
    const float texCoords[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    for (const auto& face : faces) {
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(face.vertices[i].s, texCoords[i][0]);
            EXPECT_EQ(face.vertices[i].t, texCoords[i][1]);
        }
    }
}

TEST(AxisCross, SixHalfAxesColouredFromTheirTexelsThenThinLines) {
    GlTestContext gl;
    ASSERT_TRUE(gl.valid());
    // A 2 x 2 lines texture: red (0,0), green (1,0), blue (0,1), yellow (1,1).
    const unsigned char texels[12] = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 0};
    const uint32_t savedLines = textures[1];
    glGenTextures(1, &textures[1]);
    glBindTexture(GL_TEXTURE_2D, textures[1]);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 2, 2, 0, GL_RGB, GL_UNSIGNED_BYTE, texels);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glEnable(GL_TEXTURE_2D);
    auto lines = topView([] { drawAxisCross(400, 300, 0, 100, 2); });
    glLineWidth(5);
    drawAxisCross(400, 300, 0, 100, 2);
    GLfloat width = 0;
    glGetFloatv(GL_LINE_WIDTH, &width);
    EXPECT_EQ(width, 1.0f);
    const auto pixels = gl.readPixels();
    textures[1] = savedLines;

    ASSERT_EQ(lines.size(), 6u);
    const float ends[6][2] = {{500, 300}, {400, 400}, {400, 300},
                              {300, 300}, {400, 200}, {400, 300}};
    for (int i = 0; i < 6; ++i) {
        expectCorner(lines[i].vertices[0], 400, 300);
        expectCorner(lines[i].vertices[1], ends[i][0], ends[i][1]);
    }
    auto colourAt = [&](int x, int y) {
        const unsigned char* p = &pixels[(static_cast<size_t>(y) * 800 + x) * 3];
        return std::vector<int>{p[0], p[1], p[2]};
    };
    EXPECT_EQ(colourAt(450, 300), (std::vector<int>{255, 255, 0}));  // +X: texel (1, 1)
    EXPECT_EQ(colourAt(400, 350), (std::vector<int>{0, 255, 0}));    // +Y: texel (1, 0)
    EXPECT_EQ(colourAt(350, 300), (std::vector<int>{255, 0, 0}));    // -X: texel (0, 0)
    EXPECT_EQ(colourAt(400, 250), (std::vector<int>{255, 0, 0}));    // -Y: texel (0, 0)
}

TEST(VerticalLine, StandsOnItsAnchorAndLeavesThinLines) {
    GlTestContext gl;
    ASSERT_TRUE(gl.valid());
    glLineWidth(5);
    auto line = topView([] {
        glRotatef(-90, 1, 0, 0);  // world z shows as window y
        drawVerticalLine(400, 0, 250, 30, 3.5f, 9);
    });
    ASSERT_EQ(line.size(), 1u);
    expectCorner(line[0].vertices[0], 400, 250);
    expectCorner(line[0].vertices[1], 400, 280);
    GLfloat width = 0;
    glGetFloatv(GL_LINE_WIDTH, &width);
    EXPECT_EQ(width, 1.0f);
}
