// input_e2e_test.cpp — input as a busy machine delivers it, under a window manager: every pointer
// motion turns the view by its share, and a hundred zero-length F1 taps leave the window, the
// place and the view as they were. The figures are read off the screen.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "support/test_files.h"
#include "support/x_session.h"

namespace {

// A pixel adds 0.1 to the heading rate; each frame the viewer keeps 0.7 of the rate and adds that
// to the heading, so one pixel turns the view by 0.1 * (0.7 + 0.7^2 + ...) = 0.1 * 0.7 / 0.3.
constexpr double degreesPerPixel = 0.1 * 0.7 / 0.3;
constexpr double printedTolerance = 0.006;  // two figures printed with two decimals

// The overlay: glyph cells 16 units square from x = 2, 12 units apart (ink stays within the first
// 12, so cells never share ink), in a 1024 x 768 space stretched over the window; the lines' tints
// (0.7, 0.7, 1) and (1, 0.7, 0.7) both add up to 2.4.
constexpr double overlayWidth = 1024, overlayHeight = 768, gain = 255 * 2.4;
constexpr int screenWidth = 800, screenHeight = 600, firstX = 2, advance = 12, cellUnits = 16;
const char positionFormat[] = "Pozicia(x,y,z): %.2f, %.2f, %.2f FPS: %.2f";
const char anglesFormat[] = "Uhly(x,z,sklon priamy, sklon bocny): %.2f, %.2f, %.2f, %.2f";
const std::string candidates = " (),-.0123456789:FPSUabchiklmnoprsxyz";  // all the lines show

// The font sheet (grey, square, bottom row first) as texture levels 0 and 1.
struct Font {
    int size = 0;
    std::vector<float> level[2];
    Font() {
        const Bytes rgb = takePixels(readBitmapFile(KALIMBOR_DATA_DIR "/Tex/Pismo/font.bmp"));
        size = int(std::sqrt(rgb.size() / 3));
        for (size_t i = 0; i < rgb.size(); i += 3) level[0].push_back(rgb[i] / 255.f);
        for (int y = 0; y < size / 2; ++y)
            for (int x = 0; x < size / 2; ++x) {
                const float* p = &level[0][size_t(2 * y) * size + 2 * x];
                level[1].push_back((p[0] + p[1] + p[size] + p[size + 1]) / 4);
            }
    }
    // Bilinear sample at (s, t), repeating at the edges as the texture does.
    double texel(int l, double s, double t) const {
        const int n = size >> l;
        const double u = s * n - 0.5, v = t * n - 0.5;
        const int u0 = int(std::floor(u)), v0 = int(std::floor(v));
        const double fu = u - u0, fv = v - v0;
        auto at = [&](int x, int y) { return level[l][((y % n + n) % n) * n + (x % n + n) % n]; };
        return (1 - fv) * ((1 - fu) * at(u0, v0) + fu * at(u0 + 1, v0)) +
               fv * ((1 - fu) * at(u0, v0 + 1) + fu * at(u0 + 1, v0 + 1));
    }
} const font;

// How badly the glyph of `code` explains the pixels of cell `position`: the squared difference
// over a flat background (whatever level fits best, never below black). An 800-pixel window
// minifies the texture: its first two levels blend, each sampled bilinearly at a pixel's centre.
double mismatch(const std::vector<int>& shot, const ScreenWindow& window, int position, int lineY,
                int code) {
    const double perPixelX = overlayWidth / window.width, perPixelY = overlayHeight / window.height;
    const double upper =
        std::clamp(std::log2(std::max(perPixelX, perPixelY) * font.size / 256), 0.0, 1.0);
    const double left = firstX + advance * position;
    std::vector<double> residual;
    for (int py = 0; py < window.height; ++py) {
        const double uy = (window.height - (py + 0.5)) * perPixelY - lineY;
        for (int px = int((left - 1) / perPixelX); uy >= 0 && uy < cellUnits; ++px) {
            const double ux = (px + 0.5) * perPixelX - left;
            const int sx = window.x + px, sy = window.y + py;
            if (ux >= advance || px >= window.width) break;
            if (ux < 0 || sx < 0 || sy < 0 || sx >= screenWidth || sy >= screenHeight) continue;
            const double s = ((code - 32) % 16 + ux / cellUnits) / 16;
            const double t = 1 - ((code - 32) / 16 + 1 - uy / cellUnits) / 16;
            const double glyph = (1 - upper) * font.texel(0, s, t) + upper * font.texel(1, s, t);
            residual.push_back(shot[size_t(sy) * screenWidth + sx] - gain * glyph);
        }
    }
    if (residual.empty()) return INFINITY;
    double background = 0, sum = 0;
    for (double r : residual) background += r / residual.size();
    for (double r : residual) sum += std::pow(r - std::max(0.0, background), 2);
    return sum;
}

// Reads the overlay line at `lineY` and its four figures. Printed again, they must give back the
// very line: a misread digit that happens to parse (a lost minus, a doubled point) shows up here.
bool readLine(const std::vector<int>& shot, const ScreenWindow& window, int lineY,
              const char* format, std::string* line, double* f) {
    if (font.size == 0 || shot.size() != screenWidth * screenHeight) return false;
    for (int position = 0; position < int(overlayWidth - firstX) / advance; ++position) {
        auto cost = [&](char code) { return mismatch(shot, window, position, lineY, code); };
        *line += *std::min_element(candidates.begin(), candidates.end(),
                                   [&](char a, char b) { return cost(a) < cost(b); });
    }
    line->erase(line->find_last_not_of(' ') + 1);
    std::string scan = format;
    for (size_t at; (at = scan.find("%.2f")) != std::string::npos;) scan.replace(at, 4, "%lf");
    char again[160];
    return std::sscanf(line->c_str(), scan.c_str(), f, f + 1, f + 2, f + 3) == 4 &&
           std::snprintf(again, sizeof again, format, f[0], f[1], f[2], f[3]) > 0 && *line == again;
}

// The figures of overlay lines 3 and 4; `valid` only when both read exactly as printed.
struct Figures {
    bool valid = false;
    double position[4] = {};  // x, y, eye height, frames per second
    double angles[4] = {};    // pitch, heading, forward tilt, side tilt
    std::string positionLine, anglesLine;
    explicit Figures(const std::vector<int>& shot = {}, const ScreenWindow& window = {}) {
        valid = readLine(shot, window, 20, positionFormat, &positionLine, position) &
                readLine(shot, window, 2, anglesFormat, &anglesLine, angles);
    }
};

// The program started and focused, the pointer taken, the view at rest.
struct Viewer : XSession {
    Figures initial;
    int pixels = 0;  // sent to the right so far

