// bitmap_reader.h — Windows bitmap files into tightly packed RGB images.
#pragma once

#include <cstddef>
#include <cstdint>

struct RgbImage {
    int32_t width;
    int32_t height;
    uint8_t* pixels;  // 3 * width * height bytes, bottom row first, red, green, blue
};

// Reads one bitmap file. Returns a malloc'd image (free pixels, then the record), or null after
// one message box with caption "Error".
RgbImage* readBitmapFile(const char* path);

// Decodes the bytes of a whole bitmap file already in memory, with the same result and the same
// messages as readBitmapFile.
RgbImage* decodeBitmapFile(const uint8_t* bytes, size_t size);
