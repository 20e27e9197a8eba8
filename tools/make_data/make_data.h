// make_data.h — the pieces of the data generator: pictures in memory, the bitmap writer, the
// procedural painters, the font sheet and the hangar model.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// ---- pictures in memory -------------------------------------------------------------------------

struct Colour {
    float r, g, b;  // 0..1
};

// A true-colour picture, top row first.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<Colour> pixels;
    Colour& at(int x, int y) { return pixels[static_cast<size_t>(y) * width + x]; }
    const Colour& at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// A palette picture, top row first; every index must be below palette.size().
struct IndexedPicture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> indices;
    std::vector<Colour> palette;
    uint8_t& at(int x, int y) { return indices[static_cast<size_t>(y) * width + x]; }
};

Picture makePicture(int width, int height, Colour fill);
IndexedPicture makeIndexedPicture(int width, int height, std::vector<Colour> palette);

// ---- bitmap files -------------------------------------------------------------------------------

// bits 16 (5-5-5), 24 or 32, uncompressed.
void writeTrueColourBitmap(const std::string& path, const Picture& picture, int bits);

enum class IndexedLayout {
    plain,      // uncompressed, 40-byte header
    runLength,  // RLE8 for 8 bits, RLE4 for 4 bits
    coreHeader  // uncompressed, 12-byte header with 3-byte palette entries
};

// bits 1, 4 or 8. The palette may be shorter than the depth allows; the header then names it.
void writeIndexedBitmap(const std::string& path, const IndexedPicture& picture, int bits,
                        IndexedLayout layout);

// Run-length encodings of bottom-up rows, as they go into the file after the headers.
std::vector<uint8_t> encodeRle8(const IndexedPicture& picture);
std::vector<uint8_t> encodeRle4(const IndexedPicture& picture);

// ---- randomness and noise -----------------------------------------------------------------------

// A small seeded generator: the same seed always gives the same pictures.
struct Random {
    uint64_t state;
    explicit Random(uint64_t seed) : state(seed) {}
    uint32_t next();
    float uniform();  // 0 <= u < 1
    float range(float low, float high);
};

// Smooth value noise that tiles: period lattice cells across the unit square, so a picture
// filled from it repeats without a seam.
struct TilingNoise {
    int period;
    std::vector<float> lattice;
    TilingNoise(int period, Random& random);
    float at(float u, float v) const;  // u, v in picture widths; result 0..1
};

// Several octaves of tiling noise, periods doubling from basePeriod; result about 0..1.
float fractalNoise(const std::vector<TilingNoise>& octaves, float u, float v);
std::vector<TilingNoise> makeOctaves(int basePeriod, int count, Random& random);

Colour mix(Colour a, Colour b, float t);
float smoothStep(float edge0, float edge1, float x);
float clamp01(float x);

// ---- the pictures -------------------------------------------------------------------------------

Picture paintGrassAndSoil();
Picture paintGravel();
Picture paintIronPlates();
IndexedPicture paintRainStreak();
IndexedPicture paintAxisColours();
// Coverage of the chain-link wire, 0..1, shared by the fence picture and its mask.
std::vector<float> fenceWireCoverage(int size);
Picture paintFence(const std::vector<float>& coverage, int size);
IndexedPicture paintMask(const std::vector<float>& coverage, int width, int height);
IndexedPicture paintFencePost();
// Coverage of the shrub's leaves and its colours.
std::vector<float> shrubCoverage(int size, Picture* colours);
IndexedPicture paintWood();

// White glyphs on black: set 0 from the regular face in cells 0..95, set 1 from the bold face in
// cells 128..223. Returns false after a message on standard error.
bool paintFontSheet(const std::string& regularFont, const std::string& boldFont,
                    IndexedPicture* sheet);

// ---- the hangar ---------------------------------------------------------------------------------

struct Point3 {
    double x, y, z;
};

struct Triangle3 {
    Point3 corners[3];  // counter-clockwise seen from outside
};

std::vector<Triangle3> buildHangar();
void writeModelFile(const std::string& path, const std::vector<Triangle3>& triangles);
