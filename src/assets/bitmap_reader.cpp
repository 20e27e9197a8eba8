// bitmap_reader.cpp — Windows bitmap files into tightly packed, bottom-first RGB images, parsed in
// place from a read-only mapping of the file.
#include "assets/bitmap_reader.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/platform.h"

// The reader's three messages besides the open failure. Which one a bad file gets:
// - "Unknown DIB file format." when the file cannot even hold the header it starts, or that header
//   is neither the 12-byte nor the 40-byte form;
// - "Image file conversion error." when the header is readable but what it describes cannot be
//   turned into pixels: impossible fields, a colour table, masks or pixel data that the file does
//   not hold in full, run-length data that runs off the end, palette indices beyond the table;
// - "Out of memory." when the picture is larger than maxBitmapSide either way (no texture is ever
//   that large, and a forged header must not make us commit gigabytes) or an allocation fails.
static const char outOfMemoryText[] = "Out of memory.";
static const char unknownFormatText[] = "Unknown DIB file format.";
static const char conversionErrorText[] = "Image file conversion error.";

constexpr int32_t maxBitmapSide = 16384;
constexpr size_t fileHeaderSize = 14;
constexpr uint32_t coreHeaderSize = 12;
constexpr uint32_t infoHeaderSize = 40;
constexpr uint32_t bitFieldsSize = 12;

constexpr uint32_t compressionNone = 0;
constexpr uint32_t compressionRle8 = 1;
constexpr uint32_t compressionRle4 = 2;
constexpr uint32_t compressionBitFields = 3;

// Everything the headers say about the pixels, already checked against the end of the file.
struct BitmapLayout {
    int32_t width;
    int32_t height;  // always positive; topDown tells the row order of the file
    bool topDown;
    uint32_t bitsPerPixel;
    uint32_t compression;
    uint32_t masks[3];      // red, green, blue, for 16- and 32-bit pixels
    uint32_t palette[256];  // red, green, blue, 0 in memory order; unused entries 0
    uint32_t paletteCount;  // entries a pixel may index
    const uint8_t* pixelData;
    size_t pixelDataSize;  // from pixelData to the end of the file
};

static void reportBitmapFailure(const char* text) {
    platform->messageBox(text, "Error", MessageButtons::ok, MessageIcon::none);
}

static void reportOpenFailure(const char* path) {
    reportBitmapFailure(("Failed to open DIB file " + std::string(path) + ".\n").c_str());
}

static uint32_t readU16(const uint8_t* bytes) {
    return bytes[0] | bytes[1] << 8;
}

