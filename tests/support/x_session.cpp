// x_session.cpp — end-to-end sessions: Xvfb, the real program, window inspection, XTest input
// and screenshots.
#include "support/x_session.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

constexpr int pollStepMs = 10;
constexpr int serverStartTimeoutMs = 10000;
constexpr int stopTimeoutMs = 3000;

using Clock = std::chrono::steady_clock;

static bool timedOut(Clock::time_point start, int timeoutMs) {
    return Clock::now() - start > std::chrono::milliseconds(timeoutMs);
}

static void pauseBriefly() {
    std::this_thread::sleep_for(std::chrono::milliseconds(pollStepMs));
}

// Windows come and go while they are inspected; a request on a vanished one must not end the
// test process, which Xlib's default error handler would do.
static int ignoreXError(Display*, XErrorEvent*) {
    return 0;
}

// Ends a child: the polite signal first, a kill when it does not go in time. Returns the wait
// status, or -1 when the child was already reaped elsewhere.
static int stopChild(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) return status;
    kill(pid, SIGTERM);
    Clock::time_point start = Clock::now();
    while (!timedOut(start, stopTimeoutMs)) {
        if (waitpid(pid, &status, WNOHANG) == pid) return status;
        pauseBriefly();
    }
    kill(pid, SIGKILL);
    return waitpid(pid, &status, 0) == pid ? status : -1;
}

static int exitCodeOf(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

// Reads the display number Xvfb writes once it accepts connections.
static std::string readDisplayNumber(int fd) {
    std::string number;
    Clock::time_point start = Clock::now();
    while (!timedOut(start, serverStartTimeoutMs)) {
        pollfd waitFor{fd, POLLIN, 0};
        if (poll(&waitFor, 1, pollStepMs) <= 0) continue;
        char c;
        if (read(fd, &c, 1) != 1) break;
        if (c == '\n') return number;
        number += c;
    }
    return "";
}

// A property's items in the given format (8 for text; 32 for numbers, which Xlib hands back as
// longs); empty when the window does not have it.
template <typename Item>
static std::vector<Item> property(Display* display, Window window, const char* name,
                                  int wantedFormat) {
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    std::vector<Item> items;
    if (XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, 1024, False,
                           AnyPropertyType, &type, &format, &count, &after, &data) == Success &&
        data != nullptr && format == wantedFormat) {
        const Item* first = reinterpret_cast<const Item*>(data);
        items.assign(first, first + count);
    }
    if (data != nullptr) XFree(data);
    return items;
}

// Channel value of a pixel scaled to 0..255 through its visual's mask.
static uint8_t channel(unsigned long pixel, unsigned long mask) {
    if (mask == 0) return 0;
    int shift = 0;
    while (((mask >> shift) & 1) == 0) ++shift;
    unsigned long maximum = mask >> shift;
    return static_cast<uint8_t>(((pixel & mask) >> shift) * 255 / maximum);
}

