// texture_set.h — the twelve textures every drawing routine indexes.
#pragma once

#include <cstdint>

#include "assets/bitmap_reader.h"

constexpr int textureCount = 12;

// The indices of the textures that are drawn (the order of textureFiles); 2 to 6 and 8 are
// loaded but not drawn.
constexpr int32_t fontSheetTexture = 0;
constexpr int32_t linesTexture = 1;
constexpr int32_t groundTexture = 7;
constexpr int32_t rainTexture = 9;
constexpr int32_t pathTexture = 10;
constexpr int32_t ironTexture = 11;

extern uint32_t (&textures)[textureCount];  // GL names in the current context; 0 before loading
extern const char* const textureFiles[textureCount];

// Forgets the texture names (deletes nothing): the start of a run.
void resetTextureSetState();

// Reads and uploads all twelve images into the current context: 1, or 0 when any is missing or
// unreadable (then no texture is created).
int32_t loadTextureSet();

// Null when the path is null or the file cannot be opened (no message); otherwise the reader's
// result.
RgbImage* loadTextureImage(const char* path);
