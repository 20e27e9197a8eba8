// platform_sdl.cpp — the desktop on SDL2: the display and its fullscreen mode, the window with its
// GL context, input events, pointer motion, message boxes and the clock.
#include <SDL.h>
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "platform/sdl_translation.h"
#include "platform/virtual_keys.h"
#include "platform/x11_window_system.h"

// The program has at most one window and one GL context at a time; the handles it holds are the
// SDL objects themselves.
static SDL_Window* sdlWindowOf(WindowHandle window) {
    return reinterpret_cast<SDL_Window*>(window);
}

static SDL_Window* programWindow;  // the window while it stands
static bool programWindowMinimised;
static bool displayModeChosen;  // a fullscreen switch was accepted and not yet restored
static SDL_DisplayMode chosenDisplayMode;
static bool onX11;  // SDL really runs on its X11 driver, whatever else it was built with
static bool windowLostWhileClosing;  // to be told once, even though no window stands any more
static bool pointerHeld;  // relative motion is the program's: its window has the keyboard
static int32_t pointerMotionX, pointerMotionY;

// The only display the program opens on: the one holding screen point (0, 0).
constexpr int programDisplay = 0;

static bool displayUp() {
    return SDL_WasInit(SDL_INIT_VIDEO) != 0;
}

// ---------------------------------------------------------------------------------------------
// Display and display mode
// ---------------------------------------------------------------------------------------------

// A closed terminal ends the program by its normal steps, as an interrupt does: the loop is asked
// to close. A program started to ignore it (nohup) goes on ignoring it.
static volatile sig_atomic_t hangupArrived;

static void noteHangup(int) {
    hangupArrived = 1;
}

static void closeOnHangup() {
    struct sigaction current;
    if (sigaction(SIGHUP, nullptr, &current) != 0 || current.sa_handler != SIG_DFL) return;
    struct sigaction hangup {};
    hangup.sa_handler = noteHangup;
    sigemptyset(&hangup.sa_mask);
    sigaction(SIGHUP, &hangup, nullptr);
}

static bool sdlOpenDisplay() {
    if (displayUp()) return true;
    // The close button already arrives as the window's close; SDL's extra quit event for the
    // last window would make it two. The screen saver must not start while the program runs.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "0");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
    // Without a display SDL falls back to drivers that draw where nobody sees it.
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver == nullptr || std::strcmp(driver, "offscreen") == 0 ||
        std::strcmp(driver, "dummy") == 0) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return false;
    }
    onX11 = windowSystemOfDriver(driver) == WindowSystem::x11;
    closeOnHangup();
    SDL_DisableScreenSaver();
    // Keys are read as keys, never composed into text by an input method.
    SDL_StopTextInput();
    return true;
}

