// window_e2e_test.cpp — what only a real X server, and for a desktop's part a real window manager,
// can show of the program: its window opening fullscreen and framed, F1 back and forth, Escape,
// minimising and restoring, the close button and Alt+F4, and the boxes of a damaged data folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "support/x_session.h"

namespace {

namespace fs = std::filesystem;

int exitCodeOf(XSession& session) {
    int code = -1;
    session.waitForExit(patienceMs, &code);
    return code;
}

TEST(WindowEndToEnd, OpensFullscreenSwitchesWithF1BothWaysAndEndsOnEscape) {
    XSession session;
    ASSERT_TRUE(session.ready());
    ASSERT_TRUE(session.startProgram());
    ASSERT_NE(session.focusWindow(isFullscreenWindow).id, 0u)
        << session.describeWindows() << session.programErrors();
    EXPECT_EQ(session.findWindow(isBox(programTitle)).id, 0u) << "800 x 600 is offered";
    for (auto mode : {isFramedWindow, isFullscreenWindow, isFramedWindow})
        ASSERT_TRUE(switchWithF1(session, mode)) << session.describeWindows();
    const std::vector<ScreenWindow> all = session.windows();
    EXPECT_EQ(std::count_if(all.begin(), all.end(), isMainWindow), 1) << "old window left open";
    EXPECT_TRUE(session.holdKeyUntil("Escape", [&] { return !session.programRunning(); }));
    EXPECT_EQ(exitCodeOf(session), 0);
    EXPECT_TRUE(session.windows().empty()) << session.describeWindows();
}

// A screen without an 800 x 600 mode: the question comes before any window, Yes (Enter) gives a
// framed window, and the window manager's close button ends the program with 0.
TEST(WindowEndToEnd, RefusedModeAsksForAFramedWindowThatTheCloseButtonEnds) {
    XSession session("1024x768x24", true);
    ASSERT_TRUE(session.ready());
    ASSERT_TRUE(session.startProgram());
    ScreenWindow question = session.waitForWindow(isBox(programTitle));
    ASSERT_NE(question.id, 0u) << session.describeWindows() << session.programErrors();
    EXPECT_EQ(session.findWindow(isMainWindow).id, 0u) << "the question comes first";
    session.answerMessageBox(question, "Return");
    ScreenWindow window = session.focusWindow(isFramedWindow);
    ASSERT_NE(window.id, 0u) << session.describeWindows();
    session.closeThroughWindowManager(window.id);
    EXPECT_EQ(exitCodeOf(session), 0) << session.programErrors();
    EXPECT_EQ(session.programErrors().find("Program sa teraz"), std::string::npos);
}

// Under a window manager: minimised, the window leaves the screen and the program waits; restored,
// it draws again; Alt+F4 (the manager's key) ends the program with 0.
TEST(WindowEndToEnd, MinimisedAndRestoredThenEndedWithAltF4) {
    XSession session("800x600x16", true);
    ASSERT_TRUE(session.ready());
    ASSERT_TRUE(session.startProgram());
    ASSERT_NE(session.focusWindow(isFullscreenWindow).id, 0u) << session.describeWindows();
    ASSERT_TRUE(switchWithF1(session, isFramedWindow)) << session.describeWindows();
    const ScreenWindow window = session.findWindow(isFramedWindow);
    session.minimise(window.id);
    EXPECT_TRUE(session.waitUntil([&] { return session.findWindow(isMainWindow).id == 0; }));
    EXPECT_TRUE(session.programRunning());
    session.focus(window.id);  // as a click on its task bar entry
    EXPECT_EQ(session.focusWindow(isFramedWindow).id, window.id) << session.describeWindows();
    EXPECT_TRUE(session.waitForFrames(2));
    for (const char* keysym : {"Alt_L", "F4"}) session.key(keysym, true);
    for (const char* keysym : {"F4", "Alt_L"}) session.key(keysym, false);
    EXPECT_EQ(exitCodeOf(session), 0) << session.programErrors();
    EXPECT_FALSE(sanitizerBlamesUs(session.programErrors())) << session.programErrors();
}

// A private copy of the data folder with one file replaced by `bytes`, or removed without them.
struct DamagedDataFolder {
    fs::path folder = fs::temp_directory_path() / ("kalimbor-e2e-data-" + std::to_string(getpid()));
    DamagedDataFolder(const char* file, const char* bytes, size_t size) {
        fs::remove_all(folder);
        fs::copy(KALIMBOR_DATA_DIR, folder, fs::copy_options::recursive);
        if (bytes != nullptr)
            std::ofstream(folder / file, std::ios::binary | std::ios::trunc).write(bytes, size);
        else
            fs::remove(folder / file);
    }
    ~DamagedDataFolder() { fs::remove_all(folder); }
};

// A picture of a later bitmap version (108-byte header, where only 12 and 40 are read): the
// reader's box, then the failed start's box after the teardown, then exit code 1.
TEST(BadDataEndToEnd, BrokenPictureShowsTheReadersBoxThenTheFailedStart) {
    char picture[14 + 108] = "BM\x7a\0\0\0\0\0\0\0\x7a\0\0\0\x6c";
    DamagedDataFolder data("Tex/zem.bmp", picture, sizeof picture);
    XSession session;
    ASSERT_TRUE(session.ready());
    ASSERT_TRUE(session.startProgram(KALIMBOR_BINARY, data.folder));
    ScreenWindow box = session.waitForWindow(isBox("Error"));
    ASSERT_NE(box.id, 0u) << session.describeWindows() << session.programErrors();
    EXPECT_EQ(session.findWindow(isBox("CHYBA")).id, 0u) << "the reader's box comes first";
    session.answerMessageBox(box, "Return");
    box = session.waitForWindow(isBox("CHYBA"));
    ASSERT_NE(box.id, 0u) << session.describeWindows() << session.programErrors();
    EXPECT_EQ(session.findWindow(isMainWindow).id, 0u) << "torn down before the box";
    session.answerMessageBox(box, "Return");
    EXPECT_EQ(exitCodeOf(session), 1) << session.programErrors();
    EXPECT_TRUE(session.windows().empty()) << session.describeWindows();
    // Shown in a box, so not on standard error.
    EXPECT_EQ(session.programErrors().find("Inicializacia zlyhala."), std::string::npos);
}

TEST(BadDataEndToEnd, MissingModelIsReportedAndTheWorldRunsOn) {
    DamagedDataFolder data("STL/hangar.rin", nullptr, 0);
    XSession session;
    ASSERT_TRUE(session.ready());
    ASSERT_TRUE(session.startProgram(KALIMBOR_BINARY, data.folder));
    ScreenWindow box = session.waitForWindow(isBox("Error"));
    ASSERT_NE(box.id, 0u) << session.describeWindows() << session.programErrors();
    session.answerMessageBox(box, "Return");
    ASSERT_NE(session.focusWindow(isFullscreenWindow).id, 0u) << session.describeWindows();
    EXPECT_TRUE(session.waitForFrames(2));
    EXPECT_TRUE(session.holdKeyUntil("Escape", [&] { return !session.programRunning(); }));
    EXPECT_EQ(exitCodeOf(session), 0) << session.programErrors();
}

}  // namespace
