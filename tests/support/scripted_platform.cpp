// scripted_platform.cpp — the recording, failing-on-demand platform layer the shell tests run on.
#include "support/scripted_platform.h"

#include <EGL/egl.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <utility>

#include "app/main_loop.h"
#include "app/main_window.h"
#include "assets/model.h"
#include "assets/texture_set.h"
#include "draw/font.h"
#include "scene/hud.h"
#include "scene/viewer.h"
#include "support/gl_test_context.h"

ScriptedPlatform scripted;

namespace {

// One logged call: records the step and tells whether the script makes it fail.
bool called(const std::string& step) {
    int number = ++scripted.callNumbers[step];
    scripted.calls.push_back(step);
    auto failure = scripted.failures.find(step);
    return failure != scripted.failures.end() &&
           (failure->second.count(0) || failure->second.count(number));
}

// Fake handles, never dereferenced, distinct for the whole run; a context may hold a real one.
struct Handle {
    bool live = true;
    GlTestContext* gl = nullptr;
};
std::map<const void*, Handle> handles;
uintptr_t nextHandle = 0x10000;

const void* newHandle() {
    nextHandle += 0x10;
    handles[reinterpret_cast<const void*>(nextHandle)] = Handle{};
    return reinterpret_cast<const void*>(nextHandle);
}

// The handle if live; a dead or unknown one is recorded as misused.
Handle* liveHandle(const void* handle) {
    auto found = handles.find(handle);
    if (found != handles.end() && found->second.live) return &found->second;
    scripted.misusedHandles.insert(handle);
    return nullptr;
}

void releaseHandle(const void* handle) {
    if (Handle* live = liveHandle(handle)) {
        delete std::exchange(live->gl, nullptr);
        live->live = false;
    }
}

void clearHandles() {
    for (auto& entry : handles) delete entry.second.gl;
    handles.clear();
}

void releaseCurrentGl() {
    EGLDisplay display = eglGetCurrentDisplay();
    if (display != EGL_NO_DISPLAY)
        eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
}

// Records a step on a handle, which must be live; a releasing step also ends the handle.
void calledOn(const std::string& step, const void* handle) {
    called(step);
    liveHandle(handle);
}
void calledReleasing(const std::string& step, const void* handle) {
    called(step);
    releaseHandle(handle);
}

WindowHandle scriptedCreateWindow(const WindowRequest& request, WindowFailure* failure) {
    *failure = WindowFailure::none;
    if (called("createWindow")) *failure = WindowFailure::noWindow;
    if (scripted.failures.count("glDrawable")) *failure = WindowFailure::noGlDrawable;
    if (*failure != WindowFailure::none) return nullptr;
    scripted.windows.push_back(request);
    return reinterpret_cast<WindowHandle>(const_cast<void*>(newHandle()));
}

ContextHandle scriptedCreateContext(WindowHandle window) {
    if (called("createContext") || !liveHandle(window)) return nullptr;
    const void* context = newHandle();
    if (scripted.realGl) {
        const WindowRequest& request = scripted.windows.back();
        handles[context].gl = new GlTestContext(request.width, request.height);
        releaseCurrentGl();  // the shell makes it current as a step of its own
    }
    return reinterpret_cast<ContextHandle>(const_cast<void*>(context));
}

bool scriptedMakeCurrent(WindowHandle window, ContextHandle context) {
    if (called("makeCurrent")) return false;
    Handle* real = liveHandle(context);
    if (!liveHandle(window) || !real) return false;
    return !real->gl || real->gl->makeCurrent();
}

void scriptedSwapBuffers(WindowHandle window) {
    calledOn("swapBuffers", window);
    ++scripted.frames;
    if (scripted.onFrame) scripted.onFrame(scripted.frames);
    if (scripted.frames == scripted.frameLimit) {
        scripted.runawayLoopStopped = true;
        scripted.queue(EventKind::closeRequested);
    }
}

bool scriptedPollEvent(PlatformEvent* event) {
    called("pollEvent");
    if (scripted.events.empty()) return false;
    *event = scripted.events.front();
    scripted.events.pop_front();
    return true;
}

MessageAnswer scriptedMessageBox(const char* text, const char* caption, MessageButtons buttons,
                                 MessageIcon icon) {
    called("messageBox");
    static const char* const icons[] = {"none", "information", "exclamation", "stop"};
    scripted.messageBoxes.push_back("[" + std::string(caption) + "] " + text + " (" +
                                    icons[static_cast<int>(icon)] + ", " +
                                    (buttons == MessageButtons::yesNo ? "yes/no" : "ok") + ")");
    MessageAnswer answer =
        buttons == MessageButtons::yesNo ? MessageAnswer::yes : MessageAnswer::ok;
    if (!scripted.messageBoxAnswers.empty()) {
        answer = scripted.messageBoxAnswers.front();
        scripted.messageBoxAnswers.pop_front();
    }
    return answer;
}

// Records the step and, unless the script fails it, sets `flag` to `value`; false when it failed.
bool calledSetting(const std::string& step, bool& flag, bool value) {
    if (called(step)) return false;
    flag = value;
    return true;
}

// The layer member by member; the short steps only record, or fail on demand.
PlatformLayer makeScriptedLayer() {
    PlatformLayer layer{};
    layer.openDisplay = [] { return calledSetting("openDisplay", scripted.displayUp, true); };
    layer.closeDisplay = [] { calledSetting("closeDisplay", scripted.displayUp, false); };
    layer.switchDisplayMode = [](int32_t, int32_t, int32_t) {
        return calledSetting("switchDisplayMode", scripted.displayModeSwitched, true);
    };
    layer.restoreDisplayMode = [] {
        calledSetting("restoreDisplayMode", scripted.displayModeSwitched, false);
    };
    layer.createWindow = scriptedCreateWindow;
    layer.showWindow = [](WindowHandle window) { calledOn("showWindow", window); };
    layer.destroyWindow = [](WindowHandle window) { calledReleasing("destroyWindow", window); };
    layer.createContext = scriptedCreateContext;
    layer.makeCurrent = scriptedMakeCurrent;
    layer.makeNoneCurrent = [] {
        if (called("makeNoneCurrent")) return false;
        releaseCurrentGl();
        return true;
    };
    layer.deleteContext = [](ContextHandle context) { calledReleasing("deleteContext", context); };
    layer.swapBuffers = scriptedSwapBuffers;
    layer.pollEvent = scriptedPollEvent;
    layer.takePointerMotion = [](int32_t* dx, int32_t* dy) {
        called("takePointerMotion");
        *dx = std::exchange(scripted.pointerX, 0);
        *dy = std::exchange(scripted.pointerY, 0);
    };
    layer.hideCursor = [](bool hidden) {
        calledSetting("hideCursor", scripted.cursorHidden, hidden);
    };
    layer.messageBox = scriptedMessageBox;
    layer.milliseconds = [] { return scripted.clockMilliseconds; };
    return layer;
}

}  // namespace

