// main_loop.cpp — the program's heartbeat: the non-blocking event loop, the event handler and the
// keyboard and mouse bindings that drive the viewer.
#include "app/main_loop.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "app/main_window.h"
#include "draw/primitives.h"
#include "platform/virtual_keys.h"
#include "scene/viewer.h"
#include "scene/world.h"

// How the loop ends, when an event ends it.
enum class LoopEnd { running, closeRequested, windowLost };

// The loop's state, with its start values written once, here: the program starts from them and
// resetMainLoopState puts them back. The program-wide names refer to its fields.
struct MainLoopState {
    uint8_t keys[256] = {};
    bool active = true;
    bool fullscreen = true;
    int32_t lightingEnabled = 0;
    uint8_t fullscreenKeyLatch = 0;
    uint8_t lightingKeyLatch = 0;
    uint8_t crouchKeyLatch = 0;
    PointerMotion pointerMotion = {0, 0};
    // The loop's own: how it ends, and the key taps of the next frame step (see pressKey).
    LoopEnd loopEnd = LoopEnd::running;
    uint8_t pressedSinceStep[256] = {};
    uint8_t releaseAfterStep[256] = {};
};
static MainLoopState loopState;

void resetMainLoopState() {
    loopState = MainLoopState();
}

uint8_t (&keys)[256] = loopState.keys;
bool& active = loopState.active;
bool& fullscreen = loopState.fullscreen;
int32_t& lightingEnabled = loopState.lightingEnabled;
uint8_t& fullscreenKeyLatch = loopState.fullscreenKeyLatch;
uint8_t& lightingKeyLatch = loopState.lightingKeyLatch;
uint8_t& crouchKeyLatch = loopState.crouchKeyLatch;
PointerMotion& pointerMotion = loopState.pointerMotion;
static LoopEnd& loopEnd = loopState.loopEnd;
static uint8_t (&pressedSinceStep)[256] = loopState.pressedSinceStep;
static uint8_t (&releaseAfterStep)[256] = loopState.releaseAfterStep;

// ---------------------------------------------------------------------------------------------
// Events. They only record what happened (keys, activity, the right button, the client size);
// the frame step reads that state.
//
// Every key press counts. The loop takes all waiting events before a frame step, so a key pressed
// and released before the next step (a quick tap) would never be seen down by any step: a tap of
// Escape would be ignored, one of F1 lost. So a key that went down since the last step keeps its
// entry in `keys` down through that step when its release arrives first, and is released right
// after the step has run. A key held across steps is released at once, as it always was; an
// auto-repeated press of a held key is no new press.
// ---------------------------------------------------------------------------------------------

static void pressKey(uint8_t key) {
    if (!keys[key]) pressedSinceStep[key] = 1;
    releaseAfterStep[key] = 0;  // pressed again before the step: down after all
    keys[key] = 1;
}

static void releaseKey(uint8_t key) {
    if (pressedSinceStep[key])
        releaseAfterStep[key] = 1;
    else
        keys[key] = 0;
}

// After every frame step: the releases held back for it happen now, and end the leans as every
// release does.
static void releaseTappedKeys() {
    for (int key = 0; key < 256; ++key) {
        if (!releaseAfterStep[key]) continue;
        keys[key] = 0;
        walkDirection = 0;
        strafeDirection = 0;
    }
    std::fill(std::begin(releaseAfterStep), std::end(releaseAfterStep), 0);
    std::fill(std::begin(pressedSinceStep), std::end(pressedSinceStep), 0);
}

void handleWindowEvent(const PlatformEvent& event) {
    switch (event.kind) {
        case EventKind::keyDown:
            pressKey(event.virtualKey);
            break;
        case EventKind::keyUp:
            // Any release stops the lean; a still-held arrow sets its direction again next step.
            walkDirection = 0;
            strafeDirection = 0;
            releaseKey(event.virtualKey);
            break;
        case EventKind::resized:
            setProjection(event.width, event.height);
            break;
        case EventKind::minimised:
            // Only minimising stops the rendering; losing the focus does not.
            active = false;
            break;
        case EventKind::restored:
            active = true;
            break;
        case EventKind::rightButtonDown:
            raiseHeld = 1;
            break;
        case EventKind::rightButtonUp:
            raiseHeld = 0;
            break;
        case EventKind::closeRequested:
            loopEnd = LoopEnd::closeRequested;
            break;
        case EventKind::windowLost:
            loopEnd = LoopEnd::windowLost;
            break;
    }
}

// ---------------------------------------------------------------------------------------------
// Input bindings, applied once per frame step. All motion is per step, not per second: the
// viewer (advanceViewer) damps and integrates what these add. Sines are taken in double
// precision and the results stored in the viewer's single-precision state.
// ---------------------------------------------------------------------------------------------

// Degrees per frame of turn (and pitch) rate that one pixel of pointer motion adds.
constexpr double turnRatePerPixel = 0.02 * 5;

