// x11_window_system.cpp — the program's window on an X11 display: the keys the display holds down,
// and the errors that show the window destroyed by another program.
#include "platform/x11_window_system.h"

#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <utility>

#include "platform/virtual_keys.h"

static Display* watchedDisplay;  // SDL's connection, while a window is watched
static Window watchedWindow;
static bool watchedWindowGone;  // an error named the window: it stays lost until closed
static bool goneReported;
static bool closing;  // the window is being closed: errors are noted, never passed on
static bool goneWhileClosing;
static XErrorHandler sdlErrorHandler;  // SDL's own, which restores the mode and ends the program

// ---------------------------------------------------------------------------------------------
// A window destroyed by another program
//
// Another program can destroy the window at any moment. The display tells so by an event, which
// SDL passes on among the display's own events; without a window manager it is the only sign,
// since a buffer swap into the dead window may fail silently. With one, the next request about
// the window (a buffer swap, leaving fullscreen) may fail first with an error of the display, and
// SDL's handler would end the program on the spot. Errors naming the window are taken as the
// sign too. Either way the window is lost, and the loop tells the user and ends. While the window
// is being closed nothing is passed on: some requests SDL makes of a dead window name no window
// at all.
// ---------------------------------------------------------------------------------------------

static int noteDisplayError(Display* display, XErrorEvent* error) {
    bool aboutWindow = error->resourceid == watchedWindow;
    if (closing) {
        bool badWindow = error->error_code == BadWindow || error->error_code == BadDrawable;
        goneWhileClosing = goneWhileClosing || aboutWindow || badWindow;
        return 0;
    }
    if (aboutWindow) watchedWindowGone = true;
    if (aboutWindow || watchedWindowGone) return 0;
    return sdlErrorHandler != nullptr ? sdlErrorHandler(display, error) : 0;
}

void watchX11Window(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    watchedDisplay = nullptr;
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return;
    watchedDisplay = info.info.x11.display;
    watchedWindow = info.info.x11.window;
    watchedWindowGone = false;
    goneReported = false;
    XErrorHandler previous = XSetErrorHandler(noteDisplayError);
    if (previous != noteDisplayError) sdlErrorHandler = previous;
    SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
}

void noteX11Event(const SDL_Event& event) {
    const SDL_SysWMmsg* message = event.syswm.msg;
    if (watchedDisplay == nullptr || message == nullptr || message->subsystem != SDL_SYSWM_X11)
        return;
    const XEvent& displayEvent = message->msg.x11.event;
    if (displayEvent.type == DestroyNotify && displayEvent.xdestroywindow.window == watchedWindow)
        watchedWindowGone = true;
}

bool takeX11WindowGone() {
    return watchedWindowGone && !std::exchange(goneReported, true);
}

void beginX11WindowClosing() {
    closing = watchedDisplay != nullptr;
    goneWhileClosing = watchedWindowGone;
}

bool endX11WindowClosing() {
    if (!closing) return false;
    XSync(watchedDisplay, False);  // every error of the teardown has arrived
    closing = false;
    watchedDisplay = nullptr;
    watchedWindow = 0;
    watchedWindowGone = false;
    return goneWhileClosing && !goneReported;
}

// ---------------------------------------------------------------------------------------------
// Keys held down on the display
// ---------------------------------------------------------------------------------------------

// The display's name of each key the key table knows: runs of codes and names in step.
static KeySym keysymOfVirtualKey(int virtualKey) {
    struct KeyRun {
        int firstKey;
        int count;
        KeySym firstName;
    };
    static const KeyRun runs[] = {{virtualKeyA, 26, XK_a},
                                  {virtualKey0, 10, XK_0},
                                  {virtualKeyF1, 12, XK_F1},
                                  {virtualKeyLeft, 4, XK_Left},
                                  {virtualKeyEscape, 1, XK_Escape},
                                  {virtualKeyEnter, 1, XK_Return},
                                  {virtualKeySpace, 1, XK_space},
                                  {virtualKeyTab, 1, XK_Tab},
                                  {virtualKeyBackspace, 1, XK_BackSpace},
                                  {virtualKeyShift, 1, XK_Shift_L},
                                  {virtualKeyControl, 1, XK_Control_L}};
    for (const KeyRun& run : runs)
        if (virtualKey >= run.firstKey && virtualKey < run.firstKey + run.count)
            return run.firstName + static_cast<KeySym>(virtualKey - run.firstKey);
    return NoSymbol;
}

bool readX11KeysDown(bool down[256]) {
    if (watchedDisplay == nullptr) return false;
    char keymap[32];
    XQueryKeymap(watchedDisplay, keymap);
    for (int key = 0; key < 256; ++key) {
        KeySym keysym = keysymOfVirtualKey(key);
        KeyCode keycode = keysym == NoSymbol ? 0 : XKeysymToKeycode(watchedDisplay, keysym);
        down[key] = keycode != 0 && ((keymap[keycode / 8] >> (keycode % 8)) & 1) != 0;
    }
    return true;
}
