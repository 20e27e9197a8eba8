// main_loop.h — the program's heartbeat: the non-blocking message loop, the window procedure and
// the keyboard and mouse bindings.
#pragma once

#include <cstdint>

#include "platform/platform.h"

struct PointerPosition {
    int32_t x;
    int32_t y;
};

extern uint8_t keys[256];         // 1 while the key with that virtual-key code is down
extern bool active;               // the window is not minimised; frames render only while set
extern bool fullscreen;           // open the window in a fullscreen display mode
extern int32_t lightingEnabled;   // 0 while L is held, otherwise 1 from the first frame step on
extern uint8_t fullscreenKeyLatch;
extern uint8_t lightingKeyLatch;
extern uint8_t crouchKeyLatch;
extern PointerPosition cursorPos;  // pointer read in the last frame step, screen coordinates

// The process entry: opens the window, runs the loop, returns the exit code.
int32_t runMainLoop();

// The window procedure of the registered class.
intptr_t handleWindowMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                             intptr_t lParam);
