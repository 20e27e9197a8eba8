// The data the build generates: every picture reads back through the viewer's own reader in the
// variant intended and shows what it should, and the hangar is a closed, outward-facing solid
// that stands where the world puts it.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <numeric>
#include <string>
#include <vector>

#include "assets/bitmap_reader.h"
#include "assets/model.h"
#include "scene/world.h"

namespace {

const std::string dataFolder = KALIMBOR_DATA_DIR;

struct Image {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;  // bottom row first
    const uint8_t* at(int x, int yFromTop) const {
        return &rgb[3 * ((height - 1 - yFromTop) * width + x)];
    }
    int brightness(int x, int yFromTop) const {
        const uint8_t* p = at(x, yFromTop);
        return p[0] + p[1] + p[2];
    }
};

Image readPicture(const std::string& name) {
    Image image;
    RgbImage* read = readBitmapFile((dataFolder + "/" + name).c_str());
    if (read == nullptr) return image;
    image.width = read->width;
    image.height = read->height;
    image.rgb.assign(read->pixels, read->pixels + 3 * read->width * read->height);
    std::free(read->pixels);
    std::free(read);
    return image;
}

std::vector<uint8_t> fileStart(const std::string& name, size_t bytes) {
    std::vector<uint8_t> start(bytes, 0);
    FILE* file = std::fopen((dataFolder + "/" + name).c_str(), "rb");
    if (file == nullptr) return {};
    start.resize(std::fread(start.data(), 1, bytes, file));
    std::fclose(file);
    return start;
}

uint32_t field(const std::vector<uint8_t>& bytes, size_t offset, int size) {
    uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) value = value << 8 | bytes[offset + i];
    return value;
}

// Ink of one 16 x 16 cell of the font sheet, in total and as the mean row (0 = top).
struct CellInk {
    long total = 0;
    long pastAdvance = 0;  // in the 4 columns the next glyph overlaps
    double meanRow = 0;
};

CellInk cellInk(const Image& sheet, int cell) {
    CellInk ink;
    double rowSum = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            int b = sheet.brightness(cell % 16 * 16 + x, cell / 16 * 16 + y);
            ink.total += b;
            if (x >= 12) ink.pastAdvance += b;
            rowSum += double(b) * y;
        }
    if (ink.total > 0) ink.meanRow = rowSum / ink.total;
    return ink;
}

double meanBrightness(const Image& image, const Image& mask, bool underBlack) {
    double sum = 0;
    long count = 0;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            if ((mask.brightness(x, y) == 0) == underBlack) {
                sum += image.brightness(x, y);
                ++count;
            }
    return count > 0 ? sum / count : 0;
}

// The step from the last column to the first (and last row to first) must look like any step
// inside the picture: no larger than the largest mean step between two neighbouring columns.
// Each value is the mean of an 8-pixel run along the seam, so fine grain does not hide a jump.
double seamToLargestStep(const Image& image, bool columns) {
    int w = columns ? image.width : image.height, h = columns ? image.height : image.width;
    auto value = [&](int across, int along) {
        double sum = 0;
        for (int k = 0; k < 8; ++k)
            sum += columns ? image.brightness(across, (along + k) % h)
                           : image.brightness((along + k) % h, across);
        return sum / 8;
    };
    auto step = [&](int a, int b) {
        double sum = 0;
        for (int along = 0; along < h; ++along) sum += std::fabs(value(a, along) - value(b, along));
        return sum / h;
    };
    double largest = 0;
    for (int across = 0; across + 1 < w; ++across)
        largest = std::max(largest, step(across, across + 1));
    return step(w - 1, 0) / largest;
}

}  // namespace

// ---- pictures -----------------------------------------------------------------------------------

