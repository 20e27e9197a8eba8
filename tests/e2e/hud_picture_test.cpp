// hud_picture_test.cpp — the real program on an X screen: the four overlay lines show up over the
// world where they belong, each in its tint.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>

#include "support/x_session.h"

namespace {

enum class Tint { none, white, paleBlue, pink, other };

// Glyphs are added to the picture, so a text pixel is a bright one whose channels stand in the
// ratios of its line's colour: white (1, 1, 1), pale blue (0.7, 0.7, 1) or pink (1, 0.7, 0.7).
Tint tintOf(const uint8_t* p) {
    const int r = p[0], g = p[1], b = p[2], top = std::max({r, g, b});
    if (top < 120) return Tint::none;
    auto weaker = [&](int c) { return c < 0.85 * top; };
    auto alike = [&](int c, int d) { return std::abs(c - d) < 0.15 * top; };
    if (!weaker(r) && !weaker(g) && !weaker(b)) return Tint::white;
    if (b == top && weaker(r) && weaker(g) && alike(r, g)) return Tint::paleBlue;
    if (r == top && weaker(g) && weaker(b) && alike(g, b)) return Tint::pink;
    return Tint::other;
}

// Text pixels of the screen rows between two overlay heights, counted by tint, and the right
// edge of the rightmost one.
struct Band {
    std::map<Tint, int> count;
    int right = -1;
};

Band scanBand(const Screenshot& shot, const ScreenWindow& window, float top, float bottom) {
    Band band;
    const int firstRow = window.y + static_cast<int>(window.height * (1 - top / 768) + 1);
    const int lastRow = window.y + static_cast<int>(window.height * (1 - bottom / 768));
    for (int y = std::max(firstRow, 0); y <= lastRow && y < shot.height; ++y)
        for (int x = window.x; x < window.x + window.width; ++x) {
            const Tint tint = tintOf(shot.pixel(x, y));
            if (tint == Tint::none) continue;
            ++band.count[tint];
            band.right = std::max(band.right, x - window.x);
        }
    return band;
}

// Most text pixels of the band in the expected tint, and hardly any in another.
void expectTint(Band& band, Tint tint, const char* line) {
    EXPECT_GE(band.count[tint], 100) << line;
    for (auto [other, count] : band.count)
        if (other != tint) EXPECT_LT(count * 5, band.count[tint]) << line << " tint " << int(other);
}

}  // namespace

TEST(HudPicture, OverlayLinesInTheirCornersAndTints) {
    XSession session("800x600x16");
    ASSERT_TRUE(session.ready());
    ASSERT_TRUE(session.startProgram());
    ScreenWindow window = session.waitForWindow("Kalimbor v.1.4b", 30000);
    ASSERT_NE(window.id, 0u) << session.programErrors();
    Screenshot shot;
    // The title line is drawn with the first frame; wait for it rather than for a fixed time.
    ASSERT_TRUE(session.waitUntil(
        [&] {
            shot = session.screenshot();
            return scanBand(shot, window, 768, 754).count[Tint::white] > 0;
        },
        30000))
        << session.programErrors();

    // Overlay lines: 1 at y 753 and 2 at 738 (top left), 3 at 20 and 4 at 2 (bottom left), each
    // 16 units high; line 1 is cut at the top edge and lines 1 and 2 share one unit.
    Band title = scanBand(shot, window, 768, 754);
    Band mode = scanBand(shot, window, 753, 738);
    Band position = scanBand(shot, window, 36, 20);
    Band angles = scanBand(shot, window, 18, 2);
    expectTint(title, Tint::white, "line 1");
    expectTint(mode, Tint::paleBlue, "line 2");
    expectTint(position, Tint::paleBlue, "line 3");
    expectTint(angles, Tint::pink, "line 4");

    // "Kalimbor v.1.4" is 14 glyphs, the last cell ending 2 + 12 x 13 + 16 = 174 units in; line 2
    // has 25 glyphs and a line feed that prints nothing, ending at 306. A glyph more or less moves
    // the last text pixel by 12 units.
    const float pixelsPerUnit = window.width / 1024.0f;
    EXPECT_GT(title.right, (174 - 12) * pixelsPerUnit);
    EXPECT_LE(title.right, 174 * pixelsPerUnit);
    EXPECT_GT(mode.right, (306 - 12) * pixelsPerUnit);
    EXPECT_LE(mode.right, 306 * pixelsPerUnit);
}