    Viewer() : XSession("800x600x16", true) {}
    void open() {
        ASSERT_TRUE(font.size != 0 && start(isFullscreenWindow).id != 0);
        ASSERT_TRUE(pointerTaken() && atRest(&initial)) << initial.positionLine;
        for (double angle : initial.angles) EXPECT_EQ(angle, 0) << initial.anglesLine;
    }
    // Two readings at least fifty frames apart that agree (by then a rate has fallen below a
    // millionth of itself).
    bool atRest(Figures* now) {
        Figures last;
        return waitUntil([&] {
            last = *now;
            *now = waitForFrames(50) ? Figures(screenshot(), findWindow(isMainWindow)) : Figures();
            return last.valid && now->valid && last.anglesLine == now->anglesLine &&
                   last.position[0] == now->position[0] && last.position[1] == now->position[1];
        });
    }
    // A few pixels to the right; SDL takes two raw motions of the same size in the same millisecond
    // for one event delivered twice and drops the second, so steps of 1 and 2 pixels alternate.
    void move() {
        const int step = 1 + pixels % 3;
        movePointerBy(step, 0);
        pixels += step;
    }
    // Turned by the pixels sent, neither pitched (no vertical motion) nor moved.
    void expectTurned() {
        Figures now;
        ASSERT_TRUE(atRest(&now)) << now.positionLine << now.anglesLine;
        EXPECT_NEAR(now.angles[1], pixels * degreesPerPixel, printedTolerance) << now.anglesLine;
        EXPECT_TRUE(now.angles[0] == 0 && now.position[0] == initial.position[0] &&
                    now.position[1] == initial.position[1])
            << now.positionLine << now.anglesLine;
    }
    // A zero-length F1 tap, then the window in `mode` has the keyboard and has drawn two frames.
    bool switchTo(const WindowMatch& mode) {
        return switchMode(findWindow(isMainWindow), mode).id != 0 && waitForFrames(2);
    }
};

// With every core busy: a hundred steps back to back, none lost; a hundred times a step and F1,
// leaving one fullscreen window, in place, turned by each step. Minimised, the window goes and the
// program waits; restored (as from a task bar), it draws again; Alt+F4 (the manager's) ends it: 0.
TEST(InputEndToEnd, PointerStepsHundredF1TapsMinimisingRestoringAndAltF4) {
    Viewer viewer;
    ASSERT_NO_FATAL_FAILURE(viewer.open());
    {
        BusyCores load;
        for (int step = 0; step < 100; ++step) viewer.move();
        ASSERT_NO_FATAL_FAILURE(viewer.expectTurned());
        for (int press = 1; press <= 100; ++press) {
            ASSERT_TRUE(viewer.pointerTaken()) << "press " << press;  // no motion goes elsewhere
            viewer.move();
            ASSERT_TRUE(viewer.switchTo(press % 2 ? isFramedWindow : isFullscreenWindow)) << press;
        }
    }
    const std::vector<ScreenWindow> all = viewer.windows();
    EXPECT_TRUE(std::count_if(all.begin(), all.end(), isMainWindow) == 1 &&
                isFullscreenWindow(all.back()));
    ASSERT_NO_FATAL_FAILURE(viewer.expectTurned());
    ASSERT_TRUE(viewer.switchTo(isFramedWindow));
    const ScreenWindow window = viewer.findWindow(isFramedWindow);
    viewer.askManager(window.id, "WM_CHANGE_STATE", 3 /* IconicState */);
    EXPECT_TRUE(viewer.waitUntil([&] { return viewer.findWindow(isMainWindow).id == 0; }) &&
                viewer.programRunning());
    viewer.askManager(window.id, "_NET_ACTIVE_WINDOW", 2);
    EXPECT_TRUE(viewer.focusWindow(isFramedWindow).id == window.id && viewer.waitForFrames(2));
    viewer.key("Alt_L", true);
    viewer.tap("F4");
    viewer.key("Alt_L", false);
    EXPECT_EQ(viewer.exitCode(), 0);
}

}  // namespace
