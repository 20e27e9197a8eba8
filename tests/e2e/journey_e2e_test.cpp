// journey_e2e_test.cpp — the real program on an X screen, used as a person uses it: walking,
// turning, crouching, raising the eye, speeding up, moving the camera, switching the lights off,
// switching the display mode twenty times, minimising and restoring. The overlay's figures are
// read back from the screen and checked together with what the picture shows.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "support/hud_reader.h"
#include "support/x_session.h"

namespace {

// Generous, because a sanitizer build starts slowly; every wait ends as soon as its condition
// holds.
constexpr int openTimeoutMs = 30000;
constexpr int stepTimeoutMs = 15000;
const char programTitle[] = "Kalimbor v.1.4b";

// The bob adds 0.018 to 0.024 to every eye height once the rain's phase runs in its band.
bool eyeHeightIs(const HudFigures& f, double height) {
    return f.position[2] >= height && f.position[2] < height + 0.03;
}

// Screen areas of the 800 x 600 picture, the overlay's lines left out.
struct Area {
    int x0, y0, x1, y1;
};
constexpr Area upperLeft = {0, 30, 395, 295}, upperRight = {405, 30, 800, 295};
constexpr Area lowerLeft = {0, 305, 395, 565}, lowerRight = {405, 305, 800, 565};
constexpr Area upperHalf = {0, 30, 800, 295}, lowerHalf = {0, 305, 800, 565};
constexpr Area world = {0, 30, 800, 565};

int brightness(const Screenshot& shot, int x, int y) {
    const uint8_t* p = shot.pixel(x, y);
    return p[0] + p[1] + p[2];
}

// Share of the area's pixels that show something: the ground is dim under its two far lights,
// but nowhere black, while the void beside the yard is black but for a few rain streaks.
// With `mean`, the area's mean brightness instead.
double litShare(const Screenshot& shot, Area a, bool mean = false) {
    double sum = 0;
    for (int y = a.y0; y < a.y1; ++y)
        for (int x = a.x0; x < a.x1; ++x)
            sum += mean ? brightness(shot, x, y) : brightness(shot, x, y) > 0;
    return sum / ((a.x1 - a.x0) * (a.y1 - a.y0));
}

// How far two pictures of the world differ: the largest mean brightness difference of any
// block of 50 x 50 pixels, so that one missing object shows however small it is.
double difference(const Screenshot& a, const Screenshot& b) {
    double largest = 0;
    for (int y0 = world.y0; y0 + 50 <= world.y1; y0 += 25)
        for (int x0 = world.x0; x0 + 50 <= world.x1; x0 += 25) {
            double sum = 0;
            for (int y = y0; y < y0 + 50; ++y)
                for (int x = x0; x < x0 + 50; ++x)
                    sum += std::abs(brightness(a, x, y) - brightness(b, x, y));
            largest = std::max(largest, sum / 2500);
        }
    return largest;
}

// Looking straight down with the yard ahead and the void behind, the yard's edge is a line
// across the picture below its centre: its distance from the centre row in pixels (the median
// over the columns of the left half, where the yard reaches furthest, of the first row, going
// down, where eight black pixels follow one another); 270 when it lies under the overlay or
// beyond the picture.
int edgeBelowCentre(const Screenshot& shot) {
    std::vector<int> rows;
    for (int x = 40; x < 380; x += 10) {
        int row = 570;
        for (int y = 300, run = 0; y < 570; ++y) {
            run = brightness(shot, x, y) == 0 ? run + 1 : 0;
            if (run == 8) {
                row = y - 7;
                break;
            }
        }
        rows.push_back(row);
    }
    std::sort(rows.begin(), rows.end());
    return rows[rows.size() / 2] - 300;
}

// The program on a fresh screen, its main window and the overlay read back from screenshots.
class Journey : public ::testing::Test {
protected:
    XSession session{"800x600x16"};
    HudReader reader;
    ScreenWindow window;
    Screenshot shot;     // the last screenshot taken by look()
    HudFigures figures;  // the last figures read by look()

    void SetUp() override {
        ASSERT_TRUE(session.ready());
        ASSERT_TRUE(reader.loaded());
        ASSERT_TRUE(session.startProgram());
        window = session.waitForWindow(
            [](const ScreenWindow& w) { return w.title == programTitle && !w.dialog; },
            openTimeoutMs);
        ASSERT_NE(window.id, 0u) << session.programErrors();
    }

    // Takes a screenshot and reads the overlay; false when its figures cannot be read.
    bool look() {
        shot = session.screenshot();
        HudFigures read = reader.read(shot, window);
        if (read.valid) figures = read;
        return read.valid;
    }

