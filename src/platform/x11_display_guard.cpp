// x11_display_guard.cpp — gives the desktop its display mode back however the program ends.
//
// A fullscreen switch on X11 is the program's own change to the display, and the display keeps it
// when the program goes away: SDL undoes it on an orderly close, but a crash, SIGKILL or a lost
// connection to the display would leave the user's whole desktop at 800 x 600. So before the first
// switch the program forks a small guard with a connection of its own. It records every output's
// mode, position and rotation, says so, and waits on a pipe whose writing end only the program
// holds. The pipe reaches end of file when the program has ended, however it ended; the guard then
// puts back each output it finds still at the program's mode, and ends too. An output the user
// set to another mode meanwhile is left as the user set it.
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/x11_window_system.h"

namespace {

// One output's part of the desktop: its mode, where it stands and which way it is turned.
struct CrtcLayout {
    RRCrtc crtc;
    RRMode mode;
    int x;
    int y;
    Rotation rotation;
    std::vector<RROutput> outputs;
};

struct DesktopLayout {
    int width;
    int height;
    int widthMillimetres;
    int heightMillimetres;
    std::vector<CrtcLayout> crtcs;
};

int guardReadyFd = -1;  // in the program: the guard's word that the desktop is recorded
bool guardStarted;

int ignoreDisplayError(Display*, XErrorEvent*) {
    return 0;
}

// A broken connection ends the guard quietly: there is no display left to put right.
int endOnLostDisplay(Display*) {
    _exit(0);
}

bool readDesktopLayout(Display* display, DesktopLayout* layout) {
    Window root = DefaultRootWindow(display);
    XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display, root);
    if (resources == nullptr) return false;
    int screen = DefaultScreen(display);
    layout->width = DisplayWidth(display, screen);
    layout->height = DisplayHeight(display, screen);
    layout->widthMillimetres = DisplayWidthMM(display, screen);
    layout->heightMillimetres = DisplayHeightMM(display, screen);
    layout->crtcs.clear();
    for (int i = 0; i < resources->ncrtc; ++i) {
        XRRCrtcInfo* info = XRRGetCrtcInfo(display, resources, resources->crtcs[i]);
        if (info == nullptr) continue;
        layout->crtcs.push_back(
            {resources->crtcs[i], info->mode, info->x, info->y, info->rotation,
             std::vector<RROutput>(info->outputs, info->outputs + info->noutput)});
        XRRFreeCrtcInfo(info);
    }
    XRRFreeScreenResources(resources);
    return true;
}

bool modeHasSize(Display* display, RRMode mode, int width, int height) {
    XRRScreenResources* resources =
        XRRGetScreenResourcesCurrent(display, DefaultRootWindow(display));
    if (resources == nullptr) return false;
    bool found = false;
    for (int i = 0; i < resources->nmode; ++i) {
        const XRRModeInfo& info = resources->modes[i];
        if (info.id == mode) found = int(info.width) == width && int(info.height) == height;
    }
    XRRFreeScreenResources(resources);
    return found;
}

bool sameLayout(const CrtcLayout& a, const CrtcLayout& b) {
    return a.mode == b.mode && a.x == b.x && a.y == b.y && a.rotation == b.rotation &&
           a.outputs == b.outputs;
}

