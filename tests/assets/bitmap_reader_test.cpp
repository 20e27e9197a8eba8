// The bitmap reader against ImageMagick as an independent encoder and decoder, and against
// hand-made files for what no encoder writes: escapes, truncations, forged headers.
#include "assets/bitmap_reader.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace {

using Bytes = std::vector<uint8_t>;
const char* const imageMagick = "/usr/bin/convert";
const char unknownFormat[] = "Unknown DIB file format.";
const char conversionError[] = "Image file conversion error.";
const char outOfMemory[] = "Out of memory.";

std::vector<std::string> messages;
WindowHandle const focusWindow = reinterpret_cast<WindowHandle>(0x5EED);

int32_t recordMessageBox(WindowHandle owner, const char* text, const char* caption, uint32_t type) {
    EXPECT_EQ(owner, focusWindow);
    EXPECT_STREQ(caption, "Error");
    EXPECT_EQ(type, messageBoxOk);
    messages.push_back(text);
    return messageBoxAnswerOk;
}

void put(Bytes& bytes, uint32_t value, int size) {
    for (int at = 0; at < size; ++at) bytes.push_back(at < 4 ? uint8_t(value >> 8 * at) : 0);
}

// A 40-byte header and what follows it, behind a file header when pixelOffset is not 0.
Bytes infoFile(int32_t width, int32_t height, uint32_t bits, uint32_t compression,
               uint32_t colorsUsed, const Bytes& rest, uint32_t pixelOffset = 0) {
    Bytes file;
    if (pixelOffset) file = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0}, put(file, pixelOffset, 4);
    put(file, 40, 4), put(file, width, 4), put(file, height, 4), put(file, 1, 2);
    put(file, bits, 2), put(file, compression, 4), put(file, 0, 12), put(file, colorsUsed, 4);
    put(file, 0, 4);
    file.insert(file.end(), rest.begin(), rest.end());
    for (int at = 0; pixelOffset && at < 4; ++at) file[2 + at] = uint8_t(file.size() >> 8 * at);
    return file;
}

Bytes with(Bytes file, size_t at, uint32_t value, int size = 4) {
    for (int i = 0; i < size; ++i) file[at + i] = static_cast<uint8_t>(value >> 8 * i);
    return file;
}

Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

class BitmapReader : public ::testing::Test {
protected:
    void SetUp() override {
        layer = sdlPlatformLayer;
        layer.messageBox = recordMessageBox;
        layer.getFocus = [] { return focusWindow; };
        previous = platform;
        platform = &layer;
        messages.clear();
        std::string pattern = ::testing::TempDir() + "bitmap_reader_XXXXXX";
        folder = mkdtemp(pattern.data());
    }
    void TearDown() override {
        platform = previous;
        std::filesystem::remove_all(folder);
    }

    // Pixels of a decoded image with no message shown, or an empty vector after exactly one.
    static Bytes take(RgbImage* image, int32_t* width = nullptr, int32_t* height = nullptr) {
        if (!image) {
            EXPECT_EQ(messages.size(), 1u);
            return {};
        }
        EXPECT_TRUE(messages.empty());
        Bytes pixels(image->pixels, image->pixels + size_t{3} * image->width * image->height);
        if (width) *width = image->width, *height = image->height;
        free(image->pixels);
        free(image);
        return pixels;
    }

