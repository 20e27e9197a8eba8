// The bitmap reader against ImageMagick as an independent encoder and decoder, and against
// hand-made files for what no encoder writes: escapes, truncations, forged headers.
#include "assets/bitmap_reader.h"

#include <gtest/gtest.h>
#include <sys/mman.h>

#include "support/scripted_platform.h"
#include "support/test_files.h"

namespace {

const std::string unknownFormat = "[Error] Unknown DIB file format. (none, ok)";
const std::string conversionError = "[Error] Image file conversion error. (none, ok)";
const std::string outOfMemory = "[Error] Out of memory. (none, ok)";

// The messages shown since the last call.
std::string shownMessage() {
    std::string shown;
    for (const std::string& box : scripted.messageBoxes) shown += box;
    scripted.messageBoxes.clear();
    return shown;
}

// Decodes a copy that ends where an unreadable page starts, so a read past the end faults: the
// pixels, or none after a message.
struct Decoded {
    Bytes rgb;
    std::string message;
};
Decoded decodeGuarded(const Bytes& file) {
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    const size_t span = (file.size() / page + 2) * page;
    auto* base = static_cast<uint8_t*>(
        mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    mprotect(base + span - page, page, PROT_NONE);
    uint8_t* start = base + span - page - file.size();
    std::copy(file.begin(), file.end(), start);
    const Decoded decoded{takePixels(decodeBitmapFile(start, file.size())), shownMessage()};
    munmap(base, span);
    EXPECT_EQ(decoded.rgb.empty(), !decoded.message.empty()) << decoded.message;
    return decoded;
}

struct BitmapReader : ::testing::Test {
    ScriptedPlatformSession session;
    TempFolder temp;
    const std::string folder = temp.path;
};

// ImageMagick writes 16- and 32-bit pixels only with the 124-byte header, whose masks sit right
// after its first 40 bytes: cutting the rest leaves the 40-byte form with masks, and cutting the
// 5-5-5 masks as well leaves the plain 16-bit form.
Bytes toInfoHeader(Bytes file, bool keepMasks) {
    const size_t cut = keepMasks ? 72 : 84;
    file.erase(file.begin() + 14 + 124 - cut, file.begin() + 14 + 124);
    file = withField(withField(file, 14, 40), 10, file[10] + 256 * file[11] - cut);
    return withField(keepMasks ? file : withField(file, 30, 0), 2, file.size());
}

// Flipped on the way in and out, the pictures are bottom row first, as the reader gives them.
TEST_F(BitmapReader, MatchesImageMagickPixelForPixel) {
    const std::string source = folder + "/source.ppm", bmp = folder + "/picture.bmp";
    auto convert = [](const std::string& arguments) {
        return std::system(("convert " + arguments).c_str());
    };
    const struct {
        const char *format, *options;
        int colours;                 // distinct colours in the source picture
        uint32_t bits, compression;  // what the file must hold for the case to mean anything
    } variants[] = {
        {"BMP3", "-type Palette -compress None", 2, 1, 0},
        {"BMP3", "-type Palette -compress None", 12, 4, 0},
        {"BMP3", "-type Palette -compress None", 40, 8, 0},
        {"BMP3", "-type Palette -compress RLE", 40, 8, 1},
        {"BMP3", "-type Palette -compress RLE", 5, 8, 1},
        {"BMP3", "-type TrueColor -compress None", 256, 24, 0},
        {"BMP", "-define bmp:subtype=RGB555", 256, 16, 0},
        {"BMP", "-define bmp:subtype=RGB565", 256, 16, 3},
        {"BMP", "-type TrueColorAlpha", 256, 32, 3},
        {"BMP2", "-type Palette -compress None", 12, 4, 0},
        {"BMP2", "-type TrueColor -compress None", 256, 24, 0},
    };
    for (const auto& variant : variants) {
        for (int width : {1, 3, 5, 7}) {
            SCOPED_TRACE(std::to_string(variant.bits) + " bits, width " + std::to_string(width));
            std::string rgb;
            for (int i = 0, colour = 0; i < width * 24; colour = ++i * 7 % variant.colours)
                rgb += {char(colour * 53), char(colour * 101 + 7), char(255 - colour * 11)};
            std::ofstream(source) << "P6 " << width << " 24 255\n" << rgb;
            ASSERT_EQ(
                convert(source + " -flip " + variant.options + " " + variant.format + ":" + bmp),
                0);
            Bytes file = readFile(bmp);
            if (variant.format == std::string("BMP"))
                writeFile(bmp, file = toInfoHeader(file, variant.compression == 3));
            ASSERT_EQ(convert(bmp + " -flip -depth 8 rgb:" + folder + "/decoded.rgb"), 0);
            ASSERT_EQ(file[file[14] == 12 ? 24 : 28], variant.bits);
            ASSERT_EQ(file[14] == 12 ? 0 : file[30], variant.compression);
            const Bytes ours = takePixels(readBitmapFile(bmp.c_str()));
            // ImageMagick's run-length encoder pads one-pixel rows with runs past the right edge,
            // which its own decoder wraps into the next row; the source picture decides there.
            if (variant.compression != 1 || width != 1)
                EXPECT_EQ(ours, readFile(folder + "/decoded.rgb"));
            if (variant.bits != 16) EXPECT_EQ(ours, Bytes(rgb.begin(), rgb.end()));
            // The same bytes without the file header: the pixels follow the colour table.
            EXPECT_EQ(decodeGuarded(Bytes(file.begin() + 14, file.end())).rgb, ours);
        }
    }
}

// Palette entry i of the hand-made files: blue, green, red (and reserved for 4-byte entries).
Bytes handPalette(int count, int entrySize = 4) {
    Bytes table;
    for (int i = 0; i < count; ++i) {
        const uint8_t entry[4] = {uint8_t(3 * i + 1), uint8_t(40 + i), uint8_t(200 - i), 0xEE};
        table.insert(table.end(), entry, entry + entrySize);
    }
    return table;
}

// Expected pixels from rows of palette indices ('0' + index), bottom row first, '.' for black.
Bytes handPixels(std::initializer_list<const char*> rows) {
    Bytes pixels;
    for (const char* row : rows)
        for (const char* at = row; *at; ++at) {
            const int i = *at - '0', on = *at != '.';
            pixels.insert(pixels.end(), {uint8_t(on * (200 - i)), uint8_t(on * (40 + i)),
                                         uint8_t(on * (3 * i + 1))});
        }
    return pixels;
}

Bytes runFile(int32_t width, int32_t height, uint32_t bits, const Bytes& stream) {
    return bitmapFile(width, height, bits, bits == 8 ? 1 : 2, 3, concat(handPalette(3), stream),
                      66);
}

// Whole, each file gives its pixels; cut anywhere but in a missing end-of-bitmap escape or the
// last row's padding, it is refused, as of unknown format while its header is incomplete.
TEST_F(BitmapReader, ReadsWhatEncodersRarelyWriteAndRefusesEveryTruncation) {
    const Bytes wide = {0, 0, 0xF0, 0x3F, 0, 0xFC, 0x0F, 0, 0xFF, 0x03, 0, 0};
    const Bytes topRed = {0, 0, 0, 0xFF, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0};
    const Bytes core = {12, 0, 0, 0, 3, 0, 1, 0, 1, 0, 8, 0};
    Bytes deltas;
    for (int i = 0; i < 8500000; ++i) deltas.insert(deltas.end(), {0, 2, 255, 0});
    const std::pair<Bytes, Bytes> cases[] = {
        // Without a file header the pixels start after the colours-used entries, a count cut to
        // 16 bits; a table longer than the depth can index still takes up its room.
        {bitmapFile(2, 1, 8, 0, 17, concat(handPalette(17), {16, 0, 0, 0})), handPixels({"@0"})},
        {bitmapFile(2, 1, 8, 0, 0x10011, concat(handPalette(17), {16, 0, 0, 0})),
         handPixels({"@0"})},
        {bitmapFile(3, 1, 1, 0, 300, concat(handPalette(300), {0xA0, 0, 0, 0})),
         handPixels({"101"})},
        {bitmapFile(3, 1, 1, 0, 0, concat(handPalette(2), {0xA0, 0, 0, 0})), handPixels({"101"})},
        {bitmapFile(3, 2, 4, 0, 0, concat(handPalette(16), {0x12, 0x30, 0, 0, 0x40, 0x50, 0, 0})),
         handPixels({"123", "405"})},
        {concat(concat(core, handPalette(256, 3)), {0, 7, 9}), handPixels({"079"})},
        {bitmapFile(1, 1, 24, 0, 2, concat(handPalette(2), {1, 2, 3, 0})), {3, 2, 1}},
        // Top row first in the file: bottom row first in the image.
        {bitmapFile(1, -2, 24, 0, 0, {1, 2, 3, 0, 4, 5, 6, 0}, 54), {6, 5, 4, 3, 2, 1}},
        // Channels wider than 8 bits keep their top 8 bits; red in the top byte is not the usual
        // blue-green-red-unused order.
        {bitmapFile(1, 1, 32, 3, 0, concat(wide, {0xFF, 0x00, 0xF8, 0x3F}), 66), {255, 128, 63}},
        {bitmapFile(1, 1, 32, 3, 0, concat(topRed, {0x44, 0x33, 0x22, 0x11}), 66),
         {0x11, 0x33, 0x44}},
        // Early end of line, an absolute run with its padding byte, a run clipped at the right
        // edge, a delta, and an early end of the bitmap; what no run reaches stays black.
        {runFile(4, 3, 8, {3, 1, 0, 0, 0, 3, 2, 0, 1, 0, 5, 2, 0, 0, 0, 2, 2, 0, 1, 1, 0, 1}),
         handPixels({"111.", "2012", "..1."})},
        // An absolute run of 5 nibbles padded to 4 bytes, two colours taking turns, a delta up.
        {runFile(6, 3, 4, {0, 5, 0x12, 0x12, 0x10, 0x77, 0, 0, 2, 0x20, 0, 2, 1, 1, 3, 0x01, 0, 1}),
         handPixels({"12121.", "20....", "...010"})},
        // An absolute run clipped at the right edge; a delta past the last row ends the bitmap.
        {runFile(4, 2, 8, {2, 1, 0, 3, 2, 2, 2, 0, 0, 2, 0, 5}), handPixels({"1122", "...."})},
        // Enough deltas past the right edge must not carry the column past the largest integer.
        {runFile(2, 2, 8, concat(deltas, {1, 1, 0, 0, 1, 1, 0, 1})), handPixels({"..", "1."})},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Bytes& file = cases[i].first;
        EXPECT_EQ(decodeGuarded(file).rgb, cases[i].second) << i;
        const size_t headerEnd = file[0] == 'B' ? 14 + file[14] : file[0];
        for (size_t length = 0; length < file.size() && file.size() < 5000; ++length) {
            const Decoded cut = decodeGuarded(Bytes(file.begin(), file.begin() + length));
            const bool unnoticed = cut.rgb == cases[i].second && length >= file.size() - 3;
            EXPECT_EQ(cut.message, unnoticed            ? ""
                                   : length < headerEnd ? unknownFormat
                                                        : conversionError)
                << i << ", " << length;
        }
    }
}

TEST_F(BitmapReader, RefusesImpossibleFilesWithTheirMessage) {
    const Bytes base =
        bitmapFile(2, 2, 8, 0, 4, concat(handPalette(4), {1, 2, 0, 0, 3, 0, 0, 0}), 70);
    const Bytes rle = runFile(4, 1, 8, {2, 1, 0, 1});
    const Bytes masks = {0x00, 0x7C, 0, 0, 0xE0, 0x03, 0, 0, 0x1F, 0, 0, 0, 0xFF, 0x7F, 0, 0};
    const Bytes fields = bitmapFile(1, 1, 16, 3, 0, masks, 66);
    for (const Bytes& good : {base, rle, fields}) EXPECT_EQ(decodeGuarded(good).message, "");
    const std::pair<Bytes, std::string> cases[] = {
        {withField(base, 14, 64), unknownFormat},      // header size
        {withField(base, 18, 0), conversionError},     // width
        {withField(base, 22, 0), conversionError},     // height
        {withField(base, 26, 2, 2), conversionError},  // planes
        {withField(base, 28, 3, 2), conversionError},  // bits per pixel
        {withField(base, 30, 2), conversionError},     // compression that does not fit the depth
        {withField(base, 30, 4), conversionError},     // or is unknown
        {withField(base, 46, 3), conversionError},     // index 3 beyond a table of 3
        {bitmapFile(2, 1, 1, 0, 1, {9, 9, 9, 0, 0x40, 0, 0, 0}), conversionError},
        {withField(base, 10, 1000), conversionError},  // pixel data beyond the file
        {withField(base, 18, 16385), outOfMemory},
        {withField(base, 22, 0x80000000), outOfMemory},
        {{12, 0, 0, 0, 1, 0x80, 1, 0, 1, 0, 24, 0}, outOfMemory},  // core width is unsigned
        {withField(rle, 22, -1), conversionError},                 // top-down runs
        {withField(rle, 67, 3, 1), conversionError},               // run colours beyond the table
        {runFile(4, 1, 4, {2, 0x03, 0, 1}), conversionError},
        {withField(fields, 58, 0x0F0F), conversionError},  // a broken mask
        {withField(fields, 10, 54), conversionError},      // masks where the pixels are
    };
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(decodeGuarded(cases[i].first).message, cases[i].second) << i;
}

TEST_F(BitmapReader, ReportsFilesThatCannotBeOpened) {
    std::ofstream(folder + "/empty.bmp").close();
    for (const std::string& path : {folder + "/missing.bmp", folder + "/empty.bmp", folder}) {
        EXPECT_EQ(readBitmapFile(path.c_str()), nullptr);
        EXPECT_EQ(shownMessage(), "[Error] Failed to open DIB file " + path + ".\n (none, ok)");
    }
}

}  // namespace
