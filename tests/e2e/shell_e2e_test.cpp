// shell_e2e_test.cpp — the real program on an X screen with real keyboard input: opening
// fullscreen, the F1 switch to a framed window and back, Escape and the close button, and the
// windowed question on a screen that offers no 800 x 600 mode.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "support/x_session.h"

static const char programTitle[] = "Kalimbor v.1.4b";

// Generous, because a sanitizer build starts slowly; every wait ends as soon as its condition
// holds.
constexpr int openTimeoutMs = 30000;
constexpr int stepTimeoutMs = 15000;

static bool isMainWindow(const ScreenWindow& window) {
    return window.title == programTitle && !window.dialog;
}

static bool isQuestionBox(const ScreenWindow& window) {
    return window.title == programTitle && window.dialog;
}

// Fullscreen: borderless and covering the whole screen.
static bool isFullscreenWindow(const XSession& session, const ScreenWindow& window) {
    return isMainWindow(window) && window.borderless && window.x == 0 && window.y == 0 &&
           window.width == session.screenWidth() && window.height == session.screenHeight();
}

// Windowed: a framed window whose client area is 800 x 600 at the screen's corner.
static bool isFramedWindow(const ScreenWindow& window) {
    return isMainWindow(window) && !window.borderless && window.x == 0 && window.y == 0 &&
           window.width == 800 && window.height == 600;
}

// The switched-to window is there and holds the keyboard, so the release of F1 reaches it (a
// release that reaches no window leaves the key down for the program).
static bool switchedAndFocused(XSession& session,
                               const std::function<bool(const ScreenWindow&)>& match) {
    ScreenWindow window = session.findWindow(match);
    return window.id != 0 && session.focusedWindow() == window.id;
}

// The program reads the keys once a frame: a release and the next press that arrive within the
// same few milliseconds count as no release at all. A person never types that fast; the test
// leaves the program a few frames in between.
static void letFramesPass(XSession& session) {
    session.waitUntil([] { return false; }, 200);
}

TEST(ShellEndToEnd, OpensFullscreenSwitchesWithF1AndEndsOnEscape) {
    XSession session("800x600x16");
    ASSERT_TRUE(session.ready());
    ASSERT_TRUE(session.startProgram());
    auto fullscreen = [&](const ScreenWindow& window) {
        return isFullscreenWindow(session, window);
    };
    ASSERT_TRUE(
        session.waitUntil([&] { return switchedAndFocused(session, fullscreen); }, openTimeoutMs))
        << session.describeWindows() << session.programErrors();
    EXPECT_EQ(session.findWindow(isQuestionBox).id, 0u) << "no question when 800x600 is offered";

    EXPECT_TRUE(session.holdKeyUntil(
        "F1", [&] { return switchedAndFocused(session, isFramedWindow); }, stepTimeoutMs))
        << session.describeWindows();
    letFramesPass(session);
    EXPECT_TRUE(session.holdKeyUntil(
        "F1", [&] { return switchedAndFocused(session, fullscreen); }, stepTimeoutMs))
        << session.describeWindows();
    std::vector<ScreenWindow> all = session.windows();
    EXPECT_EQ(std::count_if(all.begin(), all.end(), isMainWindow), 1) << "old window left open";
    // Every press switches: the release of the F1 that closed the focused window still counts.
    letFramesPass(session);
    EXPECT_TRUE(session.holdKeyUntil(
        "F1", [&] { return switchedAndFocused(session, isFramedWindow); }, stepTimeoutMs))
        << session.describeWindows();

    letFramesPass(session);
    EXPECT_TRUE(session.holdKeyUntil(
        "Escape", [&] { return !session.programRunning(); }, stepTimeoutMs));
    EXPECT_EQ(session.findWindow(isMainWindow).id, 0u);
}

static bool isErrorBox(const ScreenWindow& window) {
    return window.title == "CHYBA" && window.dialog;
}

// Yes (Enter, the default button) gives a framed window that the close button ends with exit
// code 0; No (Escape) gives the error box, and the program ends once it is answered.
TEST(ShellEndToEnd, RefusedModeAsksForAWindowAndEndsOnNo) {
    for (const bool yes : {true, false}) {
        SCOPED_TRACE(yes ? "Yes" : "No");
        XSession session("1024x768x24");
        ASSERT_TRUE(session.ready());
        ASSERT_TRUE(session.startProgram());
        ScreenWindow question = session.waitForWindow(isQuestionBox, openTimeoutMs);
        ASSERT_NE(question.id, 0u) << session.programErrors();
        EXPECT_EQ(session.findWindow(isMainWindow).id, 0u) << "the question comes first";

        session.answerMessageBox(question, yes ? "Return" : "Escape");
        ScreenWindow next = session.waitForWindow(yes ? isFramedWindow : isErrorBox, openTimeoutMs);
        ASSERT_NE(next.id, 0u) << session.programErrors();
        if (yes) {
            session.requestClose(next.id);
        } else {
            EXPECT_EQ(session.findWindow(isMainWindow).id, 0u);
            EXPECT_TRUE(session.programRunning()) << "the program waits for the box";
            session.answerMessageBox(next, "Return");
        }
        int exitCode = -1;
        ASSERT_TRUE(session.waitForExit(stepTimeoutMs, &exitCode));
        EXPECT_EQ(exitCode, 0);
        // Shown in boxes, so nothing had to fall back to standard error.
        EXPECT_EQ(session.programErrors().find("Program sa teraz ukonci."), std::string::npos);
    }
}
