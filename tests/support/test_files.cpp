// test_files.cpp — temporary folders, byte-built files and decoded images for the tests.
#include "support/test_files.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

TempFolder::TempFolder(bool enter) {
    std::string pattern = (std::filesystem::temp_directory_path() / "kalimbor_XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    path = pattern;
    if (!enter) return;
    previous_ = std::filesystem::current_path().string();
    std::filesystem::current_path(path);
}

TempFolder::~TempFolder() {
    if (!previous_.empty()) std::filesystem::current_path(previous_);
    std::filesystem::remove_all(path);
}

void writeFile(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

Bytes withField(Bytes file, size_t at, uint32_t value, int size) {
    for (int i = 0; i < size; ++i) file[at + i] = static_cast<uint8_t>(value >> 8 * i);
    return file;
}

Bytes concat(Bytes first, const Bytes& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

Bytes bitmapFile(int32_t width, int32_t height, uint32_t bits, uint32_t compression,
                 uint32_t colorsUsed, const Bytes& rest, uint32_t pixelOffset) {
    Bytes file = withField(withField(withField(Bytes(40), 0, 40), 4, width), 8, height);
    file = withField(withField(withField(file, 12, 1, 2), 14, bits, 2), 16, compression);
    file = withField(file, 32, colorsUsed);
    if (pixelOffset)
        file = concat(withField(withField(Bytes(14), 0, 'B' | 'M' << 8, 2), 10, pixelOffset), file);
    return concat(file, rest);
}

Bytes trueColourBitmap(int32_t width, int32_t height, const Bytes& rgb) {
    Bytes rows;
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const uint8_t* p = &rgb[3 * (size_t(y) * width + x)];
            rows.insert(rows.end(), {p[2], p[1], p[0]});
        }
        rows.resize((rows.size() + 3) / 4 * 4);
    }
    return bitmapFile(width, height, 24, 0, 0, rows, 54);
}

DecodedImage takeImage(RgbImage* image) {
    DecodedImage taken;
    if (image == nullptr) return taken;
    taken.width = image->width;
    taken.height = image->height;
    taken.rgb.assign(image->pixels, image->pixels + size_t{3} * image->width * image->height);
    std::free(image->pixels);
    std::free(image);
    return taken;
}
