// display_mode_e2e_test.cpp — on a real X server (Xorg, dummy driver) the start switches the
// desktop to 800 x 600, F1 goes back and forth, and however the program ends its mode comes back.
#include <gtest/gtest.h>
#include <signal.h>

#include "support/test_files.h"
#include "support/x_session.h"

namespace {

const std::string desktop = "1024x768+0+0 normal\n", viewer = "800x600+0+0 normal\n";
const WindowMatch anyBox = [](const ScreenWindow& w) { return w.dialog; };

// The real server and a copy of the data folder the program runs on, which a test may damage.
struct RealScreen : TempFolder, XSession {
    RealScreen() : XSession("", false, Server::realScreen) {
        std::filesystem::copy(KALIMBOR_DATA_DIR, path, std::filesystem::copy_options::recursive);
    }
    ScreenWindow start(const WindowMatch& first = isFullscreenWindow) {
        EXPECT_TRUE(waitForModes(desktop));
        const ScreenWindow window = XSession::start(first, KALIMBOR_BINARY, path);
        EXPECT_TRUE(!window.borderless || waitForModes(viewer)) << "the start switches";
        return window;
    }
    // Enter on every box, as a user would, until the program ends: its exit code. The boxes'
    // captions are kept in `answered`.
    int exitCodeAnsweringBoxes() {
        waitUntil([&] {
            if (!programRunning()) return true;
            const ScreenWindow box = findWindow(anyBox);
            if (box.id == 0 || focusWindow(anyBox).id != box.id) return false;
            answered += box.title + " ";
            tap("Return");
            return !waitUntil([&] { return findWindow(anyBox).id != box.id; });
        });
        return exitCode();
    }
    std::string answered;
    void expectDesktopBack(const std::string& modes = desktop) {
        EXPECT_TRUE(waitForModes(modes));
        EXPECT_TRUE(waitUntil([&] { return processesNamed("kalimbor-guard") == 0; }));
        EXPECT_EQ(outputModes(), modes);  // the guard's last word
    }
};

// Zero-length taps (down and up in one request) count, also one coming as soon as the new window
// has the keyboard, while the program may still be reopening it: F1 goes to the desktop's mode and
// back, and Escape ends the program with the desktop's mode.
TEST(DisplayModeEndToEnd, F1SwitchesBothWaysAndEscapeBringsTheDesktopBack) {
    RealScreen screen;
    const ScreenWindow fullscreen = screen.start();
    const ScreenWindow framed = screen.switchMode(fullscreen, isFramedWindow);
    ASSERT_TRUE(fullscreen.id != 0 && framed.id != 0);
    EXPECT_TRUE(screen.waitForModes(desktop));
    ASSERT_NE(screen.switchMode(framed, isFullscreenWindow).id, 0u);
    EXPECT_TRUE(screen.waitForModes(viewer));
    screen.tap("Escape");
    EXPECT_EQ(screen.exitCode(), 0);
    screen.expectDesktopBack();
}

// A reopen after F1 that finds a picture gone: the failed opening's box. A start that finds one
// broken (a later bitmap version, with a 108-byte header): the reader's box first, then the failed
// opening's once the window is torn down. Both end with exit code 1, which no message on standard
// error accompanies: the boxes said it.
TEST(DisplayModeEndToEnd, FailedReopenAndFailedStartEndWithTheirBoxesAndTheDesktopBack) {
    RealScreen reopen;
    ASSERT_NE(reopen.start().id, 0u);
    std::filesystem::remove(reopen.path + "/Tex/zem.bmp");
    reopen.tap("F1");
    EXPECT_EQ(reopen.exitCodeAnsweringBoxes(), 1);
    reopen.expectDesktopBack();

    RealScreen start;
    const char picture[14 + 108] = "BM\x7a\0\0\0\0\0\0\0\x7a\0\0\0\x6c";
    writeFile(start.path + "/Tex/zem.bmp", Bytes(picture, picture + sizeof picture));
    ASSERT_NE(start.start(isBox("Error")).id, 0u);
    EXPECT_EQ(start.exitCodeAnsweringBoxes(), 1);
    start.expectDesktopBack();
    EXPECT_TRUE(reopen.answered == "CHYBA " && start.answered == "Error CHYBA ");
    for (const RealScreen* screen : {&reopen, &start})
        EXPECT_EQ(screen->programErrors().find("Inicializacia zlyhala."), std::string::npos);
}

// Ends from outside. Close request, HUP, INT and TERM close by the normal steps (exit code 0); a
// window destroyed by another program ends as a failed reopen (its box, exit code 1); neither puts
// anything of the display's library on standard error. xkill, a crash and SIGKILL end it at once.
// The desktop's mode comes back all the same, unless the user set one of their own meanwhile.
struct Ending {
    const char* name;
    int signal;                                       // sent to the program, or else
    void (XSession::*request)(unsigned long window);  // made of the server by another client
    int exitCode;                                     // -1: any but 0
    const char* boxes;                                // the captions of those shown, in turn
    const char* userMode = nullptr;                   // set before the end, as by xrandr
};
class EndFromOutside : public testing::TestWithParam<Ending> {};

TEST_P(EndFromOutside, BringsTheDesktopBack) {
    RealScreen screen;
    const ScreenWindow window = screen.start();
    ASSERT_NE(window.id, 0u);
    const char* userMode = GetParam().userMode;
    const std::string modesAtTheEnd = userMode ? userMode + std::string("+0+0 normal\n") : desktop;
    if (userMode) ASSERT_TRUE(screen.setMode(userMode));
    ASSERT_TRUE(screen.waitForModes(userMode ? modesAtTheEnd : viewer));
    if (GetParam().signal != 0) screen.signalProgram(GetParam().signal);
    if (GetParam().signal == 0) (screen.*GetParam().request)(window.id);
    const int code = screen.exitCodeAnsweringBoxes();
    EXPECT_NE(code, -1);
    EXPECT_TRUE(GetParam().exitCode == -1 ? code != 0 : code == GetParam().exitCode) << code;
    EXPECT_EQ(screen.answered, GetParam().boxes);
    screen.expectDesktopBack(modesAtTheEnd);
    if (GetParam().exitCode != -1) EXPECT_EQ(screen.programErrors().find("X"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    DisplayModeEndToEnd, EndFromOutside,
    testing::Values(
        Ending{"Close", 0, &XSession::askToClose, 0, ""},
        Ending{"Destroy", 0, &XSession::destroyWindow, 1, "CHYBA "},
        Ending{"Xkill", 0, &XSession::killClientOf, -1, ""}, Ending{"HUP", SIGHUP, nullptr, 0, ""},
        Ending{"INT", SIGINT, nullptr, 0, ""}, Ending{"TERM", SIGTERM, nullptr, 0, ""},
        Ending{"QUIT", SIGQUIT, nullptr, -1, ""}, Ending{"ABRT", SIGABRT, nullptr, -1, ""},
        Ending{"SEGV", SIGSEGV, nullptr, -1, ""}, Ending{"KILL", SIGKILL, nullptr, -1, ""},
        Ending{"KillAfterTheUsersMode", SIGKILL, nullptr, -1, "", "640x480"}),
    [](const testing::TestParamInfo<Ending>& info) { return std::string(info.param.name); });

}  // namespace
