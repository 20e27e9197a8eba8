// platform_sdl.cpp — the window-system layer on SDL2: window class, display mode, window, GL
// context, message boxes, the message queue, cursor and clock.
#include <SDL.h>
#include <SDL_syswm.h>

#include <chrono>
#include <cstring>
#include <vector>

#include "platform/platform.h"
#include "platform/sdl_translation.h"

// ---------------------------------------------------------------------------------------------
// Handles
//
// Every handle the shell holds points into one of the fixed tables below, and every operation
// first checks that the handle is one of ours and still live. A handle that was already released
// (or never was one) then fails the operation instead of touching freed memory, as the desktop's
// handle tables behave. Records are reused in turn, so a closed window's record is not handed
// out again by the very next opening.
// ---------------------------------------------------------------------------------------------

struct PlatformModule {
    int unused;
};

struct PlatformDrawable {
    PlatformWindow* owner;
};

struct PlatformWindow {
    bool live;
    SDL_Window* sdlWindow;
    bool minimised;
    bool deviceHeld;
    bool pixelFormatSet;
    uint32_t creationSerial;
    PlatformDrawable drawable;
};

struct PlatformContext {
    bool live;
    SDL_GLContext glContext;
};

constexpr int windowRecordCount = 8;
constexpr int contextRecordCount = 8;

static PlatformModule runningModule;
static PlatformWindow windowRecords[windowRecordCount];
static PlatformContext contextRecords[contextRecordCount];
static int nextWindowRecord;
static int nextContextRecord;
static uint32_t windowCreationCount;

// The registered class: the window system is up exactly while it is registered.
static bool classRegistered;
static char registeredClassName[64];
static WindowProcedure registeredProcedure;

// The display mode chosen by the last accepted switch, applied by the fullscreen window.
static bool displayModeReserved;
static SDL_DisplayMode reservedDisplayMode;
static PlatformWindow* fullscreenWindow;

static int32_t cursorShowCount;

static KeyReleaseTracker keyReleases;

static bool quitPosted;
static int32_t quitExitCode;

// The only display the program opens on: the one holding screen point (0, 0).
constexpr int programDisplay = 0;

constexpr uintptr_t systemCommandClose = 0xF060;
constexpr uint8_t virtualKeyF4 = 0x73;

static PlatformWindow* liveWindow(WindowHandle window) {
    for (PlatformWindow& record : windowRecords) {
        if (&record == window && record.live) return &record;
    }
    return nullptr;
}

static PlatformWindow* liveDeviceOwner(DeviceHandle device) {
    for (PlatformWindow& record : windowRecords) {
        if (&record.drawable == device && record.live && record.deviceHeld) return &record;
    }
    return nullptr;
}

static PlatformContext* liveContext(ContextHandle context) {
    for (PlatformContext& record : contextRecords) {
        if (&record == context && record.live) return &record;
    }
    return nullptr;
}

static PlatformWindow* windowForSdlWindow(SDL_Window* sdlWindow) {
    if (sdlWindow == nullptr) return nullptr;
    for (PlatformWindow& record : windowRecords) {
        if (record.live && record.sdlWindow == sdlWindow) return &record;
    }
    return nullptr;
}

static PlatformWindow* newestWindow() {
    PlatformWindow* newest = nullptr;
    for (PlatformWindow& record : windowRecords) {
        if (record.live && (newest == nullptr || record.creationSerial > newest->creationSerial)) {
            newest = &record;
        }
    }
    return newest;
}

static bool anyWindowLive() {
    return newestWindow() != nullptr;
}

static bool videoUp() {
    return SDL_WasInit(SDL_INIT_VIDEO) != 0;
}

// ---------------------------------------------------------------------------------------------
// Module, window class, cursor
// ---------------------------------------------------------------------------------------------

static ModuleHandle sdlGetModuleHandle() {
    return &runningModule;
}

static void applyCursorVisibility() {
    if (videoUp()) SDL_ShowCursor(cursorShowCount >= 0 ? SDL_ENABLE : SDL_DISABLE);
}

