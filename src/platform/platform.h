// platform.h — the window-system layer: every desktop service the shell, the bitmap reader and
// the frame timing ask for, and nothing more.
//
// The shell is written step by step against a small set of window-system operations (register a
// window class, switch the display mode, create a window, choose a pixel format, make a GL context
// current, take one message from the queue, ...). This header names those operations in our own
// terms. The program runs on the SDL layer (platform_sdl.cpp); the tests swap in a scripted layer
// that can make any step fail on demand and records the message boxes instead of showing them.
// Nothing outside src/platform includes SDL.
#pragma once

#include <cstdint>

struct PlatformWindow;
struct PlatformDrawable;
struct PlatformContext;
struct PlatformModule;

// Opaque handles; null means "not held".
using WindowHandle = PlatformWindow*;
using DeviceHandle = PlatformDrawable*;
using ContextHandle = PlatformContext*;
using ModuleHandle = PlatformModule*;

// ---------------------------------------------------------------------------------------------
// Pixel format: what the shell asks of the drawable.
// ---------------------------------------------------------------------------------------------
constexpr uint32_t pixelFormatDoubleBuffer = 0x01;
constexpr uint32_t pixelFormatDrawToWindow = 0x04;
constexpr uint32_t pixelFormatSupportOpenGl = 0x20;
constexpr uint8_t pixelTypeRgba = 0;

struct PixelFormatDescriptor {
    uint16_t size;      // 40
    uint16_t version;   // 1
    uint32_t flags;     // pixelFormat* bits
    uint8_t pixelType;  // pixelTypeRgba
    uint8_t colorBits;
    uint8_t alphaBits;
    uint8_t accumBits;
    uint8_t depthBits;
    uint8_t stencilBits;
};

// ---------------------------------------------------------------------------------------------
// Window styles and geometry.
// ---------------------------------------------------------------------------------------------
constexpr uint32_t windowStylePopup = 0x80000000u;       // borderless, used for fullscreen
constexpr uint32_t windowStyleOverlapped = 0x00CF0000u;  // caption, frame, system menu, min/max
constexpr uint32_t windowStyleClipSiblings = 0x04000000u;
constexpr uint32_t windowStyleClipChildren = 0x02000000u;
constexpr uint32_t windowExStyleAppWindow = 0x00040000u;
constexpr uint32_t windowExStyleWindowEdge = 0x00000100u;

struct WindowRect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

// ---------------------------------------------------------------------------------------------
// Messages delivered to the window procedure.
// ---------------------------------------------------------------------------------------------
enum WindowMessage : uint32_t {
    messageNone = 0,
    messageActivate,          // wParam: high word = minimised flag, low word = active/inactive
    messageSystemCommand,     // wParam: systemCommand* value
    messageClose,             // the window's close button or the window manager's close
    messageKeyDown,           // wParam: virtual-key code (auto-repeat arrives as repeated downs)
    messageKeyUp,             // wParam: virtual-key code, or 0 for a key without one
    messageSystemKeyDown,     // key with Alt held, and F10
    messageSystemKeyUp,
    messageSize,              // lParam: low word = client width, high word = client height
    messageRightButtonDown,
    messageRightButtonUp,
    messageLeftButtonDown,
    messageLeftButtonUp,
    messageMiddleButtonDown,
    messageMiddleButtonUp,
    messageQuit,              // posted by postQuitMessage; wParam: exit code
};

constexpr uintptr_t systemCommandScreenSave = 0xF140;
constexpr uintptr_t systemCommandMonitorPower = 0xF170;
constexpr uintptr_t systemCommandMinimize = 0xF020;

struct WindowMessageRecord {
    WindowHandle window;
    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
};

using WindowProcedure = intptr_t (*)(WindowHandle window, uint32_t message, uintptr_t wParam,
                                     intptr_t lParam);

// ---------------------------------------------------------------------------------------------
// Message boxes.
// ---------------------------------------------------------------------------------------------
constexpr uint32_t messageBoxOk = 0x00;
constexpr uint32_t messageBoxYesNo = 0x04;
constexpr uint32_t messageBoxIconStop = 0x10;
constexpr uint32_t messageBoxIconExclamation = 0x30;
constexpr uint32_t messageBoxIconInformation = 0x40;
constexpr uint32_t messageBoxButtonsMask = 0x0F;
constexpr uint32_t messageBoxIconMask = 0xF0;

