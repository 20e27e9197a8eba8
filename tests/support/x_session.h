// x_session.h — a private Xvfb screen, optionally under openbox, the real program on it, its
// windows, XTest input and screenshots. Every wait polls its condition until a deadline; nothing
// sleeps for a fixed time. The destructor ends the program, the window manager and the server.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

inline const char programTitle[] = "Kalimbor v.1.4b";
// Generous for a sanitizer build on a busy machine; only a failing wait ever lasts this long.
constexpr int patienceMs = 60000;

// A mapped client window (not a window manager's frame); id 0 when none was found.
struct ScreenWindow {
    unsigned long id = 0;
    std::string title;
    int x = 0, y = 0, width = 0, height = 0;  // the client area on the screen
    bool dialog = false, borderless = false;
};
using WindowMatch = std::function<bool(const ScreenWindow&)>;
bool isMainWindow(const ScreenWindow& window);
bool isFullscreenWindow(const ScreenWindow& window);  // borderless, covering the 800 x 600 screen
bool isFramedWindow(const ScreenWindow& window);      // framed, with an 800 x 600 client area
WindowMatch isBox(const std::string& caption);

// Keeps `count` cores busy for as long as the object lives.
struct BusyCores {
    explicit BusyCores(int count);
    ~BusyCores();
    std::vector<pid_t> pids;
};

class XSession {
public:
    explicit XSession(const std::string& screen = "800x600x16", bool windowManager = false);
    ~XSession();  // also writes the program's standard error out, if it said anything
    XSession(const XSession&) = delete;
    XSession& operator=(const XSession&) = delete;
    bool ready() const { return display_ != nullptr; }
    const std::string& displayName() const { return displayName_; }

    bool startProgram(const std::string& binary = KALIMBOR_BINARY,
                      const std::string& folder = KALIMBOR_DATA_DIR);
    bool programRunning();
    int exitCode();  // once the program has ended: its code, or 128 + the signal; -1 if it runs on
    std::string programErrors() const;  // its standard error

    std::vector<ScreenWindow> windows();                // bottom to top
    std::string describeWindows();                      // written out whenever a wait fails
    ScreenWindow findWindow(const WindowMatch& match);  // the topmost match
    // Waits until a matching window has the keyboard, giving it the focus as needed: through the
    // window manager when one runs (as a task bar does), directly otherwise.
    ScreenWindow focusWindow(const WindowMatch& match);
    bool waitUntil(const std::function<bool()>& condition, int timeoutMs = patienceMs);
    // Waits until the screen has changed `count` times: the rain moves with every frame drawn.
    bool waitForFrames(int count);
    // The whole screen, top row first: each pixel's red + green + blue, each scaled to 0..255.
    std::vector<int> screenshot();

    void key(const char* keysym, bool down);  // by X keysym name ("F1", "Escape", "Alt_L")
    void press(const char* keysym) { key(keysym, true), key(keysym, false); }
    int exitCodeAfterHolding(const char* keysym);  // held until the program has ended
    void movePointerBy(int dx, int dy);            // relative motion, as a mouse sends it
    // True while another client holds the pointer grab (the program, once it took the pointer).
    bool pointerTakenByOther();
    // A request to the window manager, as a task bar sends it.
    void askManager(unsigned long window, const char* message, long first, long second = 0);

private:
    std::vector<long> property(unsigned long window, const char* name, std::string* text = nullptr);
    struct _XDisplay* display_ = nullptr;
    std::string displayName_, errorsPath_;
    pid_t serverPid_ = -1, managerPid_ = -1, programPid_ = -1;
    int programExitCode_ = -1;
};