static int32_t sdlRegisterWindowClass(const char* className, WindowProcedure procedure,
                                      ModuleHandle) {
    // One class at a time, like the desktop refusing a second class of a name already taken.
    if (classRegistered || className == nullptr || procedure == nullptr) return 0;
    if (std::strlen(className) >= sizeof registeredClassName) return 0;
    // The close button already arrives as the window's close; SDL's extra quit event for the
    // last window would make it two. The screen saver must not start while the program runs.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "0");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return 0;
    SDL_DisableScreenSaver();
    // The raw key events, for the releases SDL does not report (see KeyReleaseTracker).
    SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
    // Keys are read as keys, never composed into text by an input method.
    SDL_StopTextInput();
    classRegistered = true;
    std::strcpy(registeredClassName, className);
    registeredProcedure = procedure;
    // SDL forgets the cursor state whenever the window system is shut down.
    applyCursorVisibility();
    return 1;
}

static int32_t sdlUnregisterWindowClass(const char* className, ModuleHandle) {
    if (!classRegistered || className == nullptr) return 0;
    if (std::strcmp(className, registeredClassName) != 0) return 0;
    // The desktop refuses to remove a class while one of its windows stands.
    if (anyWindowLive()) return 0;
    // GL contexts do not outlive the GL library that goes with the window system.
    for (PlatformContext& record : contextRecords) {
        if (record.live) SDL_GL_DeleteContext(record.glContext);
        record = PlatformContext{};
    }
    displayModeReserved = false;
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    forgetSdlKeyboard(keyReleases);
    classRegistered = false;
    registeredProcedure = nullptr;
    return 1;
}

static int32_t sdlShowCursor(bool show) {
    cursorShowCount += show ? 1 : -1;
    applyCursorVisibility();
    return cursorShowCount;
}

// ---------------------------------------------------------------------------------------------
// Display mode
//
// The shell switches the display first and creates its fullscreen window afterwards. SDL has no
// switch without a window: the X server changes mode when a fullscreen window with a chosen mode
// is shown. So the switch is decided here, against the modes the display offers, before any
// window exists (a refusal therefore still comes before the window, and leads to the windowed
// question); the fullscreen window takes the chosen mode when it is created, and showing it
// performs the switch.
// ---------------------------------------------------------------------------------------------

static int32_t sdlChangeDisplayMode(int32_t width, int32_t height, int32_t bits) {
    displayModeReserved = false;
    if (!videoUp()) return 0;
    SDL_DisplayMode desktop;
    if (SDL_GetDesktopDisplayMode(programDisplay, &desktop) != 0) return 0;
    int modeCount = SDL_GetNumDisplayModes(programDisplay);
    if (modeCount < 1) return 0;
    std::vector<SDL_DisplayMode> modes(static_cast<size_t>(modeCount));
    for (int i = 0; i < modeCount; ++i) {
        if (SDL_GetDisplayMode(programDisplay, i, &modes[static_cast<size_t>(i)]) != 0) return 0;
    }
    int chosen = chooseDisplayMode(modes.data(), modeCount, width, height, bits,
                                   static_cast<int32_t>(SDL_BITSPERPIXEL(desktop.format)));
    if (chosen < 0) return 0;
    reservedDisplayMode = modes[static_cast<size_t>(chosen)];
    displayModeReserved = true;
    return 1;
}

// Takes the fullscreen window out of the switched mode; the window stays, borderless at its
// size, until it is destroyed, as a popup window stays when the desktop's mode comes back.
static void sdlRestoreDisplayMode() {
    displayModeReserved = false;
    PlatformWindow* window = liveWindow(fullscreenWindow);
    if (window != nullptr) SDL_SetWindowFullscreen(window->sdlWindow, 0);
    fullscreenWindow = nullptr;
}

// ---------------------------------------------------------------------------------------------
// Window
// ---------------------------------------------------------------------------------------------

// On X11 the window manager draws the frame outside the client area and places the frame's
// corner where the client was asked to be, so the client rectangle is already the one to ask
// for, in both styles.
static void sdlAdjustWindowRect(WindowRect*, uint32_t, uint32_t) {}

