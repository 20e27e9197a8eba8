// main.cpp — the data generator: writes the viewer's twelve pictures and its hangar model into
// the data folder given on the command line. Run by the build; the same sources always give the
// same files.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>

#include "make_data.h"

// Each picture goes out in a different bitmap variant, so that every start of the viewer puts its
// reader through most of what it accepts.
static void writePictures(const std::string& tex, const IndexedPicture& font) {
    writeIndexedBitmap(tex + "/Pismo/font.bmp", font, 8, IndexedLayout::plain);
    writeIndexedBitmap(tex + "/Ciary/00.bmp", paintAxisColours(), 4, IndexedLayout::plain);

    constexpr int fenceSize = 256;
    std::vector<float> wire = fenceWireCoverage(fenceSize);
    writeTrueColourBitmap(tex + "/plot.bmp", paintFence(wire, fenceSize), 16);
    writeIndexedBitmap(tex + "/plot_maska.bmp", paintMask(wire, fenceSize, fenceSize), 1,
                       IndexedLayout::plain);
    writeIndexedBitmap(tex + "/plot_tycka.bmp", paintFencePost(), 8, IndexedLayout::coreHeader);

    constexpr int shrubSize = 256;
    Picture shrub;
    std::vector<float> leaves = shrubCoverage(shrubSize, &shrub);
    writeTrueColourBitmap(tex + "/Zuvo/zuvo.bmp", shrub, 32);
    writeIndexedBitmap(tex + "/Zuvo/zuvo_maska.bmp", paintMask(leaves, shrubSize, shrubSize), 4,
                       IndexedLayout::runLength);

    writeTrueColourBitmap(tex + "/zem.bmp", paintGrassAndSoil(), 24);
    writeIndexedBitmap(tex + "/drevo.bmp", paintWood(), 8, IndexedLayout::plain);
    writeIndexedBitmap(tex + "/dazd.bmp", paintRainStreak(), 8, IndexedLayout::runLength);
    writeTrueColourBitmap(tex + "/cesta.bmp", paintGravel(), 24);
    writeTrueColourBitmap(tex + "/zelezo.bmp", paintIronPlates(), 24);
}

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: make_data DATA_FOLDER REGULAR_FONT BOLD_FONT\n");
        return 2;
    }
    const std::string data = argv[1];
    try {
        for (const char* folder : {"/Tex/Pismo", "/Tex/Ciary", "/Tex/Zuvo", "/STL"})
            std::filesystem::create_directories(data + folder);
        IndexedPicture font;
        if (!paintFontSheet(argv[2], argv[3], &font)) return 1;
        writePictures(data + "/Tex", font);
        writeModelFile(data + "/STL/hangar.rin", buildHangar());
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "make_data: %s\n", failure.what());
        return 1;
    }
    return 0;
}
