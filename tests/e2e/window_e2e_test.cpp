// window_e2e_test.cpp — the program's boxes on a real X server: the question of a screen without
// its mode (under a window manager, whose close button ends it), and a damaged data folder's.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "support/x_session.h"

namespace {

namespace fs = std::filesystem;

// A screen without an 800 x 600 mode: the question comes before any window, Yes (Enter) gives a
// framed window, and the window manager's close button ends the program with 0.
TEST(WindowEndToEnd, RefusedModeAsksForAFramedWindowThatTheCloseButtonEnds) {
    XSession session("1024x768x24", true);
    ASSERT_TRUE(session.ready() && session.startProgram());
    ASSERT_NE(session.focusWindow(isBox(programTitle)).id, 0u);
    EXPECT_EQ(session.findWindow(isMainWindow).id, 0u) << "the question comes first";
    session.press("Return");
    ScreenWindow window = session.focusWindow(isFramedWindow);
    ASSERT_NE(window.id, 0u);
    session.askManager(window.id, "_NET_CLOSE_WINDOW", 0, 2);
    EXPECT_EQ(session.exitCode(), 0);
    EXPECT_EQ(session.programErrors().find("Program sa teraz"), std::string::npos);
}

// The program on a copy of the data folder with `file` replaced by `bytes` (or removed): its first
// box is the readers' "Error".
struct DamagedData {
    fs::path folder = fs::temp_directory_path() / ("kalimbor-e2e-data-" + std::to_string(getpid()));
    XSession session;
    DamagedData(const char* file, const char* bytes, size_t size) {
        fs::remove_all(folder);
        fs::copy(KALIMBOR_DATA_DIR, folder, fs::copy_options::recursive);
        if (bytes != nullptr)
            std::ofstream(folder / file, std::ios::binary | std::ios::trunc).write(bytes, size);
        else
            fs::remove(folder / file);
    }
    ~DamagedData() { fs::remove_all(folder); }
    void start() {
        ASSERT_TRUE(session.ready() && session.startProgram(KALIMBOR_BINARY, folder));
        ASSERT_NE(session.focusWindow(isBox("Error")).id, 0u);
    }
};

// A later bitmap version (108-byte header, where only 12 and 40 are read): the reader's box, then
// the failed start's box after the teardown, then exit code 1.
TEST(BadDataEndToEnd, BrokenPictureShowsTheReadersBoxThenTheFailedStart) {
    char picture[14 + 108] = "BM\x7a\0\0\0\0\0\0\0\x7a\0\0\0\x6c";
    DamagedData data("Tex/zem.bmp", picture, sizeof picture);
    XSession& session = data.session;
    ASSERT_NO_FATAL_FAILURE(data.start());
    EXPECT_EQ(session.findWindow(isBox("CHYBA")).id, 0u) << "the reader's box comes first";
    session.press("Return");
    ASSERT_NE(session.focusWindow(isBox("CHYBA")).id, 0u);
    EXPECT_EQ(session.findWindow(isMainWindow).id, 0u) << "torn down before the box";
    session.press("Return");
    EXPECT_EQ(session.exitCode(), 1);
    EXPECT_TRUE(session.windows().empty()) << session.describeWindows();
    // Shown in a box, so not on standard error.
    EXPECT_EQ(session.programErrors().find("Inicializacia zlyhala."), std::string::npos);
}

TEST(BadDataEndToEnd, MissingModelIsReportedAndTheWorldRunsOn) {
    DamagedData data("STL/hangar.rin", nullptr, 0);
    XSession& session = data.session;
    ASSERT_NO_FATAL_FAILURE(data.start());
    session.press("Return");
    ASSERT_NE(session.focusWindow(isFullscreenWindow).id, 0u);
    EXPECT_TRUE(session.waitForFrames(2));
    EXPECT_EQ(session.exitCodeAfterHolding("Escape"), 0);
}

}  // namespace
