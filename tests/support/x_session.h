// x_session.h — end-to-end sessions: a private Xvfb screen with no window manager, the real
// program started on it, its top-level windows found and inspected, real keyboard and mouse input
// sent through XTest, and screenshots of the whole screen.
//
// Nothing here sleeps for a fixed time: every wait polls in short steps up to its timeout. The
// session's destructor always ends the program (if still running) and the X server. Because no
// window manager runs, nobody moves the keyboard focus: a window (for instance a message box)
// gets keys only after focus() or answerMessageBox(); the program's own main window takes the
// focus itself when it opens, a moment after it appears. Keys reach the program only between
// frames, so a key that must be seen "held" is best pressed with holdKeyUntil, which keeps it down
// until its effect shows; a key released while no window has the focus reaches no window at all.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// One mapped top-level window as the X server sees it.
struct ScreenWindow {
    unsigned long id = 0;  // X window id; 0 when no window was found
    std::string title;     // _NET_WM_NAME, or WM_NAME when that is missing
    int x = 0;             // the window's top-left corner on the screen
    int y = 0;
    int width = 0;
    int height = 0;
    bool dialog = false;      // a message box (_NET_WM_WINDOW_TYPE_DIALOG)
    bool borderless = false;  // asks for no frame (_MOTIF_WM_HINTS decorations 0)
};

// The whole screen as RGB bytes, top row first, three bytes a pixel.
struct Screenshot {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;

    const uint8_t* pixel(int x, int y) const { return &rgb[(size_t(y) * width + x) * 3]; }
};

class XSession {
public:
    // Starts Xvfb on a free display number with one screen "WIDTHxHEIGHTxDEPTH" and waits until
    // it accepts connections (ready() tells whether it did).
    explicit XSession(const std::string& screen = "800x600x16");
    ~XSession();
    XSession(const XSession&) = delete;
    XSession& operator=(const XSession&) = delete;

    bool ready() const { return display_ != nullptr; }
    const std::string& displayName() const { return displayName_; }
    int screenWidth() const;
    int screenHeight() const;

    // ---- the program ----
    // Starts KALIMBOR_BINARY in KALIMBOR_DATA_DIR on this screen, its standard error captured.
    bool startProgram();
    // The same for another program file (an installed launcher) or working folder (a damaged copy
    // of the data).
    bool startProgram(const std::string& binary, const std::string& folder);
    bool programRunning();
    // Waits for the program to end; the exit code, or 128 + signal number when a signal ended it.
    bool waitForExit(int timeoutMs, int* exitCode);
    // Everything the program has written to standard error so far.
    std::string programErrors() const;

    // ---- windows ----
    // The mapped top-level windows, bottom to top.
    std::vector<ScreenWindow> windows();
    // One line per mapped window (id, title, geometry, kind), for failure messages.
    std::string describeWindows();
    // The topmost mapped window that matches, or one with id 0.
    ScreenWindow findWindow(const std::function<bool(const ScreenWindow&)>& match);
    ScreenWindow findWindow(const std::string& title);
    // The same, polling until one appears or the timeout passes.
    ScreenWindow waitForWindow(const std::function<bool(const ScreenWindow&)>& match,
                               int timeoutMs);
    ScreenWindow waitForWindow(const std::string& title, int timeoutMs);
    // Polls the condition until it holds (true) or the timeout passes (false).
    bool waitUntil(const std::function<bool()>& condition, int timeoutMs);

    // ---- input, through XTest as from a real keyboard and mouse ----
    // Keys by X keysym name: "F1", "Escape", "Return", "Up", "a", ...
    void keyDown(const char* keysym);
    void keyUp(const char* keysym);
    // Holds the key down until the condition holds or the timeout passes, then releases it.
    bool holdKeyUntil(const char* keysym, const std::function<bool()>& condition, int timeoutMs);
    void movePointer(int x, int y);
    void buttonDown(int button);  // 1 left, 2 middle, 3 right
    void buttonUp(int button);
    // Focuses a message box and presses and releases the key ("Return" = its default button,
    // "Escape" = its escape button).
    void answerMessageBox(const ScreenWindow& box, const char* keysym);
    // The window that has the keyboard focus (0 when none has it).
    unsigned long focusedWindow();
    // Asks the window to close, as a window manager does for its close button.
    void requestClose(unsigned long window);
    // Marks the window minimised (_NET_WM_STATE_HIDDEN added to its _NET_WM_STATE) or restored
    // (the mark taken away), as a window manager does; the window hears of it through the
    // property change.
    void setMinimised(unsigned long window, bool minimised);

    // ---- pictures ----
    Screenshot screenshot();

private:
    void stopProgram();
    void stopServer();
    void sync();

    struct _XDisplay* display_ = nullptr;
    std::string displayName_;
    pid_t serverPid_ = -1;
    pid_t programPid_ = -1;
    int programExitCode_ = -1;
    std::string errorsPath_;
};
