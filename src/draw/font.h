// font.h — the 256-glyph bitmap font and text output into the 1024 x 768 overlay.
#pragma once

#include <cstdint>

extern uint32_t& fontBase;  // first of the 256 glyph display lists

// Forgets the glyph lists' base (deletes nothing): the start of a run.
void resetFontState();

void createGlyphLists();
void deleteGlyphLists();
void drawText(int32_t x, int32_t y, const char* text, int32_t set);