// The GL visual is fixed when an X window is made, so the pixel format is asked for here. The
// sizes are minimums: the closest visual the display offers is taken, as a pixel-format choice
// would take the closest format.
static void requestVisual(const PixelFormatDescriptor* pixelFormat) {
    SDL_GL_ResetAttributes();
    int colorBits = pixelFormat != nullptr ? pixelFormat->colorBits : 16;
    int red = colorBits > 16 ? 8 : 5;
    int green = colorBits > 16 ? 8 : (colorBits == 16 ? 6 : 5);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, red);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, green);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, red);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, pixelFormat != nullptr ? pixelFormat->alphaBits : 0);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, pixelFormat != nullptr ? pixelFormat->depthBits : 16);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, pixelFormat != nullptr ? pixelFormat->stencilBits : 0);
    bool doubleBuffer =
        pixelFormat == nullptr || (pixelFormat->flags & pixelFormatDoubleBuffer) != 0;
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, doubleBuffer ? 1 : 0);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, 0);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, 0);
    // Immediate mode, display lists and the fixed pipeline need a compatibility context.
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
}

// The next record not in use, taken round-robin so that a released handle is not handed out
// again at once (a stale handle then finds its record dead rather than someone else's).
template <typename Record, int count>
static Record* freeRecord(Record (&records)[count], int& next) {
    for (int tried = 0; tried < count; ++tried) {
        Record& record = records[next];
        next = (next + 1) % count;
        if (!record.live) return &record;
    }
    return nullptr;
}

static WindowHandle sdlCreateWindow(uint32_t, const char* className, const char* title,
                                    uint32_t style, int32_t x, int32_t y, int32_t width,
                                    int32_t height, ModuleHandle,
                                    const PixelFormatDescriptor* pixelFormat) {
    if (!classRegistered || className == nullptr) return nullptr;
    if (std::strcmp(className, registeredClassName) != 0) return nullptr;
    PlatformWindow* record = freeRecord(windowRecords, nextWindowRecord);
    if (record == nullptr) return nullptr;

    // Popup: borderless, and fullscreen at the switched mode when a switch was accepted.
    // Overlapped: a framed window the user can resize, created hidden until showWindow.
    bool popup = (style & windowStylePopup) != 0;
    bool fullscreen = popup && displayModeReserved;
    uint32_t flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
    if (popup) flags |= SDL_WINDOW_BORDERLESS;
    if (!popup) flags |= SDL_WINDOW_RESIZABLE;
    if (fullscreen) {
        flags |= SDL_WINDOW_FULLSCREEN;
        width = reservedDisplayMode.w;
        height = reservedDisplayMode.h;
    }
    requestVisual(pixelFormat);
    SDL_Window* sdlWindow =
        SDL_CreateWindow(title != nullptr ? title : "", x, y, width, height, flags);
    if (sdlWindow == nullptr) return nullptr;
    if (fullscreen && SDL_SetWindowDisplayMode(sdlWindow, &reservedDisplayMode) != 0) {
        SDL_DestroyWindow(sdlWindow);
        return nullptr;
    }
    *record = PlatformWindow{};
    record->live = true;
    record->sdlWindow = sdlWindow;
    record->creationSerial = ++windowCreationCount;
    record->drawable.owner = record;
    if (fullscreen) fullscreenWindow = record;
    return record;
}

static int32_t sdlDestroyWindow(WindowHandle handle) {
    PlatformWindow* window = liveWindow(handle);
    if (window == nullptr) return 0;
    if (fullscreenWindow == window) fullscreenWindow = nullptr;
    SDL_DestroyWindow(window->sdlWindow);
    *window = PlatformWindow{};
    return 1;
}

static void sdlShowWindow(WindowHandle handle) {
    // For a fullscreen window this is the moment the display switches mode.
    if (PlatformWindow* window = liveWindow(handle)) SDL_ShowWindow(window->sdlWindow);
}

