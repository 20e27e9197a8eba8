// hud_reader.cpp — overlay lines read back from a screenshot by matching every glyph cell on the
// screen against the glyphs of the font sheet, drawn the way the program draws them.
#include "support/hud_reader.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "assets/bitmap_reader.h"

namespace {

// Overlay geometry of lines 3 and 4: glyph cells 16 units square from x = 2, 12 units apart, in a
// 1024 x 768 space stretched over the window. A glyph's ink stays within the first 12 units of
// its cell, so the cells compared here never share a pixel with a neighbour's ink.
constexpr double overlayWidth = 1024, overlayHeight = 768;
constexpr int firstX = 2, advance = 12, cellUnits = 16;
constexpr int positionLineY = 20, anglesLineY = 2;
constexpr float positionTint[3] = {0.7f, 0.7f, 1.0f};
constexpr float anglesTint[3] = {1.0f, 0.7f, 0.7f};

const char positionFormat[] = "Pozicia(x,y,z): %.2f, %.2f, %.2f FPS: %.2f";
const char anglesFormat[] = "Uhly(x,z,sklon priamy, sklon bocny): %.2f, %.2f, %.2f, %.2f";

// Everything the two lines can show: their fixed words and the characters of a printed figure.
std::string candidateCharacters() {
    std::string all = std::string(positionFormat) + anglesFormat + "-.0123456789";
    std::sort(all.begin(), all.end());
    all.erase(std::unique(all.begin(), all.end()), all.end());
    for (char c : {'%', 'f'}) all.erase(all.find(c), 1);  // of the formats' "%.2f"
    return all;
}

// The four figures of a line printed with `format`. Printed again, they must give back exactly
// the line: a misread digit that happens to parse (a lost minus, a doubled point) shows up here.
bool parseLine(const std::string& line, const char* format, double* f) {
    std::string scan = format;
    for (size_t at; (at = scan.find("%.2f")) != std::string::npos;) scan.replace(at, 4, "%lf");
    char again[160];
    return std::sscanf(line.c_str(), scan.c_str(), f, f + 1, f + 2, f + 3) == 4 &&
           std::snprintf(again, sizeof again, format, f[0], f[1], f[2], f[3]) > 0 && line == again;
}

}  // namespace

HudReader::HudReader() {
    RgbImage* image = readBitmapFile(KALIMBOR_DATA_DIR "/Tex/Pismo/font.bmp");
    if (image == nullptr) return;
    // The sheet is grey and square with a power-of-two side, so it is its own texture level 0.
    if (image->width == image->height && image->width >= 32 &&
        (image->width & (image->width - 1)) == 0) {
        size_ = image->width;
        sheet_.resize(size_t(size_) * size_);
        for (size_t i = 0; i < sheet_.size(); ++i) sheet_[i] = image->pixels[3 * i] / 255.0f;
        const int half = size_ / 2;
        half_.resize(size_t(half) * half);
        for (int y = 0; y < half; ++y)
            for (int x = 0; x < half; ++x) {
                const float* row = &sheet_[size_t(2 * y) * size_ + 2 * x];
                half_[size_t(y) * half + x] = (row[0] + row[1] + row[size_] + row[size_ + 1]) / 4;
            }
    }
    std::free(image->pixels);
    std::free(image);
}

// Bilinear sample of one level at texture coordinates (s, t), repeating at the edges as the
// texture does.
double HudReader::texel(int level, double s, double t) const {
    const std::vector<float>& texels = level == 0 ? sheet_ : half_;
    const int n = level == 0 ? size_ : size_ / 2;
    const double u = s * n - 0.5, v = t * n - 0.5;
    const int u0 = int(std::floor(u)), v0 = int(std::floor(v));
    const double fu = u - u0, fv = v - v0;
    auto at = [&](int x, int y) {
        return double(texels[size_t((y % n + n) % n) * n + size_t((x % n + n) % n)]);
    };
    return (1 - fv) * ((1 - fu) * at(u0, v0) + fu * at(u0 + 1, v0)) +
           fv * ((1 - fu) * at(u0, v0 + 1) + fu * at(u0 + 1, v0 + 1));
}

// How badly the glyph of `code` explains the screen pixels of character `position`: the squared
// difference between the screen and the glyph added to a flat background, the background being
// whatever level fits best (never below black, since glyphs only add light). Lower is better.
// Each pixel takes the glyph where the texture is sampled at the pixel's centre: on an 800-pixel
// window a 16-texel cell covers 12.5 pixels, so the texture is minified and its first two mipmap
// levels are blended, each sampled bilinearly.
double HudReader::mismatch(const Screenshot& shot, const ScreenWindow& window, int position,
                           int lineY, const float tint[3], unsigned char code) const {
    const double unitsPerPixelX = overlayWidth / window.width;
    const double unitsPerPixelY = overlayHeight / window.height;
    const double lambda = std::log2(std::max(unitsPerPixelX, unitsPerPixelY) * size_ / 256);
    const double upper = std::clamp(lambda, 0.0, 1.0);
    const double gain = 255.0 * (tint[0] + tint[1] + tint[2]);
    const double left = firstX + advance * position;

    std::vector<double> residual;
    for (int py = 0; py < window.height; ++py) {
        const double uy = (window.height - (py + 0.5)) * unitsPerPixelY - lineY;
        if (uy < 0 || uy >= cellUnits) continue;
        for (int px = int((left - 1) / unitsPerPixelX); px < window.width; ++px) {
            const double ux = (px + 0.5) * unitsPerPixelX - left;
            if (ux < 0) continue;
            if (ux >= advance) break;
            const int sx = window.x + px, sy = window.y + py;
            if (sx < 0 || sy < 0 || sx >= shot.width || sy >= shot.height) continue;
            const int cell = code - 32;
            const double s = ((cell % 16) + ux / cellUnits) / 16;
            const double t = 1 - ((cell / 16) + 1 - uy / cellUnits) / 16;
            const double glyph = (1 - upper) * texel(0, s, t) + upper * texel(1, s, t);
            const uint8_t* p = shot.pixel(sx, sy);
            residual.push_back(double(p[0]) + p[1] + p[2] - gain * glyph);
        }
    }
    if (residual.empty()) return std::numeric_limits<double>::infinity();
    double background = 0;
    for (double r : residual) background += r;
    background = std::max(0.0, background / double(residual.size()));
    double sum = 0;
    for (double r : residual) sum += (r - background) * (r - background);
    return sum;
}

std::string HudReader::readLine(const Screenshot& shot, const ScreenWindow& window, int lineY,
                                const float tint[3]) const {
    static const std::string candidates = candidateCharacters();
    std::string text;
    if (!loaded()) return text;
    const int positions = (int(overlayWidth) - firstX) / advance;
    for (int position = 0; position < positions; ++position) {
        unsigned char best = ' ';
        double bestMismatch = std::numeric_limits<double>::infinity();
        for (unsigned char code : candidates) {
            const double m = mismatch(shot, window, position, lineY, tint, code);
            if (m < bestMismatch) bestMismatch = m, best = code;
        }
        text += char(best);
    }
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

HudFigures HudReader::read(const Screenshot& shot, const ScreenWindow& window) const {
    HudFigures figures;
    figures.positionLine = readLine(shot, window, positionLineY, positionTint);
    figures.anglesLine = readLine(shot, window, anglesLineY, anglesTint);
    figures.valid = parseLine(figures.positionLine, positionFormat, figures.position) &&
                    parseLine(figures.anglesLine, anglesFormat, figures.angles);
    return figures;
}
