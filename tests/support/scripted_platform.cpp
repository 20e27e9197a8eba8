// scripted_platform.cpp — the recording, failing-on-demand platform layer the shell tests run on.
#include "support/scripted_platform.h"

#include <EGL/egl.h>
#include <unistd.h>

#include <algorithm>
#include <climits>

#include "app/main_loop.h"
#include "app/main_window.h"
#include "scene/viewer.h"
#include "support/gl_test_context.h"

ScriptedPlatform scripted;

// Frame the scripted window manager puts around an overlapped window.
constexpr int32_t frameBorder = 4;
constexpr int32_t frameCaption = 24;

namespace {

// One logged call: records the step and tells whether the script makes it fail.
struct Call {
    std::string step;
    bool fails = false;
    explicit Call(std::string name) : step(std::move(name)) {
        int number = ++scripted.callNumbers[step];
        scripted.calls.push_back(step);
        auto failure = scripted.failures.find(step);
        fails = failure != scripted.failures.end() &&
                (failure->second.count(0) || failure->second.count(number));
    }
};

// A real context: the GlTestContext and what EGL needs to make it current again.
struct RealContext {
    GlTestContext* context;
    EGLDisplay display;
    EGLSurface surface;
    EGLContext eglContext;
};
std::map<const void*, RealContext> realContexts;
std::set<const void*> liveHandles;
std::map<const void*, std::pair<int32_t, int32_t>> clientSizes;  // window -> client size

// Fake, never dereferenced; distinct across all kinds and for the whole run, so that a stale
// handle is never mistaken for a live one.
uintptr_t nextHandle = 0x10000;

template <typename Handle>
Handle newHandle() {
    nextHandle += 0x10;
    auto handle = reinterpret_cast<Handle>(nextHandle);
    liveHandles.insert(handle);
    return handle;
}

// Counts the release and tells whether the handle was live (it is not afterwards).
bool release(const void* handle) {
    ++scripted.releaseCounts[handle];
    return liveHandles.erase(handle) == 1;
}

void destroyRealContext(const void* handle) {
    auto found = realContexts.find(handle);
    if (found == realContexts.end()) return;
    delete found->second.context;
    realContexts.erase(found);
}

ModuleHandle scriptedGetModuleHandle() {
    Call call("getModuleHandle");
    return reinterpret_cast<ModuleHandle>(uintptr_t{0x400000});
}

int32_t scriptedRegisterWindowClass(const char*, WindowProcedure procedure, ModuleHandle) {
    Call call("registerWindowClass");
    if (call.fails || scripted.classRegistered) return 0;
    scripted.classRegistered = true;
    scripted.procedure = procedure;
    return 1;
}

int32_t scriptedUnregisterWindowClass(const char*, ModuleHandle) {
    Call call("unregisterWindowClass");
    if (call.fails || !scripted.classRegistered) return 0;
    scripted.classRegistered = false;
    return 1;
}

int32_t scriptedChangeDisplayMode(int32_t width, int32_t height, int32_t bits) {
    Call call("changeDisplayMode");
    scripted.displayModeRequest = {width, height, bits};
    if (call.fails) return 0;
    scripted.displayModeChanged = true;
    return 1;
}

void scriptedRestoreDisplayMode() {
    Call call("restoreDisplayMode");
    scripted.displayModeChanged = false;
}

int32_t scriptedShowCursor(bool show) {
    Call call(show ? "showCursor" : "hideCursor");
    return scripted.cursorShowCounter += show ? 1 : -1;
}

void scriptedAdjustWindowRect(WindowRect* rect, uint32_t style, uint32_t) {
    Call call("adjustWindowRect");
    if ((style & windowStyleOverlapped) != windowStyleOverlapped) return;
    rect->left -= frameBorder;
    rect->right += frameBorder;
    rect->top -= frameBorder + frameCaption;
    rect->bottom += frameBorder;
}

WindowHandle scriptedCreateWindow(uint32_t exStyle, const char*, const char* title, uint32_t style,
                                  int32_t x, int32_t y, int32_t width, int32_t height, ModuleHandle,
                                  const PixelFormatDescriptor* format) {
    Call call("createWindow");
    if (call.fails) return nullptr;
    auto window = newHandle<WindowHandle>();
    scripted.windows.push_back({title ? title : "", style, exStyle, x, y, width, height,
                                static_cast<uint8_t>(format ? format->colorBits : 0)});
    bool framed = (style & windowStyleOverlapped) == windowStyleOverlapped;
    clientSizes[window] = {width - (framed ? 2 * frameBorder : 0),
                           height - (framed ? 2 * frameBorder + frameCaption : 0)};
    return window;
}

int32_t scriptedDestroyWindow(WindowHandle window) {
    Call call("destroyWindow");
    bool wasLive = release(window);
    return !call.fails && wasLive;
}

DeviceHandle scriptedGetDeviceContext(WindowHandle window) {
    Call call("getDeviceContext");
    if (call.fails || !liveHandles.count(window)) return nullptr;
    auto device = newHandle<DeviceHandle>();
    scripted.deviceOwners[device] = window;
    return device;
}

int32_t scriptedReleaseDeviceContext(WindowHandle window, DeviceHandle device) {
    Call call("releaseDeviceContext");
    bool wasLive = release(device);
    return !call.fails && wasLive && scripted.deviceOwners[device] == window;
}

int32_t scriptedChoosePixelFormat(DeviceHandle, const PixelFormatDescriptor*) {
    Call call("choosePixelFormat");
    return call.fails ? 0 : 1;
}

int32_t scriptedSetPixelFormat(DeviceHandle, int32_t format, const PixelFormatDescriptor*) {
    Call call("setPixelFormat");
    return !call.fails && format >= 1;
}

ContextHandle scriptedCreateContext(DeviceHandle device) {
    Call call("createContext");
    if (call.fails || !liveHandles.count(device)) return nullptr;
    auto context = newHandle<ContextHandle>();
    if (scripted.realGl) {
        auto size = clientSizes[scripted.deviceOwners[device]];
        auto* gl = new GlTestContext(std::max(size.first, 1), std::max(size.second, 1));
        // GlTestContext makes itself current; the shell activates it separately.
        RealContext real = {gl, eglGetCurrentDisplay(), eglGetCurrentSurface(EGL_DRAW),
                            eglGetCurrentContext()};
        if (real.display != EGL_NO_DISPLAY)
            eglMakeCurrent(real.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        realContexts[context] = real;
    }
    return context;
}

int32_t scriptedMakeCurrent(DeviceHandle device, ContextHandle context) {
    Call call(!device && !context ? "makeNoneCurrent" : "makeCurrent");
    if (call.fails) return 0;
    if (!device && !context) {
        EGLDisplay display = eglGetCurrentDisplay();
        if (display != EGL_NO_DISPLAY)
            eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        return 1;
    }
    if (!liveHandles.count(device) || !liveHandles.count(context)) return 0;
    auto found = realContexts.find(context);
    if (found != realContexts.end()) {
        const RealContext& real = found->second;
        if (!eglMakeCurrent(real.display, real.surface, real.surface, real.eglContext)) return 0;
    }
    return 1;
}

int32_t scriptedDeleteContext(ContextHandle context) {
    Call call("deleteContext");
    bool wasLive = release(context);
    if (call.fails) return 0;
    destroyRealContext(context);
    return wasLive;
}

void scriptedShowWindow(WindowHandle) {
    Call call("showWindow");
}
void scriptedSetForegroundWindow(WindowHandle) {
    Call call("setForegroundWindow");
}
void scriptedSetFocus(WindowHandle window) {
    Call call("setFocus");
    scripted.focus = window;
}
WindowHandle scriptedGetFocus() {
    Call call("getFocus");
    return scripted.focus;
}

int32_t scriptedMessageBox(WindowHandle owner, const char* text, const char* caption,
                           uint32_t type) {
    Call call("messageBox");
    uint32_t buttons = type & messageBoxButtonsMask;
    int32_t answer = buttons == messageBoxYesNo ? messageBoxAnswerYes : messageBoxAnswerOk;
    if (!scripted.messageBoxAnswers.empty()) {
        answer = scripted.messageBoxAnswers.front();
        scripted.messageBoxAnswers.pop_front();
    }
    scripted.messageBoxes.push_back({owner, text ? text : "", caption ? caption : "", buttons,
                                     type & messageBoxIconMask, answer});
    return answer;
}

bool scriptedPeekMessage(WindowMessageRecord* message) {
    Call call("peekMessage");
    if (scripted.callNumbers[call.step] == scripted.pollLimit) {
        scripted.runawayLoopStopped = true;
        scripted.messageQueue.push_front({nullptr, messageQuit, 0, 0});
    }
    if (scripted.messageQueue.empty()) return false;
    *message = scripted.messageQueue.front();
    scripted.messageQueue.pop_front();
    return true;
}

intptr_t scriptedDispatchMessage(const WindowMessageRecord* message) {
    Call call("dispatchMessage");
    if (!scripted.procedure) return 0;
    return scripted.procedure(message->window, message->message, message->wParam, message->lParam);
}

void scriptedPostQuitMessage(int32_t exitCode) {
    Call call("postQuitMessage");
    scripted.messageQueue.push_back(
        {nullptr, messageQuit, static_cast<uintptr_t>(static_cast<uint32_t>(exitCode)), 0});
}

intptr_t scriptedDefaultWindowProcedure(WindowHandle, uint32_t message, uintptr_t, intptr_t) {
    Call call("defaultWindowProcedure");
    scripted.defaultProcedureMessages.push_back(message);
    return 0;
}

int32_t scriptedSwapBuffers(DeviceHandle) {
    Call call("swapBuffers");
    if (call.fails) return 0;
    ++scripted.frames;
    if (scripted.onFrame) scripted.onFrame(scripted.frames);
    if (scripted.frames == scripted.frameLimit) {
        scripted.runawayLoopStopped = true;
        scripted.messageQueue.push_back({nullptr, messageQuit, 0, 0});
    }
    return 1;
}

void scriptedGetCursorPos(int32_t* x, int32_t* y) {
    Call call("getCursorPos");
    *x = scripted.cursorX;
    *y = scripted.cursorY;
}

void scriptedSetCursorPos(int32_t x, int32_t y) {
    Call call("setCursorPos");
    scripted.cursorX = x;
    scripted.cursorY = y;
}

uint32_t scriptedMilliseconds() {
    Call call("milliseconds");
    return scripted.clockMilliseconds;
}

}  // namespace

// clang-format off
const PlatformLayer scriptedLayer = {
    scriptedGetModuleHandle, scriptedRegisterWindowClass, scriptedUnregisterWindowClass,
    scriptedChangeDisplayMode, scriptedRestoreDisplayMode, scriptedShowCursor,
    scriptedAdjustWindowRect, scriptedCreateWindow, scriptedDestroyWindow, scriptedGetDeviceContext,
    scriptedReleaseDeviceContext, scriptedChoosePixelFormat, scriptedSetPixelFormat,
    scriptedCreateContext, scriptedMakeCurrent, scriptedDeleteContext, scriptedShowWindow,
    scriptedSetForegroundWindow, scriptedSetFocus, scriptedGetFocus, scriptedMessageBox,
    scriptedPeekMessage, scriptedDispatchMessage, scriptedPostQuitMessage,
    scriptedDefaultWindowProcedure, scriptedSwapBuffers, scriptedGetCursorPos, scriptedSetCursorPos,
    scriptedMilliseconds};
// clang-format on

void ScriptedPlatform::queueMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    messageQueue.push_back({nullptr, message, wParam, lParam});
}