const PlatformLayer scriptedLayer = makeScriptedLayer();

std::vector<std::string> ScriptedPlatform::only(const std::vector<std::string>& steps) const {
    std::vector<std::string> picked;
    for (const auto& call : calls)
        if (std::find(steps.begin(), steps.end(), call) != steps.end()) picked.push_back(call);
    return picked;
}

int ScriptedPlatform::callCount(const std::string& step) const {
    auto found = callNumbers.find(step);
    return found == callNumbers.end() ? 0 : found->second;
}

void resetProgramState() {
    resetMainLoopState();
    resetMainWindowState();
    resetViewerState();
    resetHudState();
    resetTextureSetState();
    resetModelState();
    resetFontState();
}

ScriptedPlatformSession::ScriptedPlatformSession(bool dataFolder) : previous_(platform) {
    clearHandles();
    scripted = ScriptedPlatform();
    resetProgramState();
    platform = &scriptedLayer;
    if (dataFolder) {
        char folder[PATH_MAX];
        if (getcwd(folder, sizeof folder)) previousFolder_ = folder;
        if (chdir(KALIMBOR_DATA_DIR) != 0) previousFolder_.clear();
    }
}

ScriptedPlatformSession::~ScriptedPlatformSession() {
    clearHandles();
    platform = previous_;
    if (!previousFolder_.empty() && chdir(previousFolder_.c_str()) != 0) previousFolder_.clear();
}
