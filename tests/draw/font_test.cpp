// Glyph lists and text through feedback and pixels, on a context of the overlay's 1024 x 768 units.
#include "draw/font.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "assets/texture_set.h"
#include "support/gl_test_context.h"

using Glyphs = std::vector<std::vector<float>>;  // overlay x, y of the quad and its cell

// A mid-grey font sheet, left unbound, and a caller's matrices that drawText must not print
// through; back faces stay culled while the program prints.
struct Font : ::testing::Test {
    GlTestContext gl{1024, 768};
    void SetUp() override {
        ASSERT_TRUE(gl.valid());
        const unsigned char grey[3] = {128, 128, 128};  // one texel: a whole mipmap chain
        glGenTextures(1, &textures[0]);
        glBindTexture(GL_TEXTURE_2D, textures[0]);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 1, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, grey);
        createGlyphLists();
        glBindTexture(GL_TEXTURE_2D, 0);
        glEnable(GL_TEXTURE_2D);
        glEnable(GL_CULL_FACE);
        glMatrixMode(GL_PROJECTION);
        glOrtho(-100, 100, -100, 100, -100, 100);
        glMatrixMode(GL_MODELVIEW);
        glTranslatef(50, 7, 0);
    }
};

// The glyphs printed, each a quad (two triangles once it survived culling) showing its cell of
// the sheet upright, one sheet width per 256 units; cells count left to right and top to bottom.
static Glyphs print(int x, int y, const char* text, int set) {
    const auto triangles = captureFeedback([&] { drawText(x, y, text, set); });
    EXPECT_EQ(triangles.size() % 2, 0u);
    Glyphs glyphs;
    for (size_t i = 0; i + 1 < triangles.size(); i += 2) {
        const FeedbackVertex& first = triangles[i].vertices[0];
        const float ds = first.x / 256 - first.s, dt = first.y / 256 - first.t;
        float left = 1e9, bottom = 1e9;
        for (size_t k : {i, i + 1})
            for (const FeedbackVertex& v : triangles[k].vertices) {
                EXPECT_TRUE(v.x / 256 - v.s == ds && v.y / 256 - v.t == dt);
                left = std::min(left, v.x), bottom = std::min(bottom, v.y);
            }
        const float s = left / 256 - ds, t = bottom / 256 - dt;  // at the lower left
        glyphs.push_back({left, bottom, std::round(s * 16 + (1 - t) * 256 - 16)});
    }
    return glyphs;
}

TEST_F(Font, BytesPrintTheirSetsCellsTwelveUnitsApart) {
    EXPECT_EQ(print(2, 2, "AB", 0), (Glyphs{{2, 2, 33}, {14, 2, 34}}));
    // Set 0: the line feed prints nothing and does not advance; set 1: it is cell 106.
    EXPECT_EQ(print(0, 0, "A\nB", 0), (Glyphs{{0, 0, 33}, {12, 0, 34}}));
    EXPECT_EQ(print(0, 0, "A\nB", 1), (Glyphs{{0, 0, 161}, {12, 0, 106}, {24, 0, 162}}));
    // Bytes 160..255 count negative: in set 1 byte 200 shows set 0's "H", 144 has no cell. Any
    // set above 1 is set 1; below 0 nothing at all is printed.
    EXPECT_EQ(print(0, 0, "\xC8\x90", 1), (Glyphs{{0, 0, 'H' - 32}}));
    EXPECT_EQ(print(0, 0, "A\n", 2), (Glyphs{{0, 0, 161}, {12, 0, 106}}));
    char everyByte[256] = {};
    for (int b = 1; b < 256; ++b) everyByte[b - 1] = static_cast<char>(b);
    EXPECT_TRUE(print(0, 0, everyByte, -1).empty());
}

// The overlay adds the tinted sheet onto the finished frame, in front of everything and unlit,
// and leaves lighting and depth test on, blending off and the caller's matrices as they were.
TEST_F(Font, AddsOverTheFinishedFrameAndLeavesTheStateTheWorldExpects) {
    glClearColor(0, 0, 0.25f, 1);
    glClearDepth(0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
    glColor3f(1, 0.5f, 0.5f);
    GLfloat before[32], after[32];
    glGetFloatv(GL_PROJECTION_MATRIX, before);
    glGetFloatv(GL_MODELVIEW_MATRIX, before + 16);
    drawText(100, 200, "A", 0);
    unsigned char inside[3];  // a pixel inside the glyph's quad
    glReadPixels(108, 208, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, inside);
    EXPECT_EQ(std::vector<int>(inside, inside + 3), (std::vector<int>{128, 64, 128}));
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING) && glIsEnabled(GL_DEPTH_TEST) && !glIsEnabled(GL_BLEND));
    glGetFloatv(GL_PROJECTION_MATRIX, after);
    glGetFloatv(GL_MODELVIEW_MATRIX, after + 16);
    EXPECT_TRUE(std::equal(after, after + 32, before));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
