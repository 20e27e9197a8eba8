// main_loop_test.cpp — the event loop, the event handler and the input bindings, run through
// the scripted platform layer on real headless GL in the program's data folder.
#include "app/main_loop.h"

#include <gtest/gtest.h>

#include <functional>

#include "app/main_window.h"
#include "platform/virtual_keys.h"
#include "scene/viewer.h"
#include "support/gl_test_context.h"
#include "support/scripted_platform.h"

namespace {

using Steps = std::vector<std::string>;

void expectNear(const std::vector<float>& seen, const std::vector<float>& wanted) {
    for (size_t i = 0; i < wanted.size(); ++i) EXPECT_NEAR(seen[i], wanted[i], 1e-6) << i;
}

struct MainLoop : ::testing::Test {
    ScriptedPlatformSession session{true};
    MainLoop() { scripted.realGl = true; }

    // Runs the program. `atFrame` runs after each buffer swap up to `lastFrame`, that is after the
    // frame was drawn and before that step's bindings; what it queues reaches the next step.
    // Escape goes down after frame `lastFrame`.
    int32_t run(int lastFrame, std::function<void(int)> atFrame = nullptr) {
        scripted.frameLimit = lastFrame + 50;
        scripted.onFrame = [=](int frame) {
            if (atFrame && frame <= lastFrame) atFrame(frame);
            if (frame == lastFrame) scripted.queueKeyDown(virtualKeyEscape);
        };
        int32_t exitCode = runMainLoop();
        EXPECT_FALSE(scripted.runawayLoopStopped);
        return exitCode;
    }
    // Runs with one event queued after frame `at`.
    int32_t runQueuing(int at, EventKind kind, uint8_t key = 0, int lastFrame = 100) {
        return run(lastFrame, [=](int frame) {
            if (frame == at) scripted.queue(kind, key);
        });
    }
};

// Motion arrives in bursts of any size between steps: each pixel adds 0.1 to the rate once, and
// the rate is damped by 0.7 before each frame turns the view by it, so in all a pixel turns the
// view by 0.1 * 0.7 / 0.3 degrees.
TEST_F(MainLoop, EveryPointerMotionTurnsTheViewOnce) {
    const int32_t bursts[][2] = {{3, -1}, {0, 0}, {-40, 7}, {1, 1}, {250, -2}, {-7, 0}};
    run(60, [&](int frame) {
        if (frame > 6) return;
        scripted.pointerX += bursts[frame - 1][0];
        scripted.pointerY += bursts[frame - 1][1];
        // The first step has seen no motion, the second the first burst, damped once since.
        if (frame <= 2) EXPECT_FLOAT_EQ(headingRate, frame == 1 ? 0 : 0.3f * 0.7f);
    });
    // The rate decays geometrically; by the last frame the turn is complete to float precision.
    EXPECT_NEAR(heading, 207 * 0.1 * 0.7 / 0.3, 1e-3);
    EXPECT_NEAR(pitchAccumulator, 5 * 0.1 * 0.7 / 0.3, 1e-3);
    EXPECT_EQ(pointerMotion.x, 0);
}

// Minimised, the window draws no frame, and so no frame damps what the bindings still add: each
// step adds exactly one increment.
TEST_F(MainLoop, ArrowsFollowTheHeadingAndDistanceAndSpeedKeysStep) {
    heading = 90;  // facing +x: forward is +x, a step to the left is +y
    scripted.queue(EventKind::minimised);
    for (uint8_t key : {virtualKeyUp, virtualKeyA, virtualKeyR}) scripted.queueKeyDown(key);
    run(4, [](int frame) {
        if (frame == 2) {  // one step of Up, A and R applied
            expectNear({velocityX, velocityY, viewDistance, walkSpeed}, {0.1f, 0, 10, 0.11f});
            for (uint8_t key : {virtualKeyUp, virtualKeyA, virtualKeyR}) scripted.queueKeyUp(key);
            for (uint8_t key : {virtualKeyLeft, virtualKeyS, virtualKeyE})
                scripted.queueKeyDown(key);
        }
    });
    // Step 2 walked on at the raised speed; steps 3 to 5 (the last one Escape's) stepped left
    // and undid A and R three times.
    expectNear({velocityX, velocityY, viewDistance, walkSpeed}, {0.21f, 0.3f, -10, 0.09f});
}

TEST_F(MainLoop, OppositeKeysCancelAndTheLaterRowWinsTheDirection) {
    for (uint8_t key : {virtualKeyUp, virtualKeyDown, virtualKeyLeft, virtualKeyRight})
        scripted.queueKeyDown(key);
    run(5);
    expectNear({velocityX, velocityY, walkPhase, walkDirection, strafeDirection},
               {0, 0, 0, -1, -1});
}

TEST_F(MainLoop, AnyKeyReleaseResetsBothDirectionsForOneFrame) {
    std::vector<float> seen;
    scripted.queueKeyDown(virtualKeyUp);
    scripted.queueKeyDown(virtualKeyLeft);
    run(4, [&](int frame) {
        seen.insert(seen.end(), {walkDirection, strafeDirection});
        if (frame == 2) scripted.queueKeyUp(virtualKey0 + 5);  // a key without a binding
    });
    EXPECT_EQ(seen, (std::vector<float>{0, 0, 1, 1, 0, 0, 1, 1}));
}

TEST_F(MainLoop, CrouchAndLightingFollowTheirKeysThroughLatches) {
    std::vector<int> crouched, lit;
    run(6, [&](int frame) {
        crouched.push_back(crouchHeld);
        lit.push_back(lightingEnabled);
        for (uint8_t key : {virtualKeyC, virtualKeyL}) {
            if (frame == 2 || frame == 3) scripted.queueKeyDown(key);  // then auto-repeat
            if (frame == 4) scripted.queueKeyUp(key);
        }
    });
    // Frame k sees what step k - 1 applied of the keys queued after frame k - 2.
    EXPECT_EQ(crouched, (std::vector<int>{0, 0, 0, 1, 1, 0}));
    EXPECT_EQ(lit, (std::vector<int>{0, 1, 1, 0, 0, 1}));  // 0 in the very first frame
}

TEST_F(MainLoop, HeldF1TogglesOncePerPress) {
    std::vector<bool> modes;
    run(7, [&](int frame) {
        modes.push_back(fullscreen);
        if (frame <= 3 || frame == 5) scripted.queueKeyDown(virtualKeyF1);  // held, auto-repeat
        if (frame == 4) scripted.queueKeyUp(virtualKeyF1);
    });
    EXPECT_EQ(modes, (std::vector<bool>{true, true, false, false, false, false, true}));
    EXPECT_EQ(scripted.callCount("createWindow"), 3);
    EXPECT_TRUE(scripted.misusedHandles.empty());
}

TEST_F(MainLoop, EscapeWithF1StillTogglesBeforeQuitting) {
    runQueuing(1, EventKind::keyDown, virtualKeyF1, 1);
    EXPECT_EQ(scripted.only({"createWindow", "destroyWindow"}),
              (Steps{"createWindow", "destroyWindow", "createWindow", "destroyWindow"}));
    EXPECT_FALSE(fullscreen || scripted.displayUp);
}

// A start or a reopen that fails has told the user and holds nothing; the program then ends with
// a failure code, so whoever started it knows no window was shown.
TEST_F(MainLoop, FailedStartOrReopenEndsWithAFailureCode) {
    scripted.failStep("createWindow", 2);
    EXPECT_EQ(runQueuing(1, EventKind::keyDown, virtualKeyF1), exitCodeNoWindow);
    EXPECT_EQ(scripted.frames, 2);
    EXPECT_EQ(scripted.messageBoxes, Steps{"[CHYBA] Chyba pri vytvarani okna. (exclamation, ok)"});
    EXPECT_TRUE(scripted.misusedHandles.empty());
    EXPECT_FALSE(scripted.displayUp);

    ScriptedPlatformSession failedStart;
    scripted.failStep("switchDisplayMode");
    scripted.messageBoxAnswers = {MessageAnswer::no};  // also what a box that cannot be shown says
    EXPECT_EQ(runMainLoop(), exitCodeNoWindow);
    EXPECT_EQ(scripted.frames, 0);
}

// The mode refused once (the display still busy with the last switch, say) and the user accepting
// a window: the next F1 asks for fullscreen again and gets it.
TEST_F(MainLoop, RefusedModeThenAcceptedOnTheNextF1) {
    scripted.failStep("switchDisplayMode", 1);
    runQueuing(1, EventKind::keyDown, virtualKeyF1, 4);
    ASSERT_EQ(scripted.windows.size(), 2u);
    EXPECT_FALSE(scripted.windows[0].fullscreen);
    EXPECT_TRUE(scripted.windows[1].fullscreen);
    EXPECT_EQ(scripted.messageBoxes.size(), 1u);
}

TEST_F(MainLoop, CloseRequestEndsOnceWithZeroAndALostWindowWithAFailure) {
    EXPECT_EQ(runQueuing(3, EventKind::closeRequested), exitCodeNormal);
    EXPECT_EQ(scripted.frames, 3);
    EXPECT_EQ(scripted.callCount("destroyWindow"), 1);

    ScriptedPlatformSession lost(true);
    scripted.realGl = true;
    EXPECT_EQ(runQueuing(2, EventKind::windowLost), exitCodeNoWindow);
    EXPECT_EQ(scripted.frames, 2);  // never another frame into nothing
    EXPECT_EQ(mainWindow, nullptr);
    EXPECT_EQ(scripted.messageBoxes, Steps{"[CHYBA] Okno programu sa stratilo. (exclamation, ok)"});
    EXPECT_FALSE(scripted.displayUp);
}

TEST(EventHandler, MinimisingRightButtonAndResize) {
    ScriptedPlatformSession session;
    auto handle = [](EventKind kind) { handleWindowEvent({kind, 0, 0, 0}); };
    handle(EventKind::minimised), handle(EventKind::rightButtonDown);
    EXPECT_TRUE(!active && raiseHeld == 1);
    handle(EventKind::restored), handle(EventKind::rightButtonUp);
    EXPECT_TRUE(active && raiseHeld == 0);
    GlTestContext gl;
    handleWindowEvent({EventKind::resized, 0, 300, 500});
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_TRUE(viewport[2] == 300 && viewport[3] == 500);
}

// The values every run starts from (the reset of each test restores exactly these).
TEST(ProgramStart, StartValues) {
    ScriptedPlatformSession session;
    EXPECT_TRUE(active && fullscreen);
    EXPECT_EQ(lightingEnabled + raiseHeld + crouchHeld, 0);
    EXPECT_EQ(fullscreenKeyLatch + lightingKeyLatch + crouchKeyLatch, 0);
    EXPECT_EQ(std::count(std::begin(keys), std::end(keys), 0), 256);
    EXPECT_FLOAT_EQ(walkSpeed, 0.1f);
    EXPECT_FLOAT_EQ(strafeSpeed, 0.1f);
    for (float value :
         {worldOffsetX,  worldOffsetY,    groundZ,     velocityX,        velocityY,
          headingRate,   heading,         pitchRate,   pitchAccumulator, pitch,
          walkDirection, strafeDirection, forwardTilt, sideTilt,         walkPhase,
          strafePhase,   torsoHeight,     legHeight,   viewDistance,     animationPhase})
        EXPECT_EQ(value, 0.0f);
}

}  // namespace
