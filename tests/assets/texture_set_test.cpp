// The twelve textures: all or nothing, in table order, and every picture uploaded exactly as read.
#include "assets/texture_set.h"

#include <gtest/gtest.h>
#include <malloc.h>

#include "support/gl_test_context.h"
#include "support/scripted_platform.h"
#include "support/test_files.h"

// A picture of one colour per table index, 2 x 2 for index 3 so that its 6-byte rows are not
// 4-byte aligned; any header size but 40 makes it unreadable. Gives the pixels written.
static Bytes writePicture(int index, uint32_t headerSize = 40) {
    const int side = index == 3 ? 2 : 4;
    Bytes rgb, rows;  // rows: blue, green, red, each row padded to 4 bytes
    for (int i = 0; i < side * side; ++i) {
        rgb.insert(rgb.end(), {uint8_t(20 * index), uint8_t(7 + i), uint8_t(255 - index)});
        rows.insert(rows.end(), {uint8_t(255 - index), uint8_t(7 + i), uint8_t(20 * index)});
        if (i % side == side - 1) rows.resize((rows.size() + 3) / 4 * 4);
    }
    const Bytes file = bitmapFile(side, side, 24, 0, 0, rows, 54);
    writeFile(textureFiles[index], withField(file, 14, headerSize));
    return rgb;
}

// A working folder of its own with the Tex tree, and message boxes recorded, not shown.
struct TextureSet : ::testing::Test {
    ScriptedPlatformSession session;
    TempFolder folder{true};
    TextureSet() {
        for (const char* sub : {"Tex/Pismo", "Tex/Ciary", "Tex/Zuvo"})
            std::filesystem::create_directories(sub);
    }
};

TEST_F(TextureSet, LoadsAllTwelveInTableOrderWithTheirMipmaps) {
    GlTestContext gl(64, 64);
    ASSERT_TRUE(gl.valid());
    Bytes written[textureCount];
    for (int i = 0; i < textureCount; ++i) written[i] = writePicture(i);
    ASSERT_EQ(loadTextureSet(), 1);
    EXPECT_TRUE(scripted.messageBoxes.empty());
    GLint value = 0;
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    for (int i = 0; i < textureCount; ++i) {
        SCOPED_TRACE(textureFiles[i]);
        const int side = i == 3 ? 2 : 4;
        Bytes texels(written[i].size());
        glBindTexture(GL_TEXTURE_2D, textures[i]);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
        EXPECT_EQ(texels, written[i]);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &value);
        EXPECT_EQ(value, GL_LINEAR_MIPMAP_LINEAR);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &value);
        EXPECT_EQ(value, GL_LINEAR);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, side / 2, GL_TEXTURE_WIDTH, &value);
        EXPECT_EQ(value, 1);  // the whole mipmap chain down to 1 x 1
    }
}

// Every file after the failing one is unreadable, so opening any of them would show the reader's
// message; a fresh context hands out names from 1, so any other name means one was made.
TEST_F(TextureSet, FirstMissingOrBrokenFileEndsTheLoadWithNoTextureMade) {
    const struct {
        int missing, firstBroken;
        std::vector<std::string> messages;
    } cases[] = {
        {0, 1, {}}, {11, 12, {}}, {-1, 8, {"[Error] Unknown DIB file format. (none, ok)"}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.missing);
        GlTestContext gl(64, 64);
        ASSERT_TRUE(gl.valid());
        scripted.messageBoxes.clear();
        for (uint32_t& name : textures) name = 999;
        for (int i = 0; i < textureCount; ++i) {
            std::filesystem::remove(textureFiles[i]);
            if (i != c.missing) writePicture(i, i >= c.firstBroken ? 108 : 40);
        }
        const size_t heldBefore = mallinfo2().uordblks;
        EXPECT_EQ(loadTextureSet(), 0);
        if (c.messages.empty()) EXPECT_LT(mallinfo2().uordblks, heldBefore + 256);  // all freed
        EXPECT_EQ(scripted.messageBoxes, c.messages);
        GLuint probe = 0;
        glGenTextures(1, &probe);
        EXPECT_EQ(probe, 1u);
        for (uint32_t name : textures) EXPECT_EQ(name, 999u);
    }
}
