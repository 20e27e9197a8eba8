// hud_reader.h — reads the overlay's position and angle lines back from a screenshot, glyph cell by
// glyph cell against the program's own font sheet, so end-to-end tests can check the figures a
// user sees.
#pragma once

#include <string>
#include <vector>

#include "support/x_session.h"

// The figures of overlay lines 3 and 4; `valid` only when both lines read exactly as printed.
struct HudFigures {
    bool valid = false;
    double position[4] = {};  // x, y, eye height, frames per second
    double angles[4] = {};    // pitch, heading, forward tilt, side tilt
    std::string positionLine, anglesLine;
};

class HudReader {
public:
    HudReader();  // loads Tex/Pismo/font.bmp of the data folder
    bool loaded() const { return size_ != 0; }
    HudFigures read(const Screenshot& shot, const ScreenWindow& window) const;

private:
    std::string readLine(const Screenshot& shot, const ScreenWindow& window, int lineY,
                         const float tint[3]) const;
    double texel(int level, double s, double t) const;
    double mismatch(const Screenshot& shot, const ScreenWindow& window, int position, int lineY,
                    const float tint[3], unsigned char code) const;

    int size_ = 0;
    std::vector<float> sheet_;  // grey texels, bottom row first, as the texture holds them
    std::vector<float> half_;   // the next mipmap level, 2 x 2 averages
};
