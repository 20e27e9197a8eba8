// input_e2e_test.cpp — the pointer and F1 as a busy machine delivers them: every motion turns the
// view by its share, and a hundred impatient F1 presses leave the window, the place and the view
// as they were, on a bare X server and under a window manager. The overlay's figures are read back
// from the screen.
#include <gtest/gtest.h>
#include <unistd.h>

#include "support/hud_reader.h"
#include "support/x_session.h"

namespace {

// A pixel adds 0.1 to the heading rate; each frame the viewer keeps 0.7 of the rate and adds that
// to the heading, so one pixel turns the view by 0.1 * (0.7 + 0.7^2 + ...) = 0.1 * 0.7 / 0.3.
constexpr double degreesPerPixel = 0.1 * 0.7 / 0.3;
// Two figures printed with two decimals, and the float sums behind them.
constexpr double printedTolerance = 0.006;

const int cores = int(sysconf(_SC_NPROCESSORS_ONLN));

// The overlay once the view has come to rest: two readings at least fifty frames apart that agree
// (by then a rate has fallen below a millionth of itself).
HudFigures figuresAtRest(XSession& session, const HudReader& reader) {
    HudFigures last, now;
    session.waitUntil([&] {
        last = now;
        if (!session.waitForFrames(50)) return false;
        now = reader.read(session.screenshot(), session.findWindow(isMainWindow));
        return last.valid && now.valid && last.anglesLine == now.anglesLine &&
               last.position[0] == now.position[0] && last.position[1] == now.position[1];
    });
    return now;
}

// The program started and focused, the pointer taken, the view at rest.
struct Viewer {
    XSession session;
    HudReader reader;
    HudFigures start;

    explicit Viewer(bool windowManager) : session("800x600x16", windowManager) {}
    void open() {
        ASSERT_TRUE(session.ready());
        ASSERT_TRUE(reader.loaded());
        ASSERT_TRUE(session.startProgram());
        ASSERT_NE(session.focusWindow(isFullscreenWindow).id, 0u)
            << session.describeWindows() << session.programErrors();
        ASSERT_TRUE(pointerTaken());
        start = figuresAtRest(session, reader);
        ASSERT_TRUE(start.valid) << start.positionLine << "\n" << start.anglesLine;
        for (double angle : start.angles) EXPECT_EQ(angle, 0);
    }
    // The focused window holds the pointer: from now on no motion goes elsewhere.
    bool pointerTaken() {
        return session.waitUntil([&] { return session.pointerTakenByOther(); });
    }
    void expectTurnedBy(int pixels, const HudFigures& now) {
        ASSERT_TRUE(now.valid) << now.positionLine << "\n" << now.anglesLine;
        EXPECT_NEAR(now.angles[1], pixels * degreesPerPixel, printedTolerance) << now.anglesLine;
        EXPECT_EQ(now.angles[0], 0) << "no vertical motion, no pitch";
        EXPECT_EQ(now.position[0], start.position[0]) << now.positionLine;
        EXPECT_EQ(now.position[1], start.position[1]) << now.positionLine;
    }
};

// Steps of 1, 2 and 3 pixels in turn: SDL takes two raw motions of the same size and the same
// millisecond for one event delivered twice, and drops the second, so equal steps sent back to
// back would lose motion before the program sees it.
TEST(PointerEndToEnd, HundredStepsSentUnderLoadTurnTheViewByTheirExactSum) {
    Viewer viewer(false);
    ASSERT_NO_FATAL_FAILURE(viewer.open());
    BusyCores load(cores);
    int pixels = 0;
    for (int step = 0; step < 100; ++step) {
        viewer.session.movePointerBy(1 + step % 3, 0);
        pixels += 1 + step % 3;
    }
    viewer.expectTurnedBy(pixels, figuresAtRest(viewer.session, viewer.reader));
}

// Moves the pointer a few pixels, holds F1 150 ms, releases it, waits 150 ms and gives the new
// window the focus, a hundred times with every core busy; each step also waits for what it needs
// (the switch, the release read), so a slow machine only makes it slower.
void pressF1AHundredTimes(bool windowManager) {
    Viewer viewer(windowManager);
    ASSERT_NO_FATAL_FAILURE(viewer.open());
    XSession& session = viewer.session;
    int pixels = 0;
    {
        BusyCores load(cores);
        for (int press = 1; press <= 100; ++press) {
            ASSERT_TRUE(viewer.pointerTaken()) << "press " << press;
            session.movePointerBy(1 + press % 3, 0);
            pixels += 1 + press % 3;
            ASSERT_TRUE(
                switchWithF1(session, press % 2 ? isFramedWindow : isFullscreenWindow, 150, 150))
                << "press " << press << "\n"
                << session.describeWindows() << session.programErrors();
        }
    }
    EXPECT_NE(session.findWindow(isFullscreenWindow).id, 0u) << session.describeWindows();
    viewer.expectTurnedBy(pixels, figuresAtRest(session, viewer.reader));
    EXPECT_TRUE(session.holdKeyUntil("Escape", [&] { return !session.programRunning(); }));
    int exitCode = -1;
    EXPECT_TRUE(session.waitForExit(patienceMs, &exitCode));
    EXPECT_EQ(exitCode, 0) << session.programErrors();
    EXPECT_FALSE(sanitizerBlamesUs(session.programErrors())) << session.programErrors();
}

TEST(F1EndToEnd, HundredPressesOnABareServer) {
    pressF1AHundredTimes(false);
}

TEST(F1EndToEnd, HundredPressesUnderAWindowManager) {
    pressF1AHundredTimes(true);
}

}  // namespace