static void sdlCloseDisplay() {
    if (displayUp()) SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

// SDL switches the display when a fullscreen window with a chosen mode is shown, not before. So
// the switch is decided here against the modes the display offers, before any window exists (a
// refusal still comes first and leads to the windowed question), and the fullscreen window takes
// the chosen mode. The mode list is read once, when the display comes up, so a mode offered a
// moment ago is never refused while the previous switch is still being undone.
static bool sdlSwitchDisplayMode(int32_t width, int32_t height, int32_t bits) {
    displayModeChosen = false;
    SDL_DisplayMode desktop;
    if (!displayUp() || SDL_GetDesktopDisplayMode(programDisplay, &desktop) != 0) return false;
    int modeCount = SDL_GetNumDisplayModes(programDisplay);
    if (modeCount < 1) return false;
    std::vector<SDL_DisplayMode> modes(static_cast<size_t>(modeCount));
    for (int i = 0; i < modeCount; ++i) {
        if (SDL_GetDisplayMode(programDisplay, i, &modes[static_cast<size_t>(i)]) != 0)
            return false;
    }
    int chosen = chooseDisplayMode(modes.data(), modeCount, width, height, bits,
                                   static_cast<int32_t>(SDL_BITSPERPIXEL(desktop.format)));
    if (chosen < 0) return false;
    chosenDisplayMode = modes[static_cast<size_t>(chosen)];
    displayModeChosen = true;
    if (onX11) startX11DisplayGuard(chosenDisplayMode.w, chosenDisplayMode.h);
    return true;
}

// Closing a window begins with leaving its mode; the window may already be gone (destroyed by
// another program), so from here until it is destroyed the display's errors are only noted.
static void beginWindowClosing() {
    if (onX11 && programWindow != nullptr) beginX11WindowClosing();
}

static void sdlRestoreDisplayMode() {
    displayModeChosen = false;
    if (programWindow == nullptr) return;
    beginWindowClosing();
    SDL_SetWindowFullscreen(programWindow, 0);
}

// ---------------------------------------------------------------------------------------------
// Keys held while windows change
//
// SDL forgets every held key when its window with the keyboard goes away, and then reports no
// release for it: a key held through an F1 switch (F1 itself, an arrow) would stay down in the
// key table, and the next F1 press would be taken for the same one. A key pressed while no window
// stands reaches nobody at all. The window system still knows which keys are down, so the layer
// asks it for the keys SDL has lost track of until each is released.
// ---------------------------------------------------------------------------------------------

static bool keyDownInProgram[256];  // the program got the key's down and not yet its up
static bool keyLostBySdl[256];      // ... and SDL no longer knows the key is down

// Events the layer makes itself, served before SDL's.
static std::deque<PlatformEvent> pendingEvents;

// Called when a window is shown: presses made while no window stood are down for the program
// now, and watched until released.
static void watchKeysHeldOnDisplay() {
    bool down[256];
    if (!onX11 || !readX11KeysDown(down)) return;
    for (int key = 1; key < 256; ++key) {
        if (keyDownInProgram[key] || !down[key]) continue;
        keyLostBySdl[key] = true;
        pendingEvents.push_back({EventKind::keyDown, static_cast<uint8_t>(key), 0, 0});
    }
}

// The first lost key the display reports released; 0 when none is.
static uint8_t lostKeyReleased() {
    bool watching = false;
    for (bool lost : keyLostBySdl) watching = watching || lost;
    bool down[256];
    if (!watching || !readX11KeysDown(down)) return 0;
    for (int key = 1; key < 256; ++key) {
        if (keyLostBySdl[key] && !down[key]) return static_cast<uint8_t>(key);
    }
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Window and GL context
// ---------------------------------------------------------------------------------------------

static void requestGlDrawable(const WindowRequest& request) {
    SDL_GL_ResetAttributes();
    int primary = request.colorBits > 16 ? 8 : 5;
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, primary);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE,
                        request.colorBits > 16 ? 8 : (request.colorBits == 16 ? 6 : 5));
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, primary);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, request.depthBits);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    // Immediate mode, display lists and the fixed pipeline need a compatibility context.
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
}

static WindowHandle sdlCreateWindow(const WindowRequest& request, WindowFailure* failure) {
    *failure = WindowFailure::noWindow;
    if (!displayUp() || programWindow != nullptr) return nullptr;
    bool fullscreen = request.fullscreen && displayModeChosen;
    uint32_t flags = SDL_WINDOW_HIDDEN | (fullscreen ? SDL_WINDOW_FULLSCREEN | SDL_WINDOW_BORDERLESS
                                                     : SDL_WINDOW_RESIZABLE);
    int width = fullscreen ? chosenDisplayMode.w : request.width;
    int height = fullscreen ? chosenDisplayMode.h : request.height;
    const char* title = request.title != nullptr ? request.title : "";
    requestGlDrawable(request);
    SDL_Window* window = SDL_CreateWindow(title, 0, 0, width, height, flags | SDL_WINDOW_OPENGL);
    if (window == nullptr) {
        // A display that makes plain windows but has no fitting GL drawable.
        if (SDL_Window* plain = SDL_CreateWindow(title, 0, 0, width, height, flags)) {
            SDL_DestroyWindow(plain);
            *failure = WindowFailure::noGlDrawable;
        }
        return nullptr;
    }
    if (fullscreen && SDL_SetWindowDisplayMode(window, &chosenDisplayMode) != 0) {
        SDL_DestroyWindow(window);
        return nullptr;
    }
    *failure = WindowFailure::none;
    windowLostWhileClosing = false;  // a loss seen while the last window closed concerns it only
    // Watched from now on: another program may destroy the window as soon as it is shown.
    if (onX11) watchX11Window(window);
    programWindow = window;
    programWindowMinimised = false;
    return reinterpret_cast<WindowHandle>(window);
}

