// main_loop.cpp — the program's heartbeat: the non-blocking event loop, the event handler and the
// keyboard and mouse bindings that drive the viewer.
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
PointerMotion pointerMotion = {0, 0};

// How the loop ends, when an event ends it.
enum class LoopEnd { running, closeRequested, windowLost };
static LoopEnd loopEnd = LoopEnd::running;

// ---------------------------------------------------------------------------------------------
// Events. They only record what happened (keys, activity, the right button, the client size);
// the frame step reads that state.
// ---------------------------------------------------------------------------------------------

void handleWindowEvent(const PlatformEvent& event) {
    switch (event.kind) {
        case EventKind::keyDown:
            keys[event.virtualKey] = 1;
            break;
        case EventKind::keyUp:
            // Any release stops the lean; a still-held arrow sets its direction again next step.
            walkDirection = 0;
            strafeDirection = 0;
            keys[event.virtualKey] = 0;
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

// Turns the pointer motion since the last step into turn and pitch rates: moving right turns
// right, moving down looks down.
static void applyMouseLook() {
    platform->takePointerMotion(&pointerMotion.x, &pointerMotion.y);
    headingRate += pointerMotion.x * 0.02 * 5;
    pitchRate += pointerMotion.y * 0.02 * 5;
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
// The loop. One event per pass; only an empty queue lets a frame step run, so input always
// reaches the state before the next frame is drawn. Nothing ever waits.
// ---------------------------------------------------------------------------------------------

enum FrameStepOutcome { frameStepContinue, frameStepQuit, frameStepReopenFailed };

static FrameStepOutcome runFrameStep() {
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
