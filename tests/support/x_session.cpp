// x_session.cpp — Xvfb, openbox, the real program, window lookup, XTest input and screenshots.
#include "support/x_session.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>

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
WindowMatch isBox(const std::string& caption) {
    return [caption](const ScreenWindow& w) { return w.dialog && w.title == caption; };
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

// Ends a child with `signal` (the server cleans up after SIGTERM; the rest may be stuck).
static void stopChild(pid_t pid, int signal = SIGKILL) {
    if (pid > 0 && kill(pid, signal) == 0) waitpid(pid, nullptr, 0);
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
    FILE* written = fdopen(fds[0], "r");
    int number = -1;
    const bool told = std::fscanf(written, "%d", &number) == 1;
    if (std::fclose(written), !told) return;
    displayName_ = ":" + std::to_string(number);
    if ((display_ = XOpenDisplay(displayName_.c_str())) == nullptr) return;
    // SDL writes a window's frame request only where this atom exists; a window manager makes it.
    XInternAtom(display_, "_MOTIF_WM_HINTS", False);
    if (!windowManager) return;
    managerPid_ =
        spawn({"openbox", "--sm-disable"}, -1, [&] { setenv("DISPLAY", displayName_.c_str(), 1); });
    // The manager is ready once it manages a window of ours: a window mapped while it is still
    // starting up can be left unmanaged for good, so a probe window is mapped (again, while the
    // manager has not taken it) until it shows in the manager's client list.
    const Window root = DefaultRootWindow(display_);
    const Window probe = XCreateSimpleWindow(display_, root, 0, 0, 16, 16, 0, 0, 0);
    int mapped = 0;
    const bool managed = waitUntil([&] {
        std::vector<long> clients = property(root, "_NET_CLIENT_LIST");
        if (std::find(clients.begin(), clients.end(), static_cast<long>(probe)) != clients.end())
            return true;
        if (mapped++ % 50 == 0) XUnmapWindow(display_, probe), XMapWindow(display_, probe);
        XFlush(display_);
        return false;
    });
    XDestroyWindow(display_, probe);
    XSync(display_, False);
    if (!managed) XCloseDisplay(display_), display_ = nullptr;
}

XSession::~XSession() {
    const std::string errors = programErrors();
    if (!errors.empty()) std::fprintf(stderr, "The program's standard error:\n%s", errors.c_str());
    stopChild(programPid_);
    stopChild(managerPid_);
    if (display_ != nullptr) XCloseDisplay(display_);
    stopChild(serverPid_, SIGTERM);
    if (!errorsPath_.empty()) unlink(errorsPath_.c_str());
}

bool XSession::startProgram(const std::string& binary, const std::string& folder) {
    char path[] = "/tmp/kalimbor-e2e-stderr-XXXXXX";
    int errorsFd = ready() && errorsPath_.empty() ? mkstemp(path) : -1;
    if (errorsFd < 0) return false;
    errorsPath_ = path;  // one start a session
    programPid_ = spawn({binary}, errorsFd, [&] {
        if (chdir(folder.c_str()) != 0) _exit(126);
        setenv("DISPLAY", displayName_.c_str(), 1);
        setenv("SDL_VIDEODRIVER", "x11", 1);
        unsetenv("WAYLAND_DISPLAY");
#if defined(__SANITIZE_ADDRESS__)
        // The window system loads and unloads Mesa's driver with every window, and the leak
        // checker cannot name what an unloaded driver never freed: keep it loaded from the start.
        const char driver[] = "/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so";
        if (access(driver, R_OK) != 0) return;
        setenv("LD_PRELOAD", driver, 1);
        const char* options = getenv("ASAN_OPTIONS");
        setenv("ASAN_OPTIONS",
               ((options ? std::string(options) + ":" : "") + "verify_asan_link_order=0").c_str(),
               1);
#endif
    });
    close(errorsFd);
    return programPid_ > 0;
}

bool XSession::programRunning() {
    int status = 0;
    if (programPid_ <= 0 || waitpid(programPid_, &status, WNOHANG) != programPid_)
        return programPid_ > 0;
    programExitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    programPid_ = -1;
    return false;
}

int XSession::exitCode() {
    return waitUntil([&] { return !programRunning(); }) ? programExitCode_ : -1;
}

std::string XSession::programErrors() const {
    std::ifstream file(errorsPath_);
    return {std::istreambuf_iterator<char>(file), {}};
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
    if (data != nullptr && format == 32)  // Xlib hands 32-bit items back as longs
        items.assign(reinterpret_cast<long*>(data), reinterpret_cast<long*>(data) + count);
    if (data != nullptr) XFree(data);
    return items;
}

std::vector<ScreenWindow> XSession::windows() {
    std::vector<ScreenWindow> found;
    // The manager's clients bottom to top; without one, the screen's own windows are the clients.
    Window root = DefaultRootWindow(display_), unused, *children = nullptr;
    std::vector<long> ids = property(root, "_NET_CLIENT_LIST_STACKING");
    unsigned int count = 0;
    if (managerPid_ <= 0 && XQueryTree(display_, root, &unused, &unused, &children, &count))
        ids.assign(children, children + count);
    if (children != nullptr) XFree(children);
    const Atom dialog = XInternAtom(display_, "_NET_WM_WINDOW_TYPE_DIALOG", False);
    for (long id : ids) {
        ScreenWindow w;
        w.id = id;
        XWindowAttributes a;
        if (!XGetWindowAttributes(display_, w.id, &a) || a.map_state != IsViewable) continue;
        property(w.id, "_NET_WM_NAME", &w.title);
        if (w.title.empty()) property(w.id, "WM_NAME", &w.title);
        XTranslateCoordinates(display_, w.id, root, 0, 0, &w.x, &w.y, &unused);
        w.width = a.width, w.height = a.height;
        for (long type : property(w.id, "_NET_WM_WINDOW_TYPE"))
            w.dialog = w.dialog || Atom(type) == dialog;
        // flags, functions, decorations: bit 1 of the flags says the decorations count.
        std::vector<long> motif = property(w.id, "_MOTIF_WM_HINTS");
        w.borderless = motif.size() >= 3 && (motif[0] & 2) != 0 && motif[2] == 0;
        found.push_back(w);
    }
    return found;
}

std::string XSession::describeWindows() {
    std::string text;
    for (const ScreenWindow& w : windows())
        text += '"' + w.title + "\" " + std::to_string(w.width) + "x" + std::to_string(w.height) +
                (w.dialog ? " dialog" : "") + (w.borderless ? " borderless\n" : "\n");
    return text;
}

ScreenWindow XSession::findWindow(const WindowMatch& match) {
    std::vector<ScreenWindow> all = windows();
    auto topmost = std::find_if(all.rbegin(), all.rend(), match);
    return topmost == all.rend() ? ScreenWindow{} : *topmost;
}

ScreenWindow XSession::focusWindow(const WindowMatch& match) {
    ScreenWindow found;
    auto focusedWindow = [&](Window window = None, int revertTo = 0) {
        return XGetInputFocus(display_, &window, &revertTo), window;
    };
    waitUntil([&] {
        found = findWindow(match);
        if (found.id == 0 || focusedWindow() == found.id) return found.id != 0;
        if (managerPid_ > 0) return askManager(found.id, "_NET_ACTIVE_WINDOW", 2), false;
        XRaiseWindow(display_, found.id);
        XSetInputFocus(display_, found.id, RevertToPointerRoot, CurrentTime);
        return XSync(display_, False), false;
    });
    return found.id != 0 && focusedWindow() == found.id ? found : ScreenWindow{};
}

bool XSession::waitUntil(const std::function<bool()>& condition, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (; !condition(); usleep(10000))
        if (std::chrono::steady_clock::now() > deadline)
            return std::fprintf(stderr, "Waited in vain (the program %s); on the screen:\n%s",
                                programRunning() ? "runs" : "has ended", describeWindows().c_str()),
                   false;
    return true;
}

bool XSession::waitForFrames(int count) {
    std::vector<int> last = screenshot();
    return waitUntil([&] {
        std::vector<int> now = screenshot();
        if (now != last) --count, last.swap(now);
        return count <= 0;
    });
}

void XSession::key(const char* keysym, bool down) {
    XTestFakeKeyEvent(display_, XKeysymToKeycode(display_, XStringToKeysym(keysym)), down, 0);
    XSync(display_, False);
}

int XSession::exitCodeAfterHolding(const char* keysym) {
    key(keysym, true);
    const int code = exitCode();
    return key(keysym, false), code;
}

void XSession::movePointerBy(int dx, int dy) {
    XTestFakeRelativeMotionEvent(display_, dx, dy, CurrentTime);
    XSync(display_, False);
}

bool XSession::pointerTakenByOther() {
    int result = XGrabPointer(display_, DefaultRootWindow(display_), False, 0, GrabModeAsync,
                              GrabModeAsync, None, None, CurrentTime);
    if (result == GrabSuccess) XUngrabPointer(display_, CurrentTime), XSync(display_, False);
    return result == AlreadyGrabbed;
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

std::vector<int> XSession::screenshot() {
    std::vector<int> shot;
    XImage* image =
        XGetImage(display_, DefaultRootWindow(display_), 0, 0, DisplayWidth(display_, 0),
                  DisplayHeight(display_, 0), AllPlanes, ZPixmap);
    if (image == nullptr) return shot;
    auto channel = [](unsigned long pixel, unsigned long mask) {  // scaled to 0..255
        int shift = __builtin_ctzl(mask);
        return int(((pixel & mask) >> shift) * 255 / (mask >> shift));
    };
    for (int y = 0; y < image->height; ++y)
        for (int x = 0; x < image->width; ++x) {
            unsigned long pixel = XGetPixel(image, x, y);
            shot.push_back(channel(pixel, image->red_mask) + channel(pixel, image->green_mask) +
                           channel(pixel, image->blue_mask));
        }
    XDestroyImage(image);
    return shot;
}
