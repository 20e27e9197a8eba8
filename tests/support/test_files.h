// test_files.h — what the asset tests share: a private temporary folder, files built byte by byte,
// and the pixels taken over from the bitmap reader.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "assets/bitmap_reader.h"

using Bytes = std::vector<uint8_t>;

// A fresh folder, removed with all it holds on destruction; with `enter` set it is the working
// folder meanwhile, so that the program's relative paths land in it.
struct TempFolder {
    std::string path = (std::filesystem::temp_directory_path() / "kalimbor_XXXXXX").string();
    std::filesystem::path previous;
    explicit TempFolder(bool enter = false) {
        if (mkdtemp(path.data()) == nullptr) std::abort();
        if (enter) previous = std::filesystem::current_path(), std::filesystem::current_path(path);
    }
    ~TempFolder() {
        if (!previous.empty()) std::filesystem::current_path(previous);
        std::filesystem::remove_all(path);
    }
};

inline void writeFile(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

inline Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
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
    file = withField(file, 32, colorsUsed);
    if (pixelOffset)
        file = concat(withField(withField(Bytes(14), 0, 'B' | 'M' << 8, 2), 10, pixelOffset), file);
    return concat(file, rest);
}

// The pixels, bottom row first, of what the reader returned, which is freed; none for null.
inline Bytes takePixels(RgbImage* image) {
    if (image == nullptr) return {};
    const Bytes rgb(image->pixels, image->pixels + size_t{3} * image->width * image->height);
    std::free(image->pixels);
    std::free(image);
    return rgb;
}
