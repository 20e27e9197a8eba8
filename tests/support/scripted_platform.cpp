// scripted_platform.cpp — the recording, failing-on-demand platform layer the shell tests run on.
#include "support/scripted_platform.h"

#include <EGL/egl.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <iterator>
#include <utility>

#include "app/main_loop.h"
#include "app/main_window.h"
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

// Fake handles, never dereferenced, distinct for the whole run. A real context keeps what EGL
// needs to make it current again.
struct Handle {
    bool live = true;
    GlTestContext* gl = nullptr;
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLSurface surface = EGL_NO_SURFACE;
    EGLContext context = EGL_NO_CONTEXT;
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
        delete live->gl;
        *live = Handle{};
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

bool scriptedOpenDisplay() {
    if (called("openDisplay")) return false;
    return scripted.displayUp = true;
}

void scriptedCloseDisplay() {
    called("closeDisplay");
    scripted.displayUp = false;
}

bool scriptedSwitchDisplayMode(int32_t, int32_t, int32_t) {
    if (called("switchDisplayMode")) return false;
    return scripted.displayModeSwitched = true;
}

void scriptedRestoreDisplayMode() {
    called("restoreDisplayMode");
    scripted.displayModeSwitched = false;
}

WindowHandle scriptedCreateWindow(const WindowRequest& request, WindowFailure* failure) {
    *failure = WindowFailure::none;
    if (called("createWindow")) *failure = WindowFailure::noWindow;
    if (scripted.failures.count("glDrawable")) *failure = WindowFailure::noGlDrawable;
    if (*failure != WindowFailure::none) return nullptr;
    scripted.windows.push_back(request);
    return reinterpret_cast<WindowHandle>(const_cast<void*>(newHandle()));
}

void scriptedShowWindow(WindowHandle window) {
    called("showWindow");
    liveHandle(window);
}

void scriptedDestroyWindow(WindowHandle window) {
    called("destroyWindow");
    releaseHandle(window);
}

ContextHandle scriptedCreateContext(WindowHandle window) {
    if (called("createContext") || !liveHandle(window)) return nullptr;
    const void* context = newHandle();
    if (scripted.realGl) {
        const WindowRequest& request = scripted.windows.back();
        Handle& real = handles[context];
        real.gl = new GlTestContext(request.width, request.height);  // made current by itself
        real.display = eglGetCurrentDisplay();
        real.surface = eglGetCurrentSurface(EGL_DRAW);
        real.context = eglGetCurrentContext();
        releaseCurrentGl();  // the shell makes it current as a step of its own
    }
    return reinterpret_cast<ContextHandle>(const_cast<void*>(context));
}

bool scriptedMakeCurrent(WindowHandle window, ContextHandle context) {
    if (called("makeCurrent")) return false;
    Handle* real = liveHandle(context);
    if (!liveHandle(window) || !real) return false;
    return !real->gl || eglMakeCurrent(real->display, real->surface, real->surface, real->context);
}

bool scriptedMakeNoneCurrent() {
    if (called("makeNoneCurrent")) return false;
    releaseCurrentGl();
    return true;
}

void scriptedDeleteContext(ContextHandle context) {
    called("deleteContext");
    releaseHandle(context);
}

void scriptedSwapBuffers(WindowHandle window) {
    called("swapBuffers");
    liveHandle(window);
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

void scriptedTakePointerMotion(int32_t* dx, int32_t* dy) {
    called("takePointerMotion");
    *dx = std::exchange(scripted.pointerX, 0);
    *dy = std::exchange(scripted.pointerY, 0);
}

void scriptedHideCursor(bool hidden) {
    called("hideCursor");
    scripted.cursorHidden = hidden;
}

MessageAnswer scriptedMessageBox(const char* text, const char* caption, MessageButtons buttons,
                                 MessageIcon icon) {
    called("messageBox");
    scripted.messageBoxes.push_back({text, caption, buttons, icon});
    MessageAnswer answer =
        buttons == MessageButtons::yesNo ? MessageAnswer::yes : MessageAnswer::ok;
    if (!scripted.messageBoxAnswers.empty()) {
        answer = scripted.messageBoxAnswers.front();
        scripted.messageBoxAnswers.pop_front();
    }
    return answer;
}

uint32_t scriptedMilliseconds() {
    return scripted.clockMilliseconds;
}

// ---- the program's start values, taken before any test changes them ----

float* const programFloats[] = {
    &worldOffsetX,   &worldOffsetY,    &groundZ,        &velocityX,        &velocityY,
    &headingRate,    &heading,         &pitchRate,      &pitchAccumulator, &pitch,
    &walkDirection,  &strafeDirection, &forwardTilt,    &sideTilt,         &walkPhase,
    &strafePhase,    &torsoHeight,     &legHeight,      &walkSpeed,        &viewDistance,
    &animationPhase, &clockSeconds,    &fpsPeriodStart, &framesPerSecond};
int32_t* const programIntegers[] = {&raiseHeld, &crouchHeld, &lightingEnabled};
uint8_t* const programBytes[] = {&fullscreenKeyLatch, &lightingKeyLatch, &crouchKeyLatch};

struct ProgramState {
    float floats[std::size(programFloats)];
    int32_t integers[std::size(programIntegers)];
    uint8_t bytes[std::size(programBytes)];
    uint8_t keyTable[256];
    bool active, fullscreen;
    uint32_t fpsFrameCount;
};

ProgramState takeProgramState() {
    ProgramState state;
    for (size_t i = 0; i < std::size(programFloats); ++i) state.floats[i] = *programFloats[i];
    for (size_t i = 0; i < std::size(programIntegers); ++i) state.integers[i] = *programIntegers[i];
    for (size_t i = 0; i < std::size(programBytes); ++i) state.bytes[i] = *programBytes[i];
    std::memcpy(state.keyTable, keys, sizeof keys);
    state.active = active;
    state.fullscreen = fullscreen;
    state.fpsFrameCount = fpsFrameCount;
    return state;
}

const ProgramState programStart = takeProgramState();

}  // namespace

const PlatformLayer scriptedLayer = {
    scriptedOpenDisplay,        scriptedCloseDisplay,      scriptedSwitchDisplayMode,
    scriptedRestoreDisplayMode, scriptedCreateWindow,      scriptedShowWindow,
    scriptedDestroyWindow,      scriptedCreateContext,     scriptedMakeCurrent,
    scriptedMakeNoneCurrent,    scriptedDeleteContext,     scriptedSwapBuffers,
    scriptedPollEvent,          scriptedTakePointerMotion, scriptedHideCursor,
    scriptedMessageBox,         scriptedMilliseconds};

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

std::vector<std::string> ScriptedPlatform::messageBoxTexts() const {
    std::vector<std::string> texts;
    for (const auto& box : messageBoxes) texts.push_back(box.text);
    return texts;
}

std::vector<std::string> ScriptedPlatform::messageBoxSummaries() const {
    static const char* const icons[] = {"none", "information", "exclamation", "stop"};
    std::vector<std::string> summaries;
    for (const auto& box : messageBoxes)
        summaries.push_back("[" + box.caption + "] " + box.text + " (" +
                            icons[static_cast<int>(box.icon)] + ", " +
                            (box.buttons == MessageButtons::yesNo ? "yes/no" : "ok") + ")");
    return summaries;
}

void resetProgramState() {
    const ProgramState& state = programStart;
    for (size_t i = 0; i < std::size(programFloats); ++i) *programFloats[i] = state.floats[i];
    for (size_t i = 0; i < std::size(programIntegers); ++i) *programIntegers[i] = state.integers[i];
    for (size_t i = 0; i < std::size(programBytes); ++i) *programBytes[i] = state.bytes[i];
    std::memcpy(keys, state.keyTable, sizeof keys);
    active = state.active;
    fullscreen = state.fullscreen;
    fpsFrameCount = state.fpsFrameCount;
    mainWindow = nullptr;
    renderContext = nullptr;
    pointerMotion = {0, 0};
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
