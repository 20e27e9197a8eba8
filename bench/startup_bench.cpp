// startup_bench.cpp — the program as a user meets it on a private 800 x 600 x 16 X screen: start-up
// to the first presented frame beside a bare SDL + GL program, the F1 round trip, and frames while
// walking in the real main loop.
#include <GL/gl.h>
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <string>

#include "app/main_loop.h"
#include "app/main_window.h"
#include "platform/virtual_keys.h"
#include "scene/viewer.h"
#include "scene/world.h"
#include "support/x_session.h"

using Clock = std::chrono::steady_clock;

static double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The same monotonic clock in nanoseconds, as the probe program reports it.
static long long nowNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}

// ---------------------------------------------------------------------------------------------
// The X screen: one Xvfb for the whole run, started on first use. SDL reads DISPLAY when its
// video starts, which happens only inside the benchmarks, after this.
// ---------------------------------------------------------------------------------------------

static XSession* benchScreen() {
    static XSession session("800x600x16");
    static bool announced = false;
    if (!session.ready()) return nullptr;
    if (!announced) {
        setenv("DISPLAY", session.displayName().c_str(), 1);
        setenv("SDL_VIDEODRIVER", "x11", 1);
        unsetenv("WAYLAND_DISPLAY");
        announced = true;
    }
    return &session;
}