    // Looks until the figures read and satisfy the condition.
    bool lookUntil(const std::function<bool(const HudFigures&)>& condition,
                   int timeoutMs = stepTimeoutMs) {
        return session.waitUntil([&] { return look() && condition(figures); }, timeoutMs);
    }

    // Looks until the position and the angles have read the same for a quarter of a second: the
    // glide, the turn and the leans have come to rest.
    bool lookUntilStill() {
        HudFigures before;
        auto since = std::chrono::steady_clock::now();
        return session.waitUntil(
            [&] {
                if (!look()) return false;
                const auto now = std::chrono::steady_clock::now();
                if (!before.valid ||
                    !std::equal(before.position, before.position + 3, figures.position) ||
                    !std::equal(before.angles, before.angles + 4, figures.angles))
                    before = figures, since = now;
                return now - since > std::chrono::milliseconds(250);
            },
            stepTimeoutMs);
    }

    // Moves the mouse from the centre by (dx, dy) and waits for the view to start turning. The
    // program reads the pointer and then puts it back on the centre, so a motion that arrives
    // between the two is lost (about one in thirty here, when the two cores are busy); a person's
    // mouse sends many small motions and never notices, a test sends one and makes it again.
    bool moveMouse(int dx, int dy) {
        for (int attempt = 0; attempt < 3; ++attempt) {
            const HudFigures before = figures;
            session.movePointer(400 + dx, 300 + dy);
            if (lookUntil(
                    [&](const HudFigures& f) {
                        return f.angles[0] != before.angles[0] || f.angles[1] != before.angles[1];
                    },
                    1000))
                return true;
        }
        return false;
    }

    // Holds a key for a while, as a person does, without watching the picture.
    void holdKeyFor(const char* keysym, int ms) {
        session.keyDown(keysym);
        session.waitUntil([] { return false; }, ms);
        session.keyUp(keysym);
    }
};

}  // namespace

