// scripted_platform.h — the one test double: a platform layer that records every call by its
// PlatformLayer member name, fails on demand (openDisplay, switchDisplayMode, createWindow,
// createContext, makeCurrent, makeNoneCurrent; "glDrawable" fails createWindow for want of a GL
// drawable), answers message boxes from a script and serves queued events. With `realGl` set each
// context is a real headless Mesa one, so GL drawn through the shell really runs.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"

struct ScriptedPlatform {
    // ---- the script, set by the test ----
    std::deque<MessageAnswer> messageBoxAnswers;  // taken in order; then Yes to questions, else OK
    std::deque<PlatformEvent> events;             // served by pollEvent, front first
    std::function<void(int frame)> onFrame;       // after each swap; frames count from 1
    bool realGl = false;
    int32_t pointerX = 0, pointerY = 0;  // motion not yet taken by takePointerMotion
    uint32_t clockMilliseconds = 0;
    int frameLimit = 10000;  // a runaway loop is asked to close after this many frames

    // Makes the step fail at every call, or at its `call`-th only.
    void failStep(const std::string& step, int call = 0) { failures[step].insert(call); }
    void queue(EventKind kind, uint8_t key = 0) { events.push_back({kind, key, 0, 0}); }
    void queueKeyDown(uint8_t key) { queue(EventKind::keyDown, key); }
    void queueKeyUp(uint8_t key) { queue(EventKind::keyUp, key); }
    void queueKeyTap(uint8_t key) {
        queueKeyDown(key);
        queueKeyUp(key);
    }

    // ---- what happened ----
    std::vector<std::string> calls;
    std::vector<std::string> messageBoxes;  // each as "[caption] text (icon, buttons)"
    std::vector<WindowRequest> windows;     // every window created (title not kept)
    int frames = 0;
    bool runawayLoopStopped = false;
    bool displayUp = false;
    bool displayModeSwitched = false;
    bool cursorHidden = false;

    // The calls named in `steps`, in the order they were made.
    std::vector<std::string> only(const std::vector<std::string>& steps) const;
    int callCount(const std::string& step) const;
    // Every window or context released more than once, or used after its release.
    std::set<const void*> misusedHandles;

    // ---- internals ----
    std::map<std::string, std::set<int>> failures;  // 0: every call
    std::map<std::string, int> callNumbers;
};

extern ScriptedPlatform scripted;

// Resets `scripted` and the program's state to its start values, installs scriptedLayer, and puts
// the previous layer back on destruction. With `dataFolder` set it also runs in the program's data
// folder (where Tex/ and STL/ stand) and restores the working folder.
class ScriptedPlatformSession {
public:
    explicit ScriptedPlatformSession(bool dataFolder = false);
    ~ScriptedPlatformSession();
    ScriptedPlatformSession(ScriptedPlatformSession&&) = delete;  // restores the layer once

private:
    const PlatformLayer* previous_;
    std::string previousFolder_;
};

// Puts all of the program's state back to its start values, through each source file's own reset.
void resetProgramState();