// The program reads Tex/ and STL/ from its working directory.
static bool enterScreenAndDataFolder(benchmark::State& state) {
    if (benchScreen() == nullptr) {
        state.SkipWithError("Xvfb did not start");
        return false;
    }
    if (chdir(KALIMBOR_DATA_DIR) != 0 || access("Tex/zem.bmp", R_OK) != 0) {
        state.SkipWithError("no generated data folder");
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Start-up, from process start to the first presented frame: each iteration starts the probe
// program (bench/startup_probe.cpp) in the data folder on the benchmark's screen, as the launcher
// starts the program, and reads its report. "real" is the program's own opening and first frame;
// "bare" is the least an SDL + GL program does before its first picture, for comparison. The
// clock starts just before the process is created; closing is not part of the start-up.
// ---------------------------------------------------------------------------------------------

using ProbeReport = std::map<std::string, long long>;

static bool runProbe(const char* mode, long long* spawned, ProbeReport* report) {
    int output[2];
    if (pipe(output) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, KALIMBOR_DATA_DIR);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, output[0]);
    posix_spawn_file_actions_addclose(&actions, output[1]);
    char* arguments[] = {const_cast<char*>(KALIMBOR_STARTUP_PROBE), const_cast<char*>(mode),
                         nullptr};
    pid_t child = -1;
    *spawned = nowNanoseconds();
    int failed = posix_spawn(&child, KALIMBOR_STARTUP_PROBE, &actions, nullptr, arguments, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(output[1]);
    std::string text;
    char buffer[512];
    ssize_t got;
    while (failed == 0 && (got = read(output[0], buffer, sizeof buffer)) > 0)
        text.append(buffer, got);
    close(output[0]);
    int status = 0;
    if (failed != 0 || waitpid(child, &status, 0) != child) return false;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return false;
    report->clear();
    std::istringstream lines(text);
    std::string name;
    long long value;
    while (lines >> name >> value) (*report)[name] = value;
    return report->count("presented") == 1;
}

// Sums of every reported step over the iterations; counters show the mean per start-up.
using StepSums = std::map<std::string, double>;

static bool timeStartup(const char* mode, double* seconds, StepSums* sums) {
    long long spawned = 0;
    ProbeReport report;
    if (!runProbe(mode, &spawned, &report)) return false;
    *seconds = static_cast<double>(report["presented"] - spawned) * 1e-9;
    (*sums)["process_start"] += static_cast<double>(report["entered"] - spawned);
    for (const auto& [name, nanoseconds] : report) {
        if (name != "entered" && name != "presented") (*sums)[name] += nanoseconds;
    }
    return true;
}

static void reportSteps(benchmark::State& state, const StepSums& sums) {
    for (const auto& [name, nanoseconds] : sums) {
        state.counters[name + "_ms"] =
            benchmark::Counter(nanoseconds * 1e-6, benchmark::Counter::kAvgIterations);
    }
}

static void BM_StartupBare(benchmark::State& state) {
    if (!enterScreenAndDataFolder(state)) return;
    StepSums sums;
    for (auto _ : state) {
        double seconds = 0;
        if (!timeStartup("bare", &seconds, &sums)) {
            state.SkipWithError("the bare probe failed");
            return;
        }
        state.SetIterationTime(seconds);
    }
    reportSteps(state, sums);
}

// Every real start-up is paired with a bare one just before it, so that the ratio compares the
// two under the same load on a shared machine; the bare one is not part of the row's time.
static void BM_StartupReal(benchmark::State& state) {
    if (!enterScreenAndDataFolder(state)) return;
    StepSums sums;
    StepSums bareSums;
    double realSeconds = 0;
    double bareSeconds = 0;
    for (auto _ : state) {
        double bare = 0;
        double real = 0;
        if (!timeStartup("bare", &bare, &bareSums) || !timeStartup("real", &real, &sums)) {
            state.SkipWithError("a probe failed");
            return;
        }
        state.SetIterationTime(real);
        realSeconds += real;
        bareSeconds += bare;
    }
    reportSteps(state, sums);
    double assetNanoseconds = sums["decode"] + sums["mipmap"] + sums["model"] + sums["glyphs"];
    if (realSeconds > 0) state.counters["asset_share"] = assetNanoseconds * 1e-9 / realSeconds;
    state.counters["bare_ms"] =
        benchmark::Counter(bareSeconds * 1e3, benchmark::Counter::kAvgIterations);
    if (bareSeconds > 0) state.counters["real_over_bare"] = realSeconds / bareSeconds;
}

// ---------------------------------------------------------------------------------------------
// F1: the main loop's mode switch, close then open in the other mode with every asset loaded
// again. One iteration is one press; presses alternate between windowed and fullscreen as they
// do for a user, and each direction is also reported on its own.
// ---------------------------------------------------------------------------------------------

static void BM_F1RoundTrip(benchmark::State& state) {
    if (!enterScreenAndDataFolder(state)) return;
    platform = &sdlPlatformLayer;
    if (!openMainWindow(windowTitle, windowWidth, windowHeight, colorBits, true)) {
        state.SkipWithError("the main window did not open");
        return;
    }
    double seconds[2] = {0, 0};  // to windowed, to fullscreen
    int64_t presses[2] = {0, 0};
    for (auto _ : state) {
        Clock::time_point start = Clock::now();
        closeMainWindow();
        fullscreen = !fullscreen;
        bool reopened =
            openMainWindow(windowTitle, windowWidth, windowHeight, colorBits, fullscreen) != 0;
        glFinish();
        double elapsed = secondsSince(start);
        state.SetIterationTime(elapsed);
        if (!reopened) {
            state.SkipWithError("the window did not reopen");
            return;
        }
        seconds[fullscreen ? 1 : 0] += elapsed;
        presses[fullscreen ? 1 : 0] += 1;
    }
    closeMainWindow();
    for (int direction = 0; direction < 2; ++direction) {
        if (presses[direction] == 0) continue;
        state.counters[direction == 0 ? "to_windowed_ms" : "to_fullscreen_ms"] =
            seconds[direction] * 1e3 / static_cast<double>(presses[direction]);
    }
}

// ---------------------------------------------------------------------------------------------
// Walking: the real main loop on the real SDL window, the Up key held through XTest, looking ten
// degrees below the horizon with the rain falling. The loop runs unchanged; the platform layer
// is the SDL one with its buffer swap passed through a counter, so one benchmark iteration is one
// whole frame step (frame, swap, mouse, keys). Timing starts once the key has reached the program
// and the walk is under way, and Escape ends the loop when the iterations are done.
// ---------------------------------------------------------------------------------------------

struct WalkingRun {
    benchmark::State* state;
    XSession* screen;
    int framesSeen;
    bool timing;
    bool done;
    int64_t framesWithoutUp;
};

static WalkingRun walkingRun;
static PlatformLayer walkingLayer;

constexpr int walkWarmupFrames = 30;  // the walking speed settles within about 25 frames
constexpr int walkGiveUpFrames = 2000;

static void endWalk() {
    walkingRun.done = true;
    keys[virtualKeyEscape] = 1;  // seen by this very frame step, after the bindings
}

static void swapWhileWalking(WindowHandle window) {
    sdlPlatformLayer.swapBuffers(window);
    WalkingRun& run = walkingRun;
    if (run.done) return;
    if (++run.framesSeen == 1) run.screen->key("Up", true);
    if (!run.timing && keys[virtualKeyUp] && run.framesSeen >= walkWarmupFrames) run.timing = true;
    if (!run.timing) {
        if (run.framesSeen >= walkGiveUpFrames) {
            run.state->SkipWithError("the Up key never reached the program");
            endWalk();
        }
        return;
    }
    if (!keys[virtualKeyUp]) ++run.framesWithoutUp;
    if (!run.state->KeepRunning()) endWalk();
}

static void startStandingStill() {
    std::fill(std::begin(keys), std::end(keys), 0);
    worldOffsetX = worldOffsetY = 0;
    velocityX = velocityY = 0;
    heading = headingRate = pitchRate = 0;
    walkDirection = strafeDirection = walkPhase = strafePhase = 0;
    forwardTilt = sideTilt = 0;
    pitchAccumulator = -80;  // the view transform's -90 looks level
    active = true;
    fullscreen = true;
    fullscreenKeyLatch = 0;
}

static void BM_WalkingFrame(benchmark::State& state) {
    if (!enterScreenAndDataFolder(state)) return;
    XSession* screen = benchScreen();
    startStandingStill();
    walkingRun = WalkingRun{&state, screen, 0, false, false, 0};
    walkingLayer = sdlPlatformLayer;
    walkingLayer.swapBuffers = swapWhileWalking;
    platform = &walkingLayer;
    runMainLoop();
    platform = &sdlPlatformLayer;
    screen->key("Up", false);
    if (!walkingRun.done) state.SkipWithError("the main loop ended before the walk did");
    state.counters["frames_without_up"] = static_cast<double>(walkingRun.framesWithoutUp);
    state.counters["fps"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_StartupBare)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(2.0);
BENCHMARK(BM_StartupReal)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(2.0);
BENCHMARK(BM_F1RoundTrip)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(2.0);
BENCHMARK(BM_WalkingFrame)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
