// font_sheet.cpp — renders the overlay's two glyph sets into the 16 x 16 cell font sheet.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdio>

#include "make_data.h"

// The overlay draws each cell as a 16 x 16 square and moves on by 12, so a glyph must stay within
// the 12 columns before the next one starts and within the 16 rows of its cell.
constexpr int cellSize = 16;
constexpr int glyphAdvance = 12;
constexpr int firstCode = 32;
constexpr int lastCode = 126;  // 127 is a control code and stays blank
constexpr int boldFirstCell = 128;

struct GlyphExtent {
    int top = 0, bottom = 0, left = 0, right = 0;  // relative to the pen on the baseline
};

static bool loadGlyph(FT_Face face, int code) {
    return FT_Load_Char(face, static_cast<FT_ULong>(code), FT_LOAD_RENDER) == 0;
}

static bool measure(FT_Face face, GlyphExtent* extent) {
    for (int code = firstCode; code <= lastCode; ++code) {
        if (!loadGlyph(face, code)) return false;
        FT_GlyphSlot g = face->glyph;
        if (g->bitmap.rows == 0 || g->bitmap.width == 0) continue;
        extent->top = std::max(extent->top, g->bitmap_top);
        extent->bottom = std::max(extent->bottom, static_cast<int>(g->bitmap.rows) - g->bitmap_top);
        extent->left = std::min(extent->left, g->bitmap_left);
        extent->right = std::max(extent->right, g->bitmap_left + static_cast<int>(g->bitmap.width));
    }
    return true;
}

static void drawGlyphs(FT_Face face, int firstCell, const GlyphExtent& extent,
                       IndexedPicture* sheet) {
    // Centre the common box of all glyphs in the advance and in the cell height.
    int penX = -extent.left + (glyphAdvance - (extent.right - extent.left)) / 2;
    int baseline = extent.top + (cellSize - (extent.top + extent.bottom)) / 2;
    for (int code = firstCode; code <= lastCode; ++code) {
        if (!loadGlyph(face, code)) continue;
        int cell = firstCell + code - firstCode;
        int cellLeft = (cell % 16) * cellSize, cellTop = (cell / 16) * cellSize;
        const FT_Bitmap& bitmap = face->glyph->bitmap;
        for (unsigned row = 0; row < bitmap.rows; ++row)
            for (unsigned column = 0; column < bitmap.width; ++column) {
                int x = penX + face->glyph->bitmap_left + static_cast<int>(column);
                int y = baseline - face->glyph->bitmap_top + static_cast<int>(row);
                if (x < 0 || y < 0 || x >= glyphAdvance || y >= cellSize) continue;
                sheet->at(cellLeft + x, cellTop + y) = bitmap.buffer[row * bitmap.pitch + column];
            }
    }
}

// The largest pixel size at which every printable glyph of the face fits its cell.
static bool chooseSize(FT_Face face, GlyphExtent* extent) {
    for (int pixels = 24; pixels >= 8; --pixels) {
        if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixels)) != 0) return false;
        GlyphExtent measured;
        if (!measure(face, &measured)) return false;
        if (measured.top + measured.bottom <= cellSize &&
            measured.right - measured.left <= glyphAdvance) {
            *extent = measured;
            return true;
        }
    }
    return false;
}

bool paintFontSheet(const std::string& regularFont, const std::string& boldFont,
                    IndexedPicture* sheet) {
    std::vector<Colour> greys;
    for (int i = 0; i < 256; ++i) greys.push_back({i / 255.0f, i / 255.0f, i / 255.0f});
    *sheet = makeIndexedPicture(16 * cellSize, 16 * cellSize, greys);

    FT_Library library;
    if (FT_Init_FreeType(&library) != 0) {
        std::fprintf(stderr, "make_data: FreeType cannot start\n");
        return false;
    }
    bool ok = true;
    const std::string* fonts[2] = {&regularFont, &boldFont};
    for (int set = 0; set < 2 && ok; ++set) {
        FT_Face face;
        if (FT_New_Face(library, fonts[set]->c_str(), 0, &face) != 0) {
            std::fprintf(stderr, "make_data: cannot read font %s\n", fonts[set]->c_str());
            ok = false;
            break;
        }
        GlyphExtent extent;
        if (chooseSize(face, &extent)) {
            drawGlyphs(face, set == 0 ? 0 : boldFirstCell, extent, sheet);
        } else {
            std::fprintf(stderr, "make_data: font %s does not fit a cell\n", fonts[set]->c_str());
            ok = false;
        }
        FT_Done_Face(face);
    }
    FT_Done_FreeType(library);
    return ok;
}