    // Decodes from a copy that ends right where an unreadable page starts, so that any read past
    // the end of the file faults instead of passing unnoticed.
    static Bytes decodeGuarded(const Bytes& file) {
        const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        const size_t span = (file.size() / page + 2) * page;
        auto* base = static_cast<uint8_t*>(
            mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        mprotect(base + span - page, page, PROT_NONE);
        uint8_t* start = base + span - page - file.size();
        if (!file.empty()) memcpy(start, file.data(), file.size());
        Bytes pixels = take(decodeBitmapFile(start, file.size()));
        munmap(base, span);
        return pixels;
    }

    void expectRefused(const Bytes& file, const char* text, const char* what) {
        messages.clear();
        EXPECT_TRUE(decodeGuarded(file).empty()) << what;
        EXPECT_EQ(messages, std::vector<std::string>(1, text)) << what;
    }

    PlatformLayer layer;
    const PlatformLayer* previous;
    std::string folder;
};

// ---- differential: ImageMagick encodes, both decode -------------------------------------------

struct Variant {
    const char* name;
    const char* format;  // ImageMagick's output format; "" for files this test encodes itself
    const char* options;
    int colours;                 // distinct colours in the source picture
    uint32_t bits, compression;  // what the file must hold for the case to mean anything
    uint32_t masks[3];           // red, green, blue for the files this test encodes itself
};

const Variant variants[] = {
    {"palette 1", "BMP3", "-type Palette -compress None", 2, 1, 0, {}},
    {"palette 4", "BMP3", "-type Palette -compress None", 12, 4, 0, {}},
    {"palette 8", "BMP3", "-type Palette -compress None", 40, 8, 0, {}},
    {"rle 8", "BMP3", "-type Palette -compress RLE", 40, 8, 1, {}},
    {"rle 8 few colours", "BMP3", "-type Palette -compress RLE", 5, 8, 1, {}},
    {"true 24", "BMP3", "-type TrueColor -compress None", 256, 24, 0, {}},
    {"core 1", "BMP2", "-type Palette -compress None", 2, 1, 0, {}},
    {"core 4", "BMP2", "-type Palette -compress None", 12, 4, 0, {}},
    {"core 8", "BMP2", "-type Palette -compress None", 40, 8, 0, {}},
    {"core 24", "BMP2", "-type TrueColor -compress None", 256, 24, 0, {}},
    {"5-5-5", "", "", 256, 16, 0, {0x7C00, 0x03E0, 0x001F}},
    {"32", "", "", 256, 32, 0, {0xFF0000, 0xFF00, 0xFF}},
    {"5-6-5 fields", "", "", 256, 16, 3, {0xF800, 0x07E0, 0x001F}},
    {"32 fields", "", "", 256, 32, 3, {0xFF, 0xFF00, 0xFF0000}},
};

// Colour i of the source pictures; distinct for every i below 256.
void sourceColour(int i, uint8_t* rgb) {
    rgb[0] = static_cast<uint8_t>(i * 53), rgb[1] = static_cast<uint8_t>(i * 101 + 7);
    rgb[2] = static_cast<uint8_t>(255 - i * 11);
}

// 16- and 32-bit files with masks, which ImageMagick does not write in the 40-byte form.
Bytes encodeMasked(const Variant& variant, int width, int height, const Bytes& topFirstRgb) {
    Bytes rest, pixels;
    if (variant.compression == 3) put(rest, variant.masks[0], 4), put(rest, variant.masks[1], 4);
    if (variant.compression == 3) put(rest, variant.masks[2], 4);
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            // Bits that no mask covers are set, so that a reader must really ignore them.
            uint32_t pixel = variant.bits == 16 ? 0xFFFF : 0xFFFFFFFF;
            for (uint32_t mask : variant.masks) pixel &= ~mask;
            for (int c = 0; c < 3; ++c) {
                const uint32_t mask = variant.masks[c], shift = __builtin_ctz(mask);
                const uint32_t bits = __builtin_popcount(mask);
                pixel |= (topFirstRgb[3 * (y * width + x) + c] >> (8 - bits)) << shift;
            }
            put(pixels, pixel, variant.bits / 8);
        }
        while (pixels.size() % 4) pixels.push_back(0);
    }
    rest.insert(rest.end(), pixels.begin(), pixels.end());
    return infoFile(width, height, variant.bits, variant.compression, 0, rest,
                    54 + (rest.size() - pixels.size()));
}

void runImageMagick(const std::string& arguments) {
    ASSERT_EQ(std::system((std::string(imageMagick) + " " + arguments).c_str()), 0) << arguments;
}

Bytes flipRows(const Bytes& rgb, int width, int height) {
    Bytes flipped;
    for (int y = height - 1; y >= 0; --y)
        flipped.insert(flipped.end(), rgb.begin() + 3 * width * y,
                       rgb.begin() + 3 * width * (y + 1));
    return flipped;
}

