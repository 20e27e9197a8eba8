// x11_window_system.h — what the SDL layer needs of an X11 display beyond SDL itself: the keys the
// display holds down, a window destroyed by another program, a quiet teardown, and the guard that
// gives the desktop its display mode back however the program ends. Used only while SDL really
// runs on its X11 driver; no X11 type appears here.
#pragma once

#include <SDL.h>

#include <cstdint>

// ---- the program's window (x11_window_system.cpp) ----

// Starts watching a new window; nothing is watched when it is not an X11 window after all.
void watchX11Window(SDL_Window* window);
// Which of the key table's keys the display holds down now; false when no window is watched.
bool readX11KeysDown(bool down[256]);
// Every event of the display, as SDL passes it on while a window is watched: the one telling that
// the watched window was destroyed marks it gone.
void noteX11Event(const SDL_Event& event);
// True once after the display showed the watched window gone.
bool takeX11WindowGone();
// Between these two the window is being closed: the display's errors are only noted, never
// passed on (the window may already be gone). The end waits for every reply and tells whether
// the window had been gone.
void beginX11WindowClosing();
bool endX11WindowClosing();

// ---- the display guard (x11_display_guard.cpp) ----

// Starts the guard, once a run, before the first fullscreen switch to width x height. It records
// every output's mode, position and rotation, and when the program has ended, by whatever means,
// puts back each one it finds still at the program's mode.
void startX11DisplayGuard(int32_t width, int32_t height);
// Waits until the guard has recorded the desktop (or has given up): the switch may come now.
void awaitX11DisplayGuard();