static void sdlShowWindow(WindowHandle handle) {
    SDL_Window* window = sdlWindowOf(handle);
    // A fullscreen window switches the display mode now: the desktop must be on record first.
    if (onX11) awaitX11DisplayGuard();
    SDL_ShowWindow(window);
    SDL_RaiseWindow(window);
    // Without a window manager nobody else gives a new window the keyboard.
    SDL_SetWindowInputFocus(window);
    watchKeysHeldOnDisplay();
}

static void holdPointer(bool held) {
    pointerHeld = held;
    SDL_SetRelativeMouseMode(held ? SDL_TRUE : SDL_FALSE);
}

static void sdlDestroyWindow(WindowHandle handle) {
    if (programWindow != sdlWindowOf(handle) || programWindow == nullptr) return;
    holdPointer(false);
    beginWindowClosing();
    programWindow = nullptr;
    SDL_DestroyWindow(sdlWindowOf(handle));
    if (onX11 && endX11WindowClosing()) windowLostWhileClosing = true;
    // Nothing else has reached SDL's queue since the frame step began on an empty one.
    uint8_t released[mostReleasesOfClosedWindow];
    int count = takeReleasesOfClosedWindow(onX11 ? WindowSystem::x11 : WindowSystem::other,
                                           released, mostReleasesOfClosedWindow);
    for (int i = 0; i < count; ++i)
        if (keyDownInProgram[released[i]]) keyLostBySdl[released[i]] = true;
}

static ContextHandle sdlCreateContext(WindowHandle window) {
    return reinterpret_cast<ContextHandle>(SDL_GL_CreateContext(sdlWindowOf(window)));
}

static bool sdlMakeCurrent(WindowHandle window, ContextHandle context) {
    return SDL_GL_MakeCurrent(sdlWindowOf(window), reinterpret_cast<SDL_GLContext>(context)) == 0;
}

static bool sdlMakeNoneCurrent() {
    return displayUp() && SDL_GL_MakeCurrent(nullptr, nullptr) == 0;
}

static void sdlDeleteContext(ContextHandle context) {
    SDL_GL_DeleteContext(reinterpret_cast<SDL_GLContext>(context));
}

static void sdlSwapBuffers(WindowHandle window) {
    SDL_GL_SwapWindow(sdlWindowOf(window));
}

// ---------------------------------------------------------------------------------------------
// Events and pointer
//
// Pointer motion is summed from SDL's relative motion events as they are taken from the queue,
// in order with the focus changes: nothing moved while the window had the keyboard is lost, and
// nothing moved elsewhere is counted.
// ---------------------------------------------------------------------------------------------

static bool isProgramWindowEvent(const SDL_Event& event) {
    return programWindow != nullptr && event.window.windowID == SDL_GetWindowID(programWindow);
}

static bool takeSdlEvent(PlatformEvent* out) {
    SDL_Event event;
    while (SDL_PollEvent(&event) != 0) {
        if (event.type == SDL_SYSWMEVENT) {
            if (onX11) noteX11Event(event);
            continue;
        }
        if (event.type == SDL_MOUSEMOTION) {
            if (pointerHeld) {
                pointerMotionX += event.motion.xrel;
                pointerMotionY += event.motion.yrel;
            }
            continue;
        }
        if (event.type == SDL_WINDOWEVENT) {
            if (!isProgramWindowEvent(event)) continue;
            if (event.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) holdPointer(true);
            if (event.window.event == SDL_WINDOWEVENT_FOCUS_LOST) holdPointer(false);
            if (!translateSdlEvent(event, &programWindowMinimised, out)) continue;
            return true;
        }
        if (!translateSdlEvent(event, &programWindowMinimised, out)) continue;
        // SDL reports the key again: it knows it is down (or up) from here on.
        if (out->kind == EventKind::keyDown || out->kind == EventKind::keyUp)
            keyLostBySdl[out->virtualKey] = false;
        return true;
    }
    return false;
}

