// test_files.h — what the asset tests share: a working folder, files built byte by byte, pixels.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "assets/bitmap_reader.h"

using Bytes = std::vector<uint8_t>;

// A fresh working folder while it lives, removed with all it holds on destruction.
struct TempFolder {
    const std::filesystem::path previous = std::filesystem::current_path();
    std::string path = (std::filesystem::temp_directory_path() / "kalimbor_XXXXXX").string();
    TempFolder() {
        if (mkdtemp(path.data()) == nullptr) std::abort();
        std::filesystem::current_path(path);
    }
    ~TempFolder() {
        std::filesystem::current_path(previous);
        std::filesystem::remove_all(path);
    }
};

inline void writeFile(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary) << std::string(bytes.begin(), bytes.end());
}

inline Bytes readFile(const std::string& path) {
    return Bytes(std::istreambuf_iterator<char>(std::ifstream(path, std::ios::binary).rdbuf()), {});
}

// `file` with the little-endian `value` in its `size` bytes from `at`.
inline Bytes withField(Bytes file, size_t at, uint32_t value, int size = 4) {
    for (int i = 0; i < size; ++i) file[at + i] = static_cast<uint8_t>(value >> 8 * i);
    return file;
}

inline Bytes concat(Bytes first, const Bytes& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

// A 40-byte bitmap header and what follows it, behind a file header when pixelOffset is not 0.
inline Bytes bitmapFile(int32_t width, int32_t height, uint32_t bits, uint32_t compression,
                        uint32_t colorsUsed, const Bytes& rest, uint32_t pixelOffset = 0) {
    Bytes file = withField(withField(withField(Bytes(40), 0, 40), 4, width), 8, height);
    file = withField(withField(withField(file, 12, 1, 2), 14, bits, 2), 16, compression);
    file = concat(withField(file, 32, colorsUsed), rest);
    if (!pixelOffset) return file;
    return concat(withField(withField(Bytes(14), 0, 'B' | 'M' << 8, 2), 10, pixelOffset), file);
}

// The pixels, bottom row first, of what the reader returned, which is freed; none for null.
inline Bytes takePixels(RgbImage* image) {
    if (image == nullptr) return {};
    const Bytes rgb(image->pixels, image->pixels + size_t{3} * image->width * image->height);
    std::free(image->pixels);
    std::free(image);
    return rgb;
}
