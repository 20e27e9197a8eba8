// input_e2e_test.cpp — input as a busy machine delivers it: every pointer motion turns the view by
// its share, and a hundred impatient F1 presses (bare X server, window manager) leave the window,
// the place and the view as they were. The figures are read off the screen.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>

#include "support/test_files.h"
#include "support/x_session.h"

namespace {

using Clock = std::chrono::steady_clock;

// A pixel adds 0.1 to the heading rate; each frame the viewer keeps 0.7 of the rate and adds that
// to the heading, so one pixel turns the view by 0.1 * (0.7 + 0.7^2 + ...) = 0.1 * 0.7 / 0.3.
constexpr double degreesPerPixel = 0.1 * 0.7 / 0.3;
constexpr double printedTolerance = 0.006;  // two figures printed with two decimals
const int cores = int(sysconf(_SC_NPROCESSORS_ONLN));

// The overlay: glyph cells 16 units square from x = 2, 12 units apart (ink stays within the first
// 12, so cells never share ink), in a 1024 x 768 space stretched over the window; the lines' tints
// (0.7, 0.7, 1) and (1, 0.7, 0.7) both add up to 2.4.
constexpr double overlayWidth = 1024, overlayHeight = 768;
constexpr int screenWidth = 800, screenHeight = 600;
constexpr int firstX = 2, advance = 12, cellUnits = 16;
constexpr double gain = 255 * 2.4;
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
    if (residual.empty()) return std::numeric_limits<double>::infinity();
    double background = 0, sum = 0;
    for (double r : residual) background += r / residual.size();
    for (double r : residual) sum += std::pow(r - std::max(0.0, background), 2);
    return sum;
}

