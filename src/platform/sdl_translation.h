// sdl_translation.h — the SDL layer's decisions that need no display: which virtual-key code an
// SDL key is, which keys are system keys, which display mode a switch takes, which message an SDL
// event becomes, and how a message box is laid out and answered. Internal to src/platform.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <cstdio>

#include "platform/platform.h"

// The Alt key itself; only ever seen as a system key.
constexpr uint8_t virtualKeyAlt = 0x12;

// The virtual-key code of an SDL key, 0 for a key without one. Letters follow the keyboard
// layout where it types Latin letters and the key's position where it does not; digits follow
// the key's position, as the top row gives them on most European layouts.
uint8_t virtualKeyForSdlKey(SDL_Keycode keycode, SDL_Scancode scancode);

// Keys pressed with Alt held (unless Control is held too, which makes AltGr combinations
// ordinary keys), the Alt key itself, and F10.
bool isSystemKey(uint8_t virtualKey, uint16_t modifiers);

// Index into `modes` of the mode a fullscreen switch to width x height at `bits` takes: that size
// at the requested depth, else that size at the desktop's own depth; -1 when the display offers
// neither. Among equal matches the first listed wins (SDL lists the highest refresh rate first).
int chooseDisplayMode(const SDL_DisplayMode* modes, int modeCount, int32_t width, int32_t height,
                      int32_t bits, int32_t desktopBits);

// What the translation needs to know about the window an event belongs to.
struct EventTarget {
    WindowHandle window;  // null when the event's window is not one of ours (any more)
    bool* minimised;      // the window's minimised state, kept up to date by the translation
};

// Turns one SDL event into the message the window procedure gets; false when the event means
// nothing to the program (or its window is gone, as a key-up is lost when it reaches no window).
bool translateSdlEvent(const SDL_Event& event, EventTarget target, WindowMessageRecord* message);

// The release of a key that was already down when the window got the keyboard.
//
// SDL reports a key's release only if it saw the key go down while one of its windows had the
// keyboard, and it forgets every held key when its focus window goes away. F1 is held down
// through the mode switch that closes one window and opens the next, so SDL would swallow its
// release: the program would keep F1 down and take the next press for the same one. The desktop
// delivers every release to the window that has the keyboard; so does this layer, by watching
// the window system's raw key events beside SDL's: a raw release of a physical key that went
// down as a key the program still holds, and that SDL no longer reports, becomes the key-up.
struct KeyReleaseTracker {
    bool programDown[256];          // the program got the key-down and not yet the key-up
    bool sdlDown[256];              // SDL reported the key down since its last release
    uint32_t physicalKey[256];      // the window system's code of the key that went down as it
    uint32_t pendingPhysicalPress;  // a raw press whose SDL key event comes next; 0 none
};

// A raw key press; SDL's own event for it follows directly.
void trackRawKeyPress(KeyReleaseTracker& tracker, uint32_t physicalKey);
// Every SDL event in queue order: SDL's key events (also for windows already gone) keep its view
// of the keyboard; any other event ends the pairing with a raw press.
void trackSdlEvent(KeyReleaseTracker& tracker, const SDL_Event& event);
// A message handed to the program.
void trackDeliveredMessage(KeyReleaseTracker& tracker, const WindowMessageRecord& message);
// The virtual key whose release SDL will not report for this raw release, 0 when SDL will (or the
// program does not hold the key).
uint8_t keyReleasedUnseenBySdl(KeyReleaseTracker& tracker, uint32_t physicalKey);
// SDL starts over with no key down when its window system is brought up again.
void forgetSdlKeyboard(KeyReleaseTracker& tracker);
// The key-up message for a release found by keyReleasedUnseenBySdl.
void makeKeyUpMessage(WindowHandle window, uint8_t virtualKey, WindowMessageRecord* message);

// Flags and buttons of the SDL box for a messageBox type (buttons | icon).
struct MessageBoxLayout {
    uint32_t flags;
    int buttonCount;
    const SDL_MessageBoxButtonData* buttons;
};
MessageBoxLayout describeMessageBox(uint32_t type);

// The messageBoxAnswer* for the button SDL reports (-1: the box was closed without one). Only an
// explicit Yes counts as Yes.
int32_t answerForButton(uint32_t type, int buttonId);

// The answer when no box could be shown: No to a question, OK otherwise.
int32_t answerForUnshownBox(uint32_t type);

// Writes "caption: text" on its own line, so a message that no box could show still reaches the
// user.
void reportUnshownMessage(FILE* stream, const char* caption, const char* text);
