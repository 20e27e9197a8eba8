// primitives.h — the textured immediate-mode routines the world is assembled from.
#pragma once

#include <cstdint>

// Degrees to radians, single precision (pi/180).
constexpr float degToRad = 0.017453292f;

void drawAxisCross(float x, float y, float z, float length, int32_t lineWidth);
void drawFlatQuad(float x, float y, float z, float sizeX, float sizeY, float repeatS, float repeatT,
                  float angle, int32_t textureIndex);
void drawBox(float x, float y, float z, float sizeX, float sizeY, float height, float angle,
             int32_t textureIndex);
void drawVerticalLine(float x, float y, float z, float length, float lineWidth,
                      int32_t textureIndex);
