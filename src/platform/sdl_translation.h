// sdl_translation.h — the SDL layer's decisions that need no display: which virtual-key code an
// SDL key is, which keys belong to the desktop rather than the program, which display mode a
// switch takes, and which program event an SDL event becomes. Internal to src/platform.
#pragma once

#include <SDL.h>

#include <cstdint>

#include "platform/platform.h"

// The virtual-key code of an SDL key, 0 for a key without one. Letters follow the keyboard
// layout where it types Latin letters and the key's position where it does not; digits follow
// the key's position, as the top row gives them on most European layouts.
uint8_t virtualKeyForSdlKey(SDL_Keycode keycode, SDL_Scancode scancode);

// Index into `modes` of the mode a fullscreen switch to width x height at `bits` takes: that size
// at the requested depth, else that size at the desktop's own depth; -1 when the display offers
// neither. Among equal matches the first listed wins (SDL lists the highest refresh rate first).
int chooseDisplayMode(const SDL_DisplayMode* modes, int modeCount, int32_t width, int32_t height,
                      int32_t bits, int32_t desktopBits);

// Turns one SDL event of the program's window into the program's event; false when it means
// nothing to the program. `minimised` is the window's state, kept up to date here, because SDL
// also reports a maximised window's return to its size as "restored".
bool translateSdlEvent(const SDL_Event& event, bool* minimised, PlatformEvent* out);

// The window system behind SDL's video driver of that name. Code that only one window system has
// runs only where SDL really uses it, whatever drivers SDL was built with.
enum class WindowSystem { x11, other };
WindowSystem windowSystemOfDriver(const char* driver);

// SDL forgets every held key when its window with the keyboard goes away, and queues a release
// for each. On X11 those releases are not the user's: the keys are still down, and the layer
// watches them on the display until they really come up. So there they are taken out of the
// queue, their keys written to `keys` (up to `room`, at most `mostReleasesOfClosedWindow`) and
// counted; elsewhere nothing watches the keys, and the releases stay queued for the program.
constexpr int mostReleasesOfClosedWindow = 64;  // more keys than anyone holds down at once
int takeReleasesOfClosedWindow(WindowSystem system, uint8_t* keys, int room);