static bool sdlPollEvent(PlatformEvent* out) {
    if (!displayUp()) return false;
    bool lost = programWindow != nullptr ? onX11 && takeX11WindowGone()
                                         : std::exchange(windowLostWhileClosing, false);
    if (lost) {
        *out = {EventKind::windowLost, 0, 0, 0};
        return true;
    }
    if (hangupArrived) {
        hangupArrived = 0;
        *out = {EventKind::closeRequested, 0, 0, 0};
        return true;
    }
    if (!pendingEvents.empty()) {
        *out = pendingEvents.front();
        pendingEvents.pop_front();
    } else if (uint8_t released = lostKeyReleased()) {
        keyLostBySdl[released] = false;
        *out = {EventKind::keyUp, released, 0, 0};
    } else if (!takeSdlEvent(out)) {
        return false;
    }
    if (out->kind == EventKind::keyDown) keyDownInProgram[out->virtualKey] = true;
    if (out->kind == EventKind::keyUp) keyDownInProgram[out->virtualKey] = false;
    return true;
}

static void sdlTakePointerMotion(int32_t* dx, int32_t* dy) {
    *dx = pointerMotionX;
    *dy = pointerMotionY;
    pointerMotionX = 0;
    pointerMotionY = 0;
}

static void sdlHideCursor(bool hidden) {
    if (displayUp()) SDL_ShowCursor(hidden ? SDL_DISABLE : SDL_ENABLE);
}

// ---------------------------------------------------------------------------------------------
// Message boxes and clock
// ---------------------------------------------------------------------------------------------

static MessageAnswer sdlMessageBox(const char* text, const char* caption, MessageButtons buttons,
                                   MessageIcon icon) {
    // Enter presses OK or Yes; Escape presses OK or No.
    static const SDL_MessageBoxButtonData okButtons[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 0,
         "OK"}};
    static const SDL_MessageBoxButtonData yesNoButtons[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, 1, "Yes"},
        {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 0, "No"}};
    static const uint32_t iconFlags[] = {0, SDL_MESSAGEBOX_INFORMATION, SDL_MESSAGEBOX_WARNING,
                                         SDL_MESSAGEBOX_ERROR};
    bool question = buttons == MessageButtons::yesNo;
    SDL_MessageBoxData box{};
    box.flags = iconFlags[static_cast<int>(icon)] | SDL_MESSAGEBOX_BUTTONS_LEFT_TO_RIGHT;
    box.title = caption;
    box.message = text;
    box.numbuttons = question ? 2 : 1;
    box.buttons = question ? yesNoButtons : okButtons;
    // The box needs the pointer; the window takes it back when it has the keyboard again.
    if (pointerHeld) holdPointer(false);
    int pressed = 0;
    // SDL's box on a display that is not up would open a connection of its own, which it cannot
    // always do safely; without the display the text goes to standard error instead.
    if (!displayUp() || SDL_ShowMessageBox(&box, &pressed) != 0) {
        std::fprintf(stderr, "%s: %s\n", caption, text);
        std::fflush(stderr);
        pressed = 0;
    }
    if (programWindow != nullptr && SDL_GetKeyboardFocus() == programWindow) holdPointer(true);
    if (!question) return MessageAnswer::ok;
    return pressed == 1 ? MessageAnswer::yes : MessageAnswer::no;
}

static const std::chrono::steady_clock::time_point processStart = std::chrono::steady_clock::now();

static uint32_t sdlMilliseconds() {
    auto elapsed = std::chrono::steady_clock::now() - processStart;
    return static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

const PlatformLayer sdlPlatformLayer = {
    sdlOpenDisplay,  sdlCloseDisplay,      sdlSwitchDisplayMode, sdlRestoreDisplayMode,
    sdlCreateWindow, sdlShowWindow,        sdlDestroyWindow,     sdlCreateContext,
    sdlMakeCurrent,  sdlMakeNoneCurrent,   sdlDeleteContext,     sdlSwapBuffers,
    sdlPollEvent,    sdlTakePointerMotion, sdlHideCursor,        sdlMessageBox,
    sdlMilliseconds,
};

const PlatformLayer* platform = &sdlPlatformLayer;