TEST_F(BitmapReader, MatchesImageMagickPixelForPixel) {
    ASSERT_EQ(access(imageMagick, X_OK), 0) << "ImageMagick is a declared test dependency";
    const std::string source = folder + "/source.ppm", bmp = folder + "/picture.bmp";
    const std::string decoded = folder + "/decoded.rgb";
    for (const Variant& variant : variants) {
        for (int width : {1, 3, 5, 7}) {
            const int height = 24;
            SCOPED_TRACE(std::string(variant.name) + " width " + std::to_string(width));
            Bytes rgb(3 * width * height);
            for (int i = 0; i < width * height; ++i)
                sourceColour(i * 7 % variant.colours, &rgb[3 * i]);
            if (*variant.format) {
                std::ofstream(source, std::ios::binary)
                    << "P6 " << width << " " << height << " 255\n"
                    << std::string(rgb.begin(), rgb.end());
                runImageMagick(source + " " + variant.options + " " + variant.format + ":" + bmp);
            } else {
                const Bytes file = encodeMasked(variant, width, height, rgb);
                std::ofstream(bmp, std::ios::binary)
                    .write(reinterpret_cast<const char*>(file.data()), file.size());
            }
            const Bytes file = readFile(bmp);
            const bool core = file[14] == 12;
            ASSERT_EQ(file[core ? 24 : 28], variant.bits);
            ASSERT_EQ(core ? 0 : file[30], variant.compression);
            runImageMagick(bmp + " -depth 8 rgb:" + decoded);

            int32_t readWidth = 0, readHeight = 0;
            const Bytes ours = take(readBitmapFile(bmp.c_str()), &readWidth, &readHeight);
            EXPECT_EQ(readWidth, width);
            EXPECT_EQ(readHeight, height);
            // ImageMagick's run-length encoder pads one-pixel rows with runs past the right edge,
            // which its own decoder then wraps into the next row; the picture it was given is
            // the reference there, as it is for every lossless file.
            if (variant.compression != 1 || width != 1)
                EXPECT_EQ(ours, flipRows(readFile(decoded), width, height));
            if (*variant.format) EXPECT_EQ(ours, flipRows(rgb, width, height));
            // The same bytes without the file header: the pixels follow the colour table.
            EXPECT_EQ(decodeGuarded(Bytes(file.begin() + 14, file.end())), ours);
        }
    }
}

TEST_F(BitmapReader, RefusesLaterHeaderForms) {
    ASSERT_EQ(access(imageMagick, X_OK), 0) << "ImageMagick is a declared test dependency";
    const std::string bmp = folder + "/later.bmp";
    runImageMagick("-size 3x2 xc:red BMP:" + bmp);
    Bytes file = readFile(bmp);
    ASSERT_EQ(file[14], 124);
    expectRefused(file, unknownFormat, "124");
    // The 108-byte form differs from the 124-byte one only after the fields read here.
    file[14] = 108;
    expectRefused(file, unknownFormat, "108");
}

// ---- hand-made files ----------------------------------------------------------------------------

// Palette entry i of the hand-made files, stored blue, green, red, reserved.
Bytes handPalette(int count, int entrySize = 4) {
    Bytes table;
    for (int i = 0; i < count; ++i) {
        table.insert(table.end(), {uint8_t(3 * i + 1), uint8_t(40 + i), uint8_t(200 - i)});
        if (entrySize == 4) table.push_back(0xEE);
    }
    return table;
}

// Expected pixels from rows of palette indices (bottom row first, '.' for black).
Bytes handPixels(std::initializer_list<const char*> rows) {
    Bytes pixels;
    for (const char* row : rows)
        for (; *row; ++row) {
            const int i = *row - '0';
            if (*row == '.')
                pixels.insert(pixels.end(), {0, 0, 0});
            else
                pixels.insert(pixels.end(),
                              {uint8_t(200 - i), uint8_t(40 + i), uint8_t(3 * i + 1)});
        }
    return pixels;
}

