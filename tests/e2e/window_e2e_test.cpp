// window_e2e_test.cpp — the program's question on a real X server: a screen without its mode offers
// a framed window instead (under a window manager, whose close button ends it).
#include <gtest/gtest.h>

#include "support/x_session.h"

// A screen without an 800 x 600 mode: the question comes before any window, Yes (Enter) gives a
// framed window, and the window manager's close button ends the program with 0.
TEST(WindowEndToEnd, RefusedModeAsksForAFramedWindowThatTheCloseButtonEnds) {
    XSession session("1024x768x24", true);
    ASSERT_NE(session.start(isBox(programTitle)).id, 0u);
    EXPECT_EQ(session.findWindow(isMainWindow).id, 0u) << "the question comes first";
    session.tap("Return");
    const ScreenWindow window = session.focusWindow(isFramedWindow);
    ASSERT_NE(window.id, 0u);
    session.askManager(window.id, "_NET_CLOSE_WINDOW", 0, 2);
    EXPECT_EQ(session.exitCode(), 0);
    EXPECT_EQ(session.programErrors().find("Program sa teraz"), std::string::npos);
}