TEST_F(Journey, WalkTurnCrouchRaiseSpeedUpDollyAndLights) {
    // Start: the eye rises to standing height over the yard's corner, looking straight down, and
    // nothing has moved yet. This is also the reader's known case.
    ASSERT_TRUE(lookUntil([](const HudFigures& f) { return eyeHeightIs(f, 20); }, openTimeoutMs))
        << figures.positionLine;
    EXPECT_EQ(figures.position[0], 0);
    EXPECT_EQ(figures.position[1], 0);
    for (double angle : figures.angles) EXPECT_EQ(angle, 0);
    EXPECT_GT(litShare(shot, upperRight), 0.9) << "the yard lies ahead and to the right";
    EXPECT_LT(litShare(shot, upperLeft), 0.1);
    EXPECT_LT(litShare(shot, lowerLeft), 0.1);
    EXPECT_LT(litShare(shot, lowerRight), 0.1);

    // Up: the viewer walks ahead (y grows, x stays), leaning forward by the full 4 degrees.
    session.keyDown("Up");
    EXPECT_TRUE(
        lookUntil([](const HudFigures& f) { return f.angles[2] == -4 && f.position[1] > 25; }));
    session.keyUp("Up");
    const double yAtRelease = figures.position[1];
    ASSERT_TRUE(lookUntilStill());
    EXPECT_GE(figures.position[1], yAtRelease) << "the viewer glides on a little";
    EXPECT_EQ(figures.position[0], 0);
    EXPECT_EQ(figures.angles[2], 0) << "the lean returns once the key is up";
    EXPECT_GT(litShare(shot, lowerRight), 0.9) << "the yard now lies under the viewer too";
    EXPECT_LT(litShare(shot, lowerLeft), 0.1);

    // The mouse, 386 pixels to the right: a quarter turn to the right (0.2333 degrees a pixel).
    // Facing along the yard's edge, the yard lies ahead (up the picture), the void behind.
    const double yBeforeTurn = figures.position[1];
    const double quarterTurn = 386 * 0.1 * 0.7 / 0.3;
    ASSERT_TRUE(moveMouse(386, 0));
    ASSERT_TRUE(lookUntilStill());
    EXPECT_NEAR(figures.angles[1], quarterTurn, 0.01);
    EXPECT_EQ(figures.angles[0], 0) << "no vertical motion, no pitch";
    EXPECT_NEAR(figures.position[1], yBeforeTurn, 0.02);
    EXPECT_GT(litShare(shot, upperHalf), 0.9);
    EXPECT_LT(litShare(shot, lowerHalf), 0.1);

    // Short steps until the viewer stands 2 to 8 units into the yard: its edge is then a line
    // under the centre, and stays in the picture at every eye height.
    for (int step = 0; step < 12 && !(figures.position[0] >= 2 && figures.position[0] <= 8);
         ++step) {
        holdKeyFor(figures.position[0] < 2 ? "Up" : "Down", 40);
        ASSERT_TRUE(lookUntilStill());
    }
    const double stepIn = figures.position[0];
    const int standingEdge = edgeBelowCentre(shot);

    // Crouching (C), raising the eye (right button) and both: the eye height reads 12, 17, 25
    // and 20 again, and the ground comes nearer or goes away with it: the edge's distance from
    // the centre goes with 1 / eye height.
    auto expectEdgeAtHeight = [&](double height, const char* what) {
        const double expected = standingEdge * 20.02 / figures.position[2];
        EXPECT_NEAR(edgeBelowCentre(shot), expected, 4 + 0.04 * expected) << what;
    };
    session.keyDown("c");
    EXPECT_TRUE(lookUntil([](const HudFigures& f) { return eyeHeightIs(f, 12); }));
    expectEdgeAtHeight(12, "crouched");
    session.buttonDown(3);
    EXPECT_TRUE(lookUntil([](const HudFigures& f) { return eyeHeightIs(f, 17); }));
    expectEdgeAtHeight(17, "crouched and raised");
    session.keyUp("c");
    EXPECT_TRUE(lookUntil([](const HudFigures& f) { return eyeHeightIs(f, 25); }));
    expectEdgeAtHeight(25, "raised");
    session.buttonUp(3);
    EXPECT_TRUE(lookUntil([](const HudFigures& f) { return eyeHeightIs(f, 20); }));
    expectEdgeAtHeight(20, "standing again");
    EXPECT_NEAR(figures.position[0], stepIn, 0.015) << "the eye moves, the viewer does not";

    // L held: the lights go off and the yard shows its textures at full strength; released, lit
    // again.
    const double litYard = litShare(shot, upperHalf, true);
    EXPECT_TRUE(session.holdKeyUntil(
        "l",
        [&] {
            shot = session.screenshot();
            return litShare(shot, upperHalf, true) > 3 * litYard + 10;
        },
        stepTimeoutMs));
    EXPECT_TRUE(session.waitUntil(
        [&] { return litShare(shot = session.screenshot(), upperHalf, true) < 1.5 * litYard + 2; },
        stepTimeoutMs));

    // R: the same time of walking covers more ground than before. Facing +x, the walk goes
    // along x.
    auto walkFor = [&](int ms) {
        const HudFigures from = figures;
        holdKeyFor("Up", ms);
        EXPECT_TRUE(lookUntilStill());
        const double dx = figures.position[0] - from.position[0];
        EXPECT_LT(std::abs(figures.position[1] - from.position[1]), 0.01 * dx + 0.02);
        return dx;
    };
    const double slowWalk = walkFor(300);
    holdKeyFor("r", 500);
    const double fastWalk = walkFor(300);
    EXPECT_GT(fastWalk, 1.5 * slowWalk);
    ASSERT_GT(figures.position[0], 50) << "too near the edge to see the camera move";

    // S, then A: the camera moves back and forth along the line of sight, straight down here. The
    // yard's edge, far behind, comes into view and draws towards the centre, then moves out
    // again; the viewer stays where he is.
    const HudFigures beforeDolly = figures;
    // The last of the glide may still move the figures by a hundredth.
    auto sameViewer = [&] {
        return std::abs(beforeDolly.position[0] - figures.position[0]) < 0.02 &&
               std::abs(beforeDolly.position[1] - figures.position[1]) < 0.02 &&
               eyeHeightIs(figures, 20) &&
               std::equal(beforeDolly.angles, beforeDolly.angles + 4, figures.angles);
    };
    // Each frame with a key held moves the camera by 10, hundreds of times a second, faster than
    // screenshots can follow; so the keys are tapped, a few frames a tap, and the camera
    // first pulled back far enough that A can overshoot by a few taps and still stay above the
    // ground.
    auto tapUntil = [&](const char* keysym, const std::function<bool()>& condition) {
        for (int tap = 0; tap < 40; ++tap) {
            holdKeyFor(keysym, 30);
            if (!lookUntilStill()) return false;
            if (condition()) return true;
        }
        return false;
    };
    EXPECT_EQ(edgeBelowCentre(shot), 270);
    EXPECT_TRUE(tapUntil("s", [&] { return edgeBelowCentre(shot) < 50; }));
    const int pulledBackEdge = edgeBelowCentre(shot);
    EXPECT_TRUE(sameViewer()) << figures.positionLine << "\n" << figures.anglesLine;
    EXPECT_TRUE(tapUntil("a", [&] { return edgeBelowCentre(shot) > 1.3 * pulledBackEdge; }));
    EXPECT_GT(litShare(shot, upperLeft), 0.9) << "the camera went under the ground";
    EXPECT_TRUE(sameViewer()) << figures.positionLine << "\n" << figures.anglesLine;
}