// Each output still at the program's mode goes back to what it was, with the screen's size. The
// switch may have shrunk the screen to the program's mode, which a larger mode does not fit: those
// outputs are switched off, the screen given its size, and the outputs their modes again.
void restoreDesktopLayout(Display* display, const DesktopLayout& recorded, int width, int height) {
    DesktopLayout now;
    if (!readDesktopLayout(display, &now)) return;
    std::vector<const CrtcLayout*> changed;
    for (const CrtcLayout& before : recorded.crtcs)
        for (const CrtcLayout& current : now.crtcs)
            if (current.crtc == before.crtc && !sameLayout(current, before) &&
                modeHasSize(display, current.mode, width, height))
                changed.push_back(&before);
    if (changed.empty()) return;
    Window root = DefaultRootWindow(display);
    XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display, root);
    if (resources == nullptr) return;
    for (const CrtcLayout* crtc : changed)
        XRRSetCrtcConfig(display, resources, crtc->crtc, CurrentTime, 0, 0, None, RR_Rotate_0,
                         nullptr, 0);
    XRRSetScreenSize(display, root, recorded.width, recorded.height, recorded.widthMillimetres,
                     recorded.heightMillimetres);
    for (const CrtcLayout* crtc : changed) {
        std::vector<RROutput> outputs = crtc->outputs;
        XRRSetCrtcConfig(display, resources, crtc->crtc, CurrentTime, crtc->x, crtc->y, crtc->mode,
                         crtc->rotation, outputs.data(), static_cast<int>(outputs.size()));
    }
    XRRFreeScreenResources(resources);
    XSync(display, False);
}

// The guard's whole life, in the forked process. It must never end with the program's exit steps
// (they belong to the program), so every way out is _exit.
[[noreturn]] void runGuard(int lifelineFd, int readyFd, int width, int height) {
    // Detached from the terminal and deaf to the signals that end the program, so that closing the
    // terminal or Ctrl+C ends the program first and the guard can still do its work.
    setsid();
    for (int signal : {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGPIPE, SIGTSTP, SIGTTIN, SIGTTOU})
        ::signal(signal, SIG_IGN);
    prctl(PR_SET_NAME, "kalimbor-guard");
    // Nothing of the program's stays open here but the two pipes: not its display connection, nor
    // a terminal or pipe a caller waits on.
    int quiet = open("/dev/null", O_RDWR);
    for (int fd = 0; fd <= 2; ++fd) dup2(quiet, fd);
    int low = lifelineFd < readyFd ? lifelineFd : readyFd;
    int high = lifelineFd < readyFd ? readyFd : lifelineFd;
    close_range(3, low - 1, 0);
    close_range(low + 1, high - 1, 0);
    close_range(high + 1, ~0u, 0);

    XSetErrorHandler(ignoreDisplayError);
    XSetIOErrorHandler(endOnLostDisplay);
    Display* display = XOpenDisplay(nullptr);
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    DesktopLayout recorded;
    bool watching = display != nullptr && XRRQueryExtension(display, &eventBase, &errorBase) &&
                    XRRQueryVersion(display, &major, &minor) &&
                    (major > 1 || (major == 1 && minor >= 3)) &&
                    readDesktopLayout(display, &recorded);
    close(readyFd);  // recorded, or nothing to guard: the program may switch now
    if (!watching) _exit(0);

    char byte;
    for (;;) {
        ssize_t got = read(lifelineFd, &byte, 1);
        if (got == 0 || (got < 0 && errno != EINTR)) break;
    }
    restoreDesktopLayout(display, recorded, width, height);
    XCloseDisplay(display);
    _exit(0);
}

}  // namespace

void startX11DisplayGuard(int32_t width, int32_t height) {
    if (guardStarted) return;
    guardStarted = true;
    int lifeline[2];
    int ready[2];
    if (pipe2(lifeline, O_CLOEXEC) != 0) return;
    if (pipe2(ready, O_CLOEXEC) != 0) {
        close(lifeline[0]);
        close(lifeline[1]);
        return;
    }
    pid_t pid = fork();
    if (pid == 0) runGuard(lifeline[0], ready[1], width, height);
    // The program keeps only the lifeline's writing end, for good: it closes when the program
    // ends. Without a guard it closes now and the program goes on as before.
    close(lifeline[0]);
    close(ready[1]);
    if (pid < 0) {
        close(lifeline[1]);
        close(ready[0]);
        return;
    }
    guardReadyFd = ready[0];
}

void awaitX11DisplayGuard() {
    if (guardReadyFd < 0) return;
    char byte;
    while (read(guardReadyFd, &byte, 1) < 0 && errno == EINTR) {
    }
    close(guardReadyFd);
    guardReadyFd = -1;
}