static void sdlSetForegroundWindow(WindowHandle handle) {
    if (PlatformWindow* window = liveWindow(handle)) SDL_RaiseWindow(window->sdlWindow);
}

static void sdlSetFocus(WindowHandle handle) {
    // Without a window manager nobody else gives a new window the keyboard.
    if (PlatformWindow* window = liveWindow(handle)) SDL_SetWindowInputFocus(window->sdlWindow);
}

static WindowHandle sdlGetFocus() {
    if (!videoUp()) return nullptr;
    return windowForSdlWindow(SDL_GetKeyboardFocus());
}

// ---------------------------------------------------------------------------------------------
// Drawable, pixel format, GL context
//
// A window has one drawable, obtained and released like the desktop's own device context of a
// window class that keeps one per window. Its one pixel format is the visual the window was made
// with (format 1).
// ---------------------------------------------------------------------------------------------

static DeviceHandle sdlGetDeviceContext(WindowHandle handle) {
    PlatformWindow* window = liveWindow(handle);
    if (window == nullptr) return nullptr;
    window->deviceHeld = true;
    return &window->drawable;
}

static int32_t sdlReleaseDeviceContext(WindowHandle handle, DeviceHandle device) {
    PlatformWindow* window = liveDeviceOwner(device);
    if (window == nullptr || window != liveWindow(handle)) return 0;
    window->deviceHeld = false;
    return 1;
}

static bool pixelFormatOffered(const PixelFormatDescriptor* pixelFormat) {
    if (pixelFormat == nullptr || pixelFormat->pixelType != pixelTypeRgba) return false;
    uint32_t needed = pixelFormatDrawToWindow | pixelFormatSupportOpenGl;
    return (pixelFormat->flags & needed) == needed;
}

static int32_t sdlChoosePixelFormat(DeviceHandle device, const PixelFormatDescriptor* pixelFormat) {
    if (liveDeviceOwner(device) == nullptr || !pixelFormatOffered(pixelFormat)) return 0;
    return 1;
}

static int32_t sdlSetPixelFormat(DeviceHandle device, int32_t format,
                                 const PixelFormatDescriptor* pixelFormat) {
    PlatformWindow* window = liveDeviceOwner(device);
    if (window == nullptr || format != 1 || !pixelFormatOffered(pixelFormat)) return 0;
    window->pixelFormatSet = true;
    return 1;
}


static ContextHandle sdlCreateContext(DeviceHandle device) {
    PlatformWindow* window = liveDeviceOwner(device);
    if (window == nullptr || !window->pixelFormatSet) return nullptr;
    PlatformContext* record = freeRecord(contextRecords, nextContextRecord);
    if (record == nullptr) return nullptr;
    // SDL makes a new context current; creating one must leave the current one as it was.
    SDL_Window* previousWindow = SDL_GL_GetCurrentWindow();
    SDL_GLContext previousContext = SDL_GL_GetCurrentContext();
    SDL_GLContext glContext = SDL_GL_CreateContext(window->sdlWindow);
    if (glContext == nullptr) return nullptr;
    SDL_GL_MakeCurrent(previousWindow, previousContext);
    record->live = true;
    record->glContext = glContext;
    return record;
}

static int32_t sdlMakeCurrent(DeviceHandle device, ContextHandle handle) {
    if (!videoUp()) return 0;
    if (device == nullptr && handle == nullptr) return SDL_GL_MakeCurrent(nullptr, nullptr) == 0;
    PlatformWindow* window = liveDeviceOwner(device);
    PlatformContext* context = liveContext(handle);
    if (window == nullptr || context == nullptr) return 0;
    return SDL_GL_MakeCurrent(window->sdlWindow, context->glContext) == 0;
}

static int32_t sdlDeleteContext(ContextHandle handle) {
    PlatformContext* context = liveContext(handle);
    if (context == nullptr) return 0;
    SDL_GL_DeleteContext(context->glContext);
    *context = PlatformContext{};
    return 1;
}

