// main_window_test.cpp — the window opened and closed on the scripted layer; the projection on GL.
#include "app/main_window.h"

#include <gtest/gtest.h>

#include <cmath>

#include "app/main_loop.h"
#include "assets/model.h"
#include "draw/font.h"
#include "support/gl_test_context.h"
#include "support/scripted_platform.h"
#include "support/test_files.h"

namespace {

using Steps = std::vector<std::string>;

int32_t openDefaultWindow() {
    return openMainWindow(windowTitle, windowWidth, windowHeight, colorBits, fullscreen);
}

TEST(MainWindowOpening, EachFailingStepTearsDownFirstThenReports) {
    const Steps all = {"makeNoneCurrent", "deleteContext", "destroyWindow"};
    const struct {
        const char* step;
        const char* message;
        Steps releases;  // what the opening held by then, released before the message
    } failures[] = {
        {"createWindow", "Chyba pri vytvarani okna.", {}},
        {"glDrawable", "Neda sa najst vhodny format pixelov.", {}},
        {"createContext", "Neda sa vytvorit GL Rendrovaci obsah.", {"destroyWindow"}},
        {"makeCurrent", "Neda sa aktivovat GL Rendrovaci obsah.", all},
        // No layer step fails here: outside the data folder there are no textures to load.
        {"setupRenderState", "Inicializacia zlyhala.", all},
    };
    for (const auto& failure : failures) {
        SCOPED_TRACE(failure.step);
        ScriptedPlatformSession session;
        scripted.realGl = true;
        scripted.failStep(failure.step);
        EXPECT_EQ(openDefaultWindow(), 0);
        Steps teardown = {"hideCursor", "restoreDisplayMode", "hideCursor"};
        teardown.insert(teardown.end(), failure.releases.begin(), failure.releases.end());
        teardown.push_back("messageBox");
        EXPECT_EQ(scripted.only({"restoreDisplayMode", "hideCursor", "makeNoneCurrent",
                                 "deleteContext", "destroyWindow", "messageBox"}),
                  teardown);
        EXPECT_EQ(scripted.messageBoxes,
                  Steps{"[CHYBA] " + std::string(failure.message) + " (exclamation, ok)"});
        EXPECT_FALSE(scripted.displayModeSwitched || scripted.cursorHidden || renderContext ||
                     mainWindow || !scripted.misusedHandles.empty());
    }
}

TEST(MainWindowOpening, DeclinedWindowReportsWithoutAnyWindow) {
    ScriptedPlatformSession session;
    scripted.failStep("switchDisplayMode");
    scripted.messageBoxAnswers = {MessageAnswer::no};
    EXPECT_EQ(openMainWindow("other title", 800, 600, 16, true), 0);
    EXPECT_EQ(scripted.messageBoxes,
              (Steps{"[Kalimbor v.1.4b] Pozadovany  celo-obrazovkovy mod nie je podporovany Vasou "
                     "video-kartou. Chcete pouzit mod v okne? (exclamation, yes/no)",
                     "[CHYBA] Program sa teraz ukonci. (stop, ok)"}));
    EXPECT_FALSE(scripted.callCount("createWindow") || scripted.cursorHidden);
}

TEST(MainWindowOpening, AcceptedFallbackOpensAFramedWindowThatClosesWithoutModeRestore) {
    ScriptedPlatformSession session(true);
    scripted.realGl = true;
    scripted.failStep("switchDisplayMode");
    ASSERT_EQ(openDefaultWindow(), 1) << ::testing::PrintToString(scripted.messageBoxes);
    EXPECT_GT(triangleModel.triangleCount, 0);  // the hangar model comes with every opening
    const WindowRequest& made = scripted.windows.at(0);
    EXPECT_FALSE(fullscreen || made.fullscreen);
    EXPECT_EQ(std::vector<int32_t>({made.width, made.height, made.colorBits, made.depthBits}),
              std::vector<int32_t>({800, 600, 16, 16}));
    float projection[16], clear[4];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    EXPECT_NEAR(projection[5], 1.1459, 1e-3);  // set for the requested size by the opening
    // The fixed GL state every frame relies on, where it differs from GL's defaults, and the font.
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_TRUE(clear[0] + clear[1] + clear[2] == 0 && clear[3] == 1 &&
                glIsEnabled(GL_DEPTH_TEST) && glIsEnabled(GL_TEXTURE_2D) &&
                glIsEnabled(GL_CULL_FACE) && glIsList(fontBase + 'A'));
    closeMainWindow();
    EXPECT_TRUE(scripted.cursorHidden && !scripted.callCount("restoreDisplayMode"));
    EXPECT_EQ(scripted.messageBoxes.size(), 1u);  // the question only
}

// Without its model the world is still worth walking through: the user is told, the window opens.
TEST(MainWindowOpening, MissingModelIsReportedAndTheWindowOpens) {
    ScriptedPlatformSession session;
    scripted.realGl = true;
    TempFolder data;
    std::filesystem::copy(KALIMBOR_DATA_DIR, data.path, std::filesystem::copy_options::recursive);
    std::filesystem::remove("STL/hangar.rin");
    EXPECT_EQ(openDefaultWindow(), 1);
    EXPECT_EQ(scripted.messageBoxes,
              Steps{"[Error] Failed to open model file STL/hangar.rin. (none, ok)"});
}

TEST(MainWindowClosing, FailedReleaseIsReportedAndTheTeardownCarriesOn) {
    ScriptedPlatformSession session(true);
    scripted.realGl = true;
    ASSERT_EQ(openDefaultWindow(), 1) << ::testing::PrintToString(scripted.messageBoxes);
    EXPECT_EQ(scripted.calls,
              (Steps{"openDisplay", "switchDisplayMode", "hideCursor", "createWindow",
                     "createContext", "makeCurrent", "showWindow"}));
    scripted.failStep("makeNoneCurrent");
    closeMainWindow();
    EXPECT_EQ(scripted.messageBoxes,
              Steps{"[CHYBA VYPNUTIA] Uvolnenie DC a RC zlyhalo. (information, ok)"});
    EXPECT_EQ(scripted.only({"restoreDisplayMode", "deleteContext", "destroyWindow"}),
              (Steps{"restoreDisplayMode", "deleteContext", "destroyWindow"}));
    EXPECT_FALSE(scripted.displayModeSwitched || scripted.cursorHidden || renderContext ||
                 mainWindow);
    closeMainWindow();  // nothing held any more: nothing released twice
    EXPECT_TRUE(scripted.misusedHandles.empty());
}

// What the projection matrix means for the picture: the view angle across an axis, the eye
// distance of the near plane (depth -1) and the depth of a point at infinity.
std::vector<double> projectionFor(int32_t width, int32_t height, int axis = 1) {
    float m[16];
    setProjection(width, height);
    glGetFloatv(GL_PROJECTION_MATRIX, m);
    return {2 * std::atan(1 / m[5 * axis]) * 180 / M_PI, m[14] / (m[10] - 1), -m[10]};
}

void expectNear(const std::vector<double>& seen, const std::vector<double>& wanted) {
    for (size_t i = 0; i < wanted.size(); ++i) EXPECT_NEAR(seen[i], wanted[i], 1e-3 * wanted[i]);
}

TEST(MainWindowProjection, WideViewNearClipNoFarClipAndZeroSizesTakenAsOne) {
    GlTestContext gl;
    ASSERT_TRUE(gl.valid());
    expectNear(projectionFor(800, 600), {82.2, 0.0753, 0.0706});
    expectNear(projectionFor(800, 600, 0), {98.6});
    expectNear(projectionFor(300, 500, 0), {82.2, 0.0753, 0.0706});  // now across the width
    expectNear(projectionFor(300, 500), {110.96});                   // and taller across the height
    // The modelview is left as the identity for the frame to build on.
    glTranslatef(1, 2, 3);
    projectionFor(800, 600);
    float modelview[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    EXPECT_EQ(modelview[12] + modelview[13] + modelview[14], 0.0f);
    GLint viewport[4];
    const auto flat = projectionFor(800, 0);
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_TRUE(viewport[0] == 0 && viewport[1] == 0 && viewport[3] == 1);  // from the corner
    EXPECT_EQ(flat, projectionFor(800, 1));
    const auto thin = projectionFor(0, 600);
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 1);
    EXPECT_EQ(thin, projectionFor(1, 600));
}

}  // namespace