XSession::XSession(const std::string& screen) {
    XSetErrorHandler(ignoreXError);
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return;
    serverPid_ = fork();
    if (serverPid_ == 0) {
        close(pipeFds[0]);
        int devNull = open("/dev/null", O_RDWR);
        dup2(devNull, STDOUT_FILENO);
        dup2(devNull, STDERR_FILENO);
        std::string fd = std::to_string(pipeFds[1]);
        // -displayfd: the server picks a free display number and reports it when it is ready.
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(),
               "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeFds[1]);
    std::string number = serverPid_ > 0 ? readDisplayNumber(pipeFds[0]) : "";
    close(pipeFds[0]);
    if (number.empty()) return;
    displayName_ = ":" + number;
    Clock::time_point start = Clock::now();
    while (display_ == nullptr && !timedOut(start, serverStartTimeoutMs)) {
        display_ = XOpenDisplay(displayName_.c_str());
        if (display_ == nullptr) pauseBriefly();
    }
    if (display_ == nullptr) return;
    // A window manager would have made this atom; SDL writes a window's frame request only where
    // it exists, and the tests tell a fullscreen window from a framed one by it.
    XInternAtom(display_, "_MOTIF_WM_HINTS", False);
    sync();
}

XSession::~XSession() {
    stopProgram();
    if (display_ != nullptr) XCloseDisplay(display_);
    stopServer();
    if (!errorsPath_.empty()) unlink(errorsPath_.c_str());
}

void XSession::stopServer() {
    if (serverPid_ > 0) stopChild(serverPid_);
    serverPid_ = -1;
}

void XSession::sync() {
    if (display_ != nullptr) XSync(display_, False);
}

int XSession::screenWidth() const {
    return display_ ? DisplayWidth(display_, 0) : 0;
}
int XSession::screenHeight() const {
    return display_ ? DisplayHeight(display_, 0) : 0;
}

bool XSession::startProgram() {
    return startProgram(KALIMBOR_BINARY, KALIMBOR_DATA_DIR);
}

// In a sanitizer build the program starts with Mesa's software driver already loaded. The window
// system loads and unloads the driver with every window the program opens, and the leak checker
// reports what the driver never frees from an unloaded module without a name, which the list of
// system libraries in scripts/lsan.supp cannot match. Kept loaded, those allocations carry the
// driver's name; the program's own leaks, and every other sanitizer report, show as before.
static void keepGlDriverLoaded() {
#if defined(__SANITIZE_ADDRESS__)
    const char driver[] = "/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so";
    if (access(driver, R_OK) != 0) return;
    setenv("LD_PRELOAD", driver, 1);
    // The driver then comes before the sanitizer's runtime in the list of libraries.
    const char* options = std::getenv("ASAN_OPTIONS");
    std::string all = options ? std::string(options) + ":" : std::string();
    setenv("ASAN_OPTIONS", (all + "verify_asan_link_order=0").c_str(), 1);
#endif
}

bool XSession::startProgram(const std::string& binary, const std::string& folder) {
    if (!ready() || programPid_ > 0) return false;
    char errorsPath[] = "/tmp/kalimbor-e2e-stderr-XXXXXX";
    int errorsFd = mkstemp(errorsPath);
    if (errorsFd < 0) return false;
    if (!errorsPath_.empty()) unlink(errorsPath_.c_str());
    errorsPath_ = errorsPath;
    programExitCode_ = -1;
    programPid_ = fork();
    if (programPid_ == 0) {
        int devNull = open("/dev/null", O_RDWR);
        dup2(devNull, STDIN_FILENO);
        dup2(devNull, STDOUT_FILENO);
        dup2(errorsFd, STDERR_FILENO);
        if (chdir(folder.c_str()) != 0) _exit(126);
        setenv("DISPLAY", displayName_.c_str(), 1);
        setenv("SDL_VIDEODRIVER", "x11", 1);
        unsetenv("WAYLAND_DISPLAY");
        keepGlDriverLoaded();
        execl(binary.c_str(), binary.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(errorsFd);
    return programPid_ > 0;
}

bool XSession::programRunning() {
    if (programPid_ <= 0) return false;
    int status = 0;
    if (waitpid(programPid_, &status, WNOHANG) != programPid_) return true;
    programExitCode_ = exitCodeOf(status);
    programPid_ = -1;
    return false;
}

bool XSession::waitForExit(int timeoutMs, int* exitCode) {
    bool ended = waitUntil([&] { return !programRunning(); }, timeoutMs);
    if (ended && exitCode != nullptr) *exitCode = programExitCode_;
    return ended;
}

void XSession::stopProgram() {
    if (programPid_ <= 0) return;
    programExitCode_ = exitCodeOf(stopChild(programPid_));
    programPid_ = -1;
}

std::string XSession::programErrors() const {
    std::ifstream file(errorsPath_);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

std::vector<ScreenWindow> XSession::windows() {
    std::vector<ScreenWindow> found;
    if (!ready()) return found;
    Window root = DefaultRootWindow(display_);
    Window rootReturn, parent;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display_, root, &rootReturn, &parent, &children, &count)) return found;
    Atom dialogType = XInternAtom(display_, "_NET_WM_WINDOW_TYPE_DIALOG", False);
    for (unsigned int i = 0; i < count; ++i) {
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(display_, children[i], &attributes)) continue;
        if (attributes.map_state != IsViewable) continue;
        ScreenWindow window;
        window.id = children[i];
        std::vector<char> title = property<char>(display_, children[i], "_NET_WM_NAME", 8);
        if (title.empty()) title = property<char>(display_, children[i], "WM_NAME", 8);
        window.title.assign(title.begin(), title.end());
        Window child;
        XTranslateCoordinates(display_, children[i], root, 0, 0, &window.x, &window.y, &child);
        window.width = attributes.width;
        window.height = attributes.height;
        for (long type : property<long>(display_, children[i], "_NET_WM_WINDOW_TYPE", 32)) {
            if (static_cast<Atom>(type) == dialogType) window.dialog = true;
        }
        // flags, functions, decorations, ...: bit 1 of flags says the decorations field counts.
        std::vector<long> motif = property<long>(display_, children[i], "_MOTIF_WM_HINTS", 32);
        window.borderless = motif.size() >= 3 && (motif[0] & 2) != 0 && motif[2] == 0;
        found.push_back(window);
    }
    if (children != nullptr) XFree(children);
    return found;
}

std::string XSession::describeWindows() {
    std::ostringstream text;
    for (const ScreenWindow& window : windows()) {
        text << std::hex << "0x" << window.id << std::dec << " \"" << window.title << "\" "
             << window.width << "x" << window.height << "+" << window.x << "+" << window.y
             << (window.dialog ? " dialog" : "") << (window.borderless ? " borderless" : "")
             << "\n";
    }
    return text.str();
}

ScreenWindow XSession::findWindow(const std::function<bool(const ScreenWindow&)>& match) {
    std::vector<ScreenWindow> all = windows();
    for (auto window = all.rbegin(); window != all.rend(); ++window) {
        if (match(*window)) return *window;
    }
    return ScreenWindow{};
}

ScreenWindow XSession::findWindow(const std::string& title) {
    return findWindow([&](const ScreenWindow& window) { return window.title == title; });
}

ScreenWindow XSession::waitForWindow(const std::function<bool(const ScreenWindow&)>& match,
                                     int timeoutMs) {
    ScreenWindow found;
    waitUntil([&] { return (found = findWindow(match)).id != 0; }, timeoutMs);
    return found;
}

ScreenWindow XSession::waitForWindow(const std::string& title, int timeoutMs) {
    return waitForWindow([&](const ScreenWindow& window) { return window.title == title; },
                         timeoutMs);
}

bool XSession::waitUntil(const std::function<bool()>& condition, int timeoutMs) {
    Clock::time_point start = Clock::now();
    while (true) {
        if (condition()) return true;
        if (timedOut(start, timeoutMs)) return false;
        pauseBriefly();
    }
}

void XSession::keyDown(const char* keysym) {
    KeyCode code = ready() ? XKeysymToKeycode(display_, XStringToKeysym(keysym)) : 0;
    if (code != 0) XTestFakeKeyEvent(display_, code, True, CurrentTime);
    sync();
}

void XSession::keyUp(const char* keysym) {
    KeyCode code = ready() ? XKeysymToKeycode(display_, XStringToKeysym(keysym)) : 0;
    if (code != 0) XTestFakeKeyEvent(display_, code, False, CurrentTime);
    sync();
}

bool XSession::holdKeyUntil(const char* keysym, const std::function<bool()>& condition,
                            int timeoutMs) {
    keyDown(keysym);
    bool held = waitUntil(condition, timeoutMs);
    keyUp(keysym);
    return held;
}

void XSession::movePointer(int x, int y) {
    if (ready()) XTestFakeMotionEvent(display_, 0, x, y, CurrentTime);
    sync();
}

void XSession::buttonDown(int button) {
    if (ready()) XTestFakeButtonEvent(display_, static_cast<unsigned>(button), True, CurrentTime);
    sync();
}

void XSession::buttonUp(int button) {
    if (ready()) XTestFakeButtonEvent(display_, static_cast<unsigned>(button), False, CurrentTime);
    sync();
}

unsigned long XSession::focusedWindow() {
    if (!ready()) return 0;
    Window window = None;
    int revertTo = 0;
    XGetInputFocus(display_, &window, &revertTo);
    // None and PointerRoot are not windows.
    return window == PointerRoot ? 0 : window;
}

// With no window manager, a box gets keys only once it is given the focus, as a click would.
void XSession::answerMessageBox(const ScreenWindow& box, const char* keysym) {
    if (!ready()) return;
    XRaiseWindow(display_, box.id);
    XSetInputFocus(display_, box.id, RevertToPointerRoot, CurrentTime);
    keyDown(keysym);
    keyUp(keysym);
}

void XSession::requestClose(unsigned long window) {
    if (!ready()) return;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display_, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display_, window, False, NoEventMask, &event);
    sync();
}

