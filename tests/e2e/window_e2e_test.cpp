// window_e2e_test.cpp — the program's boxes on a real X server: the question of a screen without
// its mode (under a window manager, whose close button ends it), and a damaged data folder's.
#include <gtest/gtest.h>

#include "support/test_files.h"
#include "support/x_session.h"

namespace {

// A screen without an 800 x 600 mode: the question comes before any window, Yes (Enter) gives a
// framed window, and the window manager's close button ends the program with 0.
TEST(WindowEndToEnd, RefusedModeAsksForAFramedWindowThatTheCloseButtonEnds) {
    XSession session("1024x768x24", true);
    ASSERT_NE(session.start(isBox(programTitle)).id, 0u);
    EXPECT_EQ(session.findWindow(isMainWindow).id, 0u) << "the question comes first";
    session.press("Return");
    const ScreenWindow window = session.focusWindow(isFramedWindow);
    ASSERT_NE(window.id, 0u);
    session.askManager(window.id, "_NET_CLOSE_WINDOW", 0, 2);
    EXPECT_EQ(session.exitCode(), 0);
    EXPECT_EQ(session.programErrors().find("Program sa teraz"), std::string::npos);
}

// In a copy of the data folder without the model: its box; then the world runs on without its
// hangars, and Escape ends it with 0.
TEST(BadDataEndToEnd, MissingModelIsReportedAndTheWorldRunsOn) {
    TempFolder data;
    std::filesystem::copy(KALIMBOR_DATA_DIR, data.path, std::filesystem::copy_options::recursive);
    std::filesystem::remove(data.path + "/STL/hangar.rin");
    XSession session;
    ASSERT_NE(session.start(isBox("Error"), KALIMBOR_BINARY, data.path).id, 0u);
    session.press("Return");
    ASSERT_NE(session.focusWindow(isFullscreenWindow).id, 0u);
    EXPECT_TRUE(session.waitForFrames(2));
    EXPECT_EQ(session.exitCodeAfterEscape(), 0);
}

}  // namespace
