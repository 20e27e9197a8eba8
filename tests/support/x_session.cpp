// x_session.cpp — Xvfb, openbox, the real program, window lookup, XTest input and screenshots.
#include "support/x_session.h"

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
#include <fstream>
#include <sstream>
#include <thread>

using Clock = std::chrono::steady_clock;

bool isMainWindow(const ScreenWindow& w) {
    return w.title == programTitle && !w.dialog;
}
bool isFullscreenWindow(const ScreenWindow& w) {
    return isMainWindow(w) && w.borderless && w.x == 0 && w.y == 0 && w.width == 800 &&
           w.height == 600;
}
bool isFramedWindow(const ScreenWindow& w) {
    return isMainWindow(w) && !w.borderless && w.width == 800 && w.height == 600;
}
std::function<bool(const ScreenWindow&)> isBox(const std::string& caption) {
    return [caption](const ScreenWindow& w) { return w.dialog && w.title == caption; };
}

bool sanitizerBlamesUs(const std::string& errors) {
    size_t report = std::min(errors.find("Sanitizer"), errors.find("runtime error"));
    return report != std::string::npos &&
           errors.find(KALIMBOR_SOURCE_DIR "/src/", report) != std::string::npos;
}

// Starts a child, its standard error going to `errorsFd` (or nowhere like the rest).
static pid_t spawn(std::vector<std::string> command, int errorsFd = -1,
                   const std::function<void()>& prepare = {}) {
    pid_t pid = fork();
    if (pid != 0) return pid;
    int devNull = open("/dev/null", O_RDWR);
    dup2(devNull, STDIN_FILENO);
    dup2(devNull, STDOUT_FILENO);
    dup2(errorsFd >= 0 ? errorsFd : devNull, STDERR_FILENO);
    if (prepare) prepare();
    std::vector<char*> arguments;
    for (std::string& word : command) arguments.push_back(word.data());
    arguments.push_back(nullptr);
    execvp(arguments[0], arguments.data());
    _exit(127);
}

// Ends a child politely, then firmly; its wait status.
static int stopChild(pid_t pid) {
    int status = 0;
    if (pid <= 0 || waitpid(pid, &status, WNOHANG) == pid) return status;
    kill(pid, SIGTERM);
    for (int i = 0; i < 300; ++i, std::this_thread::sleep_for(std::chrono::milliseconds(10)))
        if (waitpid(pid, &status, WNOHANG) == pid) return status;
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return status;
}

BusyCores::BusyCores(int count) {
    for (int i = 0; i < count; ++i) pids.push_back(spawn({"sha256sum", "/dev/zero"}));
}
BusyCores::~BusyCores() {
    for (pid_t pid : pids) stopChild(pid);
}

XSession::XSession(const std::string& screen, bool windowManager) {
    // Windows come and go while they are looked at; Xlib's default handler would end the test.
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    int fds[2];
    if (pipe(fds) != 0) return;
    // -displayfd: the server picks a free display and writes its number once it takes clients.
    serverPid_ = spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", screen,
                        "-nolisten", "tcp", "-noreset"});
    close(fds[1]);
    char c;
    pollfd readable{fds[0], POLLIN, 0};
    while (poll(&readable, 1, patienceMs) == 1 && read(fds[0], &c, 1) == 1 && c != '\n')
        displayName_ += c;
    close(fds[0]);
    displayName_ = ":" + displayName_;
    if ((display_ = XOpenDisplay(displayName_.c_str())) == nullptr) return;
    // SDL writes a window's frame request only where this atom exists; a window manager makes it.
    XInternAtom(display_, "_MOTIF_WM_HINTS", False);
    if (!windowManager) return;
    managerPid_ =
        spawn({"openbox", "--sm-disable"}, -1, [&] { setenv("DISPLAY", displayName_.c_str(), 1); });
    // The manager is ready once it has claimed the screen.
    if (!waitUntil([&] {
            return !property(DefaultRootWindow(display_), "_NET_SUPPORTING_WM_CHECK").empty();
        }))
        XCloseDisplay(display_), display_ = nullptr;
}