Bytes concat(Bytes first, const Bytes& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

TEST_F(BitmapReader, FindsPixelsAfterTablesOfAnyLength) {
    // Without a file header the pixel data starts right after the colours-used entries, which
    // are cut to 16 bits; a table longer than the depth can index still takes up its room.
    for (uint32_t used : {17u, 0x10011u}) {
        const Bytes file = infoFile(2, 1, 8, 0, used, concat(handPalette(17), {16, 0, 0, 0}));
        EXPECT_EQ(colorTableSize(file.data()), 17);
        EXPECT_EQ(decodeGuarded(file), handPixels({"@0"}));
    }
    EXPECT_EQ(decodeGuarded(infoFile(3, 1, 1, 0, 300, concat(handPalette(300), {0xA0, 0, 0, 0}))),
              handPixels({"101"}));
    EXPECT_EQ(decodeGuarded(infoFile(1, 1, 24, 0, 2, concat(handPalette(2), {1, 2, 3, 0}))),
              (Bytes{3, 2, 1}));
    Bytes core = {12, 0, 0, 0, 2, 0, 1, 0, 1, 0, 4, 0};
    EXPECT_EQ(decodeGuarded(concat(concat(core, handPalette(16, 3)), {0x3F, 0, 0, 0})),
              handPixels({"3?"}));
}

// An 8-bit run-length file with a three-entry palette, behind a file header.
Bytes runFile(int32_t width, int32_t height, uint32_t bits, const Bytes& stream) {
    return infoFile(width, height, bits, bits == 8 ? 1 : 2, 3, concat(handPalette(3), stream),
                    14 + 40 + 12);
}

TEST_F(BitmapReader, DecodesRunLengthEscapes) {
    // Early end of line, an absolute run with its padding byte, a run clipped at the right edge,
    // a delta, and an early end of the bitmap; what no run reaches stays black.
    const Bytes rle8 = {3, 1, 0, 0, 0, 3, 2, 0, 1, 0, 5, 2, 0, 0, 0, 2, 2, 0, 1, 1, 0, 1};
    EXPECT_EQ(decodeGuarded(runFile(4, 3, 8, rle8)), handPixels({"111.", "2012", "..1."}));
    // An absolute run of 5 nibbles padded to 4 bytes, two colours taking turns, a delta up a row.
    const Bytes rle4 = {0, 5, 0x12, 0x12, 0x10, 0, 0, 0, 2, 0x20, 0, 2, 1, 1, 3, 0x01, 0, 1};
    EXPECT_EQ(decodeGuarded(runFile(5, 3, 4, rle4)), handPixels({"12121", "20...", "...01"}));
    // Deltas past the right edge add up to no more than the width: enough of them would otherwise
    // carry the column past the largest integer and the next run before the picture.
    Bytes deltas;
    for (int i = 0; i < 8500000; ++i) deltas.insert(deltas.end(), {0, 2, 255, 0});
    const Bytes tail = {1, 1, 0, 0, 1, 1, 0, 1};
    EXPECT_EQ(decodeGuarded(runFile(2, 2, 8, concat(deltas, tail))), handPixels({"..", "1."}));
}
TEST_F(BitmapReader, ReadsTopDownRowsBottomFirst) {
    const Bytes top = {1, 2, 3, 4, 5, 6, 0, 0}, bottom = {7, 8, 9, 10, 11, 12, 0, 0};
    const Bytes file = infoFile(2, -2, 24, 0, 0, concat(top, bottom), 54);
    int32_t width, height;
    const Bytes pixels = take(decodeBitmapFile(file.data(), file.size()), &width, &height);
    EXPECT_EQ(height, 2);
    EXPECT_EQ(pixels, decodeGuarded(infoFile(2, 2, 24, 0, 0, concat(bottom, top), 54)));
}

TEST_F(BitmapReader, KeepsTheTopEightBitsOfWiderChannels) {
    const Bytes masks = {0, 0, 0xF0, 0x3F, 0, 0xFC, 0x0F, 0, 0xFF, 0x03, 0, 0};
    const uint32_t pixel = 0x3FF << 20 | 0x200 << 10 | 0x0FF;
    const Bytes file = infoFile(1, 1, 32, 3, 0, concat(masks, Bytes(4)), 66);
    EXPECT_EQ(decodeGuarded(with(file, 66, pixel)), (Bytes{255, 128, 63}));
}

TEST_F(BitmapReader, RefusesImpossibleFilesWithTheirMessage) {
    const Bytes base =
        infoFile(2, 2, 8, 0, 4, concat(handPalette(4), {1, 2, 0, 0, 3, 0, 0, 0}), 70);
    ASSERT_FALSE(decodeGuarded(base).empty());
    const Bytes rle = runFile(4, 1, 8, {2, 1, 0, 1});
    ASSERT_FALSE(decodeGuarded(rle).empty());
    const Bytes masks = {0x00, 0x7C, 0, 0, 0xE0, 0x03, 0, 0, 0x1F, 0, 0, 0};
    const Bytes fields = infoFile(1, 1, 16, 3, 0, concat(masks, {0xFF, 0x7F, 0, 0}), 66);
    ASSERT_FALSE(decodeGuarded(fields).empty());
    const Bytes core = {12, 0, 0, 0, 1, 0x80, 1, 0, 1, 0, 24, 0};
    const struct {
        const char* what;
        Bytes file;
        const char* text;
    } cases[] = {
        {"header size 64", with(base, 14, 64), unknownFormat},
        {"width 0", with(base, 18, 0), conversionError},
        {"negative width", with(base, 18, -2), conversionError},
        {"height 0", with(base, 22, 0), conversionError},
        {"2 planes", with(base, 26, 2, 2), conversionError},
        {"3 bits", with(base, 28, 3, 2), conversionError},
        {"4-bit runs on 8 bits", with(base, 30, 2), conversionError},
        {"bit fields on 8 bits", with(base, 30, 3), conversionError},
        {"embedded picture", with(base, 30, 4), conversionError},
        {"index beyond table", with(base, 46, 3), conversionError},
        {"1-bit table of one", infoFile(2, 1, 1, 0, 1, {9, 9, 9, 0, 0x40, 0, 0, 0}),
         conversionError},
        {"pixels beyond the file", with(base, 10, 1000), conversionError},
        {"wider than bound", with(base, 18, 16385), outOfMemory},
        {"taller than bound", with(base, 22, -16385), outOfMemory},
        {"height without magnitude", with(base, 22, 0x80000000), outOfMemory},
        {"unsigned core width", core, outOfMemory},
        {"top-down runs", with(rle, 22, -1), conversionError},
        {"run index beyond table", with(rle, 67, 3, 1), conversionError},
        {"second colour beyond table", runFile(4, 1, 4, {2, 0x03, 0, 1}), conversionError},
        {"broken mask", with(fields, 58, 0x0F0F), conversionError},
        {"mask beyond pixel", with(fields, 58, 0x10000), conversionError},
        {"masks under the pixels", with(fields, 10, 54), conversionError},
    };
    for (const auto& refused : cases) expectRefused(refused.file, refused.text, refused.what);
}

TEST_F(BitmapReader, RefusesEveryTruncation) {
    const Bytes files[] = {
        infoFile(5, 2, 24, 0, 0, Bytes(32, 0x5A), 54),
        infoFile(3, 2, 4, 0, 16, concat(handPalette(16), {0x12, 0x30, 0, 0, 0xF0, 0xE0, 0, 0})),
        runFile(4, 3, 8, {3, 1, 0, 0, 0, 3, 2, 0, 1, 0, 5, 2, 0, 0, 0, 2, 2, 0, 1, 1, 0, 1}),
        runFile(5, 2, 4, {0, 5, 0x12, 0x12, 0x10, 0, 0, 2, 1, 1, 3, 0x01, 0, 0, 0, 1}),
        concat(concat({12, 0, 0, 0, 3, 0, 1, 0, 1, 0, 8, 0}, handPalette(256, 3)), {255, 7, 9}),
    };
    for (const Bytes& file : files) {
        messages.clear();
        const Bytes whole = decodeGuarded(file);
        ASSERT_FALSE(whole.empty());
        const size_t headerEnd = (file[0] == 'B' ? 14 : 0) + file[file[0] == 'B' ? 14 : 0];
        for (size_t length = 0; length < file.size(); ++length) {
            messages.clear();
            const Bytes pixels = decodeGuarded(Bytes(file.begin(), file.begin() + length));
            if (!pixels.empty()) {
                // Only a missing end-of-bitmap escape or last-row padding may go unnoticed.
                EXPECT_GE(length, file.size() - 3);
                EXPECT_EQ(pixels, whole);
            } else {
                EXPECT_EQ(messages, std::vector<std::string>(
                                        1, length < headerEnd ? unknownFormat : conversionError))
                    << length;
            }
        }
    }
}

TEST_F(BitmapReader, ReportsFilesThatCannotBeOpened) {
    const std::string empty = folder + "/empty.bmp";
    std::ofstream(empty).close();
    for (const std::string& path : {folder + "/missing.bmp", empty, folder}) {
        messages.clear();
        EXPECT_EQ(readBitmapFile(path.c_str()), nullptr);
        EXPECT_EQ(messages, std::vector<std::string>(1, "Failed to open DIB file " + path + ".\n"));
    }
    // Too long for the 256-character message: the end of the path stays, after "...", and a
    // two-byte character is never cut in half, whichever byte the cut falls on.
    for (const char* lead : {"/", "/x"}) {
        std::string path = folder + lead;
        for (int i = 0; i < 150; ++i) path += "\xC3\xA4";
        path += "/name.bmp";
        messages.clear();
        EXPECT_EQ(readBitmapFile(path.c_str()), nullptr);
        ASSERT_EQ(messages.size(), 1u);
        const std::string& text = messages[0];
        const std::string start = "Failed to open DIB file ...";
        EXPECT_TRUE(text.size() == 255 || text.size() == 254) << text.size();
        EXPECT_EQ(text.compare(0, start.size(), start), 0);
        EXPECT_NE(static_cast<uint8_t>(text[start.size()]) & 0xC0, 0x80);
        const std::string tail = text.substr(start.size(), text.size() - start.size() - 2);
        EXPECT_EQ(path.compare(path.size() - tail.size(), tail.size(), tail), 0);
        EXPECT_EQ(text.substr(text.size() - 2), ".\n");
    }
}
}  // namespace