void XSession::setMinimised(unsigned long window, bool minimised) {
    if (!ready()) return;
    const Atom hidden = XInternAtom(display_, "_NET_WM_STATE_HIDDEN", False);
    std::vector<long> state = property<long>(display_, window, "_NET_WM_STATE", 32);
    state.erase(std::remove(state.begin(), state.end(), static_cast<long>(hidden)), state.end());
    if (minimised) state.push_back(static_cast<long>(hidden));
    XChangeProperty(display_, window, XInternAtom(display_, "_NET_WM_STATE", False), XA_ATOM, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(state.data()),
                    static_cast<int>(state.size()));
    sync();
}

Screenshot XSession::screenshot() {
    Screenshot shot;
    if (!ready()) return shot;
    int width = screenWidth();
    int height = screenHeight();
    XImage* image =
        XGetImage(display_, DefaultRootWindow(display_), 0, 0, static_cast<unsigned>(width),
                  static_cast<unsigned>(height), AllPlanes, ZPixmap);
    if (image == nullptr) return shot;
    shot.width = width;
    shot.height = height;
    shot.rgb.resize(size_t(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            unsigned long pixel = XGetPixel(image, x, y);
            uint8_t* out = &shot.rgb[(size_t(y) * width + x) * 3];
            out[0] = channel(pixel, image->red_mask);
            out[1] = channel(pixel, image->green_mask);
            out[2] = channel(pixel, image->blue_mask);
        }
    }
    XDestroyImage(image);
    return shot;
}