static uint32_t readU32(const uint8_t* bytes) {
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

// Colour-table entry count for a bitmap header of either form.
static uint16_t colorTableSize(const void* bitmapHeader) {
    const uint8_t* header = static_cast<const uint8_t*>(bitmapHeader);
    const bool core = readU32(header) == coreHeaderSize;
    const uint32_t bitsPerPixel = readU16(header + (core ? 10 : 14));
    if (!core && readU32(header + 32) != 0) return static_cast<uint16_t>(readU32(header + 32));
    switch (bitsPerPixel) {
        case 1:
            return 2;
        case 4:
            return 16;
        case 8:
            return 256;
        default:
            return 0;
    }
}

static bool depthAccepts(uint32_t bitsPerPixel, uint32_t compression) {
    switch (compression) {
        case compressionNone:
            return bitsPerPixel == 1 || bitsPerPixel == 4 || bitsPerPixel == 8 ||
                   bitsPerPixel == 16 || bitsPerPixel == 24 || bitsPerPixel == 32;
        case compressionRle8:
            return bitsPerPixel == 8;
        case compressionRle4:
            return bitsPerPixel == 4;
        case compressionBitFields:
            return bitsPerPixel == 16 || bitsPerPixel == 32;
        default:
            return false;
    }
}

// A channel mask must be one run of bits inside the pixel; an empty mask is a channel that is
// always 0.
static bool maskUsable(uint32_t mask, uint32_t bitsPerPixel) {
    if (bitsPerPixel < 32 && (mask >> bitsPerPixel) != 0) return false;
    if (mask == 0) return true;
    const uint32_t lowest = mask & (~mask + 1);
    return ((mask + lowest) & mask) == 0;
}

// Reads the headers' fields into the layout. Returns the failure message, or null.
static const char* readHeaderFields(const uint8_t* header, BitmapLayout* layout) {
    int64_t height;
    uint32_t planes;
    if (readU32(header) == coreHeaderSize) {
        layout->width = static_cast<int32_t>(readU16(header + 4));
        height = readU16(header + 6);
        planes = readU16(header + 8);
        layout->bitsPerPixel = readU16(header + 10);
        layout->compression = compressionNone;
    } else {
        layout->width = static_cast<int32_t>(readU32(header + 4));
        height = static_cast<int32_t>(readU32(header + 8));
        planes = readU16(header + 12);
        layout->bitsPerPixel = readU16(header + 14);
        layout->compression = readU32(header + 16);
    }
    layout->topDown = height < 0;
    if (height < 0) height = -height;
    if (layout->width <= 0 || height == 0 || planes != 1 ||
        !depthAccepts(layout->bitsPerPixel, layout->compression))
        return conversionErrorText;
    // Run-length bitmaps are bottom-up by definition; a top-down one is malformed.
    if (layout->topDown && layout->compression != compressionNone &&
        layout->compression != compressionBitFields)
        return conversionErrorText;
    if (layout->width > maxBitmapSide || height > maxBitmapSide) return outOfMemoryText;
    layout->height = static_cast<int32_t>(height);
    return nullptr;
}

// Takes the channel masks: those of the file for bit fields, else the fixed layouts of 5-5-5 and
// blue-green-red-unused pixels.
static const char* readMasks(const uint8_t* masks, BitmapLayout* layout) {
    if (layout->compression == compressionBitFields) {
        for (int channel = 0; channel < 3; ++channel) {
            layout->masks[channel] = readU32(masks + 4 * channel);
            if (!maskUsable(layout->masks[channel], layout->bitsPerPixel))
                return conversionErrorText;
        }
    } else if (layout->bitsPerPixel == 16) {
        layout->masks[0] = 0x7C00;  // five bits each
        layout->masks[1] = 0x03E0;
        layout->masks[2] = 0x001F;
    } else {
        layout->masks[0] = 0xFF0000;
        layout->masks[1] = 0xFF00;
        layout->masks[2] = 0xFF;
    }
    return nullptr;
}

// Builds the palette from the colour table; a table longer than the depth can index keeps its
// first entries, the rest only take up room in the file.
static void readPalette(const uint8_t* table, uint32_t entrySize, uint32_t entryCount,
                        BitmapLayout* layout) {
    const uint32_t indexable = layout->bitsPerPixel <= 8 ? 1u << layout->bitsPerPixel : 0;
    layout->paletteCount = entryCount < indexable ? entryCount : indexable;
    memset(layout->palette, 0, sizeof layout->palette);
    for (uint32_t index = 0; index < layout->paletteCount; ++index) {
        const uint8_t* entry = table + entrySize * index;
        const uint8_t rgb[4] = {entry[2], entry[1], entry[0], 0};
        memcpy(&layout->palette[index], rgb, 4);
    }
}

// Parses the optional file header, the bitmap header, the masks and the colour table, and finds
// the pixel data. Returns the failure message, or null.
static const char* readLayout(const uint8_t* bytes, size_t size, BitmapLayout* layout) {
    const bool fileHeader = size >= 2 && bytes[0] == 'B' && bytes[1] == 'M';
    const size_t headerStart = fileHeader ? fileHeaderSize : 0;
    if (size < headerStart + 4) return unknownFormatText;
    const uint8_t* header = bytes + headerStart;
    const uint32_t headerSize = readU32(header);
    if (headerSize != coreHeaderSize && headerSize != infoHeaderSize) return unknownFormatText;
    if (size - headerStart < headerSize) return unknownFormatText;

    if (const char* failure = readHeaderFields(header, layout)) return failure;
    const uint32_t entryCount = colorTableSize(header);
    const uint32_t entrySize = headerSize == coreHeaderSize ? 3 : 4;
    const size_t maskBytes = layout->compression == compressionBitFields ? bitFieldsSize : 0;
    const size_t tableStart = headerStart + headerSize + maskBytes;
    const size_t tableEnd = tableStart + size_t{entrySize} * entryCount;
    if (tableEnd > size) return conversionErrorText;
    if (const char* failure = readMasks(header + headerSize, layout)) return failure;
    readPalette(bytes + tableStart, entrySize, entryCount, layout);

    size_t pixelStart = tableEnd;
    if (fileHeader) {
        pixelStart = readU32(bytes + 10);
        // Pixel data that starts inside the headers, or over masks that the writer therefore
        // never wrote, describes nothing we could draw.
        if (pixelStart < headerStart + headerSize + maskBytes) return conversionErrorText;
    }
    if (pixelStart > size) return conversionErrorText;
    layout->pixelData = bytes + pixelStart;
    layout->pixelDataSize = size - pixelStart;
    return nullptr;
}

// ---------------------------------------------------------------------------------------------
// Uncompressed rows. Each converts one stored row into one tightly packed RGB row.
// ---------------------------------------------------------------------------------------------

// Palette lookup through 4-byte stores: each store also writes the first byte of the next pixel,
// which that pixel then overwrites, so only the last pixel of the row is stored bytewise.
static void lookUpRow(const uint8_t* indices, int32_t width, const uint32_t* palette,
                      uint8_t* out) {
    int32_t x = 0;
    for (; x + 1 < width; ++x) memcpy(out + 3 * x, &palette[indices[x]], 4);
    memcpy(out + 3 * x, &palette[indices[x]], 3);
}

static bool indicesInPalette(const uint8_t* indices, int32_t width, uint32_t paletteCount) {
    uint8_t largest = 0;
    for (int32_t x = 0; x < width; ++x) largest = indices[x] > largest ? indices[x] : largest;
    return largest < paletteCount;
}

static void unpackIndices(const uint8_t* row, int32_t width, uint32_t bitsPerPixel,
                          uint8_t* indices) {
    if (bitsPerPixel == 4) {
        for (int32_t x = 0; x + 1 < width; x += 2, ++row) {
            indices[x] = *row >> 4;
            indices[x + 1] = *row & 0x0F;
        }
        if (width & 1) indices[width - 1] = row[0] >> 4;
    } else {
        for (int32_t x = 0; x < width; ++x) indices[x] = (row[x >> 3] >> (7 - (x & 7))) & 1;
    }
}

static void swapRow24(const uint8_t* row, int32_t width, uint8_t* out) {
    for (int32_t x = 0; x < width; ++x, row += 3, out += 3) {
        out[0] = row[2];
        out[1] = row[1];
        out[2] = row[0];
    }
}

static void swapRow32(const uint8_t* row, int32_t width, uint8_t* out) {
    for (int32_t x = 0; x < width; ++x, row += 4, out += 3) {
        out[0] = row[2];
        out[1] = row[1];
        out[2] = row[0];
    }
}

// One channel of a masked pixel: the masked bits moved down to at most 8 bits, then widened to 8
// bits by repeating them, so that a full channel stays full (5-bit 31 gives 255).
struct MaskedChannel {
    uint32_t mask;
    uint32_t shift;
    uint8_t widened[256];
};

static void prepareChannel(uint32_t mask, MaskedChannel* channel) {
    uint32_t shift = 0, bits = 0;
    if (mask != 0) {
        while (!((mask >> shift) & 1)) ++shift;
        while (shift + bits < 32 && ((mask >> (shift + bits)) & 1)) ++bits;
    }
    if (bits > 8) {  // a wider channel keeps its top 8 bits
        shift += bits - 8;
        bits = 8;
    }
    channel->mask = mask;
    channel->shift = shift;
    for (uint32_t value = 0; value < 256; ++value) {
        uint32_t wide = 0;
        if (bits > 0 && value < (1u << bits))
            for (int32_t at = 8 - static_cast<int32_t>(bits); at > -static_cast<int32_t>(bits);
                 at -= bits)
                wide |= at >= 0 ? value << at : value >> -at;
        channel->widened[value] = static_cast<uint8_t>(wide);
    }
}

static void maskRow(const uint8_t* row, int32_t width, uint32_t bytesPerPixel,
                    const MaskedChannel* channels, uint8_t* out) {
    for (int32_t x = 0; x < width; ++x, row += bytesPerPixel, out += 3) {
        const uint32_t pixel = bytesPerPixel == 2 ? readU16(row) : readU32(row);
        for (int channel = 0; channel < 3; ++channel)
            out[channel] =
                channels[channel]
                    .widened[(pixel & channels[channel].mask) >> channels[channel].shift];
    }
}

static const char* convertRows(const BitmapLayout& layout, uint8_t* out) {
    const int32_t width = layout.width;
    const uint32_t bitsPerPixel = layout.bitsPerPixel;
    const size_t stride = (size_t{static_cast<uint32_t>(width)} * bitsPerPixel + 31) / 32 * 4;
    const size_t lastRowBytes = (size_t{static_cast<uint32_t>(width)} * bitsPerPixel + 7) / 8;
    // The last row's padding may be missing: only bytes that hold pixels are required.
    if (stride * (layout.height - 1) + lastRowBytes > layout.pixelDataSize)
        return conversionErrorText;

    const bool fixedOrder32 = bitsPerPixel == 32 && layout.masks[0] == 0xFF0000 &&
                              layout.masks[1] == 0xFF00 && layout.masks[2] == 0xFF;
    MaskedChannel channels[3];
    if (bitsPerPixel >= 16 && bitsPerPixel != 24 && !fixedOrder32)
        for (int channel = 0; channel < 3; ++channel)
            prepareChannel(layout.masks[channel], &channels[channel]);
    const bool checkIndices = bitsPerPixel <= 8 && layout.paletteCount < (1u << bitsPerPixel);
    uint8_t indices[maxBitmapSide];

    for (int32_t y = 0; y < layout.height; ++y) {
        const int32_t storedRow = layout.topDown ? layout.height - 1 - y : y;
        const uint8_t* row = layout.pixelData + stride * storedRow;
        uint8_t* outRow = out + size_t{3} * width * y;
        if (bitsPerPixel <= 8) {
            const uint8_t* rowIndices = row;
            if (bitsPerPixel < 8) {
                unpackIndices(row, width, bitsPerPixel, indices);
                rowIndices = indices;
            }
            if (checkIndices && !indicesInPalette(rowIndices, width, layout.paletteCount))
                return conversionErrorText;
            lookUpRow(rowIndices, width, layout.palette, outRow);
        } else if (bitsPerPixel == 24) {
            swapRow24(row, width, outRow);
        } else if (fixedOrder32) {
            swapRow32(row, width, outRow);
        } else {
            maskRow(row, width, bitsPerPixel / 8, channels, outRow);
        }
    }
    return nullptr;
}

// ---------------------------------------------------------------------------------------------
// Run-length data (8-bit and 4-bit). Pixels that no run reaches, because a delta skips them or a
// row or the bitmap ends early, stay black; runs past the right edge are clipped.
// ---------------------------------------------------------------------------------------------

static const char* decodeRuns(const BitmapLayout& layout, uint8_t* out) {
    const bool fourBit = layout.bitsPerPixel == 4;
    const uint32_t width = static_cast<uint32_t>(layout.width);
    const uint32_t height = static_cast<uint32_t>(layout.height);
    const uint8_t* data = layout.pixelData;
    const uint8_t* end = data + layout.pixelDataSize;
    uint32_t x = 0, y = 0;  // x never passes the width, so no run of deltas can overflow it
    while (y < height) {
        if (end - data < 2) return conversionErrorText;
        const uint32_t count = data[0], value = data[1];
        data += 2;
        uint8_t* at = out + size_t{3} * (size_t{width} * y + x);
        if (count > 0) {
            // An encoded run: one colour, or for 4-bit pixels two colours taking turns.
            const uint32_t visible = count < width - x ? count : width - x;
            const uint32_t first = fourBit ? value >> 4 : value;
            const uint32_t second = fourBit ? value & 0x0F : value;
            if (visible > 0 && first >= layout.paletteCount) return conversionErrorText;
            if (visible > 1 && second >= layout.paletteCount) return conversionErrorText;
            for (uint32_t pixel = 0; pixel < visible; ++pixel, at += 3)
                memcpy(at, &layout.palette[pixel & 1 ? second : first], 3);
            x += visible;
        } else if (value == 0) {
            x = 0, ++y;
        } else if (value == 1) {
            return nullptr;
        } else if (value == 2) {
            if (end - data < 2) return conversionErrorText;
            x = data[0] < width - x ? x + data[0] : width;
            y += data[1];
            data += 2;
        } else {
            // An absolute run of `value` pixels, padded to a whole number of 16-bit words.
            const uint32_t bytes = fourBit ? (value + 1) / 2 : value;
            if (static_cast<size_t>(end - data) < bytes) return conversionErrorText;
            const uint32_t visible = value < width - x ? value : width - x;
            for (uint32_t pixel = 0; pixel < visible; ++pixel, at += 3) {
                const uint8_t byte = data[fourBit ? pixel / 2 : pixel];
                const uint32_t index = !fourBit ? byte : pixel & 1 ? byte & 0x0F : byte >> 4;
                if (index >= layout.paletteCount) return conversionErrorText;
                memcpy(at, &layout.palette[index], 3);
            }
            x += visible;
            const size_t padded = bytes + (bytes & 1);
            data = static_cast<size_t>(end - data) < padded ? end : data + padded;
        }
    }
    return nullptr;
}

// ---------------------------------------------------------------------------------------------
// The reader.
// ---------------------------------------------------------------------------------------------

RgbImage* decodeBitmapFile(const uint8_t* bytes, size_t size) {
    BitmapLayout layout;
    if (const char* failure = readLayout(bytes, size, &layout)) {
        reportBitmapFailure(failure);
        return nullptr;
    }
    const size_t pixelBytes = size_t{3} * layout.width * layout.height;
    const bool runs =
        layout.compression == compressionRle8 || layout.compression == compressionRle4;
    // Run-length data leaves unreached pixels black, so its target starts zero-filled.
    uint8_t* pixels = static_cast<uint8_t*>(runs ? calloc(pixelBytes, 1) : malloc(pixelBytes));
    RgbImage* image = nullptr;
    const char* failure = outOfMemoryText;
    if (pixels) failure = runs ? decodeRuns(layout, pixels) : convertRows(layout, pixels);
    if (!failure) {
        image = static_cast<RgbImage*>(malloc(sizeof(RgbImage)));
        if (!image) failure = outOfMemoryText;
    }
    if (failure) {
        free(pixels);
        reportBitmapFailure(failure);
        return nullptr;
    }
    image->width = layout.width;
    image->height = layout.height;
    image->pixels = pixels;
    return image;
}

RgbImage* readBitmapFile(const char* path) {
    // Non-blocking, so that a pipe in a texture's place cannot hang the program; it is refused
    // below with everything else that is not a regular file.
    const int file = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat status;
    void* view = MAP_FAILED;
    size_t size = 0;
    if (file >= 0 && fstat(file, &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0) {
        size = static_cast<size_t>(status.st_size);
        view = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, file, 0);
    }
    if (view == MAP_FAILED) {
        if (file >= 0) close(file);
        reportOpenFailure(path);
        return nullptr;
    }
    RgbImage* image = decodeBitmapFile(static_cast<const uint8_t*>(view), size);
    munmap(view, size);
    close(file);
    return image;
}
