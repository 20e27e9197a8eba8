// The twelve textures: all or nothing, in table order, and every picture uploaded exactly as read.
#include "assets/texture_set.h"

#include <gtest/gtest.h>
#include <malloc.h>

#include "support/gl_test_context.h"
#include "support/scripted_platform.h"
#include "support/test_files.h"

// A picture of one colour per table index, 2 x 2 for index 3 so that its 6-byte rows are not
// 4-byte aligned; an unknown compression makes it unreadable. Gives the pixels written.
static Bytes writePicture(int index, uint32_t compression = 0) {
    const int side = index == 3 ? 2 : 4;
    Bytes rgb, rows;  // rows: blue, green, red, each row padded to 4 bytes
    for (int i = 0; i < side * side; ++i) {
        rgb.insert(rgb.end(), {uint8_t(20 * index), uint8_t(7 + i), uint8_t(255 - index)});
        rows.insert(rows.end(), {uint8_t(255 - index), uint8_t(7 + i), uint8_t(20 * index)});
        if (i % side == side - 1) rows.resize((rows.size() + 3) / 4 * 4);
    }
    std::filesystem::create_directories(std::filesystem::path(textureFiles[index]).parent_path());
    writeFile(textureFiles[index], bitmapFile(side, side, 24, compression, 0, rows, 54));
    return rgb;
}

struct TextureSet : ::testing::Test {
    ScriptedPlatformSession session;
    TempFolder folder;
};

TEST_F(TextureSet, LoadsAllTwelveInTableOrderWithTheirMipmaps) {
    GlTestContext gl(64, 64);
    ASSERT_TRUE(gl.valid());
    Bytes written[textureCount];
    for (int i = 0; i < textureCount; ++i) written[i] = writePicture(i);
    ASSERT_EQ(loadTextureSet(), 1);
    GLint value = 0;
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    for (int i = 0; i < textureCount; ++i) {
        SCOPED_TRACE(textureFiles[i]);
        Bytes texels(written[i].size());
        glBindTexture(GL_TEXTURE_2D, textures[i]);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
        EXPECT_EQ(texels, written[i]);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &value);
        EXPECT_EQ(value, GL_LINEAR_MIPMAP_LINEAR);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &value);
        EXPECT_EQ(value, GL_LINEAR);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, i == 3 ? 1 : 2, GL_TEXTURE_WIDTH, &value);
        EXPECT_EQ(value, 1);  // the whole mipmap chain down to 1 x 1
    }
}

// Every file after the failing one is unreadable, so opening any of them would show the reader's
// message; the only way the set makes texture names is into `textures`, so they must keep theirs.
TEST_F(TextureSet, FirstMissingOrBrokenFileEndsTheLoadWithNoTextureMade) {
    const std::string refusal = "[Error] Image file conversion error. (none, ok)";
    for (const auto& [missing, firstBroken] : {std::pair{0, 1}, {11, 12}, {-1, 8}}) {
        SCOPED_TRACE(missing);
        GlTestContext gl(64, 64);
        ASSERT_TRUE(gl.valid());
        scripted.messageBoxes.clear();
        for (uint32_t& name : textures) name = 999;
        for (const char* file : textureFiles) std::filesystem::remove(file);
        for (int i = 0; i < textureCount; ++i)
            if (i != missing) writePicture(i, i >= firstBroken ? 4 : 0);
        const size_t heldBefore = mallinfo2().uordblks;
        for (int load = 0; load < 20; ++load) EXPECT_EQ(loadTextureSet(), 0);
        for (uint32_t name : textures) EXPECT_EQ(name, 999u);
        // Each load reports only a broken file, by the reader; with none, all it read is freed (20
        // loads, so that a leak outweighs the freed blocks the allocator keeps counting as held).
        EXPECT_EQ(scripted.messageBoxes, std::vector<std::string>(missing < 0 ? 20 : 0, refusal));
        if (missing >= 0) EXPECT_LT(mallinfo2().uordblks, heldBefore + 1024);
    }
}