XSession::~XSession() {
    stopChild(programPid_);
    stopChild(managerPid_);
    if (display_ != nullptr) XCloseDisplay(display_);
    stopChild(serverPid_);
    if (!errorsPath_.empty()) unlink(errorsPath_.c_str());
}

// In a sanitizer build Mesa's software driver is loaded from the start: the window system loads
// and unloads it with every window, and the leak checker cannot name what an unloaded driver
// never freed, so scripts/lsan.supp could not match it. Every other report shows as before.
static void keepGlDriverLoaded() {
#if defined(__SANITIZE_ADDRESS__)
    const char driver[] = "/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so";
    if (access(driver, R_OK) != 0) return;
    setenv("LD_PRELOAD", driver, 1);
    const char* options = getenv("ASAN_OPTIONS");
    setenv("ASAN_OPTIONS",
           ((options ? std::string(options) + ":" : "") + "verify_asan_link_order=0").c_str(), 1);
#endif
}

bool XSession::startProgram(const std::string& binary, const std::string& folder) {
    char path[] = "/tmp/kalimbor-e2e-stderr-XXXXXX";
    int errorsFd = ready() && programPid_ <= 0 ? mkstemp(path) : -1;
    if (errorsFd < 0) return false;
    if (!errorsPath_.empty()) unlink(errorsPath_.c_str());
    errorsPath_ = path;
    programPid_ = spawn({binary}, errorsFd, [&] {
        if (chdir(folder.c_str()) != 0) _exit(126);
        setenv("DISPLAY", displayName_.c_str(), 1);
        setenv("SDL_VIDEODRIVER", "x11", 1);
        unsetenv("WAYLAND_DISPLAY");
        keepGlDriverLoaded();
    });
    close(errorsFd);
    return programPid_ > 0;
}

bool XSession::programRunning() {
    int status = 0;
    if (programPid_ <= 0) return false;
    if (waitpid(programPid_, &status, WNOHANG) != programPid_) return true;
    programExitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    programPid_ = -1;
    return false;
}

bool XSession::waitForExit(int timeoutMs, int* exitCode) {
    bool ended = waitUntil([&] { return !programRunning(); }, timeoutMs);
    if (ended && exitCode != nullptr) *exitCode = programExitCode_;
    return ended;
}

std::string XSession::programErrors() const {
    std::stringstream text;
    text << std::ifstream(errorsPath_).rdbuf();
    return text.str();
}

std::vector<long> XSession::property(unsigned long window, const char* name, std::string* text) {
    Atom type;
    int format = 0;
    unsigned long count = 0, after;
    unsigned char* data = nullptr;
    std::vector<long> items;
    XGetWindowProperty(display_, window, XInternAtom(display_, name, False), 0, 1024, False,
                       AnyPropertyType, &type, &format, &count, &after, &data);
    if (data != nullptr && format == 8 && text != nullptr)
        text->assign(reinterpret_cast<char*>(data), count);
    if (data != nullptr && format == 32) {  // Xlib hands 32-bit items back as longs
        long* first = reinterpret_cast<long*>(data);
        items.assign(first, first + count);
    }
    if (data != nullptr) XFree(data);
    return items;
}

// The client in a top-level window's tree: the first window with a name (a window manager's
// frame has none).
unsigned long XSession::clientOf(unsigned long window, int depth) {
    std::string name;
    property(window, "WM_NAME", &name);
    if (!name.empty() || depth == 3) return name.empty() ? 0 : window;
    Window unused, *children = nullptr, found = 0;
    unsigned int count = 0;
    if (XQueryTree(display_, window, &unused, &unused, &children, &count))
        for (unsigned int i = 0; i < count && found == 0; ++i)
            found = clientOf(children[i], depth + 1);
    if (children != nullptr) XFree(children);
    return found;
}