constexpr int32_t messageBoxAnswerOk = 1;
constexpr int32_t messageBoxAnswerYes = 6;
constexpr int32_t messageBoxAnswerNo = 7;

// ---------------------------------------------------------------------------------------------
// The layer itself: one table of operations. Results follow one rule: a handle is null on
// failure, an int32_t is 0 on failure and non-zero on success.
// ---------------------------------------------------------------------------------------------
struct PlatformLayer {
    ModuleHandle (*getModuleHandle)();

    // Window class: the window system is brought up on registration and shut down on removal.
    int32_t (*registerWindowClass)(const char* className, WindowProcedure procedure,
                                   ModuleHandle module);
    int32_t (*unregisterWindowClass)(const char* className, ModuleHandle module);

    // Temporary fullscreen display mode; restoreDisplayMode goes back to the desktop's own.
    int32_t (*changeDisplayMode)(int32_t width, int32_t height, int32_t bits);
    void (*restoreDisplayMode)();

    // Cursor show counter: the cursor is visible while the counter is >= 0. Returns the counter.
    int32_t (*showCursor)(bool show);

    // Grows a client rectangle to the outer window size for the given styles.
    void (*adjustWindowRect)(WindowRect* rect, uint32_t style, uint32_t exStyle);

    // Creates the top-level window, not yet shown. The GL visual of a window is fixed when it is
    // made, so the pixel format the shell will ask for is handed over here already.
    WindowHandle (*createWindow)(uint32_t exStyle, const char* className, const char* title,
                                 uint32_t style, int32_t x, int32_t y, int32_t width,
                                 int32_t height, ModuleHandle module,
                                 const PixelFormatDescriptor* pixelFormat);
    int32_t (*destroyWindow)(WindowHandle window);

    DeviceHandle (*getDeviceContext)(WindowHandle window);
    int32_t (*releaseDeviceContext)(WindowHandle window, DeviceHandle device);

    // Returns the index (>= 1) of the closest format offered, 0 when none fits.
    int32_t (*choosePixelFormat)(DeviceHandle device, const PixelFormatDescriptor* pixelFormat);
    int32_t (*setPixelFormat)(DeviceHandle device, int32_t format,
                              const PixelFormatDescriptor* pixelFormat);

    ContextHandle (*createContext)(DeviceHandle device);
    // Both null: no context current.
    int32_t (*makeCurrent)(DeviceHandle device, ContextHandle context);
    int32_t (*deleteContext)(ContextHandle context);

    void (*showWindow)(WindowHandle window);
    void (*setForegroundWindow)(WindowHandle window);
    void (*setFocus)(WindowHandle window);
    WindowHandle (*getFocus)();

    // Modal box; type = buttons | icon. Returns messageBoxAnswer*. When no box can be shown the
    // text still reaches the user on standard error and a question counts as answered No.
    int32_t (*messageBox)(WindowHandle owner, const char* text, const char* caption,
                          uint32_t type);

    // Takes the next message without waiting; false when the queue is empty.
    bool (*peekMessage)(WindowMessageRecord* message);
    intptr_t (*dispatchMessage)(const WindowMessageRecord* message);
    void (*postQuitMessage)(int32_t exitCode);
    intptr_t (*defaultWindowProcedure)(WindowHandle window, uint32_t message, uintptr_t wParam,
                                       intptr_t lParam);

    int32_t (*swapBuffers)(DeviceHandle device);

    // Pointer position in screen coordinates.
    void (*getCursorPos)(int32_t* x, int32_t* y);
    void (*setCursorPos)(int32_t x, int32_t y);

    // Real-time clock in milliseconds, counting from an arbitrary start.
    uint32_t (*milliseconds)();
};

// The layer in use: the SDL layer unless a test has put another in its place.
extern const PlatformLayer* platform;

// The desktop implementation on SDL2.
extern const PlatformLayer sdlPlatformLayer;
