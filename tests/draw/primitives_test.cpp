// The textured primitives, seen through OpenGL feedback and the pixels they leave.
#include "draw/primitives.h"

#include <GL/glu.h>
#include <gtest/gtest.h>

#include "assets/texture_set.h"
#include "support/gl_test_context.h"

// Feedback with culling on; Mesa reports each quad as the triangles (0, 1, 3) and (1, 2, 3), which
// are put back together here.
template <typename Draw>
static std::vector<std::vector<FeedbackVertex>> shapes(Draw draw) {
    glEnable(GL_CULL_FACE);
    const auto reported = captureFeedback(draw);
    std::vector<std::vector<FeedbackVertex>> out;
    for (size_t i = 0; i < reported.size(); ++i) {
        const auto& a = reported[i].vertices;
        if (reported[i].token != GL_POLYGON_TOKEN)
            out.push_back(a);
        else
            out.push_back({a[0], a[1], reported[++i].vertices[1], a[2]});
    }
    return out;
}
template <typename Draw>
static std::vector<std::vector<FeedbackVertex>> topView(Draw draw) {
    loadPixelExactProjection(800, 600);  // window x, y = world x, y
    return shapes(draw);
}

static void expectCorners(const std::vector<FeedbackVertex>& v, std::vector<float> xy) {
    ASSERT_EQ(v.size() * 2, xy.size());
    for (size_t i = 0; i < v.size(); ++i) {
        EXPECT_NEAR(v[i].x, xy[2 * i], 1e-3) << i;
        EXPECT_NEAR(v[i].y, xy[2 * i + 1], 1e-3) << i;
    }
}

TEST(Footprint, TurnsStretchesAndFlipsTheUnitSquare) {
    GlTestContext gl;
    ASSERT_TRUE(gl.valid());
    auto at0 = topView([] { drawFlatQuad(400, 100, 0, 300, 200, 5, 3, 0, 7); });
    ASSERT_EQ(at0.size(), 1u);
    expectCorners(at0[0], {400, 100, 400, 300, 100, 300, 100, 100});
    const float st[8] = {5, 3, 5, 0, 0, 0, 0, 3};
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(at0[0][i].s == st[2 * i] && at0[0][i].t == st[2 * i + 1]);
    expectCorners(topView([] { drawFlatQuad(100, 100, 0, 300, 200, 1, 1, 90, 7); }).at(0),
                  {100, 100, 400, 100, 400, 300, 100, 300});  // extents not swapped
    // At 30 degrees, unequal sizes give a parallelogram: C1 - C0 = (w sin a, d cos a) and
    // C3 - C0 = (-w cos a, d sin a), C2 closing it.
    const float s = 0.5f, c = 0.8660254f;
    expectCorners(topView([] { drawFlatQuad(400, 300, 0, 200, 100, 1, 1, 30, 7); }).at(0),
                  {400, 300, 400 + 200 * s, 300 + 100 * c, 400 + 200 * (s - c), 300 + 100 * (c + s),
                   400 - 200 * c, 300 + 100 * s});
    // One negative size turns the patch away from above; both negative keep it, half a turn on.
    EXPECT_TRUE(topView([] { drawFlatQuad(400, 300, 0, -100, 100, 1, 1, 0, 7); }).empty());
    EXPECT_TRUE(topView([] { drawFlatQuad(400, 300, 0, 100, -100, 1, 1, 0, 7); }).empty());
    auto both = topView([] { drawFlatQuad(400, 300, 0, -100, -100, 1, 1, 0, 7); });
    ASSERT_EQ(both.size(), 1u);
    expectCorners(both[0], {400, 300, 400, 200, 500, 200, 500, 300});
}

// The faces of the 10-unit box round the origin seen from `eye` towards `to`.
static std::vector<std::vector<FeedbackVertex>> boxSeen(const double eye[3], const double to[3]) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(90, 4.0 / 3.0, 0.01, 100);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    const bool upY = std::abs(eye[2] - to[2]) > std::abs(eye[0] - to[0]) + std::abs(eye[1] - to[1]);
    gluLookAt(eye[0], eye[1], eye[2], to[0], to[1], to[2], 0, upY, !upY);
    return shapes([] { drawBox(5, -5, -5, 10, 10, 10, 0, 11); });
}

TEST(Box, OutsideShowsFromEverySideInsideNever) {
    GlTestContext gl;
    ASSERT_TRUE(gl.valid());
    const double centre[3] = {0, 0, 0}, corner[3] = {15, 12, 9};
    const double axes[6][3] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    for (const auto& a : axes) {
        const double outside[3] = {20 * a[0], 20 * a[1], 20 * a[2]};
        EXPECT_EQ(boxSeen(outside, centre).size(), 1u);
        EXPECT_EQ(boxSeen(centre, a).size(), 0u);
    }
    EXPECT_EQ(boxSeen(corner, centre).size(), 3u);
}

TEST(Lines, AxisCrossTakesItsColoursFromTheTexelsAndLinesEndThin) {
    GlTestContext gl;
    ASSERT_TRUE(gl.valid());
    // A 2 x 2 lines texture: red (0, 0), green (1, 0), blue (0, 1), yellow (1, 1).
    const unsigned char texels[12] = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 0};
    glGenTextures(1, &textures[1]);
    glBindTexture(GL_TEXTURE_2D, textures[1]);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 2, 2, 0, GL_RGB, GL_UNSIGNED_BYTE, texels);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glEnable(GL_TEXTURE_2D);
    auto lines = topView([] { drawAxisCross(400, 300, 0, 100, 2); });
    ASSERT_EQ(lines.size(), 6u);
    expectCorners(lines[5], {400, 300, 400, 300});  // the last one: straight down
    glLineWidth(5);
    drawAxisCross(400, 300, 0, 100, 2);
    GLfloat width = 0;
    glGetFloatv(GL_LINE_WIDTH, &width);
    EXPECT_EQ(width, 1.0f);
    const auto pixels = gl.readPixels();
    auto rgbAt = [&](int x, int y) {
        const unsigned char* p = &pixels[(static_cast<size_t>(y) * 800 + x) * 3];
        return p[0] << 16 | p[1] << 8 | p[2];
    };
    EXPECT_EQ(rgbAt(450, 300), 0xffff00);  // +X: texel (1, 1)
    EXPECT_EQ(rgbAt(400, 350), 0x00ff00);  // +Y: texel (1, 0)
    EXPECT_EQ(rgbAt(350, 300), 0xff0000);  // -X and -Y: texel (0, 0)
    EXPECT_EQ(rgbAt(400, 250), 0xff0000);

    glLineWidth(5);
    auto streak = topView([] {
        glRotatef(-90, 1, 0, 0);  // world z shows as window y
        drawVerticalLine(400, 0, 250, 30, 3.5f, 9);
    });
    expectCorners(streak.at(0), {400, 250, 400, 280});
    glGetFloatv(GL_LINE_WIDTH, &width);
    EXPECT_EQ(width, 1.0f);
}