static int32_t sdlSwapBuffers(DeviceHandle device) {
    PlatformWindow* window = liveDeviceOwner(device);
    if (window == nullptr) return 0;
    SDL_GL_SwapWindow(window->sdlWindow);
    return 1;
}

// ---------------------------------------------------------------------------------------------
// Message boxes
// ---------------------------------------------------------------------------------------------

static int32_t sdlMessageBox(WindowHandle owner, const char* text, const char* caption,
                             uint32_t type) {
    MessageBoxLayout layout = describeMessageBox(type);
    PlatformWindow* ownerWindow = liveWindow(owner);
    SDL_MessageBoxData box{};
    box.flags = layout.flags;
    box.window = ownerWindow != nullptr ? ownerWindow->sdlWindow : nullptr;
    box.title = caption != nullptr ? caption : "";
    box.message = text != nullptr ? text : "";
    box.numbuttons = layout.buttonCount;
    box.buttons = layout.buttons;
    int buttonId = -1;
    if (SDL_ShowMessageBox(&box, &buttonId) != 0) {
        reportUnshownMessage(stderr, caption, text);
        return answerForUnshownBox(type);
    }
    return answerForButton(type, buttonId);
}

// ---------------------------------------------------------------------------------------------
// Message queue
//
// Messages come from SDL's event queue, translated one by one; events that mean nothing to the
// program are skipped without ending the poll. A posted quit waits until no other message is
// pending, as the desktop's quit message does.
// ---------------------------------------------------------------------------------------------

static SDL_Window* sdlWindowOfEvent(const SDL_Event& event) {
    switch (event.type) {
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            return SDL_GetWindowFromID(event.key.windowID);
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            return SDL_GetWindowFromID(event.button.windowID);
        case SDL_WINDOWEVENT:
            return SDL_GetWindowFromID(event.window.windowID);
        default:
            return nullptr;
    }
}

static EventTarget targetOfEvent(const SDL_Event& event) {
    PlatformWindow* window = windowForSdlWindow(sdlWindowOfEvent(event));
    // A key that reached one of our windows before SDL saw it take the keyboard (without a window
    // manager, keys go to the window under the pointer until a window takes the focus) belongs to
    // the program's window. A key event of a window already gone is not this case.
    bool keyWithoutWindow =
        (event.type == SDL_KEYDOWN || event.type == SDL_KEYUP) && event.key.windowID == 0;
    if (event.type == SDL_QUIT || keyWithoutWindow) window = newestWindow();
    if (window == nullptr) return {nullptr, nullptr};
    return {window, &window->minimised};
}

// A raw X key event: presses are paired with SDL's event that follows; a release SDL will not
// report becomes the key-up for the window that has the keyboard.
static bool translateRawKeyEvent(const SDL_SysWMmsg* raw, WindowMessageRecord* message) {
#if defined(SDL_VIDEO_DRIVER_X11)
    if (raw == nullptr || raw->subsystem != SDL_SYSWM_X11) return false;
    const XEvent& event = raw->msg.x11.event;
    if (event.type == KeyPress) trackRawKeyPress(keyReleases, event.xkey.keycode);
    if (event.type != KeyRelease) return false;
    uint8_t virtualKey = keyReleasedUnseenBySdl(keyReleases, event.xkey.keycode);
    PlatformWindow* window = windowForSdlWindow(SDL_GetKeyboardFocus());
    if (window == nullptr) window = newestWindow();
    if (virtualKey == 0 || window == nullptr) return false;
    makeKeyUpMessage(window, virtualKey, message);
    return true;
#else
    (void)raw;
    (void)message;
    return false;
#endif
}

static bool takeEventMessage(WindowMessageRecord* message) {
    SDL_Event event;
    while (SDL_PollEvent(&event) != 0) {
        if (event.type == SDL_SYSWMEVENT) {
            if (translateRawKeyEvent(event.syswm.msg, message)) return true;
            continue;
        }
        trackSdlEvent(keyReleases, event);
        if (translateSdlEvent(event, targetOfEvent(event), message)) return true;
    }
    return false;
}

