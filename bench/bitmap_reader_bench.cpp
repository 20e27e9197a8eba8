// bitmap_reader_bench.cpp — decoding speed of the bitmap reader beside stb_image, on the same
// in-memory files of every accepted variant at 256 × 256 and 1024 × 1024 pixels.
#include <benchmark/benchmark.h>
#include <stb/stb_image.h>

#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "assets/bitmap_reader.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct BenchVariant {
    const char* name;
    uint32_t bits;
    uint32_t compression;
};

const BenchVariant benchVariants[] = {
    {"palette1", 1, 0}, {"palette4", 4, 0}, {"palette8", 8, 0}, {"rle4", 4, 2},
    {"rle8", 8, 1},     {"rgb16", 16, 0},   {"rgb24", 24, 0},   {"rgb32", 32, 0},
};

void put(Bytes& bytes, uint32_t value, int size) {
    for (int at = 0; at < size; ++at) bytes.push_back(static_cast<uint8_t>(value >> 8 * at));
}

// A texture-like picture: blocks of one colour with a scattering of odd pixels, as index or
// channel value 0..255.
uint32_t sample(int x, int y, int channel) {
    const uint32_t noise = (x * 7919u + y * 104729u + channel * 31u) % 97u;
    if (noise < 6) return noise * 41 & 255;
    return ((x / 12) * 37u + (y / 9) * 59u + channel * 83u) & 255;
}

// Run-length rows: runs of one index (or, for 4-bit, of one index pair) become encoded runs,
// the rest absolute runs padded to 16-bit words.
void encodeRunRow(const std::vector<uint8_t>& indices, bool fourBit, Bytes& out) {
    const size_t width = indices.size();
    size_t x = 0;
    while (x < width) {
        size_t run = 1;
        while (x + run < width && run < 255 && indices[x + run] == indices[x]) ++run;
        if (run >= 3 || width - x < 3) {
            out.push_back(static_cast<uint8_t>(run));
            out.push_back(fourBit ? indices[x] << 4 | indices[x] : indices[x]);
            x += run;
            continue;
        }
        size_t literal = 0;
        while (x + literal < width && literal < 254) {
            const size_t at = x + literal;
            if (at + 2 < width && indices[at] == indices[at + 1] && indices[at] == indices[at + 2])
                break;
            ++literal;
        }
        if (literal < 3) literal = 3 <= width - x ? 3 : width - x;
        out.push_back(0);
        out.push_back(static_cast<uint8_t>(literal));
        const size_t start = out.size();
        for (size_t i = 0; i < literal; ++i) {
            if (!fourBit)
                out.push_back(indices[x + i]);
            else if (i % 2 == 0)
                out.push_back(indices[x + i] << 4);
            else
                out.back() |= indices[x + i];
        }
        if ((out.size() - start) & 1) out.push_back(0);
        x += literal;
    }
    out.push_back(0), out.push_back(0);
}

Bytes makeFile(const BenchVariant& variant, int side) {
    const uint32_t bits = variant.bits;
    const uint32_t paletteSize = bits <= 8 ? 1u << bits : 0;
    Bytes pixels;
    for (int y = 0; y < side; ++y) {
        std::vector<uint8_t> indices(side);
        for (int x = 0; x < side; ++x)
            indices[x] = sample(x, y, 0) % (paletteSize ? paletteSize : 1);
        if (variant.compression) {
            encodeRunRow(indices, bits == 4, pixels);
            continue;
        }
        const size_t rowStart = pixels.size();
        for (int x = 0; x < side; ++x) {
            if (bits == 16) {
                put(pixels,
                    sample(x, y, 0) >> 3 << 10 | sample(x, y, 1) >> 3 << 5 | sample(x, y, 2) >> 3,
                    2);
            } else if (bits >= 24) {
                for (int c = 2; c >= 0; --c) pixels.push_back(sample(x, y, c));
                if (bits == 32) pixels.push_back(0);
            } else if (bits == 8) {
                pixels.push_back(indices[x]);
            } else {
                const int slot = x % (8 / bits);
                if (slot == 0) pixels.push_back(0);
                pixels.back() |= indices[x] << (8 - bits - slot * bits);
            }
        }
        while ((pixels.size() - rowStart) % 4) pixels.push_back(0);
    }
    if (variant.compression) pixels.push_back(0), pixels.push_back(1);

    Bytes file = {'B', 'M'};
    const uint32_t pixelOffset = 14 + 40 + 4 * paletteSize;
    put(file, pixelOffset + pixels.size(), 4), put(file, 0, 4), put(file, pixelOffset, 4);
    put(file, 40, 4), put(file, side, 4), put(file, side, 4), put(file, 1, 2), put(file, bits, 2);
    put(file, variant.compression, 4), put(file, pixels.size(), 4), put(file, 2835, 4);
    put(file, 2835, 4), put(file, paletteSize, 4), put(file, 0, 4);
    for (uint32_t i = 0; i < paletteSize; ++i)
        put(file, sample(i, 3, 0) | sample(i, 5, 1) << 8 | sample(i, 7, 2) << 16, 4);
    file.insert(file.end(), pixels.begin(), pixels.end());
    return file;
}

const Bytes& benchFile(const BenchVariant& variant, int side, bool uncompressed = false) {
    static std::map<std::string, Bytes> files;
    const BenchVariant plain = {variant.name, variant.bits, 0};
    const std::string key =
        std::string(variant.name) + std::to_string(side) + (uncompressed ? "u" : "");
    auto found = files.find(key);
    if (found == files.end())
        found = files.emplace(key, makeFile(uncompressed ? plain : variant, side)).first;
    return found->second;
}

void decodeWithReader(benchmark::State& state, const BenchVariant* variant, int side) {
    const Bytes& file = benchFile(*variant, side);
    for (auto _ : state) {
        RgbImage* image = decodeBitmapFile(file.data(), file.size());
        if (!image) {
            state.SkipWithError("the reader refused the file");
            return;
        }
        benchmark::DoNotOptimize(image->pixels);
        free(image->pixels);
        free(image);
    }
    state.SetBytesProcessed(state.iterations() * 3 * side * side);
}

// stb_image reads no run-length bitmaps; its rows for them decode the uncompressed file of the
// same picture, the nearest work it can do.
void decodeWithStb(benchmark::State& state, const BenchVariant* variant, int side) {
    const Bytes& file = benchFile(*variant, side, variant->compression != 0);
    for (auto _ : state) {
        int width, height, channels;
        stbi_uc* pixels = stbi_load_from_memory(file.data(), static_cast<int>(file.size()), &width,
                                                &height, &channels, 3);
        if (!pixels) {
            state.SkipWithError(stbi_failure_reason());
            return;
        }
        benchmark::DoNotOptimize(pixels);
        stbi_image_free(pixels);
    }
    state.SetBytesProcessed(state.iterations() * 3 * side * side);
}

const bool registered = [] {
    for (int side : {256, 1024}) {
        for (const BenchVariant& variant : benchVariants) {
            const std::string name =
                std::string("BitmapDecode/") + variant.name + "/" + std::to_string(side);
            benchmark::RegisterBenchmark((name + "/reader").c_str(), decodeWithReader, &variant,
                                         side);
            benchmark::RegisterBenchmark(
                (name + (variant.compression ? "/stb_image_uncompressed" : "/stb_image")).c_str(),
                decodeWithStb, &variant, side);
        }
    }
    return true;
}();

}  // namespace
