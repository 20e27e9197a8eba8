// scripted_platform.h — the one test double of the project: a platform layer that records every
// call, fails any step on demand, answers message boxes from a script and serves queued messages.
//
// Step names (the entries of `calls`, and what failStep takes) are the PlatformLayer member names,
// except that showCursor is logged as "hideCursor" / "showCursor" and makeCurrent with both
// handles null as "makeNoneCurrent" (so that the activation and the release fail separately).
// Steps that can fail: registerWindowClass, unregisterWindowClass, changeDisplayMode,
// createWindow, destroyWindow, getDeviceContext, releaseDeviceContext, choosePixelFormat,
// setPixelFormat, createContext, makeCurrent, makeNoneCurrent, deleteContext, swapBuffers.
//
// Handles are fake addresses, except that with `realGl` set every created context is a real
// headless Mesa context (GlTestContext) made current and released by makeCurrent, so GL drawn
// through openMainWindow and runMainLoop really runs. Every release of a window, device context or
// rendering context is counted per handle, so `handlesReleasedTwice()` exposes any double release
// (a failed release attempt counts as a release: the handle must not be used again).
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"

struct RecordedMessageBox {
    WindowHandle owner;
    std::string text;
    std::string caption;
    uint32_t buttons;  // messageBoxOk or messageBoxYesNo
    uint32_t icon;     // messageBoxIcon*
    int32_t answer;
};

struct RecordedWindow {
    std::string title;
    uint32_t style;
    uint32_t exStyle;
    int32_t x, y, width, height;  // outer rectangle as handed to createWindow
    uint8_t pixelFormatColorBits;
};

struct ScriptedPlatform {
    // ---- the script, set by the test ------------------------------------------------------------
    std::deque<int32_t> messageBoxAnswers;  // taken in order; when empty: Yes for Yes/No, else OK
    std::deque<WindowMessageRecord> messageQueue;  // served by peekMessage, front first
    std::function<void(int frame)> onFrame;        // after each swapBuffers, frame counts from 1
    bool realGl = false;  // createContext makes a real headless Mesa context
    int32_t cursorX = 400, cursorY = 300;
    uint32_t clockMilliseconds = 0;
    // A runaway loop gets a quit message after this many frames or message polls.
    int frameLimit = 10000;
    int pollLimit = 200000;

    void failStep(const std::string& step) { failures[step].insert(0); }
    void failStepOnCall(const std::string& step, int callNumber) {
        failures[step].insert(callNumber);
    }
    void queueMessage(uint32_t message, uintptr_t wParam = 0, intptr_t lParam = 0);
    void queueKeyDown(uint8_t key) { queueMessage(messageKeyDown, key); }
    void queueKeyUp(uint8_t key) { queueMessage(messageKeyUp, key); }

    // ---- what happened
    // ------------------------------------------------------------------------------
    std::vector<std::string> calls;  // every call, in order
    std::vector<RecordedMessageBox> messageBoxes;
    std::vector<RecordedWindow> windows;             // every window created
    std::vector<uint32_t> defaultProcedureMessages;  // messages left to the default procedure
    std::vector<int32_t> displayModeRequest;         // width, height, bits of the last switch
    int32_t cursorShowCounter = 0;
    int frames = 0;
    bool runawayLoopStopped = false;
    bool classRegistered = false;
    bool displayModeChanged = false;
    WindowProcedure procedure = nullptr;
    WindowHandle focus = nullptr;

    // The calls named in `steps`, in the order they were made.
    std::vector<std::string> only(const std::vector<std::string>& steps) const;
    // Every window, device context and rendering context released more than once.
    std::vector<const void*> handlesReleasedTwice() const;
    int callCount(const std::string& step) const;
    std::vector<std::string> messageBoxTexts() const;
    // Each box as "[caption] text (icon, buttons)", icon one of stop, exclamation, information,
    // none, buttons ok or yes/no; " owned" is appended when the box had an owner window.
    std::vector<std::string> messageBoxSummaries() const;

    // ---- internals of the layer -----------------------------------------------------------------
    std::map<std::string, std::set<int>> failures;  // 0: every call
    std::map<std::string, int> callNumbers;
    std::map<const void*, int> releaseCounts;
    std::map<const void*, WindowHandle> deviceOwners;
};

extern ScriptedPlatform scripted;
extern const PlatformLayer scriptedLayer;

// Resets `scripted` and the program's shell and viewer state to their start values, installs
// scriptedLayer, and puts the previous layer back on destruction. With `dataFolder` set it also
// runs in the program's data folder (where Tex/ and STL/ stand) and restores the working folder.
class ScriptedPlatformSession {
public:
    explicit ScriptedPlatformSession(bool dataFolder = false);
    ~ScriptedPlatformSession();
    ScriptedPlatformSession(const ScriptedPlatformSession&) = delete;
    ScriptedPlatformSession& operator=(const ScriptedPlatformSession&) = delete;

private:
    const PlatformLayer* previous_;
    std::string previousFolder_;
};

// Start values of every variable of the main window, the main loop and the viewer.
void resetProgramState();
