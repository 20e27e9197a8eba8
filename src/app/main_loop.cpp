// main_loop.cpp — the program's heartbeat: the non-blocking message loop, the window procedure and
// the keyboard and mouse bindings that drive the viewer.
#include "app/main_loop.h"

#include <cmath>

#include "app/main_window.h"
#include "draw/primitives.h"
#include "platform/virtual_keys.h"
#include "scene/viewer.h"
#include "scene/world.h"

uint8_t keys[256] = {};
bool active = true;
bool fullscreen = true;
int32_t lightingEnabled = 0;
uint8_t fullscreenKeyLatch = 0;
uint8_t lightingKeyLatch = 0;
uint8_t crouchKeyLatch = 0;
PointerPosition cursorPos = {0, 0};

// ---------------------------------------------------------------------------------------------
// Window procedure. It only records what happened (keys, activity, the right button, the client
// size); the frame step reads that state. Every handled message answers 0.
// ---------------------------------------------------------------------------------------------

static void setKey(uintptr_t virtualKey, uint8_t down) {
    // The key table has 256 entries; a code beyond it (none of ours) must not write past it.
    if (virtualKey < sizeof keys) keys[virtualKey] = down;
}

intptr_t handleWindowMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                             intptr_t lParam) {
    switch (message) {
        case messageActivate:
            // Only minimising stops the rendering; losing the focus does not.
            active = ((wParam >> 16) & 0xFFFF) == 0;
            return 0;
        case messageSystemCommand:
            if (wParam == systemCommandScreenSave || wParam == systemCommandMonitorPower) return 0;
            break;
        case messageClose:
            platform->postQuitMessage(0);
            return 0;
        case messageKeyDown:
            setKey(wParam, 1);
            return 0;
        case messageKeyUp:
            // Any release stops the lean; a still-held arrow sets its direction again next step.
            walkDirection = 0;
            strafeDirection = 0;
            setKey(wParam, 0);
            return 0;
        case messageSize:
            setProjection(static_cast<int32_t>(lParam & 0xFFFF),
                          static_cast<int32_t>((lParam >> 16) & 0xFFFF));
            return 0;
        case messageRightButtonDown:
            raiseHeld = 1;
            return 0;
        case messageRightButtonUp:
            raiseHeld = 0;
            return 0;
        case messageLeftButtonDown:
        case messageLeftButtonUp:
        case messageMiddleButtonDown:
            return 0;
    }
    return platform->defaultWindowProcedure(window, message, wParam, lParam);
}

// ---------------------------------------------------------------------------------------------
// Input bindings, applied once per frame step. All motion is per step, not per second: the
// viewer (advanceViewer) damps and integrates what these add. Sines are taken in double
// precision and the results stored in the viewer's single-precision state.
// ---------------------------------------------------------------------------------------------

// Reads the pointer, puts it back on the centre point and turns the offset into turn and pitch
// rates. The very first reading counts too, wherever the pointer happened to be.
static void applyMouseLook() {
    const int32_t centreX = windowWidth / 2;
    const int32_t centreY = windowHeight / 2;
    platform->getCursorPos(&cursorPos.x, &cursorPos.y);
    platform->setCursorPos(centreX, centreY);
    headingRate -= (centreX - cursorPos.x) * 0.02 * 5;
    pitchRate -= (centreY - cursorPos.y) * 0.02 * 5;
}

// Opposite keys are both applied: they cancel in velocity and phase, and the later row wins the
// direction.
static void applyWalkKeys() {
    const double forward = heading * static_cast<double>(degToRad);
    const double left = (heading - 90.0) * static_cast<double>(degToRad);
    if (keys[virtualKeyUp]) {
        velocityX += std::sin(forward) * walkSpeed;
        velocityY += std::cos(forward) * walkSpeed;
        walkDirection = 1;
        walkPhase += 1;
    }
    if (keys[virtualKeyDown]) {
        velocityX -= std::sin(forward) * walkSpeed;
        velocityY -= std::cos(forward) * walkSpeed;
        walkDirection = -1;
        walkPhase -= 1;
    }
    if (keys[virtualKeyLeft]) {
        velocityX += std::sin(left) * strafeSpeed;
        velocityY += std::cos(left) * strafeSpeed;
        strafeDirection = 1;
        strafePhase += 1;
    }
    if (keys[virtualKeyRight]) {
        velocityX -= std::sin(left) * strafeSpeed;
        velocityY -= std::cos(left) * strafeSpeed;
        strafeDirection = -1;
        strafePhase -= 1;
    }
}

