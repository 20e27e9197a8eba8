// world_picture_test.cpp — the real program on an X screen, looked at as a person would: the
// ground, the boxes and hangars ahead, the rain in the sky, and the lights going off while L is
// held.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <vector>

#include "support/x_session.h"

// Generous, because a sanitizer build starts slowly; every wait ends as soon as its condition
// holds.
constexpr int openTimeoutMs = 30000;
constexpr int stepTimeoutMs = 15000;

// Screen areas of the 800 x 600 picture once the viewer, standing at the corner of the yard and
// facing along it, has looked up to 20 degrees below the horizon. The yard lies to the right of
// the centre line, nothing to the left of it; the overlay's lines stay out of every area.
struct Area {
    int x0, y0, x1, y1;
};
constexpr Area groundArea = {420, 350, 780, 560};      // the yard in front, right of the centre
constexpr Area emptyGroundArea = {20, 350, 380, 560};  // beside the yard: nothing below the eye
constexpr Area skyArea = {20, 40, 380, 250};           // sky over the empty side
constexpr Area horizonArea = {400, 110, 600, 185};     // boxes and a hangar ahead, on the horizon
constexpr Area skyAheadArea = {400, 40, 600, 100};     // the sky above them

static double brightness(const Screenshot& shot, int x, int y) {
    const uint8_t* p = shot.pixel(x, y);
    return (p[0] + p[1] + p[2]) / 3.0;
}

struct AreaLook {
    double mean = 0;
    double spread = 0;    // standard deviation of the brightness: a texture, not a flat fill
    double litShare = 0;  // share of pixels that are not black
};

static AreaLook look(const Screenshot& shot, Area a) {
    double sum = 0, squares = 0, lit = 0;
    const double count = double(a.x1 - a.x0) * (a.y1 - a.y0);
    for (int y = a.y0; y < a.y1; ++y) {
        for (int x = a.x0; x < a.x1; ++x) {
            const double b = brightness(shot, x, y);
            sum += b;
            squares += b * b;
            lit += b > 0;
        }
    }
    const double mean = sum / count;
    return {mean, std::sqrt(std::max(0.0, squares / count - mean * mean)), lit / count};
}

// The first row, from under the overlay down, where the ground starts in the right half: the
// median over several columns of the first run of six non-black pixels (a rain streak is one pixel
// wide and covers only a few of them at a time).
static int horizonRow(const Screenshot& shot) {
    std::vector<int> rows;
    for (int x = 610; x <= 790; x += 20) {
        int row = shot.height;
        for (int y = 30, run = 0; y < shot.height; ++y) {
            run = brightness(shot, x, y) > 0 ? run + 1 : 0;
            if (run == 6) {
                row = y - 5;
                break;
            }
        }
        rows.push_back(row);
    }
    std::sort(rows.begin(), rows.end());
    return rows[rows.size() / 2];
}

// Looks up by moving the pointer to the top of the screen (300 pixels: 70 degrees, spread over
// the following frames) and waits until the horizon has held still for half a second.
static bool lookUpAndSettle(XSession& session) {
    session.movePointer(400, 0);
    int lastRow = -1;
    auto since = std::chrono::steady_clock::now();
    return session.waitUntil(
        [&] {
            const int row = horizonRow(session.screenshot());
            const auto now = std::chrono::steady_clock::now();
            if (std::abs(row - lastRow) > 2 || row < 100 || row > 300) lastRow = row, since = now;
            return now - since > std::chrono::milliseconds(500);
        },
        stepTimeoutMs);
}

TEST(WorldPicture, GroundBoxesAndRainShowAndLGoesUnlit) {
    XSession session("800x600x16");
    ASSERT_TRUE(session.ready());
    ASSERT_TRUE(session.startProgram());
    ASSERT_NE(session.waitForWindow("Kalimbor v.1.4b", openTimeoutMs).id, 0u)
        << session.programErrors();
    ASSERT_TRUE(lookUpAndSettle(session)) << "the view never settled";

    // Lit: dim under two far point lights, but the yard is there and the void beside it is not.
    const Screenshot lit = session.screenshot();
    const AreaLook ground = look(lit, groundArea);
    EXPECT_GT(ground.litShare, 0.95);
    EXPECT_LT(look(lit, emptyGroundArea).litShare, 0.05);
    EXPECT_GT(look(lit, horizonArea).litShare, 0.4) << "nothing stands ahead";
    EXPECT_LT(look(lit, skyAheadArea).litShare, 0.05);
    const double rainShare = look(lit, skyArea).litShare;
    EXPECT_GT(rainShare, 0.0005) << "no rain in the sky";
    EXPECT_LT(rainShare, 0.05) << "the sky is filled, not rained on";

    // L held: the world unlit, its textures at full strength.
    Screenshot unlit;
    EXPECT_TRUE(session.holdKeyUntil(
        "l",
        [&] {
            unlit = session.screenshot();
            return look(unlit, groundArea).mean > 4 * ground.mean + 10;
        },
        stepTimeoutMs))
        << "holding L left the lights on";
    EXPECT_GT(look(unlit, groundArea).spread, 5) << "the ground shows no texture";
    EXPECT_GT(look(unlit, horizonArea).mean, 4 * look(unlit, skyAheadArea).mean + 20);
    EXPECT_GT(look(unlit, skyArea).spread, 2) << "no bright rain streaks";

    // Released: lit again.
    EXPECT_TRUE(session.waitUntil(
        [&] { return look(session.screenshot(), groundArea).mean < 2 * ground.mean + 2; },
        stepTimeoutMs));
}
