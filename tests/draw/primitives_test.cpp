// The textured primitives, seen through OpenGL feedback.
#include "draw/primitives.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "assets/texture_set.h"
#include "support/gl_test_context.h"

using Shape = std::vector<FeedbackVertex>;

// Seen from above with window x, y = world x, y, the twelve texture names made.
struct Primitives : ::testing::Test {
    GlTestContext gl;
    void SetUp() override {
        ASSERT_TRUE(gl.valid());
        glGenTextures(textureCount, textures);
        loadPixelExactProjection(800, 600);
    }
};

// What `draw` issued: it binds texture `index` itself, raises no GL error, and lines end thin.
// Mesa reports each quad as the triangles (0, 1, 3) and (1, 2, 3), put back together here.
static std::vector<Shape> shapes(const std::function<void()>& draw, int index) {
    glBindTexture(GL_TEXTURE_2D, 0);
    glLineWidth(5);
    const auto reported = captureFeedback(draw);
    GLfloat bound = 0, width = 0;
    glGetFloatv(GL_TEXTURE_BINDING_2D, &bound);
    glGetFloatv(GL_LINE_WIDTH, &width);
    const bool lines = !reported.empty() && reported[0].token != GL_POLYGON_TOKEN;
    EXPECT_TRUE(GLuint(bound) == textures[index] && width == (lines ? 1 : 5) && !glGetError());
    std::vector<Shape> out;
    for (size_t i = 0; i < reported.size(); ++i) {
        const Shape& a = reported[i].vertices;
        const bool quad = reported[i].token == GL_POLYGON_TOKEN;
        out.push_back(quad ? Shape{a[0], a[1], reported[++i].vertices[1], a[2]} : a);
    }
    return out;
}

// Window x, y of every corner, and texture s, t where given.
static void expectCorners(const Shape& shape, std::vector<float> xy, std::vector<float> st = {}) {
    ASSERT_EQ(shape.size() * 2, xy.size());
    for (size_t i = 0; i < xy.size(); i += 2) {
        EXPECT_LT(std::abs(shape[i / 2].x - xy[i]) + std::abs(shape[i / 2].y - xy[i + 1]), 1e-3)
            << i;
        if (!st.empty()) EXPECT_TRUE(shape[i / 2].s == st[i] && shape[i / 2].t == st[i + 1]) << i;
    }
}

TEST_F(Primitives, FlatQuadTurnsStretchesAndFlipsTheUnitSquare) {
    glEnable(GL_CULL_FACE);
    auto quad = [](float x, float y, float sizeX, float sizeY, float angle) {
        return shapes([=] { drawFlatQuad(x, y, 0, sizeX, sizeY, 5, 3, angle, 7); }, 7);
    };
    expectCorners(quad(400, 100, 300, 200, 0).at(0), {400, 100, 400, 300, 100, 300, 100, 100},
                  {5, 3, 5, 0, 0, 0, 0, 3});
    // At 90 degrees the extents stay unswapped; at 30, unequal sizes give a parallelogram:
    // C1 - C0 = (w sin a, d cos a) and C3 - C0 = (-w cos a, d sin a), C2 closing it.
    expectCorners(quad(100, 100, 300, 200, 90).at(0), {100, 100, 400, 100, 400, 300, 100, 300});
    expectCorners(quad(400, 300, 200, 100, 30).at(0),
                  {400, 300, 500, 386.6025f, 326.7949f, 436.6025f, 226.7949f, 350});
    // One negative size turns the patch away from above; both negative keep it, half a turn on.
    EXPECT_TRUE(quad(400, 300, -100, 100, 0).empty() && quad(400, 300, 100, -100, 0).empty());
    expectCorners(quad(400, 300, -100, -100, 0).at(0), {400, 300, 400, 200, 500, 200, 500, 300});
}

// Top, bottom, sides: each faces outwards, showing the whole texture once, upright on the sides.
// Corners p are taken from the box's centre (250, 225, 30); world z is (0.5 - window depth) x 2000.
TEST_F(Primitives, BoxFacesStandOnTheFootprintFacingOutwards) {
    const auto faces = shapes([] { drawBox(300, 200, 10, 100, 50, 40, 0, 11); }, 11);
    ASSERT_EQ(faces.size(), 6u);
    expectCorners(faces[0], {300, 200, 300, 250, 200, 250, 200, 200});
    for (size_t f = 0; f < 6; ++f) {
        double p[4][3], outwards = 0;
        for (int v = 0; v < 4; ++v) {
            const FeedbackVertex& c = faces[f][v];
            p[v][0] = c.x - 250, p[v][1] = c.y - 225, p[v][2] = (0.5 - c.z) * 2000 - 30;
            EXPECT_NEAR(p[v][2], f == 0 || (f > 1 && v > 1) ? 20 : -20, 1e-3) << f << " " << v;
            EXPECT_TRUE(c.s == (v == 1 || v == 2) && c.t == (v > 1));
        }
        for (int k = 0, i = 1, j = 2; k < 3; ++k, i = (k + 1) % 3, j = (k + 2) % 3)
            outwards += ((p[1][i] - p[0][i]) * (p[3][j] - p[0][j]) -
                         (p[1][j] - p[0][j]) * (p[3][i] - p[0][i])) *
                        (p[0][k] + p[2][k]);
        EXPECT_GT(outwards, 0) << "face " << f;  // the normal against the face's centre
    }
}

// Each half-axis takes its colour from one texel of the lines texture, held for both ends:
// +X from (1, 1), +Y from (1, 0), the rest from (0, 0). Lines end thin, whatever came before.
TEST_F(Primitives, AxisCrossAndVerticalLine) {
    const auto lines = shapes([] { drawAxisCross(400, 300, 0, 100, 2); }, 1);
    ASSERT_EQ(lines.size(), 6u);
    const float ends[] = {500, 300, 400, 400, 400, 300, 300, 300, 400, 200, 400, 300};
    for (int i = 0; i < 6; ++i) {
        const float s = i < 2, t = i == 0;
        expectCorners(lines[i], {400, 300, ends[2 * i], ends[2 * i + 1]}, {s, t, s, t});
        EXPECT_NEAR((0.5 - lines[i][1].z) * 2000, i == 2 ? 100 : i == 5 ? -100 : 0, 2e-3) << i;
    }
    glRotatef(-90, 1, 0, 0);  // world z shows as window y
    expectCorners(shapes([] { drawVerticalLine(400, 0, 250, 30, 3.5f, 9); }, 9).at(0),
                  {400, 250, 400, 280}, {1, 1, 1, 1});
    glClear(GL_COLOR_BUFFER_BIT);  // and drawn as wide as asked: 3.5 pixels, rounded to 4
    drawVerticalLine(400, 0, 250, 30, 3.5f, 9);
    unsigned char row[20 * 3];
    glReadPixels(390, 265, 20, 1, GL_RGB, GL_UNSIGNED_BYTE, row);
    EXPECT_EQ(std::count(row, row + 60, 255), 4 * 3);
}
