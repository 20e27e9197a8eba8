// The bitmap reader against ImageMagick, and against hand-made files for what no encoder writes.
#include "assets/bitmap_reader.h"

#include <gtest/gtest.h>
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include "support/scripted_platform.h"
#include "support/test_files.h"

namespace {

const std::string unknownFormat = "[Error] Unknown DIB file format. (none, ok)";
const std::string conversion = "[Error] Image file conversion error. (none, ok)";
const std::string outOfMemory = "[Error] Out of memory. (none, ok)";

// Pixels and message of a copy decoded where an unreadable page follows, so reads past it fault.
std::pair<Bytes, std::string> decodeGuarded(const Bytes& file) {
    const size_t page = sysconf(_SC_PAGESIZE), span = (file.size() / page + 2) * page;
    auto* base = static_cast<uint8_t*>(
        mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    mprotect(base + span - page, page, PROT_NONE);
    const uint8_t* start = std::copy_backward(file.begin(), file.end(), base + span - page);
    std::pair<Bytes, std::string> decoded{takePixels(decodeBitmapFile(start, file.size())), ""};
    for (const std::string& box : std::exchange(scripted.messageBoxes, {})) decoded.second += box;
    munmap(base, span);
    EXPECT_EQ(decoded.first.empty(), !decoded.second.empty()) << decoded.second;
    return decoded;
}

struct BitmapReader : ::testing::Test {
    ScriptedPlatformSession session;
    TempFolder folder;
};

// ImageMagick writes plain 16- and masked 32-bit pixels only behind a 124-byte header, its masks
// right after the first 40 bytes: cut after them, or after the first 40 for the plain form.
Bytes toInfoHeader(Bytes file, bool keepMasks) {
    const size_t cut = keepMasks ? 72 : 84;
    file.erase(file.begin() + 14 + 124 - cut, file.begin() + 14 + 124);
    file = withField(withField(file, 14, 40), 10, file[10] + 256 * file[11] - cut);
    return withField(keepMasks ? file : withField(file, 30, 0), 2, file.size());
}

// Flipped on the way in and out, the pictures are bottom row first, as the reader gives them. Each
// variant: ImageMagick's writer, source colour count, and the depth and compression to yield.
TEST_F(BitmapReader, MatchesImageMagickPixelForPixel) {
    const std::tuple<std::string, int, uint32_t, uint32_t> variants[] = {
        {"-type Palette -compress None BMP3", 2, 1, 0},
        {"-type Palette -compress None BMP3", 12, 4, 0},
        {"-type Palette -compress None BMP3", 40, 8, 0},
        {"-type Palette -compress RLE BMP3", 40, 8, 1},
        {"-type Palette -compress RLE BMP3", 5, 8, 1},
        {"-type TrueColor -compress None BMP3", 256, 24, 0},
        {"-define bmp:subtype=RGB555 BMP", 256, 16, 0},
        {"-define bmp:subtype=RGB565 BMP", 256, 16, 3},
        {"-type TrueColorAlpha BMP", 256, 32, 3},
        {"-type Palette -compress None BMP2", 12, 4, 0},
        {"-type TrueColor -compress None BMP2", 256, 24, 0}};
    for (const auto& [writer, distinct, bits, compression] : variants)
        for (int width : {1, 3, 5, 7}) {
            SCOPED_TRACE(writer + ", width " + std::to_string(width));
            std::string picture;
            for (int i = 0, colour = 0; i < width * 24; colour = ++i * 7 % distinct)
                picture += {char(colour * 53), char(colour * 101 + 7), char(255 - colour * 11)};
            std::ofstream("in.ppm") << "P6 " << width << " 24 255\n" << picture;
            ASSERT_EQ(std::system(("convert in.ppm -flip " + writer + ":out.bmp").c_str()), 0);
            Bytes file = readFile("out.bmp");
            if (file[14] == 124) writeFile("out.bmp", file = toInfoHeader(file, compression == 3));
            ASSERT_EQ(std::system("convert out.bmp -flip -depth 8 rgb:out.rgb"), 0);
            ASSERT_EQ(file[file[14] == 12 ? 24 : 28], bits);
            ASSERT_EQ(file[14] == 12 ? 0 : file[30], compression);
            const Bytes ours = takePixels(readBitmapFile("out.bmp"));
            // ImageMagick wraps the padding runs of its one-pixel rows into the next row.
            if (compression != 1 || width != 1) EXPECT_EQ(ours, readFile("out.rgb"));
            if (bits != 16) EXPECT_EQ(ours, Bytes(picture.begin(), picture.end()));
            // The same bytes without the file header: the pixels follow the colour table.
            EXPECT_EQ(decodeGuarded(Bytes(file.begin() + 14, file.end())).first, ours);
        }
}

// A colour table, entry i blue, green, red (and reserved in 4-byte entries), and what follows it.
Bytes palette(int count, const Bytes& after, int entrySize = 4) {
    Bytes table;
    for (int i = 0; i < count; ++i) {
        const uint8_t entry[4] = {uint8_t(3 * i + 1), uint8_t(40 + i), uint8_t(200 - i), 0xEE};
        table.insert(table.end(), entry, entry + entrySize);
    }
    return concat(table, after);
}

// Expected pixels from rows of palette indices ('0' + index), bottom row first, '.' for black.
Bytes colours(const std::string& rows) {
    Bytes pixels;
    for (const char c : rows)
        for (const int value : {200 - (c - '0'), 40 + (c - '0'), 3 * (c - '0') + 1})
            if (c != ' ') pixels.push_back(c == '.' ? 0 : value);
    return pixels;
}

Bytes runFile(int32_t width, int32_t height, uint32_t bits, const Bytes& stream) {
    return bitmapFile(width, height, bits, bits == 8 ? 1 : 2, 3, palette(3, stream), 66);
}

// Whole, each file gives its pixels; cut anywhere but in a missing end-of-bitmap escape or the
// last row's padding, it is refused, as of unknown format while its header is incomplete.
TEST_F(BitmapReader, ReadsWhatEncodersRarelyWriteAndRefusesEveryTruncation) {
    const Bytes wide = {0, 0, 0xF0, 0x3F, 0, 0xFC, 0x0F, 0, 0xFF, 0x03, 0, 0};
    const Bytes topRed = {0, 0, 0, 0xFF, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0};
    Bytes deltas;
    for (int i = 0; i < 8500000; ++i) deltas.insert(deltas.end(), {0, 2, 255, 0});
    const std::pair<Bytes, Bytes> cases[] = {
        // Without a file header the pixels start after the colours-used entries, a count cut to
        // 16 bits, even those the depth cannot index; the last file is stored top row first.
        {bitmapFile(3, 1, 1, 0, 0x1012C, palette(300, {0xA0, 0, 0, 0})), colours("101")},
        {bitmapFile(3, 1, 1, 0, 0, palette(2, {0xA0, 0, 0, 0})), colours("101")},
        {bitmapFile(2, 1, 1, 0, 1, palette(1, {0, 0, 0, 0})), colours("00")},  // one colour only
        {bitmapFile(3, 2, 4, 0, 0, palette(16, {0x12, 0x30, 0, 0, 0x40, 0x50, 0, 0})),
         colours("123 405")},
        {concat({12, 0, 0, 0, 3, 0, 1, 0, 1, 0, 8, 0}, palette(256, {0, 7, 9}, 3)), colours("079")},
        {bitmapFile(1, -2, 24, 0, 2, palette(2, {1, 2, 3, 0, 4, 5, 6, 0})), {6, 5, 4, 3, 2, 1}},
        // Pixels may start inside the colour table, and the table may end the file.
        {bitmapFile(1, 1, 8, 0, 2, palette(2, {}), 54), colours("1")},
        // Channels wider than 8 bits keep their top 8 bits; masks need not be in the usual order.
        {bitmapFile(1, 1, 32, 3, 0, concat(wide, {0xFF, 0x00, 0xF8, 0x3F}), 66), {255, 128, 63}},
        {bitmapFile(1, 1, 32, 3, 0, concat(topRed, {0x44, 0x33, 0x22, 0x11})), {0x11, 0x33, 0x44}},
        {bitmapFile(1, 1, 32, 0, 0, {0x44, 0x33, 0x22, 0x11}), {0x22, 0x33, 0x44}},  // no masks
        // Early end of line, an absolute run with its padding byte, a run clipped at the right
        // edge, a delta, and an early end of the bitmap; what no run reaches stays black.
        {runFile(4, 3, 8, {3, 1, 0, 0, 0, 3, 2, 0, 1, 0, 5, 2, 0, 0, 0, 2, 2, 0, 1, 1, 0, 1}),
         colours("111. 2012 ..1.")},
        // An absolute run of 5 nibbles padded to 4 bytes, two colours taking turns, a delta up.
        {runFile(6, 3, 4, {0, 5, 0x12, 0x12, 0x10, 0x77, 0, 0, 2, 0x20, 0, 2, 1, 1, 3, 0x01, 0, 1}),
         colours("12121. 20.... ...010")},
        // An absolute run clipped at the right edge; a delta past the last row ends the bitmap.
        {runFile(4, 2, 8, {2, 1, 0, 3, 2, 2, 2, 0, 0, 2, 0, 5}), colours("1122 ....")},
        // Enough deltas past the right edge must not carry the column past the largest integer.
        {runFile(2, 2, 8, concat(deltas, {1, 1, 0, 0, 1, 1, 0, 1})), colours(".. 1.")},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const auto& [file, rgb] = cases[i];
        EXPECT_EQ(decodeGuarded(file).first, rgb) << i;
        const size_t headerEnd = file[0] == 'B' ? 14 + file[14] : file[0], size = file.size();
        for (size_t length = 0; length < size && size < 5000; ++length) {
            const auto [pixels, message] = decodeGuarded({file.begin(), file.begin() + length});
            const bool unnoticed = pixels == rgb && length >= size - 3;
            EXPECT_EQ(message, unnoticed ? "" : (length < headerEnd ? unknownFormat : conversion))
                << i << ", " << length;
        }
    }
}

TEST_F(BitmapReader, RefusesImpossibleFilesWithTheirMessage) {
    const Bytes base = bitmapFile(2, 2, 8, 0, 4, palette(4, {1, 2, 0, 0, 3, 0, 0, 0}), 70);
    const Bytes rle = runFile(4, 1, 8, {2, 1, 0, 1});
    const Bytes fields = bitmapFile(
        1, 1, 16, 3, 0, {0x00, 0x7C, 0, 0, 0xE0, 0x03, 0, 0, 0x1F, 0, 0, 0, 0xFF, 0x7F, 0, 0}, 66);
    for (const Bytes& good : {base, rle, fields}) EXPECT_EQ(decodeGuarded(good).second, "");
    const std::pair<Bytes, std::string> cases[] = {
        {withField(base, 14, 64), unknownFormat},  // header size
        {withField(base, 18, 0), conversion},      // width
        {withField(base, 22, 0), conversion},      // height
        {withField(base, 26, 2, 2), conversion},   // planes
        {withField(base, 28, 3, 2), conversion},   // bits per pixel
        {withField(base, 30, 2), conversion},      // compression that does not fit the depth
        {withField(base, 30, 4), conversion},      // or is unknown
        {withField(base, 46, 3), conversion},      // index 3 beyond a table of 3
        {bitmapFile(2, 1, 1, 0, 1, {9, 9, 9, 0, 0x40, 0, 0, 0}), conversion},  // 1 beyond 1
        {withField(base, 10, 1000), conversion},  // pixel data beyond the file
        {withField(base, 18, 16385), outOfMemory},
        {withField(base, 22, 0x80000000), outOfMemory},
        {{12, 0, 0, 0, 1, 0x80, 1, 0, 1, 0, 24, 0}, outOfMemory},  // core width is unsigned
        {withField(rle, 22, -1), conversion},                      // top-down runs
        {withField(rle, 67, 3, 1), conversion},                    // run colours beyond the table
        {runFile(4, 1, 8, {0, 3, 1, 3, 2, 0, 0, 1}), conversion},  // and an absolute run's
        {runFile(4, 1, 4, {2, 0x03, 0, 1}), conversion},
        {withField(fields, 58, 0x0F0F), conversion},  // a broken mask
        {withField(fields, 10, 54), conversion}};     // masks where the pixels are
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(decodeGuarded(cases[i].first).second, cases[i].second) << i;
    // Refused after its 30 000 bytes of pixels were allocated, a file leaves none of them behind.
    const Bytes half = bitmapFile(100, 100, 24, 0, 0, Bytes(15000), 54);
    const size_t held = mallinfo2().uordblks;
    for (int i = 0; i < 20; ++i) EXPECT_EQ(decodeGuarded(half).second, conversion);
    EXPECT_LT(mallinfo2().uordblks, held + 100000);
}

// Read or refused, every file is closed and unmapped: pictures are read anew on each F1 switch.
TEST_F(BitmapReader, ReportsFilesThatCannotBeOpenedAndClosesEveryFile) {
    writeFile("empty.bmp", {});
    writeFile("one.bmp", {'B'});  // opens, but is no bitmap
    writeFile("good.bmp", bitmapFile(1, 1, 24, 0, 0, {1, 2, 3, 0}, 54));
    const auto openFiles = [] {  // descriptors and mapped regions
        std::ifstream maps("/proc/self/maps");
        return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}) +
               std::count(std::istreambuf_iterator<char>(maps), {}, '\n');
    };
    const auto openBefore = openFiles();
    EXPECT_EQ(takePixels(readBitmapFile("good.bmp")), (Bytes{3, 2, 1}));
    const std::string paths[] = {"missing.bmp", "empty.bmp", ".", "one.bmp"};
    for (const std::string& path : paths) EXPECT_EQ(readBitmapFile(path.c_str()), nullptr);
    EXPECT_EQ(openFiles(), openBefore);
    ASSERT_EQ(scripted.messageBoxes.size(), 4u);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(scripted.messageBoxes[i],
                  "[Error] Failed to open DIB file " + paths[i] + ".\n (none, ok)");
    EXPECT_EQ(scripted.messageBoxes[3], unknownFormat);
}

}  // namespace