std::vector<ScreenWindow> XSession::windows() {
    std::vector<ScreenWindow> found;
    Window root = display_ ? DefaultRootWindow(display_) : 0, unused, *children = nullptr;
    unsigned int count = 0;
    if (!display_ || !XQueryTree(display_, root, &unused, &unused, &children, &count)) return found;
    const Atom dialog = XInternAtom(display_, "_NET_WM_WINDOW_TYPE_DIALOG", False);
    for (unsigned int i = 0; i < count; ++i) {
        ScreenWindow w;
        XWindowAttributes attributes;
        if ((w.id = clientOf(children[i], 0)) == 0 ||
            !XGetWindowAttributes(display_, w.id, &attributes) ||
            attributes.map_state != IsViewable)
            continue;
        property(w.id, "_NET_WM_NAME", &w.title);
        if (w.title.empty()) property(w.id, "WM_NAME", &w.title);
        XTranslateCoordinates(display_, w.id, root, 0, 0, &w.x, &w.y, &unused);
        w.width = attributes.width;
        w.height = attributes.height;
        for (long type : property(w.id, "_NET_WM_WINDOW_TYPE"))
            w.dialog = w.dialog || Atom(type) == dialog;
        // flags, functions, decorations: bit 1 of the flags says the decorations count.
        std::vector<long> motif = property(w.id, "_MOTIF_WM_HINTS");
        w.borderless = motif.size() >= 3 && (motif[0] & 2) != 0 && motif[2] == 0;
        found.push_back(w);
    }
    if (children != nullptr) XFree(children);
    return found;
}

std::string XSession::describeWindows() {
    std::ostringstream text;
    for (const ScreenWindow& w : windows())
        text << std::hex << "0x" << w.id << std::dec << " \"" << w.title << "\" " << w.width << "x"
             << w.height << "+" << w.x << "+" << w.y << (w.dialog ? " dialog" : "")
             << (w.borderless ? " borderless" : "") << "\n";
    return text.str();
}

ScreenWindow XSession::findWindow(const std::function<bool(const ScreenWindow&)>& match) {
    std::vector<ScreenWindow> all = windows();
    auto topmost = std::find_if(all.rbegin(), all.rend(), match);
    return topmost == all.rend() ? ScreenWindow{} : *topmost;
}

ScreenWindow XSession::waitForWindow(const std::function<bool(const ScreenWindow&)>& match,
                                     int timeoutMs) {
    ScreenWindow found;
    waitUntil([&] { return (found = findWindow(match)).id != 0; }, timeoutMs);
    return found;
}

bool XSession::waitUntil(const std::function<bool()>& condition, int timeoutMs) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (; !condition(); std::this_thread::sleep_for(std::chrono::milliseconds(10)))
        if (Clock::now() > deadline) return false;
    return true;
}

ScreenWindow XSession::focusWindow(const std::function<bool(const ScreenWindow&)>& match) {
    ScreenWindow found;
    waitUntil([&] {
        found = findWindow(match);
        if (found.id == 0 || focusedWindow() == found.id) return found.id != 0;
        focus(found.id);
        return false;
    });
    return focusedWindow() == found.id ? found : ScreenWindow{};
}

// The whole screen as the server holds it, for the caller to destroy; null without a server.
static XImage* grabScreen(Display* display) {
    return display ? XGetImage(display, DefaultRootWindow(display), 0, 0, DisplayWidth(display, 0),
                               DisplayHeight(display, 0), AllPlanes, ZPixmap)
                   : nullptr;
}

std::vector<char> XSession::screenBytes() {
    std::vector<char> bytes;
    if (XImage* image = grabScreen(display_)) {
        bytes.assign(image->data, image->data + image->bytes_per_line * image->height);
        XDestroyImage(image);
    }
    return bytes;
}

bool XSession::waitForFrames(int count) {
    std::vector<char> last = screenBytes();
    return waitUntil([&] {
        std::vector<char> now = screenBytes();
        if (now != last) --count, last.swap(now);
        return count <= 0;
    });
}

void XSession::key(const char* keysym, bool down) {
    KeyCode code = display_ ? XKeysymToKeycode(display_, XStringToKeysym(keysym)) : 0;
    if (code != 0) XTestFakeKeyEvent(display_, code, down, CurrentTime), XSync(display_, False);
}