TEST(GeneratedPictures, ReadBackInTheirIntendedVariants) {
    struct Expected {
        const char* name;
        int width, height;
        uint32_t headerSize, bits, compression;
    };
    const Expected expected[] = {
        {"Tex/Pismo/font.bmp", 256, 256, 40, 8, 0},      {"Tex/Ciary/00.bmp", 16, 16, 40, 4, 0},
        {"Tex/plot.bmp", 256, 256, 40, 16, 0},           {"Tex/plot_maska.bmp", 256, 256, 40, 1, 0},
        {"Tex/plot_tycka.bmp", 64, 256, 12, 8, 0},       {"Tex/Zuvo/zuvo.bmp", 256, 256, 40, 32, 0},
        {"Tex/Zuvo/zuvo_maska.bmp", 256, 256, 40, 4, 2}, {"Tex/zem.bmp", 256, 256, 40, 24, 0},
        {"Tex/drevo.bmp", 256, 256, 40, 8, 0},           {"Tex/dazd.bmp", 128, 128, 40, 8, 1},
        {"Tex/cesta.bmp", 256, 256, 40, 24, 0},          {"Tex/zelezo.bmp", 256, 256, 40, 24, 0}};
    for (const Expected& e : expected) {
        SCOPED_TRACE(e.name);
        std::vector<uint8_t> start = fileStart(e.name, 34);
        ASSERT_EQ(start.size(), 34u);
        EXPECT_EQ(start[0], 'B');
        EXPECT_EQ(start[1], 'M');
        EXPECT_EQ(field(start, 14, 4), e.headerSize);
        if (e.headerSize == 40) {
            EXPECT_EQ(field(start, 28, 2), e.bits);
            EXPECT_EQ(field(start, 30, 4), e.compression);
        } else {
            EXPECT_EQ(field(start, 24, 2), e.bits);
        }
        Image image = readPicture(e.name);
        EXPECT_EQ(image.width, e.width);
        EXPECT_EQ(image.height, e.height);
    }
}

TEST(GeneratedPictures, FontSheetHoldsBothGlyphSetsInTheirCells) {
    Image sheet = readPicture("Tex/Pismo/font.bmp");
    ASSERT_EQ(sheet.width, 256);
    long regular = 0, bold = 0;
    for (int cell = 0; cell < 256; ++cell) {
        SCOPED_TRACE(cell);
        CellInk ink = cellInk(sheet, cell);
        EXPECT_EQ(ink.pastAdvance, 0);
        bool printable = (cell >= 1 && cell <= 94) || (cell >= 129 && cell <= 222);
        if (printable)
            EXPECT_GT(ink.total, 0);
        else
            EXPECT_EQ(ink.total, 0);
        (cell < 128 ? regular : bold) += ink.total;
    }
    EXPECT_GT(bold, regular * 11 / 10);
    // Top row first: the underscore sits low in its cell, the apostrophe high.
    EXPECT_GT(cellInk(sheet, '_' - 32).meanRow, 11);
    EXPECT_LT(cellInk(sheet, '\'' - 32).meanRow, 7);
    const uint8_t* stem = nullptr;
    for (int y = 0; y < 16 && stem == nullptr; ++y)
        for (int x = 0; x < 12 && stem == nullptr; ++x)
            if (sheet.brightness(16 * ('H' - 32) % 256 + x, ('H' - 32) / 16 * 16 + y) >= 750)
                stem = sheet.at(16 * ('H' - 32) % 256 + x, ('H' - 32) / 16 * 16 + y);
    ASSERT_NE(stem, nullptr) << "no white in the letter H";
    EXPECT_TRUE(stem[0] == stem[1] && stem[1] == stem[2]);
}

