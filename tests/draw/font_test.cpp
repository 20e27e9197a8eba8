// Glyph lists and text output, observed through feedback mode on a real headless context whose
// window is the size of the overlay, so window coordinates are overlay units.
#include "draw/font.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "assets/texture_set.h"
#include "support/gl_test_context.h"

namespace {

struct FontFixture : ::testing::Test {
    GlTestContext gl{1024, 768};
    GLuint sheet = 0;

    void SetUp() override {
        ASSERT_TRUE(gl.valid());
        unsigned char picture[4 * 4 * 3];
        for (int i = 0; i < 4 * 4 * 3; i += 3)
            picture[i] = 200, picture[i + 1] = 100, picture[i + 2] = 50;
        glGenTextures(1, &sheet);
        glBindTexture(GL_TEXTURE_2D, sheet);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 4, 4, 0, GL_RGB, GL_UNSIGNED_BYTE, picture);
        textures[0] = sheet;
        glEnable(GL_TEXTURE_2D);
        glEnable(GL_CULL_FACE);  // the program keeps back faces culled while it prints
        createGlyphLists();
        // A caller's projection and modelview that drawText must not print through.
        glMatrixMode(GL_PROJECTION);
        glOrtho(-100, 100, -100, 100, -100, 100);
        glMatrixMode(GL_MODELVIEW);
        glTranslatef(50, 7, 0);
    }
    void TearDown() override {
        deleteGlyphLists();
        textures[0] = 0;
    }

    // The glyphs drawn, each as its four distinct corners. GL reports a quad that survived
    // culling as two triangles.
    std::vector<std::vector<FeedbackVertex>> print(int x, int y, const char* text, int set) {
        auto triangles = captureFeedback([&] { drawText(x, y, text, set); });
        std::vector<std::vector<FeedbackVertex>> glyphs;
        EXPECT_EQ(triangles.size() % 2, 0u);
        for (size_t i = 0; i + 1 < triangles.size(); i += 2) {
            std::vector<FeedbackVertex> corners;
            for (size_t k : {i, i + 1})
                for (const FeedbackVertex& v : triangles[k].vertices)
                    if (std::none_of(corners.begin(), corners.end(), [&](const FeedbackVertex& c) {
                            return c.x == v.x && c.y == v.y;
                        }))
                        corners.push_back(v);
            glyphs.push_back(corners);
        }
        return glyphs;
    }
};

// A 16 x 16 quad at (x, y) showing the 1/16 x 1/16 part of the sheet whose lower-left is (s, t).
void expectQuad(const std::vector<FeedbackVertex>& glyph, float x, float y, float s, float t) {
    ASSERT_EQ(glyph.size(), 4u);
    for (int corner = 0; corner < 4; ++corner) {
        const float right = corner & 1, up = corner >> 1;
        EXPECT_TRUE(std::any_of(glyph.begin(), glyph.end(),
                                [&](const FeedbackVertex& v) {
                                    return v.x == x + 16 * right && v.y == y + 16 * up &&
                                           v.s == s + right / 16 && v.t == t + up / 16;
                                }))
            << "corner (" << x + 16 * right << ", " << y + 16 * up << ") of the quad at s " << s
            << " t " << t;
    }
}

// Glyph cell `cell` of the sheet, counted left to right and top to bottom, 16 to a row.
void expectCell(const std::vector<FeedbackVertex>& glyph, float x, float y, int cell) {
    expectQuad(glyph, x, y, (cell % 16) / 16.0f, 1 - (cell / 16 + 1) / 16.0f);
}

}  // namespace

TEST_F(FontFixture, PrintsLettersFromTheirCellsTwelveUnitsApart) {
    auto quads = print(2, 2, "AB", 0);
    ASSERT_EQ(quads.size(), 2u);
    // "A" is cell 33, row 2 column 1 of the sheet; "B" follows 12 units on, overlapping it.
    expectQuad(quads[0], 2, 2, 1 / 16.0f, 13 / 16.0f);
    expectQuad(quads[1], 14, 2, 2 / 16.0f, 13 / 16.0f);
}

TEST_F(FontFixture, ByteToGlyphDependsOnTheSet) {
    // Set 0: the line feed prints nothing and does not advance.
    auto plain = print(0, 0, "A\nB", 0);
    ASSERT_EQ(plain.size(), 2u);
    expectCell(plain[1], 12, 0, 34);
    // Set 1: the same bytes land 96 cells further on, the line feed on cell 106.
    auto second = print(0, 0, "A\nB", 1);
    ASSERT_EQ(second.size(), 3u);
    expectCell(second[0], 0, 0, 161);
    expectCell(second[1], 12, 0, 106);
    expectCell(second[2], 24, 0, 162);
    // Bytes 160..255 count negative and show the glyphs of set 0 in set 1: byte 200 is "H".
    auto high = print(0, 0, "\xC8\x90", 1);  // 144 has no cell in set 1
    ASSERT_EQ(high.size(), 1u);
    expectCell(high[0], 0, 0, 'H' - 32);
    // Any set above 1 is set 1; below 0 nothing at all is printed.
    auto clamped = print(0, 0, "A\n", 5);
    ASSERT_EQ(clamped.size(), 2u);
    expectCell(clamped[1], 12, 0, 106);
    std::string everyByte;
    for (int b = 1; b < 256; ++b) everyByte += static_cast<char>(b);
    EXPECT_TRUE(print(0, 0, everyByte.c_str(), -1).empty());
}

TEST_F(FontFixture, LeavesFixedStateAndTheCallersMatrices) {
    GLfloat before[2][16], after[2][16];
    glGetFloatv(GL_PROJECTION_MATRIX, before[0]);
    glGetFloatv(GL_MODELVIEW_MATRIX, before[1]);
    for (const char* text : {"AB", ""}) {
        glDisable(GL_LIGHTING);
        glDisable(GL_DEPTH_TEST);
        glEnable(GL_BLEND);
        drawText(2, 2, text, 0);
        GLint source = 0;
        glGetIntegerv(GL_BLEND_SRC, &source);
        EXPECT_EQ(source, GL_DST_ALPHA) << '"' << text << '"';
        EXPECT_TRUE(glIsEnabled(GL_LIGHTING) && glIsEnabled(GL_DEPTH_TEST) &&
                    !glIsEnabled(GL_BLEND))
            << '"' << text << '"';
        glGetFloatv(GL_PROJECTION_MATRIX, after[0]);
        glGetFloatv(GL_MODELVIEW_MATRIX, after[1]);
        EXPECT_TRUE(std::equal(&after[0][0], &after[0][0] + 32, &before[0][0]));
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
