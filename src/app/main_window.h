// main_window.h — the single top-level window, its GL context, the display mode and the fixed
// GL state every frame relies on.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// Display settings (compiled in).
extern const char* const windowTitle;  // "Kalimbor v.1.4b"
extern const int32_t windowWidth;      // 800
extern const int32_t windowHeight;     // 600
extern const int32_t colorBits;        // 16

// Handles; null while not held.
extern WindowHandle& mainWindow;
extern ContextHandle& renderContext;
// Forgets the handles (releases nothing): the start of a run.
void resetMainWindowState();

// Opens the window with a current GL context and loaded assets: 1, or 0 after telling the user.
int32_t openMainWindow(const char* title, int32_t width, int32_t height, int32_t bits,
                       bool fullscreenFlag);

// Releases whatever of the window is held, reporting each failed release and carrying on.
void closeMainWindow();

// Viewport and projection for a client size in pixels.
void setProjection(int32_t width, int32_t height);

// Loads the assets into the current context and sets the fixed GL state: 1, or 0 when the
// texture set cannot be loaded.
int32_t setupRenderState();
