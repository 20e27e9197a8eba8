// x_session.h — a private X server (Xvfb, or Xorg where the mode really changes), optionally under
// openbox, the real program on it, its windows and outputs, XTest input and screenshots. Every wait
// polls its condition until a deadline; nothing sleeps for a fixed time. The destructor ends the
// program, the window manager and the server.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

inline const char programTitle[] = "Kalimbor v.1.4b";

// A mapped client window (not a window manager's frame); id 0 when none was found.
struct ScreenWindow {
    unsigned long id = 0;
    std::string title;
    int x = 0, y = 0, width = 0, height = 0;  // the client area on the screen
    bool dialog = false, borderless = false;
};
using WindowMatch = std::function<bool(const ScreenWindow&)>;
inline bool isMainWindow(const ScreenWindow& w) {
    return w.title == programTitle && !w.dialog;
}
// Borderless, covering the 800 x 600 screen; framed, with an 800 x 600 client area.
inline bool isFullscreenWindow(const ScreenWindow& w) {
    return isMainWindow(w) && w.borderless && w.x == 0 && w.y == 0 && w.width == 800 &&
           w.height == 600;
}
inline bool isFramedWindow(const ScreenWindow& w) {
    return isMainWindow(w) && !w.borderless && w.width == 800 && w.height == 600;
}
inline WindowMatch isBox(const std::string& caption) {
    return [caption](const ScreenWindow& w) { return w.dialog && w.title == caption; };
}

// Keeps every core busy for as long as the object lives.
struct BusyCores {
    BusyCores();
    ~BusyCores();
    std::vector<pid_t> pids;
};

// Xvfb offers one fixed mode; Xorg with the dummy video driver really switches (1024 x 768 at
// start, 800 x 600 and 640 x 480 besides), as a desktop does.
enum class Server { virtualScreen, realScreen };

class XSession {
public:
    explicit XSession(const std::string& screen = "800x600x16", bool windowManager = false,
                      Server server = Server::virtualScreen);
    ~XSession();                    // also writes the program's standard error out, if any
    XSession(XSession&&) = delete;  // owns its children: neither copied nor moved
    bool ready() const { return display_ != nullptr; }
    const std::string& displayName() const { return displayName_; }

    // Starts the program in `folder`, once a session: the window `first` once it has the keyboard.
    ScreenWindow start(const WindowMatch& first, const std::string& binary = KALIMBOR_BINARY,
                       const std::string& folder = KALIMBOR_DATA_DIR);
    // A zero-length F1 tap, then the next window in `mode` with the keyboard (not `old`, leaving).
    ScreenWindow switchMode(const ScreenWindow& old, const WindowMatch& mode);
    bool programRunning();
    std::string programErrors() const;  // its standard error
    // Waits until the program has ended and left no window: its exit code (128 + the signal, if
    // one ended it), -1 if it did not.
    int exitCode();
    void signalProgram(int signal);
    // Live processes (zombies aside) whose name is `name` and which run on this session's display.
    int processesNamed(const char* name);

    // Every lit output's mode, place and rotation, as "1024x768+0+0 normal", one line each.
    std::string outputModes();
    bool waitForModes(const std::string& modes);  // false, saying what is set, if in vain
    bool setMode(const char* size);  // "640x480", as a user's xrandr --size: false if refused

    std::vector<ScreenWindow> windows();                // bottom to top
    ScreenWindow findWindow(const WindowMatch& match);  // the topmost match
    // Waits until a matching window has the keyboard, giving it the focus as needed: through the
    // window manager when one runs (as a task bar does), directly otherwise.
    ScreenWindow focusWindow(const WindowMatch& match);
    bool waitUntil(const std::function<bool()>& condition);  // false, saying why, if in vain
    bool waitForFrames(int count);  // the screen changed `count` times: the rain moves every frame
    // The whole screen, top row first: each pixel's red + green + blue, each scaled to 0..255.
    std::vector<int> screenshot();

    void key(const char* keysym, bool down);  // by X keysym name ("F1", "Escape", "Alt_L")
    void tap(const char* keysym);             // down and up in one request: no time between them
    void movePointerBy(int dx, int dy);       // relative motion, as a mouse sends it
    bool pointerTaken();  // waits until another client (the program) holds the pointer grab
    // A request to the window manager, as a task bar sends it.
    void askManager(unsigned long window, const char* message, long first, long second = 0);
    // As other clients do: the window's close request, its destruction, and its client's end.
    void askToClose(unsigned long window);
    void destroyWindow(unsigned long window);
    void killClientOf(unsigned long window);

private:
    std::vector<long> property(unsigned long window, const char* name, std::string* text = nullptr);
    struct _XDisplay* display_ = nullptr;
    std::string displayName_, errorsPath_;
    pid_t serverPid_ = -1, managerPid_ = -1, programPid_ = -1;
    int programExitCode_ = -1;
};
