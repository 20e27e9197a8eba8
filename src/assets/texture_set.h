// texture_set.h — the twelve textures every drawing routine indexes.
#pragma once

#include <cstdint>

#include "assets/bitmap_reader.h"

constexpr int textureCount = 12;

extern uint32_t textures[textureCount];
extern const char* const textureFiles[textureCount];

// Reads and uploads all twelve images into the current context: 1, or 0 when any is missing or
// unreadable (then no texture is created).
int32_t loadTextureSet();

// Null when the path is null or the file cannot be opened (no message); otherwise the reader's
// result.
RgbImage* loadTextureImage(const char* path);
