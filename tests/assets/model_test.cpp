// The hangar's model file: the count-and-vertex form, its line rules, damaged files, and drawing.
#include "assets/model.h"

#include <gtest/gtest.h>
#include <malloc.h>

#include "assets/texture_set.h"
#include "support/gl_test_context.h"
#include "support/scripted_platform.h"

// Every corner read, x, y, z one after another.
static std::vector<float> load(const std::string& text) {
    FILE* file = fmemopen(const_cast<char*>(text.data()), text.size(), "r");
    loadModelFromFile(file);
    std::fclose(file);
    std::vector<float> all;
    for (int t = 0; t < triangleModel.triangleCount; ++t)
        for (const float* c : triangleModel.triangles[t].corners) all.insert(all.end(), c, c + 3);
    EXPECT_EQ(triangleModel.triangles == nullptr, all.empty());
    return all;
}

TEST(Model, ReadsTheCountAndVertexFormLineByLine) {
    ScriptedPlatformSession session;
    const std::pair<std::string, std::vector<float>> cases[] = {
        // Structure and blank lines (LF or CR LF; a lone CR ends none) are skipped by their first
        // character; another line (a facet normal, say) takes a vertex's place: the last one again.
        {"solid x\r\n\npocet 2\nvertex 1.5e+01 -2 3.25\r\n\r\nsolid\nouter loop\r\n"
         "      vertex 4\r5 6\nendloop\r\n  facet normal 0 0 1\n      vertex 7\r\n  endloop\n"
         "      vertex 8 9 10\r\n",
         {15, -2, 3.25f, 4, 5, 6, 4, 5, 6, 7, 5, 6, 7, 5, 6, 8, 9, 10}},
        // One read takes 254 characters; the rest of a longer line is a line of its own.
        {"pocet 1\nvertex 1 2 3\n" + std::string(254, ' ') + "vertex 4 5 6\n",
         {1, 2, 3, 1, 2, 3, 4, 5, 6}},
        // Corners a short file never supplies are zero, so every triangle can still be drawn.
        {"pocet 2\nvertex 1 2 3\nvertex 4 5 6\nvertex 7 8 9\nv\n",
         {1, 2, 3, 4, 5, 6, 7, 8, 9, 7, 8, 9, 0, 0, 0, 0, 0, 0}},
        // Counts the file cannot hold are refused: three lines of at least two bytes each.
        {"pocet 2000000000\nvertex 1 1 1\nvertex 1 1 1\nvertex 1 1 1\n", {}},
        {"pocet 500\n" + std::string(2998, '\n'), {}},
        {"pocet 0\n", {}},
    };
    for (const auto& [file, corners] : cases) EXPECT_EQ(load(file), corners) << file;
    // Reloading frees what the previous load took; 3000 bytes are just room for 500 triangles.
    const std::string big = "pocet 500\n" + std::string(3000, '\n');
    ASSERT_EQ(load(big).size(), 4500u);
    const size_t before = mallinfo2().uordblks;
    for (int i = 0; i < 50; ++i) load(big);
    EXPECT_LT(mallinfo2().uordblks, before + 500 * sizeof(ModelTriangle));
    // Without its file the model is empty, not the previous one (the message: see the opening).
    loadModel("/missing");
    EXPECT_TRUE(triangleModel.triangles == nullptr && triangleModel.triangleCount == 0);
}

TEST(Model, DrawsEachTriangleAtTheOffsetWithModelTextureCoordinates) {
    GlTestContext gl(400, 400);
    ASSERT_TRUE(gl.valid());
    loadPixelExactProjection(400, 400);
    glGenTextures(textureCount, textures);
    load(
        "pocet 2\nvertex 100 300 7\nvertex 110 300 7\nvertex 100 310 7\nvertex 25 75 0\n"
        "vertex 35 75 0\nvertex 25 85 0\n");
    const auto drawn = captureFeedback([] { drawModel(10, 20, 30, 5); });
    ASSERT_EQ(drawn.size(), 2u);
    const FeedbackVertex &first = drawn[0].vertices.at(0), &second = drawn[1].vertices.at(0);
    const float seen[] = {first.x, first.y, first.s, first.t, second.x, second.s, second.t};
    const float wanted[] = {110, 320, 2, 2, 35, 0.5f, 0.5f};
    for (int i = 0; i < 7; ++i) EXPECT_FLOAT_EQ(seen[i], wanted[i]) << i;
    EXPECT_NEAR(first.z, 0.5 - 37 / 2000.0, 1e-5);  // depth of z = 37 in the -1000..1000 range
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<uint32_t>(bound), textures[5]);
    load("pocet 0\n");
}
