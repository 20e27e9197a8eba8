// The hangar's model file: the count-and-vertex form, its line rules, damaged files, and drawing.
#include "assets/model.h"

#include <GL/gl.h>
#include <gtest/gtest.h>
#include <malloc.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "assets/texture_set.h"
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

struct Corner {
    float x, y, z;
    bool operator==(const Corner& o) const { return x == o.x && y == o.y && z == o.z; }
};

std::vector<Corner> corners() {
    std::vector<Corner> all;
    for (int t = 0; t < triangleModel.triangleCount; ++t)
        for (const float* c : triangleModel.triangles[t].corners) all.push_back({c[0], c[1], c[2]});
    return all;
}

class Model : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/kalimbor_model_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
        recording = sdlPlatformLayer;
        recording.messageBox = recordMessageBox;
        recording.getFocus = noFocus;
        previousPlatform = platform;
        platform = &recording;
        shownMessages.clear();
        load("pocet 0\n");  // start every test from an empty model
    }
    void TearDown() override {
        platform = previousPlatform;
        std::filesystem::remove_all(folder);
    }
    void load(const std::string& text) {
        std::string path = folder + "/model.rin";
        FILE* file = std::fopen(path.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
        loadModel(path.c_str());
    }

    std::string folder;
    PlatformLayer recording{};
    const PlatformLayer* previousPlatform = nullptr;
};

const char* const exampleFile =
    "solid hangar\npocet 1\nouter loop\n      vertex 0 0 0\n      vertex 100 0 0\n"
    "      vertex 0 150 0\nendloop\nendfacet\nendsolid hangar\n";

}  // namespace

TEST_F(Model, ReadsTheCountAndVertexForm) {
    load(exampleFile);
    ASSERT_EQ(triangleModel.triangleCount, 1);
    EXPECT_EQ(corners(), (std::vector<Corner>{{0, 0, 0}, {100, 0, 0}, {0, 150, 0}}));
}

// Structure lines at the first column and blank lines are skipped; anything else, such as an
// indented facet normal line, takes a vertex's place and repeats the vertex before it.
TEST_F(Model, SkipsStructureLinesByFirstCharacterOnly) {
    load(
        "pocet 2\nvertex 1.5e+01 -2 3.25\n\nsolid\nouter loop\n      vertex 4 5 6\n"
        "endloop\n  facet normal 0 0 1\n      vertex 7\n  endloop\n      vertex 8 9 10\n");
    EXPECT_EQ(corners(),
              (std::vector<Corner>{
                  {15, -2, 3.25f}, {4, 5, 6}, {4, 5, 6}, {7, 5, 6}, {7, 5, 6}, {8, 9, 10}}));
}

TEST_F(Model, ReadsCrLfLikeLf) {
    const std::string lf =
        "solid x\n\npocet 2\nouter loop\nvertex 1 2 3\n\nvertex 4 5 6\n  facet\nendloop\n"
        "vertex 7 8 9\nvertex 10 11 12\n";
    std::string crlf;
    for (char c : lf) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    load(lf);
    std::vector<Corner> fromLf = corners();
    load(crlf);
    EXPECT_EQ(corners(), fromLf);
    EXPECT_EQ(fromLf.size(), 6u);
}

// One read takes 254 characters; the rest of a longer line comes back as a line of its own.
TEST_F(Model, SplitsLongLines) {
    load("pocet 1\nvertex 1 2 3" + std::string(250, ' ') + "9\nvertex 4 5 6\n");
    EXPECT_EQ(corners(), (std::vector<Corner>{{1, 2, 3}, {1, 2, 3}, {4, 5, 6}}));
}

// A count the file cannot hold is refused; corners a short file never supplies are zero, so every
// announced triangle can be drawn; a missing file leaves an empty model and the user is told.
TEST_F(Model, DamagedOrMissingFilesLeaveADrawableModel) {
    load("pocet -3\nvertex 1 1 1\n");
    EXPECT_EQ(triangleModel.triangleCount, 0);
    load("pocet 2000000000\nvertex 1 1 1\nvertex 1 1 1\nvertex 1 1 1\n");
    EXPECT_EQ(triangleModel.triangleCount, 0);
    EXPECT_EQ(triangleModel.triangles, nullptr);
    load("pocet 2\nvertex 1 2 3\nvertex 4 5 6\nvertex 7 8 9\nv\n");
    EXPECT_EQ(corners(), (std::vector<Corner>{
                             {1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {7, 8, 9}, {0, 0, 0}, {0, 0, 0}}));
    EXPECT_TRUE(shownMessages.empty());

    std::string path = folder + "/none.rin";
    loadModel(path.c_str());
    EXPECT_EQ(triangleModel.triangleCount, 0);
    EXPECT_EQ(triangleModel.triangles, nullptr);
    EXPECT_EQ(shownMessages,
              std::vector<std::string>{"Error: Failed to open model file " + path + "."});
}

TEST_F(Model, ReloadingDoesNotLeak) {
    std::string big = "pocet 500\n";
    for (int i = 0; i < 1500; ++i) big += "vertex 1 2 3\n";
    load(big);
    size_t before = mallinfo2().uordblks;
    for (int i = 0; i < 50; ++i) load(big);
    EXPECT_LT(mallinfo2().uordblks, before + 500 * sizeof(ModelTriangle));
}

TEST_F(Model, DrawsEachTriangleAtTheOffsetWithModelTextureCoordinates) {
    GlTestContext gl(400, 400);
    ASSERT_TRUE(gl.valid());
    loadPixelExactProjection(400, 400);
    glGenTextures(textureCount, textures);
    load(
        "pocet 2\nvertex 100 300 7\nvertex 110 300 7\nvertex 100 310 7\n"
        "vertex 25 75 0\nvertex 35 75 0\nvertex 25 85 0\n");
    auto primitives = captureFeedback([] { drawModel(10, 20, 30, 5); });
    ASSERT_EQ(primitives.size(), 2u);
    ASSERT_EQ(primitives[0].vertices.size(), 3u);
    const FeedbackVertex& corner = primitives[0].vertices[0];
    EXPECT_FLOAT_EQ(corner.x, 110);
    EXPECT_FLOAT_EQ(corner.y, 320);
    EXPECT_NEAR(corner.z, 0.5 - 37 / 2000.0, 1e-5);  // depth of z = 37 in the -1000..1000 range
    EXPECT_FLOAT_EQ(corner.s, 2);
    EXPECT_FLOAT_EQ(corner.t, 2);
    EXPECT_FLOAT_EQ(primitives[1].vertices[0].s, 0.5f);
    EXPECT_FLOAT_EQ(primitives[1].vertices[0].t, 0.5f);
    EXPECT_FLOAT_EQ(primitives[1].vertices[0].x, 35);

    load("pocet 0\n");
    EXPECT_TRUE(captureFeedback([] { drawModel(0, 0, 0, 7); }).empty());
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<uint32_t>(bound), textures[7]);
}
