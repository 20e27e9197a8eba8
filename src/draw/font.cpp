// font.cpp — the 256-glyph bitmap font cut out of the font sheet, and text output into the
// 1024 x 768 overlay that lies over the finished frame.
#include "draw/font.h"

#include <GL/gl.h>

#include <cstring>

#include "assets/texture_set.h"

// The glyph lists' base, with its start value written once, here; `fontBase` refers to it.
struct FontState {
    uint32_t fontBase = 0;
};
static FontState fontState;

void resetFontState() {
    fontState = FontState();
}

uint32_t& fontBase = fontState.fontBase;

// The font sheet is a 16 x 16 grid of glyph cells. Cell i sits in column i mod 16 and row
// i div 16, row 0 at the top of the picture; the picture's rows reach the texture bottom row
// first, so the top of the sheet is t = 1 and the rows count downwards from there.
//
// Every cell becomes one display list: a 16 x 16 textured quad with its lower-left corner at the
// current origin, followed by a 12-unit step to the right. Because the step is compiled into the
// list, printing a string is a single glCallLists with no per-character work on the host;
// neighbouring glyphs overlap by 4 units.
//
// The lists bind no texture. OpenGL 1.1 would compile a glBindTexture into a list, but then every
// character printed would bind the sheet again; instead the lists draw with whatever texture is
// bound when they are called, and drawText binds the font sheet once before it calls them.
void createGlyphLists() {
    const float cellSize = 0.0625f;
    fontBase = glGenLists(256);
    // Outside any list, so not compiled into one: it only leaves the sheet bound for the caller.
    glBindTexture(GL_TEXTURE_2D, textures[fontSheetTexture]);
    for (uint32_t i = 0; i < 256; ++i) {
        const float s0 = static_cast<float>(i % 16) * cellSize;
        const float t1 = 1.0f - static_cast<float>(i / 16) * cellSize;
        const float t0 = t1 - cellSize;
        glNewList(fontBase + i, GL_COMPILE);
        // Counter-clockwise in the overlay, so the quad survives the back-face culling that
        // stays on while text is drawn.
        glBegin(GL_QUADS);
        glTexCoord2f(s0, t0);
        glVertex2i(0, 0);
        glTexCoord2f(s0 + cellSize, t0);
        glVertex2i(16, 0);
        glTexCoord2f(s0 + cellSize, t1);
        glVertex2i(16, 16);
        glTexCoord2f(s0, t1);
        glVertex2i(0, 16);
        glEnd();
        glTranslated(12, 0, 0);
        glEndList();
    }
}

// Called by the window teardown after the rendering context has been released, in which case
// GL ignores it and the lists go with their context.
void deleteGlyphLists() {
    glDeleteLists(fontBase, 256);
}

// Glyph sets: the list base puts character code 32 on cell 0 (set 0) or cell 128 (set 1). The
// bytes go to GL as signed values, so in set 1 the bytes 160..255 land on the cells of set 0,
// while every cell number outside 0..255 names no list and GL skips it without advancing.
// A negative set pushes every name below fontBase, so it prints nothing at all.
//
// The state is set to fixed values afterwards, not restored: the next frame sets its lighting
// again before it draws anything, and the world expects depth test on and blending off.
void drawText(int32_t x, int32_t y, const char* text, int32_t set) {
    if (set > 1) set = 1;
    glBindTexture(GL_TEXTURE_2D, textures[fontSheetTexture]);
    // Adds texel times destination alpha; the frame is cleared with alpha 1, so black texels
    // leave the picture unchanged and bright ones lighten it.
    glBlendFunc(GL_DST_ALPHA, GL_ONE);
    glEnable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);

    // The overlay is 1024 x 768 units whatever the window size, stretched over the viewport.
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, 1024, 0, 768, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glTranslated(x, y, 0);

    glListBase(fontBase - 32 + 128 * static_cast<uint32_t>(set));
    glCallLists(static_cast<GLsizei>(std::strlen(text)), GL_BYTE, text);

    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glDisable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
}