// A, S, R and E act on every step while held and have no limits.
static void applyDistanceAndSpeedKeys() {
    if (keys[virtualKeyA]) viewDistance += 10;
    if (keys[virtualKeyS]) viewDistance -= 10;
    if (keys[virtualKeyR]) walkSpeed += 0.01;
    if (keys[virtualKeyE]) walkSpeed -= 0.01;
}

// C and L are levels, followed through latches so that each change is applied once.
static void applyLatchedKeys() {
    if (keys[virtualKeyC] && !crouchKeyLatch) {
        crouchHeld = 1;
        crouchKeyLatch = 1;
    }
    if (!keys[virtualKeyC] && crouchKeyLatch) {
        crouchHeld = 0;
        crouchKeyLatch = 0;
    }
    if (keys[virtualKeyL] && lightingKeyLatch) {
        lightingEnabled = 0;
        lightingKeyLatch = 0;
    }
    if (!keys[virtualKeyL] && !lightingKeyLatch) {
        lightingEnabled = 1;
        lightingKeyLatch = 1;
    }
}

static void applyKeyBindings() {
    applyWalkKeys();
    applyDistanceAndSpeedKeys();
    applyLatchedKeys();
}

// F1 toggles the display mode once per press: close, invert, reopen. False when the window could
// not be reopened (the user has been told, and nothing is held any more).
static bool toggleDisplayModeOnF1() {
    if (!keys[virtualKeyF1]) {
        fullscreenKeyLatch = 0;
        return true;
    }
    if (fullscreenKeyLatch) return true;
    fullscreenKeyLatch = 1;
    closeMainWindow();
    fullscreen = !fullscreen;
    return openMainWindow(windowTitle, windowWidth, windowHeight, colorBits, fullscreen) != 0;
}

// ---------------------------------------------------------------------------------------------
// The loop. One message per pass; only an empty queue lets a frame step run, so input always
// reaches the state before the next frame is drawn. Nothing ever waits.
// ---------------------------------------------------------------------------------------------

enum FrameStepOutcome { frameStepContinue, frameStepQuit, frameStepReopenFailed };

static FrameStepOutcome runFrameStep() {
    // A minimised window skips only the drawing; input keeps acting on the state.
    if (active && !renderFrame()) return frameStepQuit;
    platform->swapBuffers(deviceContext);
    applyMouseLook();
    applyKeyBindings();
    bool quit = keys[virtualKeyEscape] != 0;
    // Escape does not stop an F1 pressed in the same step: the mode still toggles first.
    if (!toggleDisplayModeOnF1()) return frameStepReopenFailed;
    return quit ? frameStepQuit : frameStepContinue;
}

int32_t runMainLoop() {
    bool quit = false;
    WindowMessageRecord lastMessage = {nullptr, messageNone, 0, 0};
    if (!openMainWindow(windowTitle, windowWidth, windowHeight, colorBits, fullscreen)) return 0;
    while (!quit) {
        WindowMessageRecord message;
        if (platform->peekMessage(&message)) {
            lastMessage = message;
            if (message.message == messageQuit)
                quit = true;
            else
                platform->dispatchMessage(&message);
            continue;
        }
        FrameStepOutcome outcome = runFrameStep();
        if (outcome == frameStepReopenFailed) return 0;
        if (outcome == frameStepQuit) quit = true;
    }
    closeMainWindow();
    // The quit message carries the exit code. Escape and a failed frame end the program as
    // normally, so they exit with 0 rather than with whatever key code came last.
    if (lastMessage.message != messageQuit) return 0;
    return static_cast<int32_t>(lastMessage.wParam);
}