// Turns the pointer motion since the last step into turn and pitch rates: moving right turns
// right, moving down looks down.
static void applyMouseLook() {
    platform->takePointerMotion(&pointerMotion.x, &pointerMotion.y);
    headingRate += pointerMotion.x * turnRatePerPixel;
    pitchRate += pointerMotion.y * turnRatePerPixel;
}

// One arrow key, while held: `sign` (1 or -1) times a step of `speed` along the angle, and the
// lean direction and sway phase of its axis.
static void applyArrowKey(uint8_t key, double angleRadians, double speed, double sign,
                          float& direction, float& phase) {
    if (!keys[key]) return;
    velocityX += sign * std::sin(angleRadians) * speed;
    velocityY += sign * std::cos(angleRadians) * speed;
    direction = sign;
    phase += sign;
}

// Opposite keys are both applied: they cancel in velocity and phase, and the later one wins the
// direction.
static void applyWalkKeys() {
    const double forward = heading * static_cast<double>(degToRad);
    const double left = (heading - 90.0) * static_cast<double>(degToRad);
    applyArrowKey(virtualKeyUp, forward, walkSpeed, 1, walkDirection, walkPhase);
    applyArrowKey(virtualKeyDown, forward, walkSpeed, -1, walkDirection, walkPhase);
    applyArrowKey(virtualKeyLeft, left, strafeSpeed, 1, strafeDirection, strafePhase);
    applyArrowKey(virtualKeyRight, left, strafeSpeed, -1, strafeDirection, strafePhase);
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
// not be reopened (the user has been told, and nothing is held any more). The latch holds while
// the key stays down; a press that went down since the last step is a new one even when no step
// saw the key up in between, as when it comes while the window is being reopened.
static bool toggleDisplayModeOnF1() {
    if (!keys[virtualKeyF1]) {
        fullscreenKeyLatch = 0;
        return true;
    }
    if (fullscreenKeyLatch && !pressedSinceStep[virtualKeyF1]) return true;
    fullscreenKeyLatch = 1;
    closeMainWindow();
    fullscreen = !fullscreen;
    return openMainWindow(windowTitle, windowWidth, windowHeight, colorBits, fullscreen) != 0;
}

// ---------------------------------------------------------------------------------------------
// The loop. One event per pass; only an empty queue lets a frame step run, so input always
// reaches the state before the next frame is drawn. Nothing ever waits.
// ---------------------------------------------------------------------------------------------

enum FrameStepOutcome { frameStepContinue, frameStepQuit, frameStepReopenFailed };

static FrameStepOutcome drawAndApplyInput() {
    // A minimised window skips only the drawing; input keeps acting on the state.
    if (active && !renderFrame()) return frameStepQuit;
    platform->swapBuffers(mainWindow);
    applyMouseLook();
    applyKeyBindings();
    bool quit = keys[virtualKeyEscape] != 0;
    // Escape does not stop an F1 pressed in the same step: the mode still toggles first.
    if (!toggleDisplayModeOnF1()) return frameStepReopenFailed;
    return quit ? frameStepQuit : frameStepContinue;
}

// One frame step; the taps it has seen down are released right after it (see pressKey).
static FrameStepOutcome runFrameStep() {
    FrameStepOutcome outcome = drawAndApplyInput();
    releaseTappedKeys();
    return outcome;
}

// Never go on drawing into nothing: tell the user, and end as a failed reopen does.
static void tellWindowLost() {
    platform->messageBox("Okno programu sa stratilo.", "CHYBA", MessageButtons::ok,
                         MessageIcon::exclamation);
}

// A window destroyed by another program may show only while it is being closed.
static bool windowLostWhileClosing() {
    bool lost = false;
    PlatformEvent event;
    while (platform->pollEvent(&event)) lost = lost || event.kind == EventKind::windowLost;
    return lost;
}

static int32_t runUntilQuit() {
    if (!openMainWindow(windowTitle, windowWidth, windowHeight, colorBits, fullscreen))
        return exitCodeNoWindow;
    loopEnd = LoopEnd::running;
    while (true) {
        PlatformEvent event;
        if (platform->pollEvent(&event)) {
            handleWindowEvent(event);
            if (loopEnd == LoopEnd::running) continue;
            break;
        }
        FrameStepOutcome outcome = runFrameStep();
        if (outcome == frameStepReopenFailed) return exitCodeNoWindow;
        if (outcome == frameStepQuit) break;
    }
    if (loopEnd == LoopEnd::windowLost) {
        tellWindowLost();
        closeMainWindow();
        return exitCodeNoWindow;
    }
    closeMainWindow();
    if (!windowLostWhileClosing()) return exitCodeNormal;
    tellWindowLost();
    return exitCodeNoWindow;
}

int32_t runMainLoop() {
    int32_t exitCode = runUntilQuit();
    platform->closeDisplay();
    return exitCode;
}
