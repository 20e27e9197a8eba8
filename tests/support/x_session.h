// x_session.h — end-to-end sessions: a private Xvfb screen, optionally with a real window manager
// (openbox) on it, the real program started on it, its windows found, real keyboard and mouse input
// sent through XTest, and screenshots.
//
// Nothing here sleeps for a fixed time: every wait polls until its condition holds or its deadline
// passes. The destructor ends the program, the window manager and the server.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// What every end-to-end file shares.
inline const char programTitle[] = "Kalimbor v.1.4b";
// Generous: a sanitizer build on a busy machine starts slowly. Every wait ends as soon as its
// condition holds, so the figure only matters when something is wrong.
constexpr int patienceMs = 60000;

// One mapped client window: the program's own window, not a frame a window manager put around it.
struct ScreenWindow {
    unsigned long id = 0;  // 0 when no window was found
    std::string title;
    int x = 0, y = 0, width = 0, height = 0;  // the client area on the screen
    bool dialog = false;                      // a message box
    bool borderless = false;                  // asks for no frame
};

bool isMainWindow(const ScreenWindow& window);
bool isFullscreenWindow(const ScreenWindow& window);  // borderless, covering the 800 x 600 screen
bool isFramedWindow(const ScreenWindow& window);      // framed, with an 800 x 600 client area
std::function<bool(const ScreenWindow&)> isBox(const std::string& caption);

// The whole screen as RGB bytes, top row first.
struct Screenshot {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    const uint8_t* pixel(int x, int y) const { return &rgb[(size_t(y) * width + x) * 3]; }
};

// Processes that keep `count` cores busy for as long as the object lives.
struct BusyCores {
    explicit BusyCores(int count);
    ~BusyCores();
    std::vector<pid_t> pids;
};

// A sanitizer report whose stack passes through the program's own sources.
bool sanitizerBlamesUs(const std::string& errors);

class XSession {
public:
    explicit XSession(const std::string& screen = "800x600x16", bool windowManager = false);
    ~XSession();
    XSession(const XSession&) = delete;
    XSession& operator=(const XSession&) = delete;

    bool ready() const { return display_ != nullptr; }
    const std::string& displayName() const { return displayName_; }

    // The program (by default the built one in the data folder), its standard error captured.
    bool startProgram(const std::string& binary = KALIMBOR_BINARY,
                      const std::string& folder = KALIMBOR_DATA_DIR);
    bool programRunning();
    // The exit code, or 128 + the signal's number.
    bool waitForExit(int timeoutMs, int* exitCode);
    std::string programErrors() const;

    std::vector<ScreenWindow> windows();  // bottom to top
    std::string describeWindows();
    ScreenWindow findWindow(const std::function<bool(const ScreenWindow&)>& match);
    ScreenWindow waitForWindow(const std::function<bool(const ScreenWindow&)>& match,
                               int timeoutMs = patienceMs);
    bool waitUntil(const std::function<bool()>& condition, int timeoutMs = patienceMs);
    // Waits until a matching window exists and has the keyboard, giving it the focus as needed.
    ScreenWindow focusWindow(const std::function<bool(const ScreenWindow&)>& match);
    // Waits until the screen has changed `count` times: each change is a frame the program drew
    // (its rain moves with every frame).
    bool waitForFrames(int count);

    // Input by X keysym name ("F1", "Escape", "Alt_L", "a").
    void key(const char* keysym, bool down);
    bool holdKeyUntil(const char* keysym, const std::function<bool()>& condition,
                      int timeoutMs = patienceMs);
    void movePointerBy(int dx, int dy);  // relative motion, as a mouse sends it
    unsigned long focusedWindow();
    // Gives the window the keyboard: through the window manager when one runs (as a click on a
    // task bar does), directly otherwise.
    void focus(unsigned long window);
    // True while some other client holds the pointer grab (the program, once it took the pointer).
    bool pointerTakenByOther();
    void answerMessageBox(const ScreenWindow& box, const char* keysym);
    // Requests to the window manager, as its task bar sends them.
    void minimise(unsigned long window);
    void closeThroughWindowManager(unsigned long window);

    Screenshot screenshot();

private:
    std::vector<char> screenBytes();
    std::vector<long> property(unsigned long window, const char* name, std::string* text = nullptr);
    unsigned long clientOf(unsigned long window, int depth);
    void askManager(unsigned long window, const char* message, long first, long second = 0);

    struct _XDisplay* display_ = nullptr;
    std::string displayName_;
    pid_t serverPid_ = -1, managerPid_ = -1, programPid_ = -1;
    int programExitCode_ = -1;
    std::string errorsPath_;
};

// Holds F1 (at least `holdMs`) until the window in the wanted mode has the keyboard, releases it,
// and waits (at least `pauseMs`) until the program has drawn two frames since: the release has then
// been read, so the next press is a press of its own and not part of this one.
bool switchWithF1(XSession& session, const std::function<bool(const ScreenWindow&)>& mode,
                  int holdMs = 0, int pauseMs = 0);