// The axis cross colours its half-axes by the texels at its picture's corners, and rain lines
// are coloured by the corners of theirs, which must therefore be pale.
TEST(GeneratedPictures, CornersCarryTheLineColours) {
    Image lines = readPicture("Tex/Ciary/00.bmp");
    ASSERT_EQ(lines.width, 16);
    const uint8_t* corners[4] = {lines.at(0, 0), lines.at(15, 0), lines.at(0, 15),
                                 lines.at(15, 15)};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < i; ++j) {
            int distance = 0;
            for (int c = 0; c < 3; ++c) distance += std::abs(corners[i][c] - corners[j][c]);
            EXPECT_GT(distance, 150) << i << " " << j;
        }
    Image rain = readPicture("Tex/dazd.bmp");
    ASSERT_GT(rain.width, 0);
    for (const uint8_t* p : {rain.at(0, 0), rain.at(rain.width - 1, 0), rain.at(0, rain.height - 1),
                             rain.at(rain.width - 1, rain.height - 1)}) {
        EXPECT_GT(p[0], 140);
        EXPECT_GE(p[2], p[0]);
    }
}

TEST(GeneratedPictures, MasksCutOutTheirPictures) {
    const char* pairs[2][2] = {{"Tex/plot.bmp", "Tex/plot_maska.bmp"},
                               {"Tex/Zuvo/zuvo.bmp", "Tex/Zuvo/zuvo_maska.bmp"}};
    for (const auto& pair : pairs) {
        SCOPED_TRACE(pair[0]);
        Image picture = readPicture(pair[0]);
        Image mask = readPicture(pair[1]);
        ASSERT_EQ(picture.width, mask.width);
        ASSERT_EQ(picture.height, mask.height);
        for (uint8_t byte : mask.rgb) ASSERT_TRUE(byte == 0 || byte == 255);
        EXPECT_GT(meanBrightness(picture, mask, true), 4 * meanBrightness(picture, mask, false));
    }
}

TEST(GeneratedPictures, RepeatedPicturesTileWithoutSeams) {
    for (const char* name : {"Tex/zem.bmp", "Tex/cesta.bmp", "Tex/zelezo.bmp"}) {
        SCOPED_TRACE(name);
        Image image = readPicture(name);
        ASSERT_GT(image.width, 0);
        EXPECT_LT(seamToLargestStep(image, true), 1);
        EXPECT_LT(seamToLargestStep(image, false), 1);
    }
}

// ---- the hangar ---------------------------------------------------------------------------------