static bool sdlPeekMessage(WindowMessageRecord* message) {
    if (SDL_WasInit(SDL_INIT_EVENTS) != 0 && takeEventMessage(message)) {
        trackDeliveredMessage(keyReleases, *message);
        return true;
    }
    if (!quitPosted) return false;
    quitPosted = false;
    *message = WindowMessageRecord{nullptr, messageQuit, static_cast<uintptr_t>(quitExitCode), 0};
    return true;
}

static void sdlPostQuitMessage(int32_t exitCode) {
    quitPosted = true;
    quitExitCode = exitCode;
}

static intptr_t sdlDefaultWindowProcedure(WindowHandle window, uint32_t message, uintptr_t wParam,
                                          intptr_t lParam);

static intptr_t sendMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                            intptr_t lParam) {
    if (registeredProcedure != nullptr) return registeredProcedure(window, message, wParam, lParam);
    return sdlDefaultWindowProcedure(window, message, wParam, lParam);
}

static intptr_t sdlDispatchMessage(const WindowMessageRecord* message) {
    if (message == nullptr || liveWindow(message->window) == nullptr) return 0;
    return sendMessage(message->window, message->message, message->wParam, message->lParam);
}

// What the desktop does with what the program leaves alone: a minimise command minimises, a
// close command (also Alt+F4) asks the window to close.
static intptr_t sdlDefaultWindowProcedure(WindowHandle handle, uint32_t message, uintptr_t wParam,
                                          intptr_t lParam) {
    PlatformWindow* window = liveWindow(handle);
    if (window == nullptr) return 0;
    bool altHeld = (static_cast<uint32_t>(lParam) & (1u << 29)) != 0;
    if (message == messageSystemKeyDown && wParam == virtualKeyF4 && altHeld) {
        return sendMessage(handle, messageSystemCommand, systemCommandClose, 0);
    }
    if (message == messageSystemCommand && wParam == systemCommandMinimize) {
        SDL_MinimizeWindow(window->sdlWindow);
    } else if (message == messageSystemCommand && wParam == systemCommandClose) {
        return sendMessage(handle, messageClose, 0, 0);
    }
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Pointer and clock
// ---------------------------------------------------------------------------------------------

static void sdlGetCursorPos(int32_t* x, int32_t* y) {
    int pointerX = 0;
    int pointerY = 0;
    if (videoUp()) SDL_GetGlobalMouseState(&pointerX, &pointerY);
    if (x != nullptr) *x = pointerX;
    if (y != nullptr) *y = pointerY;
}

static void sdlSetCursorPos(int32_t x, int32_t y) {
    if (videoUp()) SDL_WarpMouseGlobal(x, y);
}

static const std::chrono::steady_clock::time_point processStart = std::chrono::steady_clock::now();

static uint32_t sdlMilliseconds() {
    auto elapsed = std::chrono::steady_clock::now() - processStart;
    auto count = std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
    return static_cast<uint32_t>(count);
}

// ---------------------------------------------------------------------------------------------

const PlatformLayer sdlPlatformLayer = {
    sdlGetModuleHandle,
    sdlRegisterWindowClass,
    sdlUnregisterWindowClass,
    sdlChangeDisplayMode,
    sdlRestoreDisplayMode,
    sdlShowCursor,
    sdlAdjustWindowRect,
    sdlCreateWindow,
    sdlDestroyWindow,
    sdlGetDeviceContext,
    sdlReleaseDeviceContext,
    sdlChoosePixelFormat,
    sdlSetPixelFormat,
    sdlCreateContext,
    sdlMakeCurrent,
    sdlDeleteContext,
    sdlShowWindow,
    sdlSetForegroundWindow,
    sdlSetFocus,
    sdlGetFocus,
    sdlMessageBox,
    sdlPeekMessage,
    sdlDispatchMessage,
    sdlPostQuitMessage,
    sdlDefaultWindowProcedure,
    sdlSwapBuffers,
    sdlGetCursorPos,
    sdlSetCursorPos,
    sdlMilliseconds,
};

const PlatformLayer* platform = &sdlPlatformLayer;