// Reads the overlay line at `lineY` and its four figures. Printed again, they must give back the
// very line: a misread digit that happens to parse (a lost minus, a doubled point) shows up here.
bool readLine(const std::vector<int>& shot, const ScreenWindow& window, int lineY,
              const char* format, std::string* line, double* f) {
    for (int position = 0; font.size != 0 && shot.size() == screenWidth * screenHeight &&
                           position < int(overlayWidth - firstX) / advance;
         ++position) {
        auto better = [&](char a, char b) {
            return mismatch(shot, window, position, lineY, a) <
                   mismatch(shot, window, position, lineY, b);
        };
        *line += *std::min_element(candidates.begin(), candidates.end(), better);
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
    Figures() = default;
    Figures(const std::vector<int>& shot, const ScreenWindow& window) {
        valid = readLine(shot, window, 20, positionFormat, &positionLine, position) &
                readLine(shot, window, 2, anglesFormat, &anglesLine, angles);
    }
};

// The program started and focused, the pointer taken, the view at rest.
struct Viewer {
    XSession session;
    Figures start;
    int pixels = 0;  // sent to the right so far

    explicit Viewer(bool windowManager) : session("800x600x16", windowManager) {}
    void open() {
        ASSERT_TRUE(session.ready() && font.size != 0 && session.startProgram());
        ASSERT_NE(session.focusWindow(isFullscreenWindow).id, 0u);
        EXPECT_EQ(session.findWindow(isBox(programTitle)).id, 0u) << "800 x 600 is offered";
        ASSERT_TRUE(pointerTaken());
        start = atRest();
        ASSERT_TRUE(start.valid) << start.positionLine << "\n" << start.anglesLine;
        for (double angle : start.angles) EXPECT_EQ(angle, 0);
    }
    // The focused window holds the pointer: from now on no motion goes elsewhere.
    bool pointerTaken() {
        return session.waitUntil([&] { return session.pointerTakenByOther(); });
    }
    // Two readings at least fifty frames apart that agree (by then a rate has fallen below a
    // millionth of itself).
    Figures atRest() {
        Figures last, now;
        session.waitUntil([&] {
            last = now;
            if (!session.waitForFrames(50)) return false;
            now = Figures(session.screenshot(), session.findWindow(isMainWindow));
            return last.valid && now.valid && last.anglesLine == now.anglesLine &&
                   last.position[0] == now.position[0] && last.position[1] == now.position[1];
        });
        return now;
    }
    // A few pixels to the right; SDL takes two raw motions of the same size in the same millisecond
    // for one event delivered twice and drops the second, so steps of 1 and 2 pixels alternate.
    void move() {
        session.movePointerBy(1 + pixels % 3, 0);
        pixels += 1 + pixels % 3;
    }
    void expectTurned() {
        const Figures now = atRest();
        ASSERT_TRUE(now.valid) << now.positionLine << "\n" << now.anglesLine;
        EXPECT_NEAR(now.angles[1], pixels * degreesPerPixel, printedTolerance) << now.anglesLine;
        EXPECT_EQ(now.angles[0], 0) << "no vertical motion, no pitch";
        EXPECT_TRUE(now.position[0] == start.position[0] && now.position[1] == start.position[1])
            << now.positionLine;
    }
    // Holds F1 at least 150 ms until the window in `mode` has the keyboard, releases it, and waits
    // at least 150 ms until two frames are drawn: the release has then been read, so the next press
    // is a press of its own.
    bool switchTo(const WindowMatch& mode) {
        auto until = [&](Clock::time_point end) {
            session.waitUntil([&] { return Clock::now() >= end; });
        };
        const Clock::time_point pressed = Clock::now();
        session.key("F1", true);
        const bool switched = session.focusWindow(mode).id != 0;
        until(pressed + std::chrono::milliseconds(150));
        session.key("F1", false);
        until(Clock::now() + std::chrono::milliseconds(150));
        return switched && session.waitForFrames(2);
    }
    // A hundred times with every core busy: a step of motion, then F1. Each step waits for what it
    // needs, so a slow machine only makes it slower. The window, the place and the view stay as
    // they were, and the old window never lingers.
    void pressF1AHundredTimes() {
        {
            BusyCores load(cores);
            for (int press = 1; press <= 100; ++press) {
                ASSERT_TRUE(pointerTaken()) << "press " << press;
                move();
                ASSERT_TRUE(switchTo(press % 2 ? isFramedWindow : isFullscreenWindow)) << press;
            }
        }
        const std::vector<ScreenWindow> all = session.windows();
        EXPECT_EQ(std::count_if(all.begin(), all.end(), isMainWindow), 1) << "one window";
        EXPECT_NE(session.findWindow(isFullscreenWindow).id, 0u);
        expectTurned();
    }
};

// First a hundred steps sent back to back with every core busy: not one is lost.
TEST(InputEndToEnd, PointerStepsAndHundredF1PressesOnABareServerThenEscape) {
    Viewer viewer(false);
    ASSERT_NO_FATAL_FAILURE(viewer.open());
    {
        BusyCores load(cores);
        for (int step = 0; step < 100; ++step) viewer.move();
        ASSERT_NO_FATAL_FAILURE(viewer.expectTurned());
    }
    ASSERT_NO_FATAL_FAILURE(viewer.pressF1AHundredTimes());
    EXPECT_EQ(viewer.session.exitCodeAfterHolding("Escape"), 0);
    EXPECT_TRUE(viewer.session.windows().empty()) << viewer.session.describeWindows();
}

// Then minimised, the window leaves the screen and the program waits; restored (as from a task
// bar), it draws again; Alt+F4 (the manager's key) ends the program with 0.
TEST(InputEndToEnd, HundredF1PressesUnderAWindowManagerThenMinimisedRestoredAndAltF4) {
    Viewer viewer(true);
    XSession& session = viewer.session;
    ASSERT_NO_FATAL_FAILURE(viewer.open());
    ASSERT_NO_FATAL_FAILURE(viewer.pressF1AHundredTimes());
    ASSERT_TRUE(viewer.switchTo(isFramedWindow));
    const ScreenWindow window = session.findWindow(isFramedWindow);
    session.askManager(window.id, "WM_CHANGE_STATE", 3 /* IconicState */);
    EXPECT_TRUE(session.waitUntil([&] { return session.findWindow(isMainWindow).id == 0; }));
    EXPECT_TRUE(session.programRunning());
    session.askManager(window.id, "_NET_ACTIVE_WINDOW", 2);
    EXPECT_EQ(session.focusWindow(isFramedWindow).id, window.id);
    EXPECT_TRUE(session.waitForFrames(2));
    for (const char* keysym : {"Alt_L", "F4"}) session.key(keysym, true);
    for (const char* keysym : {"F4", "Alt_L"}) session.key(keysym, false);
    EXPECT_EQ(session.exitCode(), 0);
}

}  // namespace
