// main_loop.h — the program's heartbeat: the non-blocking event loop, the event handler and
// the keyboard and mouse bindings.
#pragma once

#include <cstdint>

#include "platform/platform.h"

struct PointerMotion {
    int32_t x;  // pixels, right positive
    int32_t y;  // pixels, down positive
};

extern uint8_t (&keys)[256];      // 1 while the key with that virtual-key code is down
extern bool& active;              // the window is not minimised; frames render only while set
extern bool& fullscreen;          // open the window in a fullscreen display mode
extern int32_t& lightingEnabled;  // 0 while L is held, otherwise 1 from the first frame step on
extern uint8_t& fullscreenKeyLatch;
extern uint8_t& lightingKeyLatch;
extern uint8_t& crouchKeyLatch;
extern PointerMotion& pointerMotion;  // pointer motion taken in the last frame step

// Puts the loop's state above (and the loop's own) back to its start values.
void resetMainLoopState();

// Exit codes: a normal end (Escape, the close button), and a window that could not be opened,
// reopened or kept.
constexpr int32_t exitCodeNormal = 0;
constexpr int32_t exitCodeNoWindow = 1;

// The process entry: opens the window, runs the loop, returns the exit code.
int32_t runMainLoop();

// Keeps the key table, the activity and right-button flags and the projection up to date.
void handleWindowEvent(const PlatformEvent& event);
