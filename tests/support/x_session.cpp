// x_session.cpp — Xvfb or Xorg, openbox, the real program, windows, XTest input, screenshots.
#include "support/x_session.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xrandr.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

// Starts a child, its standard error going to `errorsFd` (or nowhere like the rest). It starts as
// from a terminal: every signal at its default and none blocked (a test run from a script ignores
// SIGINT and SIGQUIT, which the child would inherit), and a crash writes no core file.
static pid_t spawn(std::vector<std::string> command, int errorsFd = -1) {
    pid_t pid = fork();
    if (pid != 0) return pid;
    for (int signal = 1; signal < NSIG; ++signal) ::signal(signal, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    const int devNull = open("/dev/null", O_RDWR);
    for (int fd : {STDIN_FILENO, STDOUT_FILENO}) dup2(devNull, fd);
    dup2(errorsFd >= 0 ? errorsFd : devNull, STDERR_FILENO);
    std::vector<char*> arguments(command.size() + 1);  // ending with a null
    for (size_t i = 0; i < command.size(); ++i) arguments[i] = command[i].data();
    execvp(arguments[0], arguments.data());
    _exit(127);
}

// Ends a child with `signal` (the server cleans up after SIGTERM; the rest may be stuck).
static void stopChild(pid_t pid, int signal = SIGKILL) {
    if (pid > 0 && kill(pid, signal) == 0) waitpid(pid, nullptr, 0);
}

BusyCores::BusyCores() {
    for (long i = sysconf(_SC_NPROCESSORS_ONLN); i > 0; --i)
        pids.push_back(spawn({"sha256sum", "/dev/zero"}));
}
BusyCores::~BusyCores() {
    for (pid_t pid : pids) stopChild(pid);
}

XSession::XSession(const std::string& screen, bool windowManager, Server server) {
    // Windows come and go while they are looked at; Xlib's default handler would end the test.
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    int fds[2];
    if (pipe(fds) != 0) return;
    // -displayfd: the server picks a free display and writes its number once it takes clients.
    const std::string displayFd = std::to_string(fds[1]);
    if (server == Server::virtualScreen) {
        serverPid_ = spawn({"Xvfb", "-displayfd", displayFd, "-screen", "0", screen, "-nolisten",
                            "tcp", "-noreset"});
    } else {  // its log would only ever say what the configuration asks for
        serverPid_ =
            spawn({"Xorg", "-config", KALIMBOR_XORG_CONFIG, "-logfile", "/dev/null", "-displayfd",
                   displayFd, "-nolisten", "tcp", "-noreset", "-novtswitch"});
    }
    close(fds[1]);
    char number[16] = {};
    const bool told = read(fds[0], number, sizeof number - 1) > 0;  // "N\n", written at once
    close(fds[0]);
    if (!told) return;
    displayName_ = ":" + std::to_string(std::atoi(number));
    if ((display_ = XOpenDisplay(displayName_.c_str())) == nullptr) return;
    // SDL writes a window's frame request only where this atom exists; a window manager makes it.
    XInternAtom(display_, "_MOTIF_WM_HINTS", False);
    if (!windowManager) return;
    managerPid_ = spawn({"env", "DISPLAY=" + displayName_, "openbox", "--sm-disable"});
    // The manager is ready once it manages a window of ours: a window mapped while it is still
    // starting up can be left unmanaged for good, so a probe window is mapped (again, while the
    // manager has not taken it) until it shows in the manager's client list.
    const Window root = DefaultRootWindow(display_);
    const Window probe = XCreateSimpleWindow(display_, root, 0, 0, 16, 16, 0, 0, 0);
    int polls = 0;
    const bool managed = waitUntil([&] {
        const std::vector<long> clients = property(root, "_NET_CLIENT_LIST");
        if (std::count(clients.begin(), clients.end(), long(probe)) != 0) return true;
        if (polls++ % 50 == 0) {
            XUnmapWindow(display_, probe);
            XMapWindow(display_, probe);
        }
        XFlush(display_);
        return false;
    });
    XDestroyWindow(display_, probe);
    XSync(display_, False);
    if (!managed) {
        XCloseDisplay(display_);
        display_ = nullptr;
    }
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

ScreenWindow XSession::start(const WindowMatch& first, const std::string& binary,
                             const std::string& folder) {
    char path[] = "/tmp/kalimbor-e2e-stderr-XXXXXX";
    const int errorsFd = ready() && errorsPath_.empty() ? mkstemp(path) : -1;
    if (errorsFd < 0) return {};
    errorsPath_ = path;  // one start a session
    std::vector<std::string> command({"env", "--chdir=" + folder, "--unset=WAYLAND_DISPLAY",
                                      "SDL_VIDEODRIVER=x11", "DISPLAY=" + displayName_});
#if defined(__SANITIZE_ADDRESS__)
    // The window system loads and unloads Mesa's driver with every window, and the leak checker
    // cannot name what an unloaded driver never freed: keep it loaded from the start (ASan then
    // cannot come first, and must not mind that).
    const char driver[] = "/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so";
    const char* options = getenv("ASAN_OPTIONS");
    if (access(driver, R_OK) == 0) command.push_back("LD_PRELOAD=" + std::string(driver));
    command.push_back("ASAN_OPTIONS=" + std::string(options ? options : "") +
                      ":verify_asan_link_order=0");
#endif
    command.push_back(binary);
    programPid_ = spawn(command, errorsFd);
    close(errorsFd);
    return programPid_ > 0 ? focusWindow(first) : ScreenWindow{};
}

ScreenWindow XSession::switchMode(const ScreenWindow& old, const WindowMatch& mode) {
    tap("F1");
    return focusWindow([&](const ScreenWindow& w) { return w.id != old.id && mode(w); });
}

bool XSession::programRunning() {
    int status = 0;
    if (programPid_ <= 0 || waitpid(programPid_, &status, WNOHANG) != programPid_)
        return programPid_ > 0;
    programExitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    programPid_ = -1;
    return false;
}

void XSession::signalProgram(int signal) {
    if (programPid_ > 0) kill(programPid_, signal);
}

int XSession::processesNamed(const char* name) {
    int found = 0;
    const std::string display = "DISPLAY=" + displayName_;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string folder = entry.path().string();
        if (!std::isdigit(static_cast<unsigned char>(folder[6]))) continue;  // a process
        std::ifstream statFile(folder + "/stat"), environFile(folder + "/environ");
        const std::string stat(std::istreambuf_iterator<char>(statFile), {});
        const std::string environ(std::istreambuf_iterator<char>(environFile), {});
        // "pid (name) state ...": a zombie has ended, though its parent has not yet seen it.
        const size_t close = stat.rfind(") ");
        if (close == std::string::npos || stat.compare(close + 2, 1, "Z") == 0) continue;
        const bool named = stat.find(std::string(" (") + name + ")") != std::string::npos;
        if (named && environ.find(display + '\0') != std::string::npos) ++found;
    }
    return found;
}

std::string XSession::outputModes() {
    std::string modes;
    XRRScreenResources* screen =
        XRRGetScreenResourcesCurrent(display_, DefaultRootWindow(display_));
    for (int i = 0; screen != nullptr && i < screen->ncrtc; ++i) {
        XRRCrtcInfo* crtc = XRRGetCrtcInfo(display_, screen, screen->crtcs[i]);
        if (crtc != nullptr && crtc->mode != None) {
            const char* rotation = crtc->rotation == RR_Rotate_0 ? " normal" : " rotated";
            modes += std::to_string(crtc->width) + "x" + std::to_string(crtc->height) + "+" +
                     std::to_string(crtc->x) + "+" + std::to_string(crtc->y) + rotation + "\n";
        }
        if (crtc != nullptr) XRRFreeCrtcInfo(crtc);
    }
    if (screen != nullptr) XRRFreeScreenResources(screen);
    return modes;
}

bool XSession::waitForModes(const std::string& modes) {
    return waitUntil([&] { return outputModes() == modes; });
}

bool XSession::setMode(const char* size) {
    return std::system(("xrandr --display " + displayName_ + " --size " + size).c_str()) == 0;
}

std::string XSession::programErrors() const {
    std::ifstream file(errorsPath_);
    return {std::istreambuf_iterator<char>(file), {}};
}

int XSession::exitCode() {
    const bool ended = waitUntil([&] { return !programRunning() && windows().empty(); });
    return ended ? programExitCode_ : -1;
}

std::vector<long> XSession::property(unsigned long window, const char* name, std::string* text) {
    unsigned long type, count = 0, after;  // Atom is an unsigned long
    int format = 0;
    unsigned char* data = nullptr;
    XGetWindowProperty(display_, window, XInternAtom(display_, name, False), 0, 1024, False,
                       AnyPropertyType, &type, &format, &count, &after, &data);
    if (data == nullptr) return {};
    std::vector<long> items;
    if (format == 8 && text != nullptr) text->assign(reinterpret_cast<char*>(data), count);
    if (format == 32)  // Xlib hands 32-bit items back as longs
        items.assign(reinterpret_cast<long*>(data), reinterpret_cast<long*>(data) + count);
    XFree(data);
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
    const long dialog = XInternAtom(display_, "_NET_WM_WINDOW_TYPE_DIALOG", False);
    for (long id : ids) {
        ScreenWindow w;
        XWindowAttributes a;
        w.id = id;
        if (!XGetWindowAttributes(display_, w.id, &a) || a.map_state != IsViewable) continue;
        property(w.id, "_NET_WM_NAME", &w.title);
        if (w.title.empty()) property(w.id, "WM_NAME", &w.title);
        XTranslateCoordinates(display_, w.id, root, 0, 0, &w.x, &w.y, &unused);
        w.width = a.width;
        w.height = a.height;
        const std::vector<long> types = property(w.id, "_NET_WM_WINDOW_TYPE");
        w.dialog = std::count(types.begin(), types.end(), dialog) != 0;
        // flags, functions, decorations: bit 1 of the flags says the decorations count.
        std::vector<long> motif = property(w.id, "_MOTIF_WM_HINTS");
        w.borderless = motif.size() >= 3 && (motif[0] & 2) != 0 && motif[2] == 0;
        found.push_back(w);
    }
    return found;
}

ScreenWindow XSession::findWindow(const WindowMatch& match) {
    std::vector<ScreenWindow> all = windows();
    auto topmost = std::find_if(all.rbegin(), all.rend(), match);
    return topmost == all.rend() ? ScreenWindow{} : *topmost;
}

ScreenWindow XSession::focusWindow(const WindowMatch& match) {
    ScreenWindow found;
    const bool focused = waitUntil([&] {
        Window focus = None;
        int revertTo = 0;
        XGetInputFocus(display_, &focus, &revertTo);
        found = findWindow(match);
        if (found.id == 0 || focus == found.id) return found.id != 0;
        if (managerPid_ > 0) {
            askManager(found.id, "_NET_ACTIVE_WINDOW", 2);
        } else {
            XRaiseWindow(display_, found.id);
            XSetInputFocus(display_, found.id, RevertToPointerRoot, CurrentTime);
            XSync(display_, False);
        }
        return false;
    });
    return focused ? found : ScreenWindow{};
}

bool XSession::waitUntil(const std::function<bool()>& condition) {
    // Generous for a sanitizer build on a busy machine; only a failing wait ever lasts this long.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (; !condition(); usleep(10000))
        if (std::chrono::steady_clock::now() > deadline) {
            std::fprintf(stderr, "Waited in vain (the program %s); on the screen:\n",
                         programRunning() ? "runs" : "has ended");
            for (const ScreenWindow& w : windows())
                std::fprintf(stderr, "\"%s\" %dx%d%s%s\n", w.title.c_str(), w.width, w.height,
                             w.dialog ? " dialog" : "", w.borderless ? " borderless" : "");
            std::fprintf(stderr, "and the outputs:\n%s", outputModes().c_str());
            return false;
        }
    return true;
}

bool XSession::waitForFrames(int count) {
    std::vector<int> last = screenshot(), now;
    return waitUntil([&] {
        now = screenshot();
        if (now != last) {
            --count;
            last.swap(now);
        }
        return count <= 0;
    });
}

void XSession::key(const char* keysym, bool down) {
    XTestFakeKeyEvent(display_, XKeysymToKeycode(display_, XStringToKeysym(keysym)), down, 0);
    XSync(display_, False);
}

void XSession::tap(const char* keysym) {
    XTestFakeKeyEvent(display_, XKeysymToKeycode(display_, XStringToKeysym(keysym)), True, 0);
    key(keysym, false);  // in the same flush
}

void XSession::movePointerBy(int dx, int dy) {
    XTestFakeRelativeMotionEvent(display_, dx, dy, CurrentTime);
    XSync(display_, False);
}

bool XSession::pointerTaken() {
    return waitUntil([&] {
        int result = XGrabPointer(display_, DefaultRootWindow(display_), False, 0, GrabModeAsync,
                                  GrabModeAsync, None, None, CurrentTime);
        if (result == GrabSuccess) {
            XUngrabPointer(display_, CurrentTime);
            XSync(display_, False);
        }
        return result == AlreadyGrabbed;
    });
}

// A client message about `window`, sent to `target`: the root window reaches the manager.
static void sendMessage(Display* display, Window target, Window window, const char* message,
                        long first, long second, long eventMask) {
    XEvent event{};
    event.xclient = {
        ClientMessage, 0, True, display, window, XInternAtom(display, message, False), 32, {}};
    event.xclient.data.l[0] = first;
    event.xclient.data.l[1] = second;
    XSendEvent(display, target, False, eventMask, &event);
    XSync(display, False);
}

void XSession::askManager(unsigned long window, const char* message, long first, long second) {
    sendMessage(display_, DefaultRootWindow(display_), window, message, first, second,
                SubstructureRedirectMask | SubstructureNotifyMask);
}

void XSession::askToClose(unsigned long window) {
    const long deleteWindow = long(XInternAtom(display_, "WM_DELETE_WINDOW", False));
    sendMessage(display_, window, window, "WM_PROTOCOLS", deleteWindow, CurrentTime, NoEventMask);
}

void XSession::destroyWindow(unsigned long window) {
    XDestroyWindow(display_, window);
    XSync(display_, False);
}

void XSession::killClientOf(unsigned long window) {
    XKillClient(display_, window);
    XSync(display_, False);
}

std::vector<int> XSession::screenshot() {
    std::vector<int> shot;
    XImage* image =
        XGetImage(display_, DefaultRootWindow(display_), 0, 0, DisplayWidth(display_, 0),
                  DisplayHeight(display_, 0), AllPlanes, ZPixmap);
    for (int i = 0; image != nullptr && i < image->width * image->height; ++i) {
        const unsigned long pixel = XGetPixel(image, i % image->width, i / image->width);
        shot.push_back(0);  // (pixel & mask) / mask is the channel's share of its full value
        for (unsigned long mask : {image->red_mask, image->green_mask, image->blue_mask})
            shot.back() += int((pixel & mask) * 255 / mask);
    }
    if (image != nullptr) XDestroyImage(image);
    return shot;
}
