// Glyph lists and text output, observed through feedback mode on a real headless context whose
// window is the size of the overlay, so window coordinates are overlay units.
#include "draw/font.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

#include "assets/texture_set.h"
#include "support/gl_test_context.h"

namespace {

using Glyphs = std::vector<std::array<float, 3>>;  // overlay x, y of the quad and its cell

struct Font : ::testing::Test {
    GlTestContext gl{1024, 768};

    void SetUp() override {
        ASSERT_TRUE(gl.valid());
        const unsigned char picture[4 * 4 * 3] = {};
        glGenTextures(1, &textures[0]);
        glBindTexture(GL_TEXTURE_2D, textures[0]);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 4, 4, 0, GL_RGB, GL_UNSIGNED_BYTE, picture);
        glEnable(GL_TEXTURE_2D);
        glEnable(GL_CULL_FACE);  // the program keeps back faces culled while it prints
        createGlyphLists();
        // A caller's projection and modelview that drawText must not print through.
        glMatrixMode(GL_PROJECTION);
        glOrtho(-100, 100, -100, 100, -100, 100);
        glMatrixMode(GL_MODELVIEW);
        glTranslatef(50, 7, 0);
    }
    void TearDown() override { deleteGlyphLists(); }

    // The glyphs printed, each a 16 x 16 quad (two triangles once it survived culling) showing
    // one 1/16 x 1/16 cell of the sheet; cells count left to right and top to bottom.
    static Glyphs print(int x, int y, const char* text, int set) {
        const auto triangles = captureFeedback([&] { drawText(x, y, text, set); });
        EXPECT_EQ(triangles.size() % 2, 0u);
        Glyphs glyphs;
        for (size_t i = 0; i + 1 < triangles.size(); i += 2) {
            float low[4] = {1e9, 1e9, 1e9, 1e9}, high[4] = {-1e9, -1e9, -1e9, -1e9};
            for (size_t k : {i, i + 1})
                for (const FeedbackVertex& v : triangles[k].vertices) {
                    const float values[4] = {v.x, v.y, v.s, v.t};
                    for (int c = 0; c < 4; ++c) {
                        low[c] = std::min(low[c], values[c]);
                        high[c] = std::max(high[c], values[c]);
                    }
                }
            // Not mirrored: the quad's lower-left corner shows the cell's lower-left.
            for (size_t k : {i, i + 1})
                for (const FeedbackVertex& v : triangles[k].vertices)
                    if (v.x == low[0] && v.y == low[1]) EXPECT_TRUE(v.s == low[2] && v.t == low[3]);
            EXPECT_TRUE(high[0] - low[0] == 16 && high[1] - low[1] == 16);
            EXPECT_TRUE(high[2] - low[2] == 1 / 16.0f && high[3] - low[3] == 1 / 16.0f);
            glyphs.push_back({low[0], low[1], std::round(low[2] * 16 + (1 - high[3]) * 256)});
        }
        return glyphs;
    }
};

TEST_F(Font, BytesPrintTheirSetsCellsTwelveUnitsApart) {
    EXPECT_EQ(print(2, 2, "AB", 0), (Glyphs{{2, 2, 33}, {14, 2, 34}}));
    // Set 0: the line feed prints nothing and does not advance; set 1: it is cell 106.
    EXPECT_EQ(print(0, 0, "A\nB", 0), (Glyphs{{0, 0, 33}, {12, 0, 34}}));
    EXPECT_EQ(print(0, 0, "A\nB", 1), (Glyphs{{0, 0, 161}, {12, 0, 106}, {24, 0, 162}}));
    // Bytes 160..255 count negative and show set 0's glyphs in set 1: byte 200 is "H"; 144 has
    // no cell in set 1.
    EXPECT_EQ(print(0, 0, "\xC8\x90", 1), (Glyphs{{0, 0, 'H' - 32}}));
    // Any set above 1 is set 1; below 0 nothing at all is printed.
    EXPECT_EQ(print(0, 0, "A\n", 5), (Glyphs{{0, 0, 161}, {12, 0, 106}}));
    std::string everyByte;
    for (int b = 1; b < 256; ++b) everyByte += static_cast<char>(b);
    EXPECT_TRUE(print(0, 0, everyByte.c_str(), -1).empty());
}

TEST_F(Font, LeavesFixedStateAndTheCallersMatrices) {
    GLfloat before[32], after[32];
    glGetFloatv(GL_PROJECTION_MATRIX, before);
    glGetFloatv(GL_MODELVIEW_MATRIX, before + 16);
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
        glGetFloatv(GL_PROJECTION_MATRIX, after);
        glGetFloatv(GL_MODELVIEW_MATRIX, after + 16);
        EXPECT_TRUE(std::equal(after, after + 32, before));
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

}  // namespace
