// The data the build generates: every picture reads back through the viewer's own reader in the
// variant intended, and the hangar is a closed, outward-facing solid that stands where the world
// puts it.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <map>

#include "assets/model.h"
#include "scene/world.h"
#include "support/test_files.h"

namespace {

const std::string dataFolder = KALIMBOR_DATA_DIR "/";

TEST(GeneratedPictures, ReadBackInTheirIntendedVariants) {
    const struct {
        const char* name;
        int32_t width, height;
        uint32_t headerSize, bits, compression;
    } expected[] = {
        {"Tex/Pismo/font.bmp", 256, 256, 40, 8, 0},      {"Tex/Ciary/00.bmp", 16, 16, 40, 4, 0},
        {"Tex/plot.bmp", 256, 256, 40, 16, 0},           {"Tex/plot_maska.bmp", 256, 256, 40, 1, 0},
        {"Tex/plot_tycka.bmp", 64, 256, 12, 8, 0},       {"Tex/Zuvo/zuvo.bmp", 256, 256, 40, 32, 0},
        {"Tex/Zuvo/zuvo_maska.bmp", 256, 256, 40, 4, 2}, {"Tex/zem.bmp", 256, 256, 40, 24, 0},
        {"Tex/drevo.bmp", 256, 256, 40, 8, 0},           {"Tex/dazd.bmp", 128, 128, 40, 8, 1},
        {"Tex/cesta.bmp", 256, 256, 40, 24, 0},          {"Tex/zelezo.bmp", 256, 256, 40, 24, 0}};
    for (const auto& e : expected) {
        SCOPED_TRACE(e.name);
        const Bytes file = readFile(dataFolder + e.name);
        ASSERT_GE(file.size(), 34u);
        EXPECT_EQ(file[0] | file[1] << 8, 'B' | 'M' << 8);
        EXPECT_EQ(file[14], e.headerSize);
        EXPECT_EQ(file[e.headerSize == 12 ? 24 : 28], e.bits);
        if (e.headerSize == 40) EXPECT_EQ(file[30], e.compression);
        const DecodedImage image = takeImage(readBitmapFile((dataFolder + e.name).c_str()));
        EXPECT_EQ(image.width, e.width);
        EXPECT_EQ(image.height, e.height);
    }
    // The axis cross colours its half-axes by texels at the corners of the lines picture.
    const DecodedImage lines = takeImage(readBitmapFile((dataFolder + "Tex/Ciary/00.bmp").c_str()));
    ASSERT_EQ(lines.rgb.size(), 16u * 16 * 3);
    for (int i : {0, 15, 240, 255})
        for (int j : {0, 15, 240, 255}) {
            int distance = 0;
            for (int c = 0; c < 3; ++c)
                distance += std::abs(lines.rgb[3 * i + c] - lines.rgb[3 * j + c]);
            if (i < j) EXPECT_GT(distance, 150) << i << " " << j;
        }
}

using Vec = std::array<double, 3>;
using Triangle = std::array<Vec, 3>;

Vec sub(const Vec& a, const Vec& b) {
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}
Vec cross(const Vec& a, const Vec& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
double dot(const Vec& a, const Vec& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

std::vector<Triangle> hangar() {
    loadModel((dataFolder + "STL/hangar.rin").c_str());
    std::vector<Triangle> triangles(triangleModel.triangleCount);
    for (size_t t = 0; t < triangles.size(); ++t)
        for (int c = 0; c < 3; ++c)
            for (int k = 0; k < 3; ++k)
                triangles[t][c][k] = triangleModel.triangles[t].corners[c][k];
    return triangles;
}

// Crossings of the segment from a to b with the surface.
int crossings(const std::vector<Triangle>& triangles, const Vec& a, const Vec& b) {
    const Vec direction = sub(b, a);
    int hits = 0;
    for (const Triangle& t : triangles) {
        const Vec e1 = sub(t[1], t[0]), e2 = sub(t[2], t[0]), p = cross(direction, e2);
        const double det = dot(e1, p);
        if (std::fabs(det) < 1e-12) continue;
        const Vec s = sub(a, t[0]), q = cross(s, e1);
        const double u = dot(s, p) / det, v = dot(direction, q) / det, along = dot(e2, q) / det;
        hits += u > 0 && v > 0 && u + v < 1 && along > 0 && along < 1;
    }
    return hits;
}

// Every edge is run once each way, so the surface is closed, and the volume it encloses is
// positive, so every face points outwards; the hall is open through both doors and walled above.
TEST(GeneratedHangar, IsAClosedOutwardFacingSolidWithADoorAtEachEnd) {
    const std::vector<Triangle> triangles = hangar();
    ASSERT_GE(triangles.size(), 200u);
    EXPECT_LE(triangles.size(), 1000u);
    std::map<std::pair<Vec, Vec>, int> edges;
    double volume = 0;
    for (const Triangle& t : triangles) {
        for (int c = 0; c < 3; ++c) ++edges[{t[c], t[(c + 1) % 3]}];
        volume += dot(t[0], cross(t[1], t[2])) / 6;
    }
    for (const auto& [edge, count] : edges) {
        EXPECT_EQ(count, 1);
        EXPECT_EQ(edges.count({edge.second, edge.first}), 1u);
    }
    EXPECT_GT(volume, 0);
    EXPECT_EQ(crossings(triangles, {100.3, -10, 30.1}, {100.3, 260, 30.1}), 0);
    EXPECT_EQ(crossings(triangles, {100.3, -10, 90.1}, {100.3, 260, 90.1}), 4);
}

// About 200 x 250 x 100 from its corner at the origin: the four places stand apart on the yard,
// clear of the boxes.
TEST(GeneratedHangar, WorldPlacesStandApartOnTheGround) {
    Vec low{1e9, 1e9, 1e9}, high{-1e9, -1e9, -1e9};
    for (const Triangle& t : hangar())
        for (const Vec& corner : t)
            for (int k = 0; k < 3; ++k) {
                low[k] = std::min(low[k], corner[k]);
                high[k] = std::max(high[k], corner[k]);
            }
    EXPECT_EQ(low, (Vec{0, 0, 0}));
    EXPECT_NEAR(high[0], 200, 1e-3);
    EXPECT_NEAR(high[1], 250, 1e-3);
    EXPECT_NEAR(high[2], 100, 1e-3);
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

}  // namespace