namespace {

using Vec = std::array<double, 3>;

Vec sub(const Vec& a, const Vec& b) {
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}
Vec cross(const Vec& a, const Vec& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
double dot(const Vec& a, const Vec& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

struct Hangar {
    std::vector<std::array<Vec, 3>> triangles;
    Vec low{1e9, 1e9, 1e9}, high{-1e9, -1e9, -1e9};
};

const Hangar& hangar() {
    static Hangar loaded = [] {
        Hangar h;
        loadModel((dataFolder + "/STL/hangar.rin").c_str());
        for (int t = 0; t < triangleModel.triangleCount; ++t) {
            std::array<Vec, 3> tri;
            for (int c = 0; c < 3; ++c) {
                const float* p = triangleModel.triangles[t].corners[c];
                tri[c] = {p[0], p[1], p[2]};
                for (int k = 0; k < 3; ++k) {
                    h.low[k] = std::min(h.low[k], tri[c][k]);
                    h.high[k] = std::max(h.high[k], tri[c][k]);
                }
            }
            h.triangles.push_back(tri);
        }
        return h;
    }();
    return loaded;
}

// Crossings of the segment from a to b with the surface (Moller-Trumbore).
int crossings(const Vec& a, const Vec& b) {
    Vec direction = sub(b, a);
    int hits = 0;
    for (const auto& t : hangar().triangles) {
        Vec e1 = sub(t[1], t[0]), e2 = sub(t[2], t[0]);
        Vec p = cross(direction, e2);
        double det = dot(e1, p);
        if (std::fabs(det) < 1e-12) continue;
        Vec s = sub(a, t[0]);
        double u = dot(s, p) / det;
        Vec q = cross(s, e1);
        double v = dot(direction, q) / det, along = dot(e2, q) / det;
        if (u > 0 && v > 0 && u + v < 1 && along > 0 && along < 1) ++hits;
    }
    return hits;
}

}  // namespace

// Every edge is met by exactly one other triangle running it the other way, the mesh hangs
// together, and the volume it encloses is positive: together, every face points outwards.
TEST(GeneratedHangar, IsOneClosedOutwardFacingSolid) {
    const Hangar& h = hangar();
    ASSERT_GE(h.triangles.size(), 200u);
    EXPECT_LE(h.triangles.size(), 1000u);
    std::map<Vec, int> ids;
    std::map<std::pair<int, int>, int> edges;
    double volume = 0;
    for (const auto& t : h.triangles) {
        double area = std::sqrt(
            dot(cross(sub(t[1], t[0]), sub(t[2], t[0])), cross(sub(t[1], t[0]), sub(t[2], t[0]))));
        EXPECT_GT(area, 1e-3);
        int id[3];
        for (int c = 0; c < 3; ++c) id[c] = ids.emplace(t[c], int(ids.size())).first->second;
        for (int c = 0; c < 3; ++c) ++edges[{id[c], id[(c + 1) % 3]}];
        volume += dot(t[0], cross(t[1], t[2])) / 6;
    }
    std::vector<int> group(ids.size());
    std::iota(group.begin(), group.end(), 0);
    auto root = [&](int i) {
        while (group[i] != i) i = group[i] = group[group[i]];
        return i;
    };
    for (const auto& [edge, count] : edges) {
        EXPECT_EQ(count, 1);
        auto reverse = edges.find({edge.second, edge.first});
        EXPECT_TRUE(reverse != edges.end() && reverse->second == 1);
        group[root(edge.first)] = root(edge.second);
    }
    for (size_t i = 0; i < group.size(); ++i) EXPECT_EQ(root(int(i)), root(0));
    EXPECT_GT(volume, 0);
}

TEST(GeneratedHangar, HasItsSizeAndADoorAtEachEnd) {
    const Hangar& h = hangar();
    EXPECT_EQ(h.low, (Vec{0, 0, 0}));
    EXPECT_NEAR(h.high[0], 200, 1e-3);
    EXPECT_NEAR(h.high[1], 250, 1e-3);
    EXPECT_NEAR(h.high[2], 100, 1e-3);
    // Through both doors along the hall, and through end walls and roof above them.
    EXPECT_EQ(crossings({100.3, -10, 30.1}, {100.3, 260, 30.1}), 0);
    EXPECT_EQ(crossings({100.3, -10, 90.1}, {100.3, 260, 90.1}), 4);
    EXPECT_EQ(crossings({-10, 125.3, 30.1}, {210, 125.3, 30.1}), 4);
    EXPECT_EQ(crossings({100.3, 125.3, 50}, {100.3, 125.3, 150}), 2);
}

TEST(GeneratedHangar, WorldPlacesStandApartOnTheGround) {
    const Hangar& h = hangar();
    struct Area {
        double x0, y0, x1, y1;
    };
    auto overlap = [](const Area& a, const Area& b) {
        return a.x0 < b.x1 && b.x0 < a.x1 && a.y0 < b.y1 && b.y0 < a.y1;
    };
    std::vector<Area> placed;
    for (const HangarPlace& place : hangarPlaces) {
        Area a = {place.x + h.low[0], place.y + h.low[1], place.x + h.high[0], place.y + h.high[1]};
        EXPECT_TRUE(a.x0 >= 0 && a.y0 >= 0 && a.x1 <= 2000 && a.y1 <= 4800);
        for (const Area& other : placed) EXPECT_FALSE(overlap(a, other));
        for (const IronBox& box : ironBoxes)
            EXPECT_FALSE(overlap(a, {box.x - box.sizeX, box.y, box.x, box.y + box.sizeY}));
        placed.push_back(a);
    }
}
