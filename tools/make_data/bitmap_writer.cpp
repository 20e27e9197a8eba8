// bitmap_writer.cpp — writes pictures as Windows bitmap files in the variants the viewer reads.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "make_data.h"

Picture makePicture(int width, int height, Colour fill) {
    Picture picture;
    picture.width = width;
    picture.height = height;
    picture.pixels.assign(static_cast<size_t>(width) * height, fill);
    return picture;
}

IndexedPicture makeIndexedPicture(int width, int height, std::vector<Colour> palette) {
    IndexedPicture picture;
    picture.width = width;
    picture.height = height;
    picture.indices.assign(static_cast<size_t>(width) * height, 0);
    picture.palette = std::move(palette);
    return picture;
}

// ---- little-endian byte output ------------------------------------------------------------------

static void put16(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

static void put32(std::vector<uint8_t>& out, uint32_t value) {
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

static uint8_t toByte(float channel) {
    return static_cast<uint8_t>(std::lround(clamp01(channel) * 255.0f));
}

static void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) throw std::runtime_error("cannot create " + path);
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (std::fclose(file) != 0 || !written) throw std::runtime_error("cannot write " + path);
}

// The file header, then the 40-byte info header; the pixel data starts right after the palette.
static std::vector<uint8_t> infoHeaders(int width, int height, int bits, uint32_t compression,
                                        uint32_t paletteEntries, uint32_t imageBytes) {
    std::vector<uint8_t> out;
    uint32_t dataOffset = 14 + 40 + 4 * paletteEntries;
    out.push_back('B');
    out.push_back('M');
    put32(out, dataOffset + imageBytes);
    put32(out, 0);
    put32(out, dataOffset);
    put32(out, 40);
    put32(out, static_cast<uint32_t>(width));
    put32(out, static_cast<uint32_t>(height));  // positive: bottom row first
    put16(out, 1);
    put16(out, static_cast<uint32_t>(bits));
    put32(out, compression);
    put32(out, imageBytes);
    put32(out, 2835);  // 72 dots per inch
    put32(out, 2835);
    put32(out, bits <= 8 && paletteEntries == (1u << bits) ? 0 : paletteEntries);
    put32(out, 0);
    return out;
}

static uint32_t paddedRowBytes(int width, int bits) {
    return ((static_cast<uint32_t>(width) * bits + 31) / 32) * 4;
}

void writeTrueColourBitmap(const std::string& path, const Picture& picture, int bits) {
    uint32_t rowBytes = paddedRowBytes(picture.width, bits);
    std::vector<uint8_t> out =
        infoHeaders(picture.width, picture.height, bits, 0, 0, rowBytes * picture.height);
    for (int y = picture.height - 1; y >= 0; --y) {
        size_t rowStart = out.size();
        for (int x = 0; x < picture.width; ++x) {
            const Colour& c = picture.at(x, y);
            if (bits == 16) {
                auto five = [](float channel) {
                    return static_cast<uint32_t>(std::lround(clamp01(channel) * 31.0f));
                };
                put16(out, (five(c.r) << 10) | (five(c.g) << 5) | five(c.b));
            } else {
                out.push_back(toByte(c.b));
                out.push_back(toByte(c.g));
                out.push_back(toByte(c.r));
                if (bits == 32) out.push_back(0);
            }
        }
        out.resize(rowStart + rowBytes, 0);
    }
    writeFile(path, out);
}

// ---- palette pictures ---------------------------------------------------------------------------