bool XSession::holdKeyUntil(const char* keysym, const std::function<bool()>& condition,
                            int timeoutMs) {
    key(keysym, true);
    bool held = waitUntil(condition, timeoutMs);
    key(keysym, false);
    return held;
}

void XSession::movePointerBy(int dx, int dy) {
    if (display_)
        XTestFakeRelativeMotionEvent(display_, dx, dy, CurrentTime), XSync(display_, False);
}

unsigned long XSession::focusedWindow() {
    Window window = None;
    int revertTo = 0;
    if (display_) XGetInputFocus(display_, &window, &revertTo);
    return window == PointerRoot ? 0 : window;  // neither None nor PointerRoot is a window
}

void XSession::askManager(unsigned long window, const char* message, long first, long second) {
    XEvent event{};
    event.xclient = {
        ClientMessage, 0, True, display_, window, XInternAtom(display_, message, False), 32, {}};
    event.xclient.data.l[0] = first;
    event.xclient.data.l[1] = second;
    XSendEvent(display_, DefaultRootWindow(display_), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XSync(display_, False);
}

void XSession::focus(unsigned long window) {
    if (!display_) return;
    if (managerPid_ > 0) return askManager(window, "_NET_ACTIVE_WINDOW", 2, CurrentTime);
    XRaiseWindow(display_, window);
    XSetInputFocus(display_, window, RevertToPointerRoot, CurrentTime);
    XSync(display_, False);
}

bool XSession::pointerTakenByOther() {
    int result = display_ ? XGrabPointer(display_, DefaultRootWindow(display_), False, 0,
                                         GrabModeAsync, GrabModeAsync, None, None, CurrentTime)
                          : GrabFrozen;
    if (result == GrabSuccess) XUngrabPointer(display_, CurrentTime), XSync(display_, False);
    return result == AlreadyGrabbed;
}

void XSession::answerMessageBox(const ScreenWindow& box, const char* keysym) {
    waitUntil([&] { return focusedWindow() == box.id || (focus(box.id), false); });
    key(keysym, true);
    key(keysym, false);
}

void XSession::minimise(unsigned long window) {
    if (display_) askManager(window, "WM_CHANGE_STATE", IconicState);
}

void XSession::closeThroughWindowManager(unsigned long window) {
    if (display_) askManager(window, "_NET_CLOSE_WINDOW", CurrentTime, 2);
}

Screenshot XSession::screenshot() {
    Screenshot shot;
    XImage* image = grabScreen(display_);
    if (image == nullptr) return shot;
    shot.width = image->width;
    shot.height = image->height;
    // Each channel scaled to 0..255 through its visual's mask.
    auto channel = [](unsigned long pixel, unsigned long mask) {
        int shift = __builtin_ctzl(mask);
        return uint8_t(((pixel & mask) >> shift) * 255 / (mask >> shift));
    };
    for (int y = 0; y < shot.height; ++y)
        for (int x = 0; x < shot.width; ++x) {
            unsigned long pixel = XGetPixel(image, x, y);
            shot.rgb.insert(shot.rgb.end(),
                            {channel(pixel, image->red_mask), channel(pixel, image->green_mask),
                             channel(pixel, image->blue_mask)});
        }
    XDestroyImage(image);
    return shot;
}

bool switchWithF1(XSession& session, const std::function<bool(const ScreenWindow&)>& mode,
                  int holdMs, int pauseMs) {
    auto atLeast = [&](int ms) {
        const Clock::time_point end = Clock::now() + std::chrono::milliseconds(ms);
        session.waitUntil([&] { return Clock::now() >= end; });
    };
    const Clock::time_point pressed = Clock::now();
    session.key("F1", true);
    const bool switched = session.focusWindow(mode).id != 0;
    atLeast(
        holdMs -
        int(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - pressed).count()));
    session.key("F1", false);
    atLeast(pauseMs);
    return switched && session.waitForFrames(2);
}
