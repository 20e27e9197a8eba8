// The twelve textures: all or nothing, in table order, and every picture uploaded exactly as read.
#include "assets/texture_set.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "support/gl_test_context.h"
#include "support/scripted_platform.h"
#include "support/test_files.h"

namespace {

// A 4 x 4 picture of one colour per table index; any header size but 40 makes it unreadable.
void writeSolid(int index, uint32_t headerSize = 40) {
    Bytes rgb;
    for (int i = 0; i < 16; ++i)
        rgb.insert(rgb.end(), {uint8_t(20 * index), 7, uint8_t(255 - index)});
    writeFile(textureFiles[index], withField(trueColourBitmap(4, 4, rgb), 14, headerSize));
}

Bytes levelZero(uint32_t texture, int width, int height) {
    Bytes texels(3 * width * height);
    glBindTexture(GL_TEXTURE_2D, texture);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
    return texels;
}

// A working folder of its own with an empty Tex tree, and message boxes recorded, not shown.
struct TextureSet : ::testing::Test {
    ScriptedPlatformSession session;
    TempFolder folder{true};
    TextureSet() {
        for (const char* sub : {"Tex/Pismo", "Tex/Ciary", "Tex/Zuvo"})
            std::filesystem::create_directories(sub);
    }
};

TEST_F(TextureSet, LoadsAllTwelveInTableOrder) {
    GlTestContext gl(64, 64);
    ASSERT_TRUE(gl.valid());
    for (int i = 0; i < textureCount; ++i) writeSolid(i);
    ASSERT_EQ(loadTextureSet(), 1);
    EXPECT_TRUE(scripted.messageBoxes.empty());
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<uint32_t>(bound), textures[11]);
    for (int i = 0; i < textureCount; ++i) {
        SCOPED_TRACE(textureFiles[i]);
        for (int j = 0; j < i; ++j) EXPECT_NE(textures[i], textures[j]);
        const Bytes texels = levelZero(textures[i], 4, 4);
        EXPECT_TRUE(texels[0] == 20 * i && texels[2] == 255 - i);
        GLint minFilter = 0, magFilter = 0, smallestLevel = 0;
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &magFilter);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 2, GL_TEXTURE_WIDTH, &smallestLevel);
        EXPECT_EQ(minFilter, GL_LINEAR_MIPMAP_LINEAR);
        EXPECT_EQ(magFilter, GL_LINEAR);
        EXPECT_EQ(smallestLevel, 1);  // the whole mipmap chain down to 1 x 1
    }
}

// Every file after the failing one is unreadable, so opening any of them would show the reader's
// message; a fresh context hands out names from 1, so any other name means one was made.
TEST_F(TextureSet, FirstMissingOrBrokenFileEndsTheLoadWithNoTextureMade) {
    const struct {
        int missing, firstBroken;
        std::vector<std::string> messages;
    } cases[] = {
        {0, 1, {}},
        {11, 12, {}},
        {-1, 8, {"[Error] Unknown DIB file format. (none, ok)"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.missing);
        GlTestContext gl(64, 64);
        ASSERT_TRUE(gl.valid());
        scripted.messageBoxes.clear();
        for (uint32_t& name : textures) name = 999;
        for (int i = 0; i < textureCount; ++i) {
            std::filesystem::remove(textureFiles[i]);
            if (i != c.missing) writeSolid(i, i >= c.firstBroken ? 108 : 40);
        }
        EXPECT_EQ(loadTextureSet(), 0);
        EXPECT_EQ(scripted.messageBoxSummaries(), c.messages);
        GLuint probe = 0;
        glGenTextures(1, &probe);
        EXPECT_EQ(probe, 1u);
        for (uint32_t name : textures) EXPECT_EQ(name, 999u);
    }
}

// Rows of 6 bytes: read with GL's default 4-byte row alignment, the second row would start two
// bytes late and run past the end of the pixel block.
TEST_F(TextureSet, OddWidthPictureUploadsRowByRow) {
    GlTestContext gl(64, 64);
    ASSERT_TRUE(gl.valid());
    for (int i = 0; i < textureCount; ++i) writeSolid(i);
    const Bytes rgb = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120};
    writeFile(textureFiles[3], trueColourBitmap(2, 2, rgb));
    ASSERT_EQ(loadTextureSet(), 1);
    EXPECT_EQ(levelZero(textures[3], 2, 2), rgb);
    GLint alignment = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    EXPECT_EQ(alignment, 4);  // the GL default again for whoever uploads next
}

}  // namespace