static std::vector<uint8_t> packRows(const IndexedPicture& picture, int bits) {
    std::vector<uint8_t> out;
    uint32_t rowBytes = paddedRowBytes(picture.width, bits);
    int perByte = 8 / bits;
    for (int y = picture.height - 1; y >= 0; --y) {
        std::vector<uint8_t> row(rowBytes, 0);
        for (int x = 0; x < picture.width; ++x) {
            int shift = 8 - bits * (x % perByte + 1);
            row[x / perByte] |= static_cast<uint8_t>(
                picture.indices[static_cast<size_t>(y) * picture.width + x] << shift);
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

void writeIndexedBitmap(const std::string& path, const IndexedPicture& picture, int bits,
                        IndexedLayout layout) {
    uint32_t entries = static_cast<uint32_t>(picture.palette.size());
    if (entries == 0 || entries > (1u << bits)) throw std::runtime_error("bad palette: " + path);
    for (uint8_t index : picture.indices)
        if (index >= entries) throw std::runtime_error("index past the palette: " + path);

    std::vector<uint8_t> out;
    std::vector<uint8_t> data;
    if (layout == IndexedLayout::coreHeader) {
        // The core form has no colours-used field: its palette is always full.
        entries = 1u << bits;
        data = packRows(picture, bits);
        uint32_t dataOffset = 14 + 12 + 3 * entries;
        out.push_back('B');
        out.push_back('M');
        put32(out, dataOffset + static_cast<uint32_t>(data.size()));
        put32(out, 0);
        put32(out, dataOffset);
        put32(out, 12);
        put16(out, static_cast<uint32_t>(picture.width));
        put16(out, static_cast<uint32_t>(picture.height));
        put16(out, 1);
        put16(out, static_cast<uint32_t>(bits));
        for (uint32_t i = 0; i < entries; ++i) {
            Colour c = i < picture.palette.size() ? picture.palette[i] : Colour{0, 0, 0};
            out.push_back(toByte(c.b));
            out.push_back(toByte(c.g));
            out.push_back(toByte(c.r));
        }
    } else {
        uint32_t compression = 0;
        if (layout == IndexedLayout::runLength) {
            if (bits != 8 && bits != 4) throw std::runtime_error("no run-length form: " + path);
            data = bits == 8 ? encodeRle8(picture) : encodeRle4(picture);
            compression = bits == 8 ? 1 : 2;
        } else {
            data = packRows(picture, bits);
        }
        out = infoHeaders(picture.width, picture.height, bits, compression, entries,
                          static_cast<uint32_t>(data.size()));
        for (const Colour& c : picture.palette) {
            out.push_back(toByte(c.b));
            out.push_back(toByte(c.g));
            out.push_back(toByte(c.r));
            out.push_back(0);
        }
    }
    out.insert(out.end(), data.begin(), data.end());
    writeFile(path, out);
}

// ---- run-length encoding ------------------------------------------------------------------------
// A row is cut into runs of one index (written as count, index) and stretches of differing indices
// (written in absolute mode: 0, count, the indices, padded to an even byte count). Absolute mode
// needs at least three pixels, so shorter stretches go out as runs of one or two. Each row ends
// with 0, 0 and the picture with 0, 1.

// Length of the run of equal indices starting at x, at most 255.
static int runLength(const uint8_t* row, int width, int x) {
    int length = 1;
    while (x + length < width && length < 255 && row[x + length] == row[x]) ++length;
    return length;
}

// Length of the stretch starting at x that holds no run of three or more, at most 255.
static int literalLength(const uint8_t* row, int width, int x) {
    int length = 0;
    while (x + length < width && length < 255 && runLength(row, width, x + length) < 3) ++length;
    return length;
}

template <typename PutRun, typename PutLiteral>
static std::vector<uint8_t> encodeRows(const IndexedPicture& picture, PutRun putRun,
                                       PutLiteral putLiteral) {
    std::vector<uint8_t> out;
    for (int y = picture.height - 1; y >= 0; --y) {
        const uint8_t* row = &picture.indices[static_cast<size_t>(y) * picture.width];
        int x = 0;
        while (x < picture.width) {
            int literal = literalLength(row, picture.width, x);
            if (literal >= 3) {
                out.push_back(0);
                out.push_back(static_cast<uint8_t>(literal));
                putLiteral(out, row + x, literal);
                x += literal;
            } else {
                int run = literal > 0 ? 1 : runLength(row, picture.width, x);
                out.push_back(static_cast<uint8_t>(run));
                putRun(out, row[x]);
                x += run;
            }
        }
        out.push_back(0);
        out.push_back(0);
    }
    out.push_back(0);
    out.push_back(1);
    return out;
}

std::vector<uint8_t> encodeRle8(const IndexedPicture& picture) {
    return encodeRows(
        picture, [](std::vector<uint8_t>& out, uint8_t index) { out.push_back(index); },
        [](std::vector<uint8_t>& out, const uint8_t* indices, int count) {
            out.insert(out.end(), indices, indices + count);
            if (count % 2 != 0) out.push_back(0);
        });
}

std::vector<uint8_t> encodeRle4(const IndexedPicture& picture) {
    return encodeRows(
        picture,
        [](std::vector<uint8_t>& out, uint8_t index) {
            out.push_back(static_cast<uint8_t>(index << 4 | index));
        },
        [](std::vector<uint8_t>& out, const uint8_t* indices, int count) {
            int bytes = (count + 1) / 2;
            for (int i = 0; i < bytes; ++i) {
                uint8_t high = indices[2 * i];
                uint8_t low = 2 * i + 1 < count ? indices[2 * i + 1] : 0;
                out.push_back(static_cast<uint8_t>(high << 4 | low));
            }
            if (bytes % 2 != 0) out.push_back(0);
        });
}