std::vector<std::string> ScriptedPlatform::only(const std::vector<std::string>& steps) const {
    std::vector<std::string> picked;
    for (const auto& call : calls)
        if (std::find(steps.begin(), steps.end(), call) != steps.end()) picked.push_back(call);
    return picked;
}

std::vector<const void*> ScriptedPlatform::handlesReleasedTwice() const {
    std::vector<const void*> twice;
    for (const auto& [handle, count] : releaseCounts)
        if (count > 1) twice.push_back(handle);
    return twice;
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
    std::vector<std::string> summaries;
    for (const auto& box : messageBoxes) {
        const char* icon = box.icon == messageBoxIconStop          ? "stop"
                           : box.icon == messageBoxIconExclamation ? "exclamation"
                           : box.icon == messageBoxIconInformation ? "information"
                                                                   : "none";
        const char* buttons = box.buttons == messageBoxYesNo ? "yes/no" : "ok";
        summaries.push_back("[" + box.caption + "] " + box.text + " (" + icon + ", " + buttons +
                            ")" + (box.owner ? " owned" : ""));
    }
    return summaries;
}

void resetProgramState() {
    moduleInstance = nullptr;
    mainWindow = nullptr;
    deviceContext = nullptr;
    renderContext = nullptr;
    pixelFormat.colorBits = 0;

    std::fill(std::begin(keys), std::end(keys), 0);
    active = true;
    fullscreen = true;
    lightingEnabled = 0;
    fullscreenKeyLatch = lightingKeyLatch = crouchKeyLatch = 0;
    cursorPos = {0, 0};

    worldOffsetX = worldOffsetY = groundZ = velocityX = velocityY = 0;
    headingRate = heading = pitchRate = pitchAccumulator = pitch = 0;
    walkDirection = strafeDirection = forwardTilt = sideTilt = walkPhase = strafePhase = 0;
    raiseHeld = crouchHeld = 0;
    torsoHeight = legHeight = 0;
    walkSpeed = 0.1f;
    viewDistance = 0;
    animationPhase = 0;
}

ScriptedPlatformSession::ScriptedPlatformSession(bool dataFolder) : previous_(platform) {
    for (const auto& entry : realContexts) delete entry.second.context;
    realContexts.clear();
    liveHandles.clear();
    clientSizes.clear();
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
    for (const auto& entry : realContexts) delete entry.second.context;
    realContexts.clear();
    platform = previous_;
    if (!previousFolder_.empty() && chdir(previousFolder_.c_str()) != 0) previousFolder_.clear();
}
