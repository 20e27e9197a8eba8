// The hangar the build generates: a closed, outward-facing solid where the world puts it.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <map>

#include "assets/model.h"
#include "scene/world.h"

// Read, it leaves no file open. Every edge is run once each way, so the surface is closed, and the
// volume it encloses is positive, so every face points outwards. About 200 x 250 x 100 from its
// corner at the origin, its four places stand apart on the yard, clear of the boxes.
TEST(GeneratedData, HangarIsAClosedOutwardFacingSolidThatStandsApart) {
    using Vec = std::array<double, 3>;
    const auto openBefore = std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {});
    loadModel(KALIMBOR_DATA_DIR "/STL/hangar.rin");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}), openBefore);
    ASSERT_TRUE(triangleModel.triangleCount >= 200 && triangleModel.triangleCount <= 1000);
    std::map<std::pair<Vec, Vec>, int> edges;
    double volume = 0;
    Vec low{1e9, 1e9, 1e9}, high{-1e9, -1e9, -1e9};
    for (int i = 0; i < triangleModel.triangleCount; ++i) {
        Vec t[3];
        for (int c = 0; c < 3; ++c)
            for (int k = 0; k < 3; ++k) t[c][k] = triangleModel.triangles[i].corners[c][k];
        for (int c = 0; c < 3; ++c) ++edges[{t[c], t[(c + 1) % 3]}];
        // Six times the signed volume of the tetrahedron from the origin: t0 . (t1 x t2).
        volume += t[0][0] * (t[1][1] * t[2][2] - t[1][2] * t[2][1]) +
                  t[0][1] * (t[1][2] * t[2][0] - t[1][0] * t[2][2]) +
                  t[0][2] * (t[1][0] * t[2][1] - t[1][1] * t[2][0]);
    }
    for (const auto& [edge, count] : edges) {  // every corner starts an edge
        EXPECT_TRUE(count == 1 && edges.count({edge.second, edge.first}) == 1);
        for (int k = 0; k < 3; ++k)
            low[k] = std::min(low[k], edge.first[k]), high[k] = std::max(high[k], edge.first[k]);
    }
    EXPECT_GT(volume, 0);
    EXPECT_EQ(low, (Vec{0, 0, 0}));
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(high[k], (Vec{200, 250, 100})[k], 1e-3);
    using Area = std::array<double, 4>;  // x0, y0, x1, y1
    auto overlap = [](const Area& a, const Area& b) {
        return a[0] < b[2] && b[0] < a[2] && a[1] < b[3] && b[1] < a[3];
    };
    std::vector<Area> placed;
    for (const HangarPlace& place : hangarPlaces) {
        const Area a = {place.x, place.y, place.x + high[0], place.y + high[1]};
        EXPECT_TRUE(a[0] >= 0 && a[1] >= 0 && a[2] <= 2000 && a[3] <= 4800);
        for (const Area& other : placed) EXPECT_FALSE(overlap(a, other));
        for (const IronBox& box : ironBoxes)
            EXPECT_FALSE(overlap(a, {box.x - box.sizeX, box.y, box.x, box.y + box.sizeY}));
        placed.push_back(a);
    }
}
