// The twelve textures: all or nothing, in table order, and every picture uploaded exactly as read.
#include "assets/texture_set.h"

#include <GL/gl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/gl_test_context.h"

namespace {

std::vector<std::string> shownMessages;

int32_t recordMessageBox(WindowHandle, const char* text, const char* caption, uint32_t) {
    shownMessages.push_back(std::string(caption) + ": " + text);
    return messageBoxAnswerOk;
}

WindowHandle noFocus() {
    return nullptr;
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// A 24-bit bitmap; colours are red, green, blue per pixel, bottom row first.
void writeBitmap(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb,
                 uint32_t headerSize = 40) {
    int rowBytes = (3 * width + 3) / 4 * 4;
    std::vector<uint8_t> out = {'B', 'M'};
    put32(out, 14 + headerSize + rowBytes * height);
    put32(out, 0);
    put32(out, 14 + headerSize);
    put32(out, headerSize);
    put32(out, width);
    put32(out, height);
    put32(out, 1 | 24 << 16);  // planes, bits per pixel
    out.resize(14 + headerSize, 0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint8_t* p = &rgb[3 * (y * width + x)];
            out.insert(out.end(), {p[2], p[1], p[0]});
        }
        out.resize(out.size() + rowBytes - 3 * width, 0);
    }
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    std::fwrite(out.data(), 1, out.size(), file);
    std::fclose(file);
}

// 4 x 4, one colour per table index.
void writeSolid(int index, uint32_t headerSize = 40) {
    std::vector<uint8_t> rgb;
    for (int i = 0; i < 16; ++i)
        rgb.insert(rgb.end(), {uint8_t(20 * index), 7, uint8_t(255 - index)});
    writeBitmap(textureFiles[index], 4, 4, rgb, headerSize);
}

std::vector<uint8_t> levelZero(uint32_t texture, int width, int height) {
    std::vector<uint8_t> texels(3 * width * height);
    glBindTexture(GL_TEXTURE_2D, texture);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
    return texels;
}

// A working folder of its own with an empty Tex tree, and message boxes recorded, not shown.
class TextureSet : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/kalimbor_textures_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
        previousFolder = std::filesystem::current_path();
        std::filesystem::current_path(folder);
        for (const char* sub : {"Tex/Pismo", "Tex/Ciary", "Tex/Zuvo"})
            std::filesystem::create_directories(sub);
        recording = sdlPlatformLayer;
        recording.messageBox = recordMessageBox;
        recording.getFocus = noFocus;
        previousPlatform = platform;
        platform = &recording;
        shownMessages.clear();
        for (uint32_t& name : textures) name = 999;
    }
    void TearDown() override {
        platform = previousPlatform;
        std::filesystem::current_path(previousFolder);
        std::filesystem::remove_all(folder);
    }
    // A fresh context hands out names from 1: anything else means the failed load made some.
    static void expectNoTextureCreated() {
        GLuint probe = 0;
        glGenTextures(1, &probe);
        EXPECT_EQ(probe, 1u);
        for (uint32_t name : textures) EXPECT_EQ(name, 999u);
    }

    std::string folder;
    std::filesystem::path previousFolder;
    PlatformLayer recording{};
    const PlatformLayer* previousPlatform = nullptr;
    GlTestContext gl{64, 64};
};

}  // namespace

TEST_F(TextureSet, LoadsAllTwelveInTableOrder) {
    ASSERT_TRUE(gl.valid());
    for (int i = 0; i < textureCount; ++i) writeSolid(i);
    ASSERT_EQ(loadTextureSet(), 1);
    EXPECT_TRUE(shownMessages.empty());

    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<uint32_t>(bound), textures[11]);
    for (int i = 0; i < textureCount; ++i) {
        SCOPED_TRACE(textureFiles[i]);
        for (int j = 0; j < i; ++j) EXPECT_NE(textures[i], textures[j]);
        std::vector<uint8_t> texels = levelZero(textures[i], 4, 4);
        EXPECT_EQ(texels[0], 20 * i);
        EXPECT_EQ(texels[2], 255 - i);
        GLint minFilter = 0, magFilter = 0, smallestLevel = 0;
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &magFilter);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 2, GL_TEXTURE_WIDTH, &smallestLevel);
        EXPECT_EQ(minFilter, GL_LINEAR_MIPMAP_LINEAR);
        EXPECT_EQ(magFilter, GL_LINEAR);
        EXPECT_EQ(smallestLevel, 1);  // the whole mipmap chain down to 1 x 1
    }
}

// Every later file is unreadable, so opening any of them would show the reader's message.
TEST_F(TextureSet, MissingFontSheetFailsQuietlyBeforeOpeningOthers) {
    ASSERT_TRUE(gl.valid());
    for (int i = 1; i < textureCount; ++i) writeSolid(i, 108);
    EXPECT_EQ(loadTextureSet(), 0);
    EXPECT_TRUE(shownMessages.empty());
    expectNoTextureCreated();
}

TEST_F(TextureSet, MissingLastFileCreatesNothing) {
    ASSERT_TRUE(gl.valid());
    for (int i = 0; i < textureCount - 1; ++i) writeSolid(i);
    EXPECT_EQ(loadTextureSet(), 0);
    EXPECT_TRUE(shownMessages.empty());
    expectNoTextureCreated();
}

TEST_F(TextureSet, UnreadableFileStopsWithTheReadersMessage) {
    ASSERT_TRUE(gl.valid());
    for (int i = 0; i < textureCount; ++i) writeSolid(i, i >= 8 ? 108 : 40);
    EXPECT_EQ(loadTextureSet(), 0);
    EXPECT_EQ(shownMessages, std::vector<std::string>{"Error: Unknown DIB file format."});
    expectNoTextureCreated();
}

// Rows of 6 bytes: read with GL's default 4-byte row alignment, the second row would start two
// bytes late and run past the end of the pixel block.
TEST_F(TextureSet, OddWidthPictureUploadsRowByRow) {
    ASSERT_TRUE(gl.valid());
    for (int i = 0; i < textureCount; ++i) writeSolid(i);
    const std::vector<uint8_t> rgb = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120};
    writeBitmap(textureFiles[3], 2, 2, rgb);
    ASSERT_EQ(loadTextureSet(), 1);
    EXPECT_EQ(levelZero(textures[3], 2, 2), rgb);
    GLint alignment = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    EXPECT_EQ(alignment, 4);  // the GL default again for whoever uploads next
}
