// main_loop_test.cpp — the message loop, the window procedure and the input bindings, run through
// the scripted platform layer on real headless GL in the program's data folder.
#include "app/main_loop.h"

#include <gtest/gtest.h>

#include <functional>

#include "app/main_window.h"
#include "platform/virtual_keys.h"
#include "scene/viewer.h"
#include "support/scripted_platform.h"

namespace {

using Steps = std::vector<std::string>;

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
};

TEST_F(MainLoop, QueuedMessagesAllGoBeforeTheNextFrame) {
    run(2, [](int frame) {
        for (int i = 0; frame == 1 && i < 10; ++i) scripted.queueKeyDown(virtualKey0 + i);
    });
    Steps passes = scripted.only({"peekMessage", "dispatchMessage", "swapBuffers"});
    Steps expected = {"swapBuffers"};
    for (int i = 0; i < 10; ++i)
        expected.insert(expected.end(), {"peekMessage", "dispatchMessage"});
    expected.insert(expected.end(), {"peekMessage", "swapBuffers"});
    auto firstSwap = std::find(passes.begin(), passes.end(), "swapBuffers");
    EXPECT_EQ(Steps(firstSwap, firstSwap + expected.size()), expected);
}

TEST_F(MainLoop, MouseOffsetBecomesTurnAndPitchRatesAndTheCursorIsCentred) {
    scripted.cursorX = 430;  // wherever the pointer is at start counts as a movement
    scripted.cursorY = 290;
    run(2, [](int frame) {
        if (frame != 2) return;  // frame 2 has damped the rates once
        EXPECT_FLOAT_EQ(headingRate, 3.0f * 0.7f);
        EXPECT_FLOAT_EQ(pitchRate, -1.0f * 0.7f);
        EXPECT_EQ(scripted.cursorX, 400);
        EXPECT_EQ(scripted.cursorY, 300);
    });
}

TEST_F(MainLoop, OppositeKeysCancelAndTheLaterRowWinsTheDirection) {
    for (uint8_t key : {virtualKeyUp, virtualKeyDown, virtualKeyLeft, virtualKeyRight})
        scripted.queueKeyDown(key);
    run(5);
    EXPECT_NEAR(velocityX, 0.0f, 1e-6);
    EXPECT_NEAR(velocityY, 0.0f, 1e-6);
    EXPECT_EQ(walkPhase, 0.0f);
    EXPECT_EQ(walkDirection, -1.0f);
    EXPECT_EQ(strafeDirection, -1.0f);
}

TEST_F(MainLoop, AnyKeyReleaseResetsBothDirectionsForOneFrame) {
    std::vector<float> seen;
    scripted.queueKeyDown(virtualKeyUp);
    scripted.queueKeyDown(virtualKeyLeft);
    scripted.queueMessage(messageKeyDown, 0x1FF);  // beyond the key table: ignored
    run(4, [&](int frame) {
        seen.insert(seen.end(), {walkDirection, strafeDirection});
        if (frame == 2) scripted.queueKeyUp(virtualKey0 + 5);  // a key without a binding
    });
    EXPECT_EQ(seen, (std::vector<float>{0, 0, 1, 1, 0, 0, 1, 1}));
    EXPECT_EQ(keys[0xFF], 0);
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
    EXPECT_TRUE(scripted.handlesReleasedTwice().empty());
}

TEST_F(MainLoop, EscapeWithF1StillTogglesBeforeQuitting) {
    run(1, [](int) { scripted.queueKeyDown(virtualKeyF1); });
    EXPECT_EQ(scripted.callCount("createWindow"), 2);
    EXPECT_FALSE(fullscreen);
    EXPECT_EQ(scripted.callCount("unregisterWindowClass"), 2);
    EXPECT_FALSE(scripted.classRegistered);
}

TEST_F(MainLoop, FailedReopenEndsTheProgramWithoutReleasingTwice) {
    scripted.failStepOnCall("createWindow", 2);  // the old handles are all released by then
    EXPECT_EQ(run(100,
                  [](int frame) {
                      if (frame == 1) scripted.queueKeyDown(virtualKeyF1);
                  }),
              0);
    EXPECT_EQ(scripted.frames, 2);
    EXPECT_EQ(scripted.messageBoxTexts(), Steps{"Chyba pri vytvarani okna."});
    EXPECT_TRUE(scripted.handlesReleasedTwice().empty());
    EXPECT_FALSE(scripted.classRegistered);
}

TEST_F(MainLoop, MinimisedWindowKeepsApplyingBindingsButDrawsNothing) {
    float heightWhenMinimised = 0, offsetWhenMinimised = 0;
    run(6, [&](int frame) {
        if (frame == 2) {
            scripted.queueMessage(messageActivate, uintptr_t{1} << 16);
            scripted.queueKeyDown(virtualKeyUp);
        }
        if (frame == 3) heightWhenMinimised = legHeight, offsetWhenMinimised = worldOffsetY;
    });
    EXPECT_EQ(scripted.frames, 7);
    EXPECT_EQ(legHeight, heightWhenMinimised);  // no frame integrated the motion
    EXPECT_EQ(worldOffsetY, offsetWhenMinimised);
    EXPECT_NEAR(velocityY, 5 * walkSpeed, 1e-5);  // five steps of the forward key, undamped
}

TEST(WindowProcedure, HandlesItsMessagesAndLeavesTheRestToTheDefault) {
    ScriptedPlatformSession session;
    handleWindowMessage(nullptr, messageActivate, uintptr_t{1} << 16, 0);
    EXPECT_FALSE(active);
    handleWindowMessage(nullptr, messageActivate, 0, 0);  // inactive but not minimised
    EXPECT_TRUE(active);
    for (uintptr_t command :
         {systemCommandScreenSave, systemCommandMonitorPower, systemCommandMinimize})
        handleWindowMessage(nullptr, messageSystemCommand, command, 0);
    handleWindowMessage(nullptr, messageSystemKeyDown, virtualKeyF10, 0);
    EXPECT_EQ(scripted.defaultProcedureMessages,
              (std::vector<uint32_t>{messageSystemCommand, messageSystemKeyDown}));
    EXPECT_EQ(keys[virtualKeyF10], 0);
}

}  // namespace
