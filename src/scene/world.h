// world.h — the per-frame routine and the fixed world it draws.
#pragma once

#include <cstdint>

// One ground tile, at angle 0: it covers x - sizeX to x and y to y + sizeY in world units, with
// the texture repeated repeatS times along X and repeatT times along Y.
struct GroundTile {
    float x, y, sizeX, sizeY, repeatS, repeatT;
    int32_t textureIndex;
};

// Where one copy of the hangar model stands on the ground.
struct HangarPlace {
    float x, y;
};

// One iron box, at angle 0: x - sizeX to x, y to y + sizeY, z to z + height. The base height is a
// double so that it is added to the eye-relative ground height before rounding to float.
struct IronBox {
    float x, y;
    double z;
    float sizeX, sizeY, height;
};

constexpr int groundTileCount = 31;
constexpr int hangarCount = 4;
constexpr int ironBoxCount = 6;

extern const GroundTile groundTiles[groundTileCount];
extern const HangarPlace hangarPlaces[hangarCount];
extern const IronBox ironBoxes[ironBoxCount];

// The colours of the two point lights, white and yellow; neither has an ambient part.
extern const float whiteLightAmbient[4];
extern const float whiteLightDiffuse[4];
extern const float yellowLightAmbient[4];
extern const float yellowLightDiffuse[4];

// Draws one frame into the back buffer. Always 1.
int32_t renderFrame();

// The 2500 rain streaks around the viewer; keeps animationPhase within its falling range.
void drawRainField();
