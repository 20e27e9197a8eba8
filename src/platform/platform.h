// platform.h — what the program needs of the desktop, and nothing more: a display with an
// optional fullscreen mode, one window with a GL context, typed input events, relative pointer
// motion, message boxes and a millisecond clock.
//
// The program runs on the SDL layer (platform_sdl.cpp); the tests put a scripted layer in its
// place that can make any step fail and records the message boxes instead of showing them.
// Nothing outside src/platform includes SDL.
#pragma once

#include <cstdint>

struct PlatformWindow;
struct PlatformContext;
using WindowHandle = PlatformWindow*;    // null while no window is held
using ContextHandle = PlatformContext*;  // null while no GL context is held

// What the window is made with. The GL attributes are fixed when the window is created: the
// drawable is double-buffered RGBA with `colorBits` colour bits and a `depthBits` depth buffer.
struct WindowRequest {
    const char* title;
    int32_t width;  // client size in pixels
    int32_t height;
    bool fullscreen;  // borderless at the switched display mode, else framed and resizable
    int32_t colorBits;
    int32_t depthBits;
};

enum class WindowFailure {
    none,
    noWindow,     // the window itself could not be made
    noGlDrawable  // a plain window could be made, but the display has no fitting GL drawable
};

// One input event, in the program's terms. Keys carry their virtual-key code (the codes of
// virtual_keys.h; 0 for a key without one, which only ever arrives as a release).
enum class EventKind {
    keyDown,  // also sent again while a key repeats
    keyUp,
    rightButtonDown,
    rightButtonUp,
    resized,    // new client size in width, height
    minimised,  // the window was made an icon: nothing is drawn until it is restored
    restored,
    closeRequested,  // the close button, Alt+F4, the window manager or an interrupt
    windowLost       // the window went away without the program closing it
};

struct PlatformEvent {
    EventKind kind;
    uint8_t virtualKey;
    int32_t width;
    int32_t height;
};

enum class MessageButtons { ok, yesNo };
enum class MessageIcon { none, information, exclamation, stop };
enum class MessageAnswer { ok, yes, no };

struct PlatformLayer {
    // The display: brought up once (true when it already is) and down when the program ends.
    // Only a real display counts: without one, bringing it up fails.
    bool (*openDisplay)();
    void (*closeDisplay)();

    // Chooses the fullscreen mode the next fullscreen window takes: width x height at `bits`, else
    // that size at the desktop's own depth; false when the display offers neither. The mode is
    // switched while the fullscreen window stands and restored when it goes.
    bool (*switchDisplayMode)(int32_t width, int32_t height, int32_t bits);
    void (*restoreDisplayMode)();

    // Creates the window hidden; *failure tells why when it returns null.
    WindowHandle (*createWindow)(const WindowRequest& request, WindowFailure* failure);
    // Shows the window, raises it and gives it the keyboard.
    void (*showWindow)(WindowHandle window);
    void (*destroyWindow)(WindowHandle window);

    ContextHandle (*createContext)(WindowHandle window);
    bool (*makeCurrent)(WindowHandle window, ContextHandle context);
    bool (*makeNoneCurrent)();
    void (*deleteContext)(ContextHandle context);
    void (*swapBuffers)(WindowHandle window);

    // Takes the next event without waiting; false when none is pending.
    bool (*pollEvent)(PlatformEvent* event);
    // The pointer motion in pixels since the last call (right and down positive). The pointer is
    // the program's, hidden and held in its window, only while the window has the keyboard; motion
    // made while another window has it is never counted.
    void (*takePointerMotion)(int32_t* dx, int32_t* dy);
    void (*hideCursor)(bool hidden);

    // A modal box without an owner window. When no box can be shown the text still reaches the
    // user on standard error, and a question counts as answered No.
    MessageAnswer (*messageBox)(const char* text, const char* caption, MessageButtons buttons,
                                MessageIcon icon);

    // Real time in milliseconds from an arbitrary start.
    uint32_t (*milliseconds)();
};

// The layer in use: the SDL layer unless a test has put another in its place.
extern const PlatformLayer* platform;
extern const PlatformLayer sdlPlatformLayer;
