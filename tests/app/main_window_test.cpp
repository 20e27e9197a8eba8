// main_window_test.cpp — opening and closing the window through the scripted platform layer, and
// the projection read back from a real GL context.
#include "app/main_window.h"

#include <gtest/gtest.h>

#include <cmath>

#include "app/main_loop.h"
#include "support/gl_test_context.h"
#include "support/scripted_platform.h"

namespace {

using Steps = std::vector<std::string>;

int32_t openDefaultWindow() {
    return openMainWindow(windowTitle, windowWidth, windowHeight, colorBits, fullscreen);
}

TEST(MainWindowOpening, EachFailingStepTearsDownFirstThenReports) {
    const Steps releases = {"makeNoneCurrent", "deleteContext", "releaseDeviceContext",
                            "destroyWindow"};
    const struct {
        const char* step;
        const char* message;
        size_t releasesMade;  // the last ones of `releases`: what the opening held by then
    } failures[] = {
        {"createWindow", "Chyba pri vytvarani okna.", 0},
        {"getDeviceContext", "Neda sa vytvorit GL zariadenie obsahu.", 1},
        {"choosePixelFormat", "Neda sa najst vhodny format pixelov.", 2},
        {"setPixelFormat", "Neda sa nastavit format pixelov.", 2},
        {"createContext", "Neda sa vytvorit GL Rendrovaci obsah.", 2},
        {"makeCurrent", "Neda sa aktivovat GL Rendrovaci obsah.", 4},
    };
    for (const auto& failure : failures) {
        SCOPED_TRACE(failure.step);
        ScriptedPlatformSession session;
        scripted.failStep(failure.step);
        EXPECT_EQ(openDefaultWindow(), 0);
        Steps teardown = {"restoreDisplayMode", "showCursor"};
        teardown.insert(teardown.end(), releases.end() - failure.releasesMade, releases.end());
        teardown.insert(teardown.end(), {"unregisterWindowClass", "messageBox"});
        Steps watched = releases;
        watched.insert(watched.end(),
                       {"restoreDisplayMode", "showCursor", "unregisterWindowClass", "messageBox"});
        EXPECT_EQ(scripted.only(watched), teardown);
        EXPECT_EQ(scripted.messageBoxSummaries(),
                  Steps{"[CHYBA] " + std::string(failure.message) + " (exclamation, ok)"});
        EXPECT_TRUE(scripted.handlesReleasedTwice().empty());
    }
}

TEST(MainWindowOpening, EarlyFailuresReportWithoutTeardown) {
    {
        ScriptedPlatformSession session;
        scripted.failStep("registerWindowClass");
        EXPECT_EQ(openDefaultWindow(), 0);
        EXPECT_EQ(scripted.calls, (Steps{"getModuleHandle", "registerWindowClass", "messageBox"}));
        EXPECT_EQ(scripted.messageBoxSummaries(),
                  Steps{"[CHYBA] Zlyhanie registracie triedy pre okno. (exclamation, ok)"});
    }
    ScriptedPlatformSession session;
    scripted.failStep("changeDisplayMode");
    scripted.messageBoxAnswers = {messageBoxAnswerNo};
    EXPECT_EQ(openMainWindow("other title", 800, 600, 16, true), 0);
    EXPECT_EQ(scripted.messageBoxSummaries(),
              (Steps{"[Kalimbor v.1.4b] Pozadovany  celo-obrazovkovy mod nie je podporovany Vasou "
                     "video-kartou. Chcete pouzit mod v okne? (exclamation, yes/no)",
                     "[CHYBA] Program sa teraz ukonci. (stop, ok)"}));
    EXPECT_EQ(scripted.displayModeRequest, (std::vector<int32_t>{800, 600, 16}));
    EXPECT_TRUE(scripted.classRegistered);  // left registered: the program ends anyway
    EXPECT_EQ(scripted.callCount("createWindow"), 0);
}

TEST(MainWindowOpening, FailedRenderStateSetUpTearsDownThenReports) {
    ScriptedPlatformSession session;  // outside the data folder: no textures to load
    scripted.realGl = true;
    EXPECT_EQ(openDefaultWindow(), 0);
    EXPECT_EQ(scripted.messageBoxSummaries(),
              Steps{"[CHYBA] Inicializacia zlyhala. (exclamation, ok)"});
    EXPECT_EQ(scripted.calls.back(), "messageBox");
    EXPECT_FALSE(scripted.displayModeChanged);
    EXPECT_FALSE(scripted.classRegistered);
}

TEST(MainWindowOpening, AcceptedFallbackOpensAFramedWindowThatClosesWithoutModeRestore) {
    ScriptedPlatformSession session(true);
    scripted.realGl = true;
    scripted.failStep("changeDisplayMode");
    ASSERT_EQ(openDefaultWindow(), 1) << ::testing::PrintToString(scripted.messageBoxTexts());
    EXPECT_FALSE(fullscreen);
    const RecordedWindow& made = scripted.windows.at(0);
    EXPECT_EQ(made.style,
              windowStyleOverlapped | windowStyleClipSiblings | windowStyleClipChildren);
    EXPECT_GT(made.height, 600);  // the frame and caption around an 800 x 600 client area
    closeMainWindow();
    EXPECT_EQ(scripted.callCount("restoreDisplayMode"), 0);
    EXPECT_EQ(scripted.cursorShowCounter, -1);    // stays hidden
    EXPECT_EQ(scripted.messageBoxes.size(), 1u);  // the question only
}

TEST(MainWindowClosing, EveryReleaseFailingReportsAllFiveInOrderAndCarriesOn) {
    ScriptedPlatformSession session(true);
    scripted.realGl = true;
    ASSERT_EQ(openDefaultWindow(), 1) << ::testing::PrintToString(scripted.messageBoxTexts());
    for (const char* step : {"makeNoneCurrent", "deleteContext", "releaseDeviceContext",
                             "destroyWindow", "unregisterWindowClass"})
        scripted.failStep(step);
    closeMainWindow();
    EXPECT_EQ(scripted.messageBoxSummaries(),
              (Steps{"[CHYBA VYPNUTIA] Uvolnenie DC a RC zlyhalo. (information, ok)",
                     "[CHYBA VYPNUTIA] Uvolnenie renderovacieho obsahu zlyhalo. (information, ok)",
                     "[CHYBA VYPNUTIA] Uvolnenie zariadenia obsahu zlyhalo. (information, ok)",
                     "[CHYBA VYPNUTIA] Neda sa uvolnit okno. (information, ok)",
                     "[CHYBA VYPNUTIA] Neda sa odregistrovat trieda. (information, ok)"}));
    EXPECT_FALSE(scripted.displayModeChanged);
    EXPECT_EQ(scripted.cursorShowCounter, 0);
    EXPECT_EQ(renderContext, nullptr);
}

// What the projection matrix means for the picture.
struct Projection {
    float m[16];
    double degreesAcross(int axis) const { return 2 * std::atan(1 / m[5 * axis]) * 180 / M_PI; }
    double nearClip() const { return m[14] / (m[10] - 1); }  // eye distance of depth -1
    double depthAtInfinity() const { return -m[10]; }
};

Projection projectionFor(int32_t width, int32_t height) {
    Projection projection;
    setProjection(width, height);
    glGetFloatv(GL_PROJECTION_MATRIX, projection.m);
    return projection;
}

TEST(MainWindowProjection, WideViewNearClipNoFarClipAndZeroSizesTakenAsOne) {
    GlTestContext gl;
    ASSERT_TRUE(gl.valid());
    Projection landscape = projectionFor(800, 600);
    EXPECT_NEAR(landscape.degreesAcross(1), 82.2, 0.05);
    EXPECT_NEAR(landscape.degreesAcross(0), 98.6, 0.1);
    EXPECT_NEAR(landscape.nearClip(), 0.0753, 1e-4);
    EXPECT_NEAR(landscape.depthAtInfinity(), 0.0706, 1e-4);
    EXPECT_NEAR(projectionFor(300, 500).degreesAcross(0), 82.2, 0.05);  // now the width

    GLint viewport[4];
    Projection flat = projectionFor(800, 0);
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[3], 1);
    Projection one = projectionFor(800, 1);
    EXPECT_TRUE(std::equal(flat.m, flat.m + 16, one.m));
    Projection thin = projectionFor(0, 600);
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 1);
    EXPECT_TRUE(std::all_of(thin.m, thin.m + 16, [](float v) { return std::isfinite(v); }));
}

}  // namespace