TEST_F(Journey, TwentyModeSwitchesKeepTheViewerAndEndCleanly) {
    // A few steps into the yard, then a look up towards the horizon, where boxes and a hangar
    // stand: a picture that needs every texture and the model.
    ASSERT_TRUE(lookUntil([](const HudFigures& f) { return eyeHeightIs(f, 20); }, openTimeoutMs));
    session.keyDown("Up");
    EXPECT_TRUE(lookUntil([](const HudFigures& f) { return f.position[1] > 5; }));
    session.keyUp("Up");
    ASSERT_TRUE(moveMouse(0, -300));
    ASSERT_TRUE(lookUntilStill());
    const Screenshot before = shot;
    const HudFigures where = figures;

    bool fullscreen = true;
    for (int toggle = 1; toggle <= 20; ++toggle) {
        fullscreen = !fullscreen;
        auto inNewMode = [&](const ScreenWindow& w) {
            return w.title == programTitle && !w.dialog && w.borderless == fullscreen;
        };
        // The release of F1 must reach the new window, or the program would take it as held.
        ASSERT_TRUE(session.holdKeyUntil(
            "F1",
            [&] {
                window = session.findWindow(inNewMode);
                return window.id != 0 && session.focusedWindow() == window.id;
            },
            stepTimeoutMs))
            << "switch " << toggle;
        // Reopened with everything loaded again: the overlay reads and the world looks as before
        // (only the rain differs), from the same place.
        EXPECT_TRUE(lookUntil([&](const HudFigures&) { return difference(shot, before) < 2; },
                              stepTimeoutMs))
            << "switch " << toggle << ": " << difference(shot, before);
        EXPECT_TRUE(std::equal(where.position, where.position + 2, figures.position) &&
                    std::equal(where.angles, where.angles + 4, figures.angles))
            << "switch " << toggle << ": " << figures.positionLine;
        // The program reads the keys once a frame; a release and the next press within the same
        // few milliseconds would count as no release at all.
        session.waitUntil([] { return false; }, 200);
    }

    EXPECT_TRUE(session.holdKeyUntil(
        "Escape", [&] { return !session.programRunning(); }, stepTimeoutMs));
    int exitCode = -1;
    ASSERT_TRUE(session.waitForExit(stepTimeoutMs, &exitCode));
    EXPECT_EQ(exitCode, 0);
    const std::string errors = session.programErrors();
    EXPECT_TRUE(errors.find("Sanitizer") == errors.npos &&
                errors.find("runtime error") == errors.npos)
        << errors;
}

TEST_F(Journey, NothingIsDrawnWhileMinimisedAndAllGoesOnAfter) {
    ASSERT_TRUE(lookUntil([](const HudFigures& f) { return eyeHeightIs(f, 20); }, openTimeoutMs));
    // No window manager runs, so the test acts as one: it marks the window hidden, which is how a
    // desktop tells a window it has been minimised, and takes the mark away to restore it.
    session.setMinimised(window.id, true);

    // Frozen: the same picture for a whole second, though the rain moves with every frame drawn
    // and the frame rate figure is renewed five times a second.
    Screenshot frozen = session.screenshot();
    auto since = std::chrono::steady_clock::now();
    EXPECT_TRUE(session.waitUntil(
        [&] {
            const Screenshot now = session.screenshot();
            if (now.rgb != frozen.rgb) frozen = now, since = std::chrono::steady_clock::now();
            return std::chrono::steady_clock::now() - since > std::chrono::milliseconds(1200);
        },
        stepTimeoutMs))
        << "the picture never stood still";

    // Restored: the frames come again and the viewer still walks.
    session.setMinimised(window.id, false);
    EXPECT_TRUE(
        session.waitUntil([&] { return session.screenshot().rgb != frozen.rgb; }, stepTimeoutMs))
        << "no frame after the restore";
    ASSERT_TRUE(lookUntil([](const HudFigures& f) { return eyeHeightIs(f, 20); }, openTimeoutMs));
    session.keyDown("Up");
    EXPECT_TRUE(lookUntil([](const HudFigures& f) { return f.position[1] > 5; }));
    session.keyUp("Up");
}
