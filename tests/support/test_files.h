// test_files.h — what the asset and generator tests share: a private temporary folder, files
// built byte by byte, and images taken over from the bitmap reader.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "assets/bitmap_reader.h"

using Bytes = std::vector<uint8_t>;

// A fresh folder removed with all it holds on destruction; with `enter` set it is the working
// folder meanwhile, so that the program's relative paths land in it.
class TempFolder {
public:
    explicit TempFolder(bool enter = false);
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    std::string path;

private:
    std::string previous_;
};

void writeFile(const std::string& path, const Bytes& bytes);
Bytes readFile(const std::string& path);

// `file` with the little-endian `value` in its `size` bytes from `at`.
Bytes withField(Bytes file, size_t at, uint32_t value, int size = 4);
Bytes concat(Bytes first, const Bytes& second);

// A 40-byte bitmap header and what follows it, behind a file header when pixelOffset is not 0.
Bytes bitmapFile(int32_t width, int32_t height, uint32_t bits, uint32_t compression,
                 uint32_t colorsUsed, const Bytes& rest, uint32_t pixelOffset = 0);
// A 24-bit bitmap file of red, green, blue pixels given bottom row first.
Bytes trueColourBitmap(int32_t width, int32_t height, const Bytes& rgb);

struct DecodedImage {
    int32_t width = 0, height = 0;
    Bytes rgb;  // bottom row first
};
// Takes over and frees what the reader returned; null gives an empty image.
DecodedImage takeImage(RgbImage* image);
